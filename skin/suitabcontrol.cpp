#include "skin/suitabcontrol.h"

#include "skin/suiaccessible.h"
#include "skin/suipublic.h"

#include <QFocusEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <algorithm>

// ---------------------------------------------------------------------------------------------
// Image list

TImageList::TImageList(int width, int height, QObject* owner)
    : QObject(owner), FWidth(width), FHeight(height)
{
}

void TImageList::Add(const QImage& image)
{
    FImages.append(image.scaled(FWidth, FHeight));
}

void TImageList::Draw(QPainter& canvas, int x, int y, int index) const
{
    if (index < 0 || index >= Count()) return;
    canvas.drawImage(QPoint(x, y), FImages.at(index));
}

// ---------------------------------------------------------------------------------------------
// Layout

int TabNaturalWidth(int captionWidth, bool emptyCaption, int imageWidth)
{
    int width = emptyCaption ? 80 : captionWidth + 20;
    if (imageWidth >= 0) width += imageWidth + 4;
    return std::max(width, 15);
}

namespace {

// The vertical band of a tab: active tabs sit one pixel nearer the tab line.
TRect TabBand(const TsuiTabStripGeometry& g, bool active)
{
    const int ih = g.InactiveHeight;
    if (g.Position == TsuiTab::suiTop) return active ? TRect(0, 1, 0, ih + 1) : TRect(0, 0, 0, ih);
    return active ? TRect(0, g.Height - ih - 1, 0, g.Height - 1)
                  : TRect(0, g.Height - ih, 0, g.Height);
}

// The right edge a cut tab gets, and where the left scroll button starts.
int CutEdge(const TsuiTabStripGeometry& g)
{
    return g.Width - 2 * g.ButtonWidth - 2;
}

TsuiTabStripLayout LayoutOnce(const TsuiTabStripGeometry& g, const std::vector<int>& widths,
                              const std::array<bool, MaxTabs>& visible, int tabIndex,
                              int firstVisible)
{
    const int count = int(widths.size());
    TsuiTabStripLayout layout;
    layout.Widths.fill(-1);
    layout.FirstVisible = std::clamp(firstVisible, 0, std::max(0, count - 1));
    layout.LastWhole = count - 1;

    int x = g.LeftMargin;
    int shown = 0;
    int limit = 0;
    bool cut = false;
    for (int i = 0; i < count; ++i) {
        limit = (i == count - 1 && layout.FirstVisible == 0) ? g.Width - 10 : CutEdge(g);
        const bool isVisible = i >= MaxTabs || visible[std::size_t(i)];
        if (!isVisible) {
            layout.Widths[std::size_t(i)] = 0;
            continue;
        }
        if (cut) break;
        const int w = widths[std::size_t(i)];
        // The last slot stays unrecorded, as the mouse can reach only the first 63 tabs.
        if (i < MaxTabs - 1) layout.Widths[std::size_t(i)] = w;
        if (++shown <= layout.FirstVisible) continue;

        const bool active = i == tabIndex;
        const TRect band = TabBand(g, active);
        TsuiTabBox box{i, TRect(x, band.Top, x + w, band.Bottom), active, false};
        if (box.Rect.Right > limit) {
            box.Rect.Right = CutEdge(g);
            box.Cut = cut = true;
            layout.LastWhole = i - 1;
            if (!active && i < MaxTabs - 1) layout.Widths[std::size_t(i)] = box.Rect.Width();
        }
        layout.Boxes.push_back(box);
        x += w;
    }
    layout.Overflow = (x > limit || cut) && count > 0;
    return layout;
}

void PlaceScrollButtons(const TsuiTabStripGeometry& g, TsuiTabStripLayout& layout,
                        std::optional<QPoint> pointer)
{
    layout.ButtonsShown = layout.Overflow || layout.FirstVisible > 0;
    const int bw = g.ButtonWidth, bh = g.ButtonHeight, h = g.Height;
    int y;
    if (g.Position == TsuiTab::suiTop)
        y = bh + 4 < h ? (h - bh) / 2 - 2 : 0;
    else
        y = bh + 4 < h ? (h - bh) / 2 + 2 : h - bh;
    layout.RightButton = Bounds(g.Width - bw - 2, y, bw, bh);
    layout.LeftButton = Bounds(g.Width - 2 * bw - 2, y, bw, bh);
    layout.ScrollHover = 0;
    if (!layout.ButtonsShown || !pointer) return;
    if (InRect(*pointer, layout.RightButton)) layout.ScrollHover = 1;
    if (InRect(*pointer, layout.LeftButton)) layout.ScrollHover = -1;
}

} // namespace

TsuiTabStripLayout LayoutTabStrip(const TsuiTabStripGeometry& geometry,
                                  const std::vector<int>& naturalWidths,
                                  const std::array<bool, MaxTabs>& visible, int tabIndex,
                                  int firstVisible, bool scrollIntoView,
                                  std::optional<QPoint> pointer)
{
    const int count = int(naturalWidths.size());
    TsuiTabStripLayout layout =
        LayoutOnce(geometry, naturalWidths, visible, tabIndex, firstVisible);
    if (scrollIntoView && tabIndex >= 0 && tabIndex < count) {
        // A selected tab scrolled out at the left comes back as the first drawn tab.
        const bool selectedShown = tabIndex >= MaxTabs || visible[std::size_t(tabIndex)];
        int before = 0;
        for (int i = 0; i < tabIndex; ++i)
            if (i >= MaxTabs || visible[std::size_t(i)]) ++before;
        if (selectedShown && before < layout.FirstVisible)
            layout = LayoutOnce(geometry, naturalWidths, visible, tabIndex, before);
        while (layout.LastWhole < tabIndex && layout.FirstVisible < count - 1)
            layout =
                LayoutOnce(geometry, naturalWidths, visible, tabIndex, layout.FirstVisible + 1);
    }
    PlaceScrollButtons(geometry, layout, pointer);
    return layout;
}

int HitTestTabStrip(const TsuiTabStripGeometry& geometry, const std::array<int, MaxTabs>& widths,
                    const std::array<bool, MaxTabs>& visible, int firstVisible, int tabHeight,
                    QPoint point)
{
    const int h = geometry.Height;
    const bool inBand = geometry.Position == TsuiTab::suiTop
                            ? point.y() > 0 && point.y() < tabHeight
                            : point.y() > h - tabHeight && point.y() < h;
    if (!inBand) return -1;
    // The first drawn tab follows firstVisible shown tabs and the hidden ones among them.
    int i = 0;
    for (int skipped = 0; i < MaxTabs && skipped < firstVisible; ++i)
        if (visible[std::size_t(i)]) ++skipped;
    int x = geometry.LeftMargin;
    for (; i < MaxTabs; ++i) {
        const int w = widths[std::size_t(i)];
        if (w == -1) break;
        if (x < point.x() && point.x() < x + w) return i;
        x += w;
    }
    return -1;
}

// ---------------------------------------------------------------------------------------------
// Painting

namespace {

// A dotted frame that inverts what lies under it, like the desktop's focus rectangle.
void DrawFocusFrame(QPainter& canvas, TRect r)
{
    if (r.Width() <= 0 || r.Height() <= 0) return;
    canvas.save();
    canvas.setCompositionMode(QPainter::RasterOp_SourceXorDestination);
    canvas.setPen(Qt::white);
    for (int x = r.Left; x < r.Right; ++x)
        for (int y : {r.Top, r.Bottom - 1})
            if ((x + y) % 2 == 0) canvas.drawPoint(x, y);
    for (int y = r.Top + 1; y < r.Bottom - 1; ++y)
        for (int x : {r.Left, r.Right - 1})
            if ((x + y) % 2 == 0) canvas.drawPoint(x, y);
    canvas.restore();
}

void PaintTab(QPainter& canvas, const TsuiTabStripState& s, const TsuiTabBox& box)
{
    TRect r = box.Rect;
    if (r.Width() <= 0) return;
    SpitDrawHorizontal(box.Active ? s.ActiveImage : s.InactiveImage, canvas, r, false, s.StripColor,
                       true);
    const std::size_t i = std::size_t(box.Index);
    const int image = i < s.ImageIndexes.size() ? s.ImageIndexes[i] : -1;
    if (s.Images && image >= 0) {
        const int y = std::max(r.Top + 1, (r.Height() - s.Images->Height()) / 2);
        s.Images->Draw(canvas, r.Left + 8, y, image);
        r.Left += s.Images->Width() + 4;
    }
    canvas.setPen(toQColor(box.Active ? s.ActiveFontColor : s.InactiveFontColor));
    const QString caption = s.Captions.value(box.Index);
    if (box.Cut) {
        const TRect text(r.Left + 10, r.Top, r.Right - 4, r.Bottom);
        canvas.drawText(text.toQRect(), Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine,
                        caption);
    } else {
        canvas.drawText(r.toQRect(), Qt::AlignCenter | Qt::TextSingleLine, caption);
    }
    if (box.Active && s.DrawFocus)
        DrawFocusFrame(canvas, TRect(r.Left + 8, r.Top + 1, r.Right - 8, r.Bottom - 1));
}

} // namespace

void PaintTabStrip(QPainter& canvas, const TsuiTabStripState& s, TRect rect)
{
    const TsuiTabStripGeometry& g = s.Geometry;
    const int w = rect.Width(), ih = g.InactiveHeight, lh = g.LineHeight;
    const TRect line =
        g.Position == TsuiTab::suiTop ? TRect(1, ih, w - 1, ih + lh) : TRect(1, 0, w - 1, lh);
    if (!s.LineImage.isNull())
        DrawKeyed(canvas, s.LineImage, TRect(0, 0, s.LineImage.width(), s.LineImage.height()), line,
                  std::nullopt);
    const QColor border = toQColor(s.BorderColor);
    canvas.fillRect(TRect(0, line.Top, 1, line.Bottom).toQRect(), border);
    canvas.fillRect(TRect(w - 1, line.Top, w, line.Bottom).toQRect(), border);

    canvas.setFont(s.Font);
    for (const TsuiTabBox& box : s.Layout.Boxes)
        PaintTab(canvas, s, box);

    if (!s.Layout.ButtonsShown || s.ScrollButtons.isNull()) return;
    const int frameWidth = s.ScrollButtons.width() / 4;
    const auto drawFrame = [&](TRect dest, int frame) {
        DrawKeyed(canvas, s.ScrollButtons,
                  Bounds((frame - 1) * frameWidth, 0, frameWidth, s.ScrollButtons.height()), dest,
                  SuiTransparentColor);
    };
    drawFrame(s.Layout.RightButton, s.Layout.ScrollHover == 1 ? 2 : 1);
    drawFrame(s.Layout.LeftButton, s.Layout.ScrollHover == -1 ? 4 : 3);
}

// ---------------------------------------------------------------------------------------------
// Strip

TsuiTabControlTopPanel::TsuiTabControlTopPanel(TsuiTab* host)
    : TsuiControl<QWidget>(host), FHost(host)
{
    FTabVisible.fill(true);
    FLayout.Widths.fill(-1);
    // A tab stop that a single click does not focus; it paints every pixel itself.
    setFocusPolicy(Qt::TabFocus);
    setAttribute(Qt::WA_OpaquePaintEvent);
    setMouseTracking(true);
}

void TsuiTabControlTopPanel::SetTabs(const QStringList& tabs)
{
    FTabs = tabs;
    if (FTabs.isEmpty()) FTabIndex = -1;
    Repaint();
}

void TsuiTabControlTopPanel::SetTabIndex(int index)
{
    if (index == FTabIndex) return;
    if (FTabs.isEmpty()) {
        FTabIndex = -1;
        Repaint();
        return;
    }
    if (index < -1 || index > FTabs.size() - 1) {
        Repaint();
        return;
    }
    if (FUserClick) {
        bool allowChange = true;
        emit FHost->OnChanging(&allowChange);
        if (!allowChange) return;
    }
    FTabIndex = index;
    Repaint(true);
    FHost->TabActive(index);
    Repaint();
    if (hasFocus()) AnnounceFocusedPart(this, FTabIndex);
}

void TsuiTabControlTopPanel::SetLeftMargin(int margin)
{
    FLeftMargin = margin;
    Repaint();
}

void TsuiTabControlTopPanel::SetTabPosition(TsuiTab::TsuiTabPosition position)
{
    if (position == FTabPosition) return;
    FTabPosition = position;
    TurnImages();
    Repaint();
}

bool TsuiTabControlTopPanel::TabVisibleAt(int index) const
{
    return index < 0 || index >= MaxTabs || FTabVisible[std::size_t(index)];
}

void TsuiTabControlTopPanel::SetTabVisibleAt(int index, bool visible)
{
    if (index < 0 || index >= MaxTabs) return;
    FTabVisible[std::size_t(index)] = visible;
    Repaint();
}

void TsuiTabControlTopPanel::LoadImages()
{
    TsuiUIStyle style = UIStyle();
    // No skin-file reader exists: a file theme always falls back to a built-in style.
    UsingFileTheme(qobject_cast<TsuiFileTheme*>(FileTheme()), UIStyle(), style);
    FActiveTabImage = FInactiveTabImage = FTabLineImage = FScrollButtonImage = QImage();
    GetInsideThemeBitmap(style, SuiTheme::TabImage, FActiveTabImage, 2, 1);
    GetInsideThemeBitmap(style, SuiTheme::TabImage, FInactiveTabImage, 2, 2);
    GetInsideThemeBitmap(style, SuiTheme::TabLineImage, FTabLineImage);
    GetInsideThemeBitmap(style, SuiTheme::ScrollButtonImage, FScrollButtonImage);
    FActiveFontColor = FInactiveFontColor = clBlack;
    FScrollButtonWidth = FScrollButtonImage.width() / 4;
    FScrollButtonHeight = FScrollButtonImage.height();
    if (FTabPosition == TsuiTab::suiBottom) TurnImages();
}

void TsuiTabControlTopPanel::TurnImages()
{
    for (QImage* image : {&FActiveTabImage, &FInactiveTabImage, &FTabLineImage})
        if (!image->isNull()) RoundPicture2(*image);
}

void TsuiTabControlTopPanel::UIStyleChanged()
{
    LoadImages();
    setFixedHeight(FActiveTabImage.height() + FTabLineImage.height());
    Repaint();
}

TsuiTabStripGeometry TsuiTabControlTopPanel::Geometry() const
{
    TsuiTabStripGeometry g;
    g.Width = width();
    g.Height = height();
    g.LeftMargin = FLeftMargin;
    g.Position = FTabPosition;
    g.ActiveHeight = FActiveTabImage.height();
    g.InactiveHeight = FInactiveTabImage.height();
    g.LineHeight = FTabLineImage.height();
    g.ButtonWidth = FScrollButtonWidth;
    g.ButtonHeight = FScrollButtonHeight;
    return g;
}

std::vector<int> TsuiTabControlTopPanel::NaturalWidths() const
{
    const QFontMetrics metrics(FHost->font());
    const TImageList* images = FHost->Images();
    std::vector<int> widths;
    widths.reserve(std::size_t(FTabs.size()));
    for (int i = 0; i < FTabs.size(); ++i) {
        const int image = FHost->GetImageIndex(i);
        const bool hasImage = images && image >= 0 && image < images->Count();
        widths.push_back(TabNaturalWidth(metrics.horizontalAdvance(FTabs.at(i)),
                                         FTabs.at(i).isEmpty(), hasImage ? images->Width() : -1));
    }
    return widths;
}

void TsuiTabControlTopPanel::Repaint(bool scrollIntoView)
{
    FLayout = LayoutTabStrip(Geometry(), NaturalWidths(), FTabVisible, FTabIndex,
                             FLayout.FirstVisible, scrollIntoView, FPointer);
    update();
}

TsuiTabStripState TsuiTabControlTopPanel::State() const
{
    TsuiTabStripState s;
    s.Geometry = Geometry();
    s.Layout = FLayout;
    s.Captions = FTabs;
    const TImageList* images = FHost->Images();
    s.Images = images;
    for (int i = 0; i < FTabs.size(); ++i) {
        const int image = FHost->GetImageIndex(i);
        s.ImageIndexes.push_back(images && image >= 0 && image < images->Count() ? image : -1);
    }
    s.ActiveImage = FActiveTabImage;
    s.InactiveImage = FInactiveTabImage;
    s.LineImage = FTabLineImage;
    s.ScrollButtons = FScrollButtonImage;
    s.StripColor = Color();
    s.BorderColor = FHost->BorderColor();
    s.ActiveFontColor = FActiveFontColor;
    s.InactiveFontColor = FInactiveFontColor;
    s.Font = FHost->font();
    s.DrawFocus = hasFocus() && FHost->PageDrawFocused();
    return s;
}

void TsuiTabControlTopPanel::paintEvent(QPaintEvent*)
{
    FLayout = LayoutTabStrip(Geometry(), NaturalWidths(), FTabVisible, FTabIndex,
                             FLayout.FirstVisible, false, FPointer);
    QPainter painter(this);
    // Behind the tabs shows whatever lies behind the host.
    painter.fillRect(rect(), toQColor(FHost->Color()));
    painter.save();
    painter.translate(-pos());
    DoTrans(painter, *FHost);
    painter.restore();
    PaintTabStrip(painter, State(), TRect(0, 0, width(), height()));
}

void TsuiTabControlTopPanel::PressAt(QPoint point)
{
    FPointer = point;
    Repaint();
    const int hover = FLayout.ScrollHover;
    if (hover != 0) {
        int first = FLayout.FirstVisible;
        if (hover == -1) --first;
        if (hover == 1 && FLayout.Overflow) ++first;
        FLayout.FirstVisible = std::clamp(first, 0, int(FTabs.size()));
        Repaint();
        return;
    }
    const int hit = HitTestTabStrip(Geometry(), FLayout.Widths, FTabVisible, FLayout.FirstVisible,
                                    TabHeight(), point);
    if (hit < 0) return;
    ClickTab(hit);
}

void TsuiTabControlTopPanel::ClickTab(int index)
{
    FUserClick = true;
    SetTabIndex(index);
    Repaint(true);
    FUserClick = false;
}

void TsuiTabControlTopPanel::mousePressEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton) return;
    FPressed = true;
    PressAt(event->position().toPoint());
}

void TsuiTabControlTopPanel::mouseMoveEvent(QMouseEvent* event)
{
    FPointer = event->position().toPoint();
    if (FLayout.Overflow) Repaint();
}

void TsuiTabControlTopPanel::mouseReleaseEvent(QMouseEvent* event)
{
    const bool clicked = FPressed && event->button() == Qt::LeftButton &&
                         rect().contains(event->position().toPoint());
    FPressed = false;
    if (clicked) emit FHost->OnClick();
}

void TsuiTabControlTopPanel::mouseDoubleClickEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton) return;
    emit FHost->OnDblClick();
    setFocus(Qt::MouseFocusReason);
    // The second press of a double click is still a press.
    FPressed = true;
    PressAt(event->position().toPoint());
}

void TsuiTabControlTopPanel::leaveEvent(QEvent*)
{
    FPointer.reset();
    Repaint();
}

void TsuiTabControlTopPanel::keyPressEvent(QKeyEvent* event)
{
    // Plain Tab moves the focus before it gets here; Tab with Ctrl selects the next tab, with
    // Shift as well (which Qt reports as Backtab): the strip only ever steps forward.
    const bool ctrl = event->modifiers() & Qt::ControlModifier;
    if (event->key() != Qt::Key_Tab && !(event->key() == Qt::Key_Backtab && ctrl)) {
        TsuiControl<QWidget>::keyPressEvent(event);
        return;
    }
    SetTabIndex(FTabIndex + 1 > FTabs.size() - 1 ? 0 : FTabIndex + 1);
}

void TsuiTabControlTopPanel::focusInEvent(QFocusEvent*)
{
    update();
    // The strip has the focus; what a reader should say is the selected tab. Qt tells of the
    // strip itself after this handler, so the tab is told once that is done.
    const auto announce = [this] {
        if (hasFocus()) AnnounceFocusedPart(this, FTabIndex);
    };
    QMetaObject::invokeMethod(this, announce, Qt::QueuedConnection);
}

void TsuiTabControlTopPanel::focusOutEvent(QFocusEvent*)
{
    update();
}

void TsuiTabControlTopPanel::resizeEvent(QResizeEvent*)
{
    Repaint();
}

// ---------------------------------------------------------------------------------------------
// Host

TsuiTab::TsuiTab(QWidget* parent) : TsuiControl<QWidget>(parent)
{
    setFocusPolicy(Qt::NoFocus);
    resize(width(), 80);
    FUIStyle = GetSUIFormStyle(parent ? parent->window() : nullptr);
}

TsuiTab::~TsuiTab()
{
    // The image list may be a child of this host and outlive the strip while the children go.
    if (FImages) disconnect(FImages, nullptr, this, nullptr);
}

void TsuiTab::PlaceStripFirstInTabOrder()
{
    if (!FTopPanel || FTopPanel->focusPolicy() == Qt::NoFocus) return;
    // The host's first control in the window's cycle, other than the strip itself.
    QWidget* const start = window();
    QWidget* first = nullptr;
    for (QWidget* w = start->nextInFocusChain(); w && w != start; w = w->nextInFocusChain())
        if (w != FTopPanel && isAncestorOf(w) && (w->focusPolicy() & Qt::TabFocus)) {
            first = w;
            break;
        }
    if (!first) return;
    // The strip goes right after the nearest control before it that Tab can reach.
    for (QWidget* w = first->previousInFocusChain(); w && w != first; w = w->previousInFocusChain()) {
        if (w == FTopPanel) return; // already in front of the host's controls
        if (isAncestorOf(w) || !(w->focusPolicy() & Qt::TabFocus)) continue;
        QWidget::setTabOrder(w, FTopPanel);
        return;
    }
}

void TsuiTab::InitTopPanel()
{
    FTopPanel = CreateTopPanel();
    FTopPanel->SetLeftMargin(10);
    UIStyleChanged();
}

int TsuiTab::StripHeight() const
{
    return FTopPanel ? FTopPanel->height() : 0;
}

TRect TsuiTab::PageArea() const
{
    const int sh = StripHeight();
    if (FTabPosition == suiTop) return TRect(3, sh + 3, width() - 3, height() - 3);
    return TRect(3, 3, width() - 3, height() - sh - 3);
}

int TsuiTab::LeftMargin() const
{
    return FTopPanel->LeftMargin();
}

void TsuiTab::SetLeftMargin(int margin)
{
    FTopPanel->SetLeftMargin(margin);
}

void TsuiTab::SetTabPosition(TsuiTabPosition position)
{
    if (position == FTabPosition) return;
    FTabPosition = position;
    FTopPanel->SetTabPosition(position);
    AlignChildren();
    update();
}

void TsuiTab::SetPageDrawFocused(bool value)
{
    FPageDrawFocused = value;
    FTopPanel->update();
}

void TsuiTab::SetImageList(TImageList* images)
{
    if (FImages) disconnect(FImages, nullptr, this, nullptr);
    FImages = images;
    // A destroyed list is dropped by the guarded pointer; the strip forgets its icons.
    if (images) connect(images, &QObject::destroyed, this, [this] { FTopPanel->Repaint(); });
    FTopPanel->Repaint();
}

void TsuiTab::SetBorderColor(TColor color)
{
    TsuiControl<QWidget>::SetBorderColor(color);
    BorderColorChanged();
    update();
    if (FTopPanel) FTopPanel->update();
}

void TsuiTab::SetColor(TColor color)
{
    TsuiControl<QWidget>::SetColor(color);
    ColorChanged();
    update();
    if (FTopPanel) FTopPanel->update();
}

void TsuiTab::SetTabIndex(int index)
{
    FTopPanel->SetTabIndex(index);
}

void TsuiTab::TabActive(int index)
{
    if (FLoading) return;
    emit OnTabActive(index);
    emit OnChange();
}

void TsuiTab::UpdateUIStyle(TsuiUIStyle style, TsuiFileTheme* fileTheme)
{
    ContainerApplyUIStyle(this, style, fileTheme);
}

void TsuiTab::UIStyleChanged()
{
    if (!FTopPanel) return;
    auto* theme = qobject_cast<TsuiFileTheme*>(FileTheme());
    FTopPanel->SetFileTheme(theme);
    FTopPanel->SetUIStyle(UIStyle());
    AlignChildren();
    UpdateUIStyle(UIStyle(), theme);
    TsuiUIStyle style = UIStyle();
    UsingFileTheme(theme, UIStyle(), style);
    const TColor controlColor = GetInsideThemeColor(style, SuiTheme::ControlColor);
    FTopPanel->SetColor(controlColor);
    SetBorderColor(GetInsideThemeColor(style, SuiTheme::ControlBorderColor));
    SetColor(style == TsuiUIStyle::WinXP ? clWhite : controlColor);
}

void TsuiTab::AlignChildren()
{
    if (!FTopPanel) return;
    const int sh = FTopPanel->height();
    FTopPanel->setGeometry(0, FTabPosition == suiTop ? 0 : height() - sh, width(), sh);
}

void TsuiTab::resizeEvent(QResizeEvent*)
{
    AlignChildren();
}

void TsuiTab::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    const int w = width(), h = height(), sh = StripHeight();
    const TRect pages = FTabPosition == suiTop ? TRect(0, sh, w, h) : TRect(0, 0, w, h - sh);
    painter.fillRect(pages.toQRect(), toQColor(Color()));
    painter.setPen(toQColor(BorderColor()));
    if (FTabPosition == suiTop) {
        const QPoint line[] = {{0, sh - 1}, {0, h - 1}, {w - 1, h - 1}, {w - 1, sh - 1}};
        painter.drawPolyline(line, 4);
    } else {
        const QPoint line[] = {{w - 1, h - sh - 1}, {w - 1, 0}, {0, 0}, {0, h - sh}};
        painter.drawPolyline(line, 4);
    }
}

void TsuiTab::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint()))
        emit OnClick();
}

void TsuiTab::mouseDoubleClickEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton) emit OnDblClick();
}

// ---------------------------------------------------------------------------------------------
// String-tab host

TsuiTabControl::TsuiTabControl(QWidget* parent) : TsuiTab(parent)
{
    InitTopPanel();
}

TsuiTabControlTopPanel* TsuiTabControl::CreateTopPanel()
{
    return new TsuiTabControlTopPanel(this);
}

QStringList TsuiTabControl::Tabs() const
{
    return TopPanel()->Tabs();
}

void TsuiTabControl::SetTabs(const QStringList& tabs)
{
    TopPanel()->SetTabs(tabs);
}

int TsuiTabControl::TabIndex() const
{
    return TopPanel()->TabIndex();
}
