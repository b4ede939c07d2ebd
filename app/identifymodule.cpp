#include "app/identifymodule.h"

#include "app/sessionlog.h"
#include "app/unit1.h"
#include "serial/portnames.h"
#include "skin/suititlebar.h"
#include "workbench/portsettings.h"

#include <QAction>

TModuleIdentifier::TModuleIdentifier(TForm1& form) : QObject(&form), Form(form)
{
    Entry = new QAction(QStringLiteral("Identify module"), this);
    connect(Entry, &QAction::triggered, this, &TModuleIdentifier::Identify);
    auto* menu = Form.suiForm1->TitleBar()->WindowMenu();
    menu->AddWindowAction(Entry);
    connect(menu, &QMenu::aboutToShow, this, &TModuleIdentifier::UpdateEnabled);
}

TModuleIdentifier::~TModuleIdentifier() = default;

void TModuleIdentifier::UpdateEnabled()
{
    Entry->setEnabled(!Form.Port->IsOpen() && !Running() &&
                      Form.suiComboBox_PcPort->currentIndex() >= 0);
}

void TModuleIdentifier::Identify()
{
    UpdateEnabled();
    if (!Entry->isEnabled()) return;
    PortText = Form.suiComboBox_PcPort->currentText();
    const QString device =
        Form.suiComboBox_PcPort->currentData(TForm1::PortDeviceRole).toString();
    const unsigned number =
        device.isEmpty() ? unsigned(std::max(0, Workbench::PortNumberFromText(PortText))) : 0;
    // The rate the baud list shows is this port's configured rate: it is tried first.
    const int selected =
        Workbench::BaudRateFromText(Form.suiComboBox_PcBaudRate->currentText());
    Runner = std::make_unique<Workbench::LineTaskRunner>(
        number, device.isEmpty() ? serial::DeviceName(number) : device.toStdString());
    connect(Runner.get(), &Workbench::LineTaskRunner::Finished, this,
            &TModuleIdentifier::OnFinished);
    Entry->setEnabled(false);
    Runner->Start(selected > 0 ? selected : Workbench::DefaultProbeRates().first(),
                  [selected](Workbench::ProbeLine& line, int foundRate) {
                      return std::make_unique<Workbench::ModuleProbe>(
                          line, Workbench::ProbeRates({selected, foundRate}), foundRate);
                  });
}

void TModuleIdentifier::Cancel()
{
    if (!Runner) return;
    Runner->Cancel();
    // Deleted later: this may run inside one of its own signals.
    Runner.release()->deleteLater();
    UpdateEnabled();
}

void TModuleIdentifier::OnFinished()
{
    Workbench::ProbeResult result;
    if (auto* probe = dynamic_cast<Workbench::ModuleProbe*>(Runner->CurrentTask())) {
        result = probe->Result();
    } else {
        result.Verdict = Workbench::ProbeVerdict::PortError;
        result.Error = QStringLiteral("cannot open: %1").arg(Runner->OpenError());
    }
    Last = result;
    Runner.release()->deleteLater();

    QString text = QStringLiteral("Identified: %1").arg(Workbench::ProbeSummary(result));
    if (result.Verdict == Workbench::ProbeVerdict::Module) {
        int item = -1;
        for (int i = 0; i < Form.suiComboBox_PcBaudRate->count() && item < 0; ++i)
            if (Workbench::BaudRateFromText(Form.suiComboBox_PcBaudRate->itemText(i)) ==
                result.Baud)
                item = i;
        if (item >= 0)
            Form.suiComboBox_PcBaudRate->setCurrentIndex(item);
        else
            text += QStringLiteral("\nThe baud list has no %1; its selection is left as it was.")
                        .arg(result.Baud);
    }
    emit Identified(QStringLiteral("identify %1: %2")
                        .arg(PortText, Workbench::ProbeSummary(result)));
    Results.insert(PortText, text);
    const int index = Form.suiComboBox_PcPort->findText(PortText);
    if (index >= 0) {
        const QString base = Form.suiComboBox_PcPort->itemData(index, Qt::ToolTipRole)
                                 .toString()
                                 .section(QStringLiteral("\nIdentified: "), 0, 0);
        Form.suiComboBox_PcPort->setItemData(index, DecoratedToolTip(PortText, base),
                                             Qt::ToolTipRole);
    }
    Form.AfterIdentify();
    UpdateEnabled();
    emit Finished();
}

QString TModuleIdentifier::DecoratedToolTip(const QString& portText, const QString& tooltip) const
{
    const auto it = Results.find(portText);
    if (it == Results.end()) return tooltip;
    return tooltip.isEmpty() ? *it : tooltip + QLatin1Char('\n') + *it;
}

TModuleIdentifier* AttachModuleIdentifier(TForm1& form)
{
    auto* identifier = new TModuleIdentifier(form);
    // The result is a mark of the session log, in order with the port's traffic.
    QObject::connect(identifier, &TModuleIdentifier::Identified, form.SessionLog,
                     [log = form.SessionLog](const QString& text) { log->AddMark(text); });
    return identifier;
}
