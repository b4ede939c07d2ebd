#include "skin/suicombobox.h"

#include <QAbstractItemView>
#include <QPaintEvent>
#include <QStyleOptionComboBox>
#include <QStylePainter>

namespace {

constexpr TColor DisabledArrowColor = clGray;   // #808080
constexpr TColor DisabledArrowShadow = clWhite; // one pixel right and down

// The artwork that replaces the flat button in these styles; empty for the others.
QString ButtonArtName(TsuiUIStyle style)
{
    switch (style) {
    case TsuiUIStyle::MacOS:
        return QStringLiteral("MACOS_COMBOBOX_BUTTON");
    case TsuiUIStyle::WinXP:
        return QStringLiteral("WINXP_COMBOBOX_BUTTON");
    default:
        return {};
    }
}

void FillTriangle(QPainter& canvas, QPoint at, TColor color)
{
    const QColor colour = toQColor(color);
    for (int row = 0; row < 4; ++row)
        canvas.fillRect(at.x() + row, at.y() + row, 7 - 2 * row, 1, colour);
}

} // namespace

TComboBoxLayout ComboBoxLayout(TRect Client, TRect SystemButton, bool RightToLeft)
{
    TComboBoxLayout layout;
    layout.Client = Client;
    const int band = SuiFieldBorderWidth;
    // Qt's styles let the button reach the widget's edge; the rings own the outer band.
    const TRect inner{Client.Left + band, Client.Top + band, Client.Right - band,
                      Client.Bottom - band};
    const TRect b{std::max(SystemButton.Left, inner.Left), std::max(SystemButton.Top, inner.Top),
                  std::min(SystemButton.Right, inner.Right),
                  std::min(SystemButton.Bottom, inner.Bottom)};
    layout.Valid = b.Width() > 0 && b.Height() > 0;
    if (!layout.Valid) return layout;
    layout.Button = b;
    layout.SeparatorX = RightToLeft ? b.Right : b.Left;
    layout.Field = RightToLeft ? TRect{b.Right, inner.Top, inner.Right, inner.Bottom}
                               : TRect{inner.Left, inner.Top, b.Left, inner.Bottom};
    // The arrow's row is half the button's height from the top of the control, not of the
    // button: that is where the flat skin has always put it.
    layout.Arrow = {b.Left + b.Width() / 2 - 3, b.Height() / 2};
    return layout;
}

void DrawComboArrow(QPainter& Canvas, QPoint At, bool Enabled, TColor ArrowColor)
{
    if (Enabled) {
        FillTriangle(Canvas, At, ArrowColor);
        return;
    }
    FillTriangle(Canvas, At + QPoint(1, 1), DisabledArrowShadow);
    FillTriangle(Canvas, At, DisabledArrowColor);
}

void PaintComboBoxSkin(QPainter& Canvas, const TComboBoxLook& Look, const TComboBoxLayout& Layout)
{
    if (!Layout.Valid) return;
    DrawControlBorder(Canvas, Layout.Client, Look.BorderColor, Look.Color, true);

    const TRect& b = Layout.Button;
    const QString art = ButtonArtName(Look.UIStyle);
    QImage bitmap;
    if (!art.isEmpty() && LoadSkinBitmap(art, bitmap)) {
        DrawKeyed(Canvas, bitmap, {0, 0, bitmap.width(), bitmap.height()}, b, std::nullopt);
    } else {
        Canvas.fillRect(b.toQRect(), toQColor(Look.ButtonColor));
        // From one row above the button to one row below it, joining the outer ring.
        Canvas.fillRect(Layout.SeparatorX, b.Top - 1, 1, b.Height() + 2,
                        toQColor(Look.BorderColor));
    }
    // The WinXP artwork carries its own arrow.
    if (Look.UIStyle != TsuiUIStyle::WinXP)
        DrawComboArrow(Canvas, Layout.Arrow, Look.Enabled, Look.ArrowColor);
}

TsuiComboBox::TsuiComboBox(QWidget* parent) : TsuiFieldControl<QComboBox>(parent)
{
    // The framework's combo box starts as a drop-down with an edit field.
    SetStyle(csDropDown);
    SetColor(clWindow);
    SetUIStyle(GetSUIFormStyle(parent ? parent->window() : nullptr));
}

void TsuiComboBox::SetButtonColor(TColor color)
{
    FButtonColor = color;
    update();
}

void TsuiComboBox::SetArrowColor(TColor color)
{
    FArrowColor = color;
    update();
}

TsuiComboBox::TComboBoxStyle TsuiComboBox::Style() const
{
    if (!isEditable()) return csDropDownList;
    return FStyle == csSimple ? csSimple : csDropDown;
}

void TsuiComboBox::SetStyle(TComboBoxStyle style)
{
    FStyle = style;
    setEditable(style != csDropDownList);
    // The line edit Qt creates for an editable box must show the field colour too.
    SetColor(Color());
    update();
}

void TsuiComboBox::SetItemIndex(int index)
{
    FStoredItemIndex = index;
    setCurrentIndex(index < count() ? index : -1);
}

void TsuiComboBox::Loaded()
{
    if (FStoredItemIndex < count()) setCurrentIndex(FStoredItemIndex);
}

void TsuiComboBox::UIStyleChanged()
{
    FArrowColor = clBlack;
    TsuiUIStyle style;
    if (ResolveStyle(style)) return;
    FBorderColor = GetInsideThemeColor(style, SuiTheme::ControlBorderColor);
    FButtonColor = GetInsideThemeColor(style, SuiTheme::FormColor);
}

TComboBoxLayout TsuiComboBox::Layout() const
{
    QStyleOptionComboBox option;
    initStyleOption(&option);
    const QRect button =
        style()->subControlRect(QStyle::CC_ComboBox, &option, QStyle::SC_ComboBoxArrow, this);
    return ComboBoxLayout({0, 0, width(), height()}, TRect::fromQRect(button), isRightToLeft());
}

void TsuiComboBox::paintEvent(QPaintEvent* event)
{
    const TComboBoxLayout layout = Layout();
    if (Style() != csDropDownList || !layout.Valid) {
        QComboBox::paintEvent(event);
        return;
    }
    QStylePainter canvas(this);
    QStyleOptionComboBox option;
    initStyleOption(&option);
    canvas.drawComplexControl(QStyle::CC_ComboBox, option);
    PaintPickOnlyField(canvas, layout.Field);
}

void TsuiComboBox::PaintPickOnlyField(QPainter& canvas, TRect field)
{
    canvas.fillRect(field.toQRect(), toQColor(FColor));
    // As a pick-only box shows the focus: the chosen text highlighted.
    const bool highlighted = hasFocus() && !(view() && view()->isVisible());
    const TRect mark{field.Left + 1, field.Top + 1, field.Right - 1, field.Bottom - 1};
    if (highlighted) canvas.fillRect(mark.toQRect(), toQColor(clHighlight));
    const QColor text = !isEnabled()  ? toQColor(clGrayText)
                        : highlighted ? toQColor(clHighlightText)
                                      : palette().color(QPalette::Text);
    canvas.setPen(text);
    canvas.setFont(font());
    const TRect textRect{mark.Left + 2, mark.Top, mark.Right - 1, mark.Bottom};
    canvas.drawText(textRect.toQRect(),
                    int((isRightToLeft() ? Qt::AlignRight : Qt::AlignLeft) | Qt::AlignVCenter |
                        Qt::TextSingleLine),
                    currentText());
}

void TsuiComboBox::PaintSkin(QPainter& canvas)
{
    if (Style() == csSimple) return;
    TComboBoxLook look;
    look.UIStyle = FUIStyle;
    look.Enabled = isEnabled();
    look.BorderColor = FBorderColor;
    look.Color = FColor;
    look.ButtonColor = FButtonColor;
    look.ArrowColor = FArrowColor;
    PaintComboBoxSkin(canvas, look, Layout());
}

void TsuiComboBox::showPopup()
{
    QComboBox::showPopup();
    QWidget* popup = view() ? view()->window() : nullptr;
    if (!popup || popup == window() || popup == FFramedPopup) return;
    FFramedPopup = popup;
    popup->installEventFilter(this);
    popup->update();
}

void TsuiComboBox::hidePopup()
{
    QComboBox::hidePopup();
    if (parentWidget()) parentWidget()->update();
}

bool TsuiComboBox::eventFilter(QObject* watched, QEvent* event)
{
    if (watched != FFramedPopup || event->type() != QEvent::Paint || Style() == csSimple)
        return QComboBox::eventFilter(watched, event);
    // The list's own painting first, then the frame over its outermost pixels.
    static_cast<QObject*>(watched)->event(event);
    QPainter canvas(FFramedPopup);
    FrameRect(canvas, {0, 0, FFramedPopup->width(), FFramedPopup->height()}, FBorderColor);
    return true;
}
