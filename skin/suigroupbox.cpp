#include "skin/suigroupbox.h"

#include "skin/suipublic.h"

#include <QEvent>
#include <QPainter>

TsuiCustomGroupBox::TsuiCustomGroupBox(QWidget* parent) : TsuiCustomPanel(parent)
{
    TsuiCustomPanel::SetCaption(QStringLiteral(" "));
    resize(185, 105);
    SetUIStyle(GetSUIFormStyle(parent ? parent->window() : nullptr));
    UpdateContentsMargins();
}

void TsuiCustomGroupBox::SetCaption(const QString& caption)
{
    FGroupCaption = caption;
    update();
}

void TsuiCustomGroupBox::SetColor(TColor color)
{
    FParentColor = false;
    TsuiCustomPanel::SetColor(color);
    update();
}

void TsuiCustomGroupBox::SetParentColor(bool value)
{
    FParentColor = value;
    update();
}

TsuiGroupBoxLayout TsuiCustomGroupBox::Layout(int W, int H, int FontHeight, int CaptionWidth,
                                              bool RightToLeft)
{
    const TRect R{0, 0, W, H};
    const int y = R.Top + FontHeight / 2 + 1;
    TsuiGroupBoxLayout layout;
    if (!RightToLeft) {
        const int end = CaptionWidth > 0 ? R.Left + CaptionWidth + 6 : R.Left;
        layout.Line = {{R.Left + 2, y},        {R.Left, y},
                       {R.Left, R.Bottom - 1}, {R.Right - 1, R.Bottom - 1},
                       {R.Right - 1, y},       {end, y}};
        layout.Caption = {5, 0};
    } else {
        const int end = CaptionWidth > 0 ? R.Right - CaptionWidth - 7 : R.Right - 1;
        layout.Line = {{R.Right - 3, y},           {R.Right - 1, y}, {R.Right - 1, R.Bottom - 1},
                       {R.Left + 1, R.Bottom - 1}, {R.Left + 1, y},  {end, y}};
        layout.Caption = {W - CaptionWidth - 6, 0};
    }
    layout.ChildArea = {R.Left + 3, R.Top + FontHeight + 5, R.Right - 3, R.Bottom - 3};
    return layout;
}

void TsuiCustomGroupBox::UpdateUIStyle(TsuiUIStyle UIStyle, QObject* FileTheme)
{
    ContainerApplyUIStyle(this, UIStyle, qobject_cast<TsuiFileTheme*>(FileTheme));
    TsuiUIStyle style;
    UsingFileTheme(nullptr, UIStyle, style);
    SetBorderColor(GetInsideThemeColor(style, SuiTheme::ControlBorderColor));
    SetFontColor(GetInsideThemeColor(style, SuiTheme::ControlFontColor));
}

void TsuiCustomGroupBox::UpdateContentsMargins()
{
    const TRect area = Layout(width(), height(), FontPixelHeight(font()), 0, false).ChildArea;
    setContentsMargins(area.Left, area.Top, 3, 3);
}

void TsuiCustomGroupBox::changeEvent(QEvent* event)
{
    if (event->type() == QEvent::FontChange) UpdateContentsMargins();
    if (event->type() == QEvent::FontChange || event->type() == QEvent::EnabledChange) update();
    TsuiCustomPanel::changeEvent(event);
}

void TsuiCustomGroupBox::paintEvent(QPaintEvent*)
{
    QPainter canvas(this);
    if (Transparent())
        PaintPanel(canvas);
    else
        canvas.fillRect(rect(), toQColor(Color()));
    canvas.setFont(font());
    const int captionWidth =
        FGroupCaption.isEmpty() ? 0 : canvas.fontMetrics().horizontalAdvance(FGroupCaption);
    const TsuiGroupBoxLayout layout = Layout(width(), height(), FontPixelHeight(font()),
                                             captionWidth, layoutDirection() == Qt::RightToLeft);
    DrawPenPolyline(canvas, layout.Line, BorderColor());
    canvas.setPen(isEnabled() ? palette().color(QPalette::WindowText) : toQColor(clGray));
    canvas.drawText(QRect(layout.Caption, QSize(width(), height())),
                    Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine, FGroupCaption);
}
