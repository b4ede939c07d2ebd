#include "skin/suilistbox.h"

#include "skin/suibutton.h"

#include <QPainter>
#include <QScrollBar>
#include <QStyledItemDelegate>
#include <algorithm>

namespace {

constexpr int ItemTextGap = 2;
constexpr int LayoutBatchRows = 10000;
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

// ---- the rows ----

int TsuiListRows::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : int(FRows.size());
}

QVariant TsuiListRows::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() >= rowCount()) return {};
    if (role == Qt::DisplayRole) return ShownText(index.row());
    if (role == Qt::EditRole) return Text(index.row());
    return {};
}

Qt::ItemFlags TsuiListRows::flags(const QModelIndex& index) const
{
    if (!index.isValid()) return Qt::NoItemFlags;
    return IsEnabled(index.row()) ? Qt::ItemIsSelectable | Qt::ItemIsEnabled
                                  : Qt::ItemFlags(Qt::ItemIsSelectable);
}

void TsuiListRows::Reset(QByteArray text, std::vector<TListRowSpan> rows)
{
    beginResetModel();
    FText = std::move(text);
    FRows = std::move(rows);
    FDisabled.clear();
    endResetModel();
}

void TsuiListRows::Append(const QStringList& rows)
{
    if (rows.isEmpty()) return;
    beginInsertRows({}, rowCount(), rowCount() + int(rows.size()) - 1);
    for (const QString& row : rows) {
        const QByteArray bytes = row.toUtf8();
        FRows.push_back({FText.size(), bytes.size()});
        FText.append(bytes);
    }
    if (!FDisabled.empty()) FDisabled.resize(FRows.size(), false);
    endInsertRows();
}

QByteArrayView TsuiListRows::Bytes(int row) const
{
    if (row < 0 || row >= rowCount()) return {};
    const TListRowSpan& span = FRows[std::size_t(row)];
    return QByteArrayView(FText).sliced(span.Start, span.Length);
}

QString TsuiListRows::Text(int row) const
{
    return QString::fromUtf8(Bytes(row));
}

QString TsuiListRows::ShownText(int row) const
{
    const QByteArrayView bytes = Bytes(row);
    if (bytes.size() <= MaxShownBytes) return QString::fromUtf8(bytes);
    // Cut before a character, never inside one: back over UTF-8 continuation bytes.
    qsizetype cut = MaxShownBytes;
    while (cut > 0 && (static_cast<unsigned char>(bytes[cut]) & 0xC0) == 0x80)
        --cut;
    return QString::fromUtf8(bytes.first(cut)) +
           QStringLiteral("… (%1 more bytes)").arg(bytes.size() - cut);
}

bool TsuiListRows::IsEnabled(int row) const
{
    return row < 0 || std::size_t(row) >= FDisabled.size() || !FDisabled[std::size_t(row)];
}

void TsuiListRows::SetEnabled(int row, bool enabled)
{
    if (row < 0 || row >= rowCount() || IsEnabled(row) == enabled) return;
    FDisabled.resize(FRows.size(), false);
    FDisabled[std::size_t(row)] = !enabled;
    const QModelIndex at = index(row);
    emit dataChanged(at, at);
}

// ---- the list ----

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

TsuiListBox::TsuiListBox(QWidget* parent)
    : TsuiFieldControl<QListView>(parent), FRows(new TsuiListRows(this))
{
    setModel(FRows);
    ReserveBorderBand();
    setUniformItemSizes(true);
    // Rows are laid out a batch per turn of the event loop, so a list of hundreds of thousands
    // of rows never holds the window up.
    setLayoutMode(QListView::Batched);
    setBatchSize(LayoutBatchRows);
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
    items.reserve(count());
    for (int i = 0; i < count(); ++i)
        items << ItemText(i);
    return items;
}

void TsuiListBox::SetItems(const QStringList& items)
{
    clear();
    addItems(items);
}

void TsuiListBox::SetRows(QByteArray text, std::vector<TListRowSpan> rows)
{
    FRows->Reset(std::move(text), std::move(rows));
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
    look.Text = ShownItemText(Index);
    if (Selected) {
        look.Background = FSelectedColor;
        look.TextColor = FSelectedTextColor;
    }
    // A disabled selected row keeps the selected background.
    if (!FRows->IsEnabled(Index) || !isEnabled()) look.TextColor = FDisabledTextColor;
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
    QListView::paintEvent(event);
    if (count() > 0 || !hasFocus() || FStyle == lbStandard) return;
    QPainter canvas(viewport());
    PaintListItem(canvas, ItemLook(-1, false, true), {0, 0, viewport()->width(), FItemHeight});
}

// ---- coupled skinned scroll bar ----

void TsuiListBox::SetFileTheme(QObject* theme)
{
    if (FVScrollBar) FVScrollBar->SetFileTheme(theme);
    TsuiFieldControl<QListView>::SetFileTheme(theme);
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
