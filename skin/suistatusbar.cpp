#include "skin/suistatusbar.h"

#include "skin/suiaccessible.h"
#include "skin/suipublic.h"

#include <QMouseEvent>
#include <QPainter>
#include <QWindow>

namespace {
struct AlignmentName
{
    Qt::Alignment Alignment;
    const char* Name;
};
constexpr AlignmentName AlignmentNames[] = {{Qt::AlignLeft, "taLeftJustify"},
                                            {Qt::AlignHCenter, "taCenter"},
                                            {Qt::AlignRight, "taRightJustify"}};
} // namespace

TsuiStatusBar::TsuiStatusBar(QWidget* parent) : TsuiControl<QWidget>(parent)
{
    SetUIStyle(GetSUIFormStyle(parent ? parent->window() : nullptr));
}

void TsuiStatusBar::UIStyleChanged()
{
    TsuiUIStyle style;
    UsingFileTheme(nullptr, FUIStyle, style);
    SetColor(GetInsideThemeColor(style, SuiTheme::FormColor));
}

void TsuiStatusBar::SetSizeGrip(bool value)
{
    FSizeGrip = value;
    update();
}

bool TsuiStatusBar::ShowsGrip() const
{
    const QWidget* form = window();
    if (!form || form == this) return false;
    // A window with a stored frame style says so; any other one by its size limits.
    const QVariant style = form->property("BorderStyle");
    if (style.isValid()) return style.toInt() == 2; // bsSizeable
    return form->minimumSize() != form->maximumSize();
}

bool TsuiStatusBar::WindowMaximized() const
{
    return window() && window() != this && window()->isMaximized();
}

QList<QLine> TsuiStatusBar::GripLines(int W, int H)
{
    TRect r = GripRect(W, H);
    r.Top += 1;
    const int L = r.Left, T = r.Top, R = r.Right, B = r.Bottom;
    return {QLine(L + 1, B, R, T), QLine(L + 5, B, R, T + 4), QLine(L + 9, B, R, T + 8),
            QLine(L + 13, B, R, T + 12)};
}

void TsuiStatusBar::SetPanelText(int index, const QString& text)
{
    if (index < 0 || index >= PanelCount()) return;
    const bool changed = FPanels[index].Text != text;
    FPanels[index].Text = text;
    update();
    if (changed) AnnouncePartNameChanged(this, index);
}

QString TsuiStatusBar::PanelText(int index) const
{
    return index >= 0 && index < PanelCount() ? FPanels.at(index).Text : QString();
}

QRect TsuiStatusBar::PanelRect(int index) const
{
    int left = 0;
    for (int i = 0; i < index; ++i)
        left += FPanels.at(i).Width;
    const int right = index == PanelCount() - 1 ? width() : left + FPanels.at(index).Width;
    return QRect(left, 0, right - left, height());
}

QStringList TsuiStatusBar::StoredPanels() const
{
    QStringList stored;
    for (const TStatusPanel& panel : FPanels) {
        const char* name = AlignmentNames[0].Name;
        for (const AlignmentName& entry : AlignmentNames)
            if (entry.Alignment == panel.Alignment) name = entry.Name;
        stored << QStringLiteral("%1 %2").arg(panel.Width).arg(QLatin1String(name));
    }
    return stored;
}

void TsuiStatusBar::SetStoredPanels(const QStringList& stored)
{
    FPanels.clear();
    for (const QString& entry : stored) {
        const QStringList parts = entry.split(u' ', Qt::SkipEmptyParts);
        TStatusPanel panel;
        if (!parts.isEmpty()) panel.Width = parts.at(0).toInt();
        for (const AlignmentName& entry : AlignmentNames)
            if (parts.size() > 1 && parts.at(1) == QLatin1String(entry.Name))
                panel.Alignment = entry.Alignment;
        FPanels << panel;
    }
    update();
}

QRect TsuiStatusBar::PanelTextRect(int index) const
{
    return PanelRect(index).adjusted(2, 0, -2, 0);
}

void TsuiStatusBar::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    const QColor face = toQColor(Color());
    painter.fillRect(rect(), face);
    painter.setPen(palette().color(QPalette::WindowText));
    for (int i = 0; i < PanelCount(); ++i) {
        const TRect cell = TRect::fromQRect(PanelRect(i));
        painter.drawText(PanelTextRect(i), int(FPanels.at(i).Alignment | Qt::AlignVCenter), FPanels.at(i).Text);
        if (i + 1 < PanelCount())
            painter.fillRect(cell.Right - 1, 2, 1, height() - 4, toQColor(clGray));
    }
    if (!ShowsGrip()) return;
    const int W = width(), H = height();
    painter.fillRect(GripRect(W, H).toQRect(), face);
    if (FSizeGrip && !WindowMaximized()) {
        // Diagonals from the bottom edge up to the right edge, one pixel at a time, end excluded.
        const QColor ink = toQColor(clInactiveCaption);
        for (const QLine& line : GripLines(W, H))
            for (int step = 0; step < line.x2() - line.x1(); ++step)
                painter.fillRect(line.x1() + step, line.y1() - step, 1, 1, ink);
    }
    if (H - 16 > 3) painter.fillRect(TRect(W - 16, 3, W - 1, H - 16).toQRect(), face);
}

void TsuiStatusBar::mousePressEvent(QMouseEvent* event)
{
    // The grip resizes the window; a maximised window cannot be resized through it.
    const QPoint p = event->position().toPoint();
    if (event->button() == Qt::LeftButton && ShowsGrip() && FSizeGrip && !WindowMaximized() &&
        InRect(p, GripRect(width(), height())) && window()->windowHandle()) {
        window()->windowHandle()->startSystemResize(Qt::BottomEdge | Qt::RightEdge);
        event->accept();
        return;
    }
    QWidget::mousePressEvent(event);
}
