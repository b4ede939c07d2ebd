#include "skin/suimemo.h"

#include "skin/suiscrollbar.h"

#include <QScrollBar>

TsuiMemo::TsuiMemo(QWidget* parent) : TsuiFieldControl<QPlainTextEdit>(parent)
{
    ReserveBorderBand();
    SetScrollBars(ssNone);
    SetColor(clWindow);
    SetUIStyle(GetSUIFormStyle(parent ? parent->window() : nullptr));
}

QStringList TsuiMemo::Lines() const
{
    const QString text = toPlainText();
    return text.isEmpty() ? QStringList() : text.split(u'\n');
}

void TsuiMemo::SetScrollBars(TScrollStyle value)
{
    FScrollBars = value;
    const bool horizontal = value == ssHorizontal || value == ssBoth;
    const bool vertical = value == ssVertical || value == ssBoth;
    setHorizontalScrollBarPolicy(horizontal ? Qt::ScrollBarAlwaysOn : Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy(vertical ? Qt::ScrollBarAlwaysOn : Qt::ScrollBarAlwaysOff);
}

void TsuiMemo::UIStyleChanged()
{
    const TsuiUIStyle style = ApplyStyleBorderColor();
    // A FromThemeFile memo without a usable theme gives its bars DeepBlue.
    if (FVScrollBar) FVScrollBar->SetUIStyle(style);
    if (FHScrollBar) FHScrollBar->SetUIStyle(style);
}

// ---- coupled skinned scroll bars ----

void TsuiMemo::SetFileTheme(QObject* theme)
{
    for (TsuiScrollBar* bar : {FVScrollBar.data(), FHScrollBar.data()})
        if (bar) bar->SetFileTheme(theme);
    TsuiFieldControl<QPlainTextEdit>::SetFileTheme(theme);
}

void TsuiMemo::SetVScrollBar(TsuiScrollBar* bar)
{
    CoupleBar(FVScrollBar, bar, true);
}

void TsuiMemo::SetHScrollBar(TsuiScrollBar* bar)
{
    CoupleBar(FHScrollBar, bar, false);
}

void TsuiMemo::CoupleBar(QPointer<TsuiScrollBar>& slot, TsuiScrollBar* bar, bool vertical)
{
    if (slot == bar) return;
    if (slot) ReleaseCoupledScrollBar(*slot, this);
    slot = bar;
    if (!bar) {
        UpdateInnerScrollBars();
        return;
    }
    if (!FWatcher) {
        const auto hideBars = [this] {
            for (TsuiScrollBar* b : {FVScrollBar.data(), FHScrollBar.data()})
                if (b) b->hide();
        };
        FWatcher = std::make_unique<TsuiScrollAreaWatcher>(
            *this, TsuiScrollAreaWatcher::Handlers{[this] { UpdateScrollBarsPos(); },
                                                   [this] { UpdateScrollBars(); }, hideBars});
        // The memo moves its vertical bar with its signals blocked when it scrolls itself
        // (keys, caret, wheel); the scroll it reports is the hook for that.
        connect(this, &QPlainTextEdit::updateRequest, FWatcher.get(), [this](const QRect&, int dy) {
            if (dy != 0) UpdateScrollBars();
        });
    }
    bar->SetOrientation(vertical ? suiVertical : suiHorizontal);
    connect(bar, &TsuiScrollBar::OnChange, this,
            vertical ? &TsuiMemo::OnVScrollBarChange : &TsuiMemo::OnHScrollBarChange);
    // A bar removed from the form uncouples itself. The notice comes from the bar's widget
    // base, when the bar is no longer a scroll bar: the slot is cleared without reading it.
    connect(bar, &QObject::destroyed, this, [this, vertical] {
        (vertical ? FVScrollBar : FHScrollBar) = nullptr;
        UpdateInnerScrollBars();
    });
    bar->raise();
    UpdateInnerScrollBars();
    UpdateScrollBarsPos();
}

void TsuiMemo::UpdateInnerScrollBars()
{
    const bool v = FVScrollBar, h = FHScrollBar;
    SetScrollBars(v && h ? ssBoth : v ? ssVertical : h ? ssHorizontal : ssNone);
}

TsuiMemo::TBarsPlacement TsuiMemo::ScrollBarsPlacement(TRect Memo, int VWidth, int HHeight,
                                                       bool RightToLeft)
{
    const int L = Memo.Left, T = Memo.Top, W = Memo.Width(), H = Memo.Height();
    const int vw = VWidth, hh = HHeight;
    TBarsPlacement p;
    p.HVisible = hh <= H;
    const int hTop = T + H - hh - 2;
    // Left to right the bar reaches one pixel into the border band (W - 1, not W - 2).
    if (RightToLeft)
        p.HBar = Bounds(L + 1 + vw, hTop, W - 2 - vw, hh);
    else
        p.HBar = Bounds(L + 1, hTop, W - 1 - vw, hh);
    p.VVisible = vw <= W;
    p.VBar = Bounds(RightToLeft ? L + 2 : L + W - vw - 2, T + 1, vw, H - 2 - hh);
    return p;
}

void TsuiMemo::UpdateScrollBarsPos()
{
    TsuiScrollBar* v = FVScrollBar;
    TsuiScrollBar* h = FHScrollBar;
    if (!v && !h) return;
    const TBarsPlacement p = ScrollBarsPlacement(TRect::fromQRect(geometry()), v ? v->width() : 0,
                                                 h ? h->height() : 0, isRightToLeft());
    // Bars are siblings of the memo; a bar elsewhere still lands over the memo's edge.
    const auto place = [this](TsuiScrollBar& bar, TRect r, bool visible) {
        QPoint at(r.Left, r.Top);
        if (bar.parentWidget() != parentWidget() && bar.parentWidget() && parentWidget())
            at = bar.parentWidget()->mapFromGlobal(parentWidget()->mapToGlobal(at));
        bar.setGeometry(at.x(), at.y(), std::max(0, r.Width()), std::max(0, r.Height()));
        // Never shown over a memo that is itself hidden.
        bar.setVisible(visible && ShownWithParent(*this) && bar.width() > 0 && bar.height() > 0);
    };
    if (h) place(*h, p.HBar, p.HVisible);
    if (v) place(*v, p.VBar, p.VVisible);
    UpdateScrollBars();
}

void TsuiMemo::UpdateScrollBars()
{
    if (FScrollingFromBar) return;
    FUpdatingBars = true;
    const std::pair<TsuiScrollBar*, QScrollBar*> pairs[] = {
        {FHScrollBar.data(), horizontalScrollBar()}, {FVScrollBar.data(), verticalScrollBar()}};
    for (const auto& [bar, own] : pairs) {
        if (!bar) continue;
        const TsuiNativeScrollState state = NativeScrollState(*own, *this);
        const bool live = state.Available && isEnabled();
        bar->SetLineButton(live ? state.ThumbLength : 0);
        if (live && bar == FHScrollBar) bar->SetSmallChange(3 * bar->PageSize());
        bar->setEnabled(live);
        bar->SetSliderVisible(live);
        bar->SetMax(state.Max);
        bar->SetMin(state.Min);
        bar->SetPosition(state.Position);
    }
    FUpdatingBars = false;
}

void TsuiMemo::ScrollFromBar(QScrollBar& own, const TsuiScrollBar* bar)
{
    if (FUpdatingBars || !bar) return;
    FScrollingFromBar = true;
    // The whole position: a memo taller than 65535 lines must not jump back to the top.
    own.setValue(bar->Position());
    viewport()->update();
    FScrollingFromBar = false;
}

void TsuiMemo::OnVScrollBarChange(QObject*)
{
    ScrollFromBar(*verticalScrollBar(), FVScrollBar);
}

void TsuiMemo::OnHScrollBarChange(QObject*)
{
    ScrollFromBar(*horizontalScrollBar(), FHScrollBar);
}
