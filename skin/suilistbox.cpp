#include "skin/suilistbox.h"

#include "skin/suibutton.h"

#include <QPainter>
#include <QScrollBar>
#include <QStyledItemDelegate>
#include <algorithm>

namespace {

constexpr int ItemTextGap = 2;
// Windows lists never grow a row beyond this.
constexpr int MaxMeasuredHeight = 255;

Qt::Alignment ToQtAlignment(TsuiListBox::TAlignment value)
{
    switch (value) {
    case TsuiListBox::taRightJustify:
        return Qt::AlignRight;
    case TsuiListBox::taCenter:
        return Qt::AlignHCenter;
    case TsuiListBox::taLeftJustify:
        break;
    }
    return Qt::AlignLeft;
}

// The rows of a TsuiListBox: owner-drawn ones painted by the list's own look, standard ones by
// Qt; heights fixed, or measured in the variable style.
class TsuiListBoxDelegate : public QStyledItemDelegate
{
public:
    explicit TsuiListBoxDelegate(TsuiListBox* list) : QStyledItemDelegate(list), List(list) {}

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override
    {
        if (List->Style() == TsuiListBox::lbStandard) {
            QStyledItemDelegate::paint(painter, option, index);
            return;
        }
        const bool selected = option.state & QStyle::State_Selected;
        const bool focused = option.state & QStyle::State_HasFocus;
        PaintListItem(*painter, List->ItemLook(index.row(), selected, focused),
                      TRect::fromQRect(option.rect));
    }

    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override
    {
        const int width = QStyledItemDelegate::sizeHint(option, index).width();
        if (List->Style() != TsuiListBox::lbOwnerDrawVariable) return {width, List->ItemHeight()};
        const QString text = index.data(Qt::DisplayRole).toString();
        return {width, List->MeasureString(text, List->viewport()->width())};
    }

private:
    TsuiListBox* List;
};

} // namespace

TRect ListItemTextRect(TRect Item, bool RightToLeft)
{
    if (RightToLeft)
        Item.Right -= ItemTextGap;
    else
        Item.Left += ItemTextGap;
    return Item;
}

void PaintListItem(QPainter& Canvas, const TListItemLook& Look, TRect Item)
{
    Canvas.fillRect(Item.toQRect(), toQColor(Look.Background));
    if (Look.HasText) {
        const TRect text = ListItemTextRect(Item, Look.RightToLeft);
        Canvas.save();
        Canvas.setFont(Look.Font);
        Canvas.setPen(toQColor(Look.TextColor));
        Canvas.setClipRect(Item.toQRect());
        // No mnemonic flag: an & is drawn as a plain character.
        Canvas.drawText(text.toQRect(), int(Look.Alignment | Qt::AlignVCenter | Qt::TextSingleLine),
                        Look.Text);
        Canvas.restore();
    }
    if (Look.FocusRect) PaintFocusRect(Canvas, Item, 0);
}

TsuiListBox::TsuiListBox(QWidget* parent) : TsuiFieldControl<QListWidget>(parent)
{
    ReserveBorderBand();
    setUniformItemSizes(true);
    setItemDelegate(new TsuiListBoxDelegate(this));
    setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    SetColor(clWindow);
    SetUIStyle(GetSUIFormStyle(parent ? parent->window() : nullptr));
}

void TsuiListBox::SetAndRepaint(TColor& field, TColor value)
{
    if (field == value) return;
    field = value;
    viewport()->update();
}

void TsuiListBox::SetAlignment(TAlignment value)
{
    if (FAlignment == value) return;
    FAlignment = value;
    viewport()->update();
}

void TsuiListBox::SetSelectedColor(TColor value)
{
    SetAndRepaint(FSelectedColor, value);
}

void TsuiListBox::SetSelectedTextColor(TColor value)
{
    SetAndRepaint(FSelectedTextColor, value);
}

void TsuiListBox::SetDisabledTextColor(TColor value)
{
    SetAndRepaint(FDisabledTextColor, value);
}

void TsuiListBox::SetShowFocusRect(bool value)
{
    FShowFocusRect = value;
    if (hasFocus()) viewport()->update();
}

void TsuiListBox::SetStyle(TListBoxStyle value)
{
    FStyle = value;
    setUniformItemSizes(value != lbOwnerDrawVariable);
    doItemsLayout();
}

void TsuiListBox::SetItemHeight(int height)
{
    FItemHeight = height;
    doItemsLayout();
}

QStringList TsuiListBox::Items() const
{
    QStringList items;
    for (int i = 0; i < count(); ++i)
        items << item(i)->text();
    return items;
}

void TsuiListBox::SetItems(const QStringList& items)
{
    clear();
    addItems(items);
}

int TsuiListBox::MeasureString(const QString& text, int width) const
{
    const QFontMetrics metrics(font());
    if (width <= 0) return metrics.horizontalAdvance(text);
    const QRect bounds = metrics.boundingRect(
        QRect(0, 0, width - ItemTextGap, 1),
        int(ToQtAlignment(FAlignment) | Qt::AlignVCenter | Qt::TextSingleLine), text);
    return std::min(bounds.height(), MaxMeasuredHeight);
}

TListItemLook TsuiListBox::ItemLook(int Index, bool Selected, bool Focused) const
{
    TListItemLook look;
    look.Font = font();
    look.Background = FColor;
    look.TextColor = FontColor();
    look.Alignment = ToQtAlignment(FAlignment);
    look.RightToLeft = isRightToLeft();
    if (isRightToLeft() && look.Alignment != Qt::AlignHCenter)
        look.Alignment = look.Alignment == Qt::AlignLeft ? Qt::AlignRight : Qt::AlignLeft;
    if (Index < 0 || Index >= count()) {
        // Nothing but the background and, with the focus, the focus rectangle.
        look.HasText = false;
        look.FocusRect = Index < 0 && Focused;
        return look;
    }
    const QListWidgetItem* row = item(Index);
    look.Text = row->text();
    if (Selected) {
        look.Background = FSelectedColor;
        look.TextColor = FSelectedTextColor;
    }
    // A disabled selected row keeps the selected background.
    if (!(row->flags() & Qt::ItemIsEnabled) || !isEnabled()) look.TextColor = FDisabledTextColor;
    look.FocusRect = FShowFocusRect && Focused;
    return look;
}

void TsuiListBox::UIStyleChanged()
{
    const TsuiUIStyle style = ApplyStyleBorderColor();
    if (FVScrollBar) FVScrollBar->SetUIStyle(style);
}

void TsuiListBox::paintEvent(QPaintEvent* event)
{
    QListWidget::paintEvent(event);
    if (count() > 0 || !hasFocus() || FStyle == lbStandard) return;
    QPainter canvas(viewport());
    PaintListItem(canvas, ItemLook(-1, false, true), {0, 0, viewport()->width(), FItemHeight});
}

// ---- coupled skinned scroll bar ----

void TsuiListBox::SetFileTheme(QObject* theme)
{
    if (FVScrollBar) FVScrollBar->SetFileTheme(theme);
    TsuiFieldControl<QListWidget>::SetFileTheme(theme);
}

void TsuiListBox::SetVScrollBar(TsuiScrollBar* bar)
{
    if (FVScrollBar == bar) return;
    if (FVScrollBar) ReleaseCoupledScrollBar(*FVScrollBar, this);
    FVScrollBar = bar;
    if (!bar) return;
    if (!FWatcher)
        FWatcher = std::make_unique<TsuiScrollAreaWatcher>(
            *this, TsuiScrollAreaWatcher::Handlers{[this] { UpdateScrollBarsPos(); },
                                                   [this] { UpdateScrollBars(); },
                                                   [this] {
                                                       if (FVScrollBar) FVScrollBar->hide();
                                                   }});
    bar->SetOrientation(suiVertical);
    connect(bar, &TsuiScrollBar::OnChange, this, &TsuiListBox::OnVScrollBarChange);
    bar->raise();
    UpdateScrollBarsPos();
}

TRect TsuiListBox::ScrollBarPlacement(TRect List, int BarWidth, bool RightToLeft)
{
    const int L = List.Left, W = List.Width();
    const int left = W < BarWidth ? L : RightToLeft ? L + 2 : L + W - BarWidth - 2;
    return Bounds(left, List.Top + 1, BarWidth, List.Height() - 2);
}

void TsuiListBox::UpdateScrollBarsPos()
{
    TsuiScrollBar* bar = FVScrollBar;
    if (!bar) return;
    const TRect r = ScrollBarPlacement(TRect::fromQRect(geometry()), bar->width(), isRightToLeft());
    QPoint at(r.Left, r.Top);
    // The bar is a sibling of the list; one placed elsewhere still lands over the list's edge.
    if (bar->parentWidget() != parentWidget() && bar->parentWidget() && parentWidget())
        at = bar->parentWidget()->mapFromGlobal(parentWidget()->mapToGlobal(at));
    bar->setGeometry(at.x(), at.y(), r.Width(), std::max(0, r.Height()));
    UpdateScrollBars();
}

void TsuiListBox::UpdateScrollBars()
{
    TsuiScrollBar* bar = FVScrollBar;
    if (!bar) return;
    FUpdatingScrollBar = true;
    // Never shown over a list that is itself hidden.
    MirrorScrollState(*bar, NativeScrollState(*verticalScrollBar(), *this), isEnabled(),
                      ShownWithParent(*this));
    FUpdatingScrollBar = false;
}

void TsuiListBox::OnVScrollBarChange(QObject*)
{
    if (FUpdatingScrollBar || !FVScrollBar) return;
    verticalScrollBar()->setValue(FVScrollBar->Position());
    UpdateScrollBars();
}
