#include "skin/suiscrollbar.h"

#include "skin/suiaccessible.h"
#include "skin/suibutton.h"
#include "skin/suipublic.h"

#include <QAbstractScrollArea>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>
#include <QStyle>
#include <QStyleOptionSlider>
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>

namespace {
int ClampToInt(std::int64_t v)
{
    return static_cast<int>(std::clamp<std::int64_t>(v, std::numeric_limits<int>::min(),
                                                     std::numeric_limits<int>::max()));
}

// Length along the bar and thickness across it of a picture.
int AlongOf(const QImage& image, bool vertical)
{
    return vertical ? image.height() : image.width();
}
int AcrossOf(const QImage& image, bool vertical)
{
    return vertical ? image.width() : image.height();
}
} // namespace

TsuiScrollBarLayout ScrollBarLayout(TsuiScrollBarOrientation Orientation, QSize Bar, QSize Dec,
                                    QSize Inc, int TrackThickness)
{
    TsuiScrollBarLayout L;
    if (Bar.width() <= 0 || Bar.height() <= 0) {
        L.Hidden = true;
        return L;
    }
    if (Orientation == suiVertical) {
        const int H = Bar.height();
        L.Bar = {Dec.width(), H};
        L.DecButton = Bounds(0, 0, Dec.width(), Dec.height());
        L.Track =
            Bounds(0, Dec.height(), TrackThickness, std::max(0, H - Dec.height() - Inc.height()));
        L.IncButton = Bounds(0, H - Inc.height(), Inc.width(), Inc.height());
    } else {
        const int W = Bar.width();
        L.Bar = {W, Dec.height()};
        L.DecButton = Bounds(0, 0, Dec.width(), Dec.height());
        L.Track =
            Bounds(Dec.width(), 0, std::max(0, W - Dec.width() - Inc.width()), TrackThickness);
        L.IncButton = Bounds(W - Inc.width(), 0, Inc.width(), Inc.height());
    }
    return L;
}

int SliderLength(int& LineButton, int PageSize, int TrackLength)
{
    if (LineButton > 0) {
        LineButton = std::max(LineButton, MinLineButton);
        return LineButton;
    }
    const int p = (PageSize < 10 || PageSize > 100) ? 10 : PageSize;
    return TrackLength > 0 ? static_cast<int>(std::int64_t(TrackLength) * p / 100) : 0;
}

QImage BuildSliderPicture(const QImage& Start, const QImage& Middle, const QImage& End,
                          bool Vertical, int Length)
{
    const int thickness = AcrossOf(Start, Vertical);
    if (Length <= 0 || thickness <= 0) return {};
    QImage picture(Vertical ? QSize(thickness, Length) : QSize(Length, thickness),
                   QImage::Format_RGB32);
    picture.fill(Qt::black);
    QPainter canvas(&picture);
    // Both caps at natural size; the middle stretched over what lies between them.
    const int startLen = AlongOf(Start, Vertical);
    const int endLen = AlongOf(End, Vertical);
    canvas.drawImage(0, 0, Start);
    const int endAt = Length - endLen;
    canvas.drawImage(Vertical ? QPoint(0, endAt) : QPoint(endAt, 0), End);
    const int middleLen = endAt - startLen;
    if (middleLen > 0 && !Middle.isNull()) {
        const QRect target = Vertical ? QRect(0, startLen, thickness, middleLen)
                                      : QRect(startLen, 0, middleLen, thickness);
        canvas.drawImage(target, Middle);
    }
    return picture;
}

int SliderOffset(const TsuiScrollTrackMetrics& M)
{
    if (M.Max == M.Min) return 0;
    const std::int64_t span = std::int64_t(M.Length) - M.ThumbLength;
    return ClampToInt((std::int64_t(M.Position) - M.Min) * span / (std::int64_t(M.Max) - M.Min));
}

TRect SliderRect(const TsuiScrollTrackMetrics& M)
{
    const int along = SliderOffset(M);
    const int across = std::max(0, (M.Thickness - M.ThumbThickness) / 2);
    return M.Vertical ? Bounds(across, along, M.ThumbThickness, M.ThumbLength)
                      : Bounds(along, across, M.ThumbLength, M.ThumbThickness);
}

int PositionFromSliderPos(const TsuiScrollTrackMetrics& M, int C)
{
    const int span = M.Length - M.ThumbLength;
    if (span == 0) return 0;
    // nearbyint rounds halves to even in the default rounding mode.
    const double steps =
        std::nearbyint(double(C - M.GrabOffset) * (double(M.Max) - double(M.Min)) / span);
    const double v = std::clamp(double(M.Min) + steps, double(std::numeric_limits<int>::min()),
                                double(std::numeric_limits<int>::max()));
    return static_cast<int>(v);
}

int PagedPosition(const TsuiScrollTrackMetrics& M, int C, int Step)
{
    const int s = SliderOffset(M);
    if (s < C)
        return ClampToInt(
            std::min<std::int64_t>(std::int64_t(M.Position) + Step, PositionFromSliderPos(M, C)));
    if (s > C)
        return ClampToInt(
            std::max<std::int64_t>(std::int64_t(M.Position) - Step, PositionFromSliderPos(M, C)));
    return M.Position;
}

void PaintScrollTrack(QPainter& Canvas, const TsuiScrollTrackLook& Look, TRect Rect)
{
    Canvas.fillRect(Rect.toQRect(), toQColor(Look.Color));
    if (Look.SliderVisible && !Look.Slider.isNull())
        Canvas.drawImage(QPoint(Rect.Left + Look.SliderRect.Left, Rect.Top + Look.SliderRect.Top),
                         Look.Slider);
}

// ---- the channel ----

TsuiScrollTrackBar::TsuiScrollTrackBar(QWidget* parent) : TsuiControl<QWidget>(parent)
{
    setAttribute(Qt::WA_OpaquePaintEvent);
    setFocusPolicy(Qt::NoFocus);
}

TsuiScrollTrackBar::~TsuiScrollTrackBar() = default;

void TsuiScrollTrackBar::SetOrientation(TsuiScrollBarOrientation orientation)
{
    FOrientation = orientation;
    update();
}

void TsuiScrollTrackBar::SetMin(int value)
{
    FMin = std::min(value, FMax);
    SetPosition(FPosition);
    update();
}

void TsuiScrollTrackBar::SetMax(int value)
{
    FMax = std::max(value, FMin);
    SetPosition(FPosition);
    update();
}

void TsuiScrollTrackBar::SetPosition(int value)
{
    FPosition = std::clamp(value, FMin, FMax);
    UpdateSlider();
}

void TsuiScrollTrackBar::SetPageSize(int value)
{
    if (value < 0 || value > FMax) return;
    FPageSize = value;
}

void TsuiScrollTrackBar::SetSliderVisible(bool value)
{
    FSliderVisible = value;
    update();
}

void TsuiScrollTrackBar::SetSliderPicture(const QImage& picture)
{
    FSliderPicture = picture;
    update();
}

void TsuiScrollTrackBar::SetColor(TColor color)
{
    TsuiControl<QWidget>::SetColor(color);
    update();
}

TsuiScrollTrackMetrics TsuiScrollTrackBar::Metrics() const
{
    TsuiScrollTrackMetrics m;
    m.Vertical = Vertical();
    m.Min = FMin;
    m.Max = FMax;
    m.Position = FPosition;
    m.Length = Length();
    m.Thickness = Vertical() ? width() : height();
    m.ThumbLength = AlongOf(FSliderPicture, Vertical());
    m.ThumbThickness = AcrossOf(FSliderPicture, Vertical());
    m.GrabOffset = FGrabOffset;
    return m;
}

void TsuiScrollTrackBar::UpdateSlider()
{
    update();
    if (FPosition == FLastPosition) return;
    FLastChange = FPosition - FLastPosition;
    FLastPosition = FPosition;
    emit OnChange(this);
}

void TsuiScrollTrackBar::OnTimer()
{
    PageTowards(FPointer, Vertical() ? FPageSize : 3 * FPageSize);
}

void TsuiScrollTrackBar::PageTowards(QPoint p, int step)
{
    SetPosition(PagedPosition(Metrics(), Along(p), step));
}

void TsuiScrollTrackBar::StopPaging()
{
    FPageTimer.reset();
}

void TsuiScrollTrackBar::paintEvent(QPaintEvent*)
{
    QPainter canvas(this);
    const TsuiScrollTrackLook look{Color(), FSliderPicture, FSliderVisible, SliderRect(Metrics())};
    PaintScrollTrack(canvas, look, {0, 0, width(), height()});
}

void TsuiScrollTrackBar::mousePressEvent(QMouseEvent* event)
{
    event->accept();
    const QPoint p = event->position().toPoint();
    FPointer = p;
    if (event->button() != Qt::LeftButton) return;
    const TRect thumb = SliderRect(Metrics());
    if (FSliderVisible && thumb.Contains(p.x(), p.y())) {
        // Grabbing the thumb: the drag keeps the grab point under the pointer.
        FGrabOffset = Along(p) - (Vertical() ? thumb.Top : thumb.Left);
        FDragging = true;
        return;
    }
    PageTowards(p, FPageSize);
    if (!FPageTimer) {
        FPageTimer = std::make_unique<QTimer>();
        FPageTimer->setInterval(100);
        connect(FPageTimer.get(), &QTimer::timeout, this, &TsuiScrollTrackBar::OnTimer);
        FPageTimer->start();
    }
}

void TsuiScrollTrackBar::mouseMoveEvent(QMouseEvent* event)
{
    event->accept();
    const QPoint p = event->position().toPoint();
    FPointer = p;
    if (FDragging) {
        // The thumb moves in steps of one position, never to a place between two.
        FPosition = std::clamp(PositionFromSliderPos(Metrics(), Along(p)), FMin, FMax);
        UpdateSlider();
        return;
    }
    if (FPageTimer && (p.x() < 0 || p.x() > width() || p.y() < 0 || p.y() > height())) StopPaging();
}

void TsuiScrollTrackBar::mouseReleaseEvent(QMouseEvent* event)
{
    event->accept();
    StopPaging();
    FDragging = false;
}

// ---- the bar ----

TsuiScrollBar::TsuiScrollBar(QWidget* parent) : TsuiControl<QWidget>(parent)
{
    setAttribute(Qt::WA_OpaquePaintEvent);
    FTrack = new TsuiScrollTrackBar(this);
    FTrack->SetMax(100);
    connect(FTrack, &TsuiScrollTrackBar::OnChange, this, [this] {
        AnnounceValueChanged(this, Position());
        emit OnChange(this);
    });
    for (TsuiImageButton** button : {&FDecButton, &FIncButton}) {
        *button = new TsuiImageButton(this);
        (*button)->SetTabStop(false);
        (*button)->SetMouseContinuouslyDownInterval(100);
        (*button)->SetAutoSize(true);
    }
    connect(FDecButton, &TsuiCustomButton::OnMouseContinuouslyDown, this,
            &TsuiScrollBar::MouseContinuouslyDownDec);
    connect(FIncButton, &TsuiCustomButton::OnMouseContinuouslyDown, this,
            &TsuiScrollBar::MouseContinuouslyDownInc);
    resize(185, 185);
    SetUIStyle(GetSUIFormStyle(parent ? parent->window() : nullptr));
}

TsuiScrollBar::~TsuiScrollBar()
{
    // The buttons go first: a repeat tick must never reach a half-destroyed bar.
    delete FDecButton;
    delete FIncButton;
}

void TsuiScrollBar::SetOrientation(TsuiScrollBarOrientation orientation)
{
    FOrientation = orientation;
    UpdatePictures();
}

void TsuiScrollBar::SetFileTheme(QObject* theme)
{
    FThemeLink.Set(this, qobject_cast<TsuiFileTheme*>(theme));
    TsuiControl<QWidget>::SetFileTheme(theme);
}

void TsuiScrollBar::SetColor(TColor color)
{
    TsuiControl<QWidget>::SetColor(color);
    FTrack->SetColor(color);
    update();
}

int TsuiScrollBar::Min() const
{
    return FTrack->Min();
}
void TsuiScrollBar::SetMin(int value)
{
    FTrack->SetMin(value);
}
int TsuiScrollBar::Max() const
{
    return FTrack->Max();
}
void TsuiScrollBar::SetMax(int value)
{
    FTrack->SetMax(value);
}
int TsuiScrollBar::Position() const
{
    return FTrack->Position();
}

void TsuiScrollBar::SetPosition(int value)
{
    if (value != FTrack->Position()) FTrack->SetPosition(value);
}

int TsuiScrollBar::PageSize() const
{
    return FTrack->PageSize();
}

void TsuiScrollBar::SetPageSize(int value)
{
    FTrack->SetPageSize(value);
    UpdateSliderPic();
}

void TsuiScrollBar::SetLargeChange(int value)
{
    FTrack->SetPageSize(value);
}

void TsuiScrollBar::SetSmallChange(int value)
{
    FSmallChange = std::clamp<int>(value, std::numeric_limits<std::int16_t>::min(),
                                   std::numeric_limits<std::int16_t>::max());
}

void TsuiScrollBar::SetLineButton(int value)
{
    if (value == FLineButton) return;
    // 0 hands the length back to PageSize and always fits.
    if (value != 0 && value > SpaceBetweenButtons()) return;
    FLineButton = value;
    UpdateSliderPic();
}

int TsuiScrollBar::LastChange() const
{
    return FTrack->LastChange();
}
bool TsuiScrollBar::SliderVisible() const
{
    return FTrack->SliderVisible();
}
void TsuiScrollBar::SetSliderVisible(bool value)
{
    FTrack->SetSliderVisible(value);
}

int TsuiScrollBar::SpaceBetweenButtons() const
{
    return FOrientation == suiVertical ? height() - FDecButton->height() - FIncButton->height()
                                       : width() - FDecButton->width() - FIncButton->width();
}

void TsuiScrollBar::UIStyleChanged()
{
    UpdatePictures();
}

void TsuiScrollBar::UpdatePictures()
{
    TsuiUIStyle style;
    UsingFileTheme(FThemeLink.Get(), UIStyle(), style);
    const bool vertical = FOrientation == suiVertical;
    SetColor(GetInsideThemeColor(style, SuiTheme::ScrollBarColor));

    QImage* pieces[] = {&FSliderStart, &FSliderMiddle, &FSliderEnd};
    for (int i = 0; i < 3; ++i) {
        *pieces[i] = QImage();
        GetInsideThemeBitmap(style, SuiTheme::ScrollBarTrackImage, *pieces[i], 3, i + 1);
        // The pieces are drawn for a horizontal thumb.
        if (vertical && !pieces[i]->isNull()) RoundPicture3(*pieces[i]);
    }
    QImage arrows[6];
    for (int i = 0; i < 6; ++i) {
        GetInsideThemeBitmap(style, SuiTheme::ScrollBarButtonImage, arrows[i], 6, i + 1);
        // The arrows are drawn for a vertical bar.
        if (!vertical && !arrows[i].isNull()) RoundPicture(arrows[i]);
    }
    FDecButton->SetPicNormal(arrows[0]);
    FDecButton->SetPicMouseOn(arrows[1]);
    FDecButton->SetPicMouseDown(arrows[2]);
    FIncButton->SetPicNormal(arrows[3]);
    FIncButton->SetPicMouseOn(arrows[4]);
    FIncButton->SetPicMouseDown(arrows[5]);
    PlaceTrackBarAndButton();
    update();
}

void TsuiScrollBar::PlaceTrackBarAndButton()
{
    if (FPlacing) return;
    FTrack->SetOrientation(FOrientation);
    const bool vertical = FOrientation == suiVertical;
    const TsuiScrollBarLayout L =
        ScrollBarLayout(FOrientation, size(), FDecButton->size(), FIncButton->size(),
                        AcrossOf(FSliderStart, vertical));
    if (L.Hidden) {
        hide();
        return;
    }
    FPlacing = true;
    resize(L.Bar);
    PlaceControl(*FDecButton, L.DecButton);
    PlaceControl(*FTrack, L.Track);
    PlaceControl(*FIncButton, L.IncButton);
    FPlacing = false;
    UpdateSliderPic();
}

void TsuiScrollBar::UpdateSliderPic()
{
    const bool vertical = FOrientation == suiVertical;
    const int length = SliderLength(FLineButton, PageSize(), FTrack->Length());
    FTrack->SetSliderPicture(
        BuildSliderPicture(FSliderStart, FSliderMiddle, FSliderEnd, vertical, length));
}

void TsuiScrollBar::MouseContinuouslyDownInc(QObject*)
{
    FTrack->SetPosition(FTrack->Position() + FSmallChange);
}

void TsuiScrollBar::MouseContinuouslyDownDec(QObject*)
{
    FTrack->SetPosition(FTrack->Position() - FSmallChange);
}

void TsuiScrollBar::paintEvent(QPaintEvent*)
{
    // No background erase: the colour fills what the children leave uncovered.
    QPainter canvas(this);
    canvas.fillRect(rect(), toQColor(Color()));
}

void TsuiScrollBar::resizeEvent(QResizeEvent* event)
{
    TsuiControl<QWidget>::resizeEvent(event);
    PlaceTrackBarAndButton();
}

// ---- coupling helpers ----

TsuiNativeScrollState NativeScrollState(const QScrollBar& Bar, const QWidget& Owner)
{
    TsuiNativeScrollState s;
    s.Min = Bar.minimum();
    s.Max = Bar.maximum();
    s.Position = Bar.value();
    s.Available = Bar.isVisibleTo(&Owner) && Bar.maximum() > Bar.minimum();

    QStyleOptionSlider opt;
    opt.initFrom(&Bar);
    opt.subControls = QStyle::SC_All;
    opt.activeSubControls = QStyle::SC_None;
    opt.orientation = Bar.orientation();
    opt.minimum = Bar.minimum();
    opt.maximum = Bar.maximum();
    opt.sliderPosition = Bar.sliderPosition();
    opt.sliderValue = Bar.value();
    opt.singleStep = Bar.singleStep();
    opt.pageStep = Bar.pageStep();
    opt.rect = Bar.rect();
    const QRect thumb =
        Bar.style()->subControlRect(QStyle::CC_ScrollBar, &opt, QStyle::SC_ScrollBarSlider, &Bar);
    s.ThumbLength = Bar.orientation() == Qt::Vertical ? thumb.height() : thumb.width();
    return s;
}

bool ShownWithParent(const QWidget& Control)
{
    return Control.parentWidget() ? Control.isVisibleTo(Control.parentWidget())
                                  : !Control.isHidden();
}

TsuiScrollAreaWatcher::TsuiScrollAreaWatcher(QAbstractScrollArea& Area, Handlers Handlers)
    : FArea(Area), FHandlers(std::move(Handlers))
{
    Area.installEventFilter(this);
    for (QScrollBar* bar : {Area.horizontalScrollBar(), Area.verticalScrollBar()}) {
        bar->installEventFilter(this);
        connect(bar, &QScrollBar::valueChanged, this, [this] { FHandlers.State(); });
        connect(bar, &QScrollBar::rangeChanged, this, [this] { FHandlers.State(); });
    }
}

bool TsuiScrollAreaWatcher::eventFilter(QObject* watched, QEvent* event)
{
    const QEvent::Type type = event->type();
    if (watched == &FArea) {
        if (type == QEvent::Move || type == QEvent::Resize || type == QEvent::Show)
            FHandlers.Placement();
        else if (type == QEvent::Hide)
            FHandlers.Hidden();
        else if (type == QEvent::EnabledChange)
            FHandlers.State();
    } else if (type == QEvent::Show || type == QEvent::Hide || type == QEvent::Resize ||
               type == QEvent::EnabledChange) {
        // A Qt bar appearing, going or changing length changes what the coupled bar mirrors.
        FHandlers.State();
    }
    return false;
}

void ReleaseCoupledScrollBar(TsuiScrollBar& Bar, const QObject* Owner)
{
    // Every link from the bar to its former owner goes: the change and the removal notice.
    QObject::disconnect(&Bar, nullptr, Owner, nullptr);
    Bar.SetLineButton(0);
    Bar.SetMax(100);
    Bar.setEnabled(true);
    // A bar that showed a disabled owner's state gets its thumb back.
    Bar.SetSliderVisible(true);
}

void MirrorScrollState(TsuiScrollBar& Bar, const TsuiNativeScrollState& State, bool OwnerEnabled,
                       bool MayShow)
{
    if (State.Available && OwnerEnabled) {
        Bar.SetLineButton(State.ThumbLength);
        Bar.setEnabled(true);
        Bar.setVisible(MayShow && Bar.width() > 0 && Bar.height() > 0);
    } else if (State.Available) {
        Bar.setEnabled(false);
    } else {
        Bar.SetLineButton(0);
        Bar.setEnabled(false);
        Bar.hide();
    }
    Bar.SetMax(State.Max);
    Bar.SetMin(State.Min);
    Bar.SetPosition(State.Position);
}

// ---- a Qt scroll bar drawn as the skinned bar ----

TsuiSkinnedQtScrollBar::TsuiSkinnedQtScrollBar(Qt::Orientation orientation, QWidget* parent)
    : QScrollBar(orientation, parent)
{
    FSkin = new TsuiScrollBar(this);
    FSkin->SetOrientation(orientation == Qt::Vertical ? suiVertical : suiHorizontal);
    connect(FSkin, &TsuiScrollBar::OnChange, this, &TsuiSkinnedQtScrollBar::OnSkinChange);
    connect(this, &QScrollBar::valueChanged, this, &TsuiSkinnedQtScrollBar::Mirror);
    connect(this, &QScrollBar::rangeChanged, this, &TsuiSkinnedQtScrollBar::Mirror);
}

void TsuiSkinnedQtScrollBar::SetUIStyle(TsuiUIStyle style)
{
    FSkin->SetUIStyle(style);
    updateGeometry();
    Mirror();
}

QSize TsuiSkinnedQtScrollBar::sizeHint() const
{
    const QSize qt = QScrollBar::sizeHint();
    // A vertical skinned bar makes itself as wide as its arrows, a horizontal one as high.
    return orientation() == Qt::Vertical ? QSize(FSkin->DecButton()->width(), qt.height())
                                         : QSize(qt.width(), FSkin->DecButton()->height());
}

void TsuiSkinnedQtScrollBar::resizeEvent(QResizeEvent* event)
{
    QScrollBar::resizeEvent(event);
    FSkin->setGeometry(rect());
    Mirror();
}

void TsuiSkinnedQtScrollBar::showEvent(QShowEvent* event)
{
    QScrollBar::showEvent(event);
    Mirror();
}

void TsuiSkinnedQtScrollBar::changeEvent(QEvent* event)
{
    QScrollBar::changeEvent(event);
    if (event->type() == QEvent::EnabledChange) Mirror();
}

void TsuiSkinnedQtScrollBar::Mirror()
{
    FMirroring = true;
    // The skin lives inside this bar: it is hidden whenever this bar is.
    const QWidget& owner = parentWidget() ? *parentWidget() : *static_cast<QWidget*>(this);
    MirrorScrollState(*FSkin, NativeScrollState(*this, owner), isEnabled(), true);
    FMirroring = false;
}

void TsuiSkinnedQtScrollBar::OnSkinChange()
{
    if (FMirroring) return;
    setValue(FSkin->Position());
    Mirror();
}
