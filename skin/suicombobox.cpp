#include "skin/suicombobox.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QFrame>
#include <QLineEdit>
#include <QPaintEvent>
#include <QProxyStyle>
#include <QStyleFactory>
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

// Qt's style with two changes to how the list drops. Qt lays a pick-only box's list over the box
// like a menu, as many rows as there are items; the skinned box drops it below the box (above
// only where the screen has no room below) with DropDownCount rows and a scroll bar. And Qt
// starts a list below on the box's last row and ends one above on its first; one row more on each
// side of the rectangle it places the list by puts the list right beside the box.
class TsuiComboBoxStyle : public QProxyStyle
{
public:
    TsuiComboBoxStyle() : QProxyStyle(QStyleFactory::create(QApplication::style()->name())) {}

    int styleHint(StyleHint hint, const QStyleOption* option, const QWidget* widget,
                  QStyleHintReturn* returnData) const override
    {
        if (hint == SH_ComboBox_Popup) return 0;
        return QProxyStyle::styleHint(hint, option, widget, returnData);
    }
    QRect subControlRect(ComplexControl control, const QStyleOptionComplex* option,
                         SubControl sub, const QWidget* widget) const override
    {
        const QRect r = QProxyStyle::subControlRect(control, option, sub, widget);
        if (control == CC_ComboBox && sub == SC_ComboBoxListBoxPopup) return r.adjusted(0, -1, 0, 1);
        return r;
    }
};

// One such style serves every box; it ends with the application.
QStyle* ComboBoxStyle()
{
    static QPointer<TsuiComboBoxStyle> style;
    if (!style) {
        style = new TsuiComboBoxStyle;
        style->setParent(qApp);
    }
    return style;
}

// QLineEdit keeps this much room on each side of its text, inside its contents rectangle.
constexpr int LineEditTextMargin = 2;

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
    setStyle(ComboBoxStyle());
    // Typed text picks an entry or nothing: it never becomes one.
    setInsertPolicy(QComboBox::NoInsert);
    SetDropDownCount(8);
    FListScrollBar = new TsuiSkinnedQtScrollBar(Qt::Vertical);
    view()->setVerticalScrollBar(FListScrollBar);
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
    // Qt makes a new edit field each time the box becomes editable; Qt's own handling of the
    // finished text (picking a matching entry) is connected first and runs first.
    if (QLineEdit* edit = lineEdit())
        connect(edit, &QLineEdit::editingFinished, this, &TsuiComboBox::TypedTextFinished,
                Qt::UniqueConnection);
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

void TsuiComboBox::TypedTextFinished()
{
    QLineEdit* edit = lineEdit();
    if (!edit) return;
    const int chosen = currentIndex();
    const QString shown = chosen >= 0 ? itemText(chosen) : QString();
    if (edit->text() == shown) return;
    // An entry typed in other letter case is the entry; any other text shows the chosen entry
    // again, so the box never shows what a reader of ItemIndex would not get.
    const int match = findText(edit->text(), Qt::MatchFixedString);
    if (match >= 0 && match != chosen) {
        setCurrentIndex(match);
        emit activated(match);
    }
    edit->setText(currentIndex() >= 0 ? itemText(currentIndex()) : QString());
}

void TsuiComboBox::UIStyleChanged()
{
    FArrowColor = clBlack;
    TsuiUIStyle style;
    const bool fromFile = ResolveStyle(style);
    if (FListScrollBar) FListScrollBar->SetUIStyle(style);
    if (fromFile) return;
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

TRect TsuiComboBox::PickOnlyTextRect(TRect field)
{
    // Inside the one-pixel highlight mark, two pixels in on the left and one on the right.
    return {field.Left + 3, field.Top + 1, field.Right - 2, field.Bottom - 1};
}

TRect TsuiComboBox::TextRect() const
{
    const QLineEdit* edit = lineEdit();
    if (!edit) return PickOnlyTextRect(Layout().Field);
    // Where Qt puts the edit field for the current size, even before a pending resize arrives.
    QStyleOptionComboBox option;
    initStyleOption(&option);
    const QRect field =
        style()->subControlRect(QStyle::CC_ComboBox, &option, QStyle::SC_ComboBoxEditField, this);
    const QMargins m = edit->contentsMargins() + edit->textMargins();
    return {field.x() + m.left() + LineEditTextMargin, field.y() + m.top(),
            field.x() + field.width() - m.right() - LineEditTextMargin,
            field.y() + field.height() - m.bottom()};
}

int TsuiComboBox::ListTextWidth() const
{
    const QAbstractItemView* list = view();
    const auto* popup = qobject_cast<const QFrame*>(list->window());
    int width = this->width() - 2 * (popup ? popup->frameWidth() : 0) - 2 * list->frameWidth();
    if (count() > DropDownCount() && FListScrollBar) width -= FListScrollBar->sizeHint().width();
    // Qt's list rows keep the focus frame's margin and one pixel more on each side of the text.
    const int margin = list->style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, list) + 1;
    return width - 2 * margin;
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
    canvas.drawText(PickOnlyTextRect(field).toQRect(),
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
