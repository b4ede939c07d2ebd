#pragma once
// "Identify module" in the window menu: the probe of esp8266at, run on the selected port while
// it is closed. It runs on the port's own reader thread and a timer, never blocking the
// window; the result goes to the session log and the port's tooltip, and the baud list
// selects the rate the module answered at.
#include "workbench/linetaskrunner.h"
#include "workbench/moduleprobe.h"

#include <QHash>
#include <QObject>
#include <QString>

#include <memory>

class QAction;
class TForm1;

class TModuleIdentifier : public QObject
{
    Q_OBJECT
public:
    explicit TModuleIdentifier(TForm1& form);
    ~TModuleIdentifier() override;

    QAction* Action() const { return Entry; }
    // Starts the probe on the selected port; nothing while the port is open or a probe runs.
    void Identify();
    bool Running() const { return Runner && Runner->Running(); }
    // Ends a running probe at once (the port is about to be opened); no result is shown.
    void Cancel();
    // The item's tooltip with the last result for the port added; tooltip as it is without.
    QString DecoratedToolTip(const QString& portText, const QString& tooltip) const;
    const Workbench::ProbeResult& LastResult() const { return Last; }
    // The action applies only while the port is closed and nothing is being identified.
    void UpdateEnabled();

signals:
    // The result in one line, for the session log.
    void Identified(const QString& text);
    void Finished();

private:
    void OnFinished();

    TForm1& Form;
    QAction* Entry = nullptr;
    std::unique_ptr<Workbench::LineTaskRunner> Runner;
    QString PortText;
    Workbench::ProbeResult Last;
    QHash<QString, QString> Results; // port text -> the lines the tooltip gains
};

// Builds the entry of the main window's menu.
TModuleIdentifier* AttachModuleIdentifier(TForm1& form);
