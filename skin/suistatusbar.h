#pragma once
// The skinned status bar: a row of text panels of fixed widths on the style's form colour, with
// its own size grip while the window can be resized.
#include "framework/trect.h"
#include "skin/suicontrol.h"

#include <QLine>

#include <QList>

class TsuiStatusBar : public TsuiControl<QWidget>
{
    Q_OBJECT
    Q_PROPERTY(TsuiUIStyle UIStyle READ UIStyle WRITE SetUIStyle)
    Q_PROPERTY(QObject* FileTheme READ FileTheme WRITE SetFileTheme)
    Q_PROPERTY(TColor Color READ Color WRITE SetColor)
    Q_PROPERTY(TColor PanelColor READ Color WRITE SetColor)
    // The panels as stored: one entry per panel, "<width> <alignment>" with the alignment one of
    // taLeftJustify, taCenter, taRightJustify.
    Q_PROPERTY(QStringList Panels READ StoredPanels WRITE SetStoredPanels)
    Q_PROPERTY(bool SizeGrip READ SizeGrip WRITE SetSizeGrip)

public:
    struct TStatusPanel
    {
        int Width = 50;
        Qt::Alignment Alignment = Qt::AlignLeft;
        QString Text;
    };

    explicit TsuiStatusBar(QWidget* parent = nullptr);

    int PanelCount() const { return int(FPanels.size()); }
    const TStatusPanel& Panel(int index) const { return FPanels.at(index); }
    // Text of panel index; an index outside the panels is ignored.
    void SetPanelText(int index, const QString& text);
    QString PanelText(int index) const;
    // Rectangle of panel index in the bar; the last panel runs to the bar's right edge.
    QRect PanelRect(int index) const;
    // Where panel index's text goes: the panel less two pixels on each side.
    QRect PanelTextRect(int index) const;
    // Whether the grip is drawn: only on a window the user can resize.
    bool ShowsGrip() const;
    // The grip square of a W x H bar.
    static TRect GripRect(int W, int H) { return {W - 16, H - 16, W - 1, H - 1}; }
    // The four diagonal lines of the grip, as pen lines from point to point (end excluded).
    static QList<QLine> GripLines(int W, int H);
    bool SizeGrip() const { return FSizeGrip; }
    void SetSizeGrip(bool value);

    QStringList StoredPanels() const;
    void SetStoredPanels(const QStringList& stored);

protected:
    void UIStyleChanged() override;
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;

private:
    bool WindowMaximized() const;

    QList<TStatusPanel> FPanels;
    bool FSizeGrip = true;
};
