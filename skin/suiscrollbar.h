#pragma once
// The skinned scroll bar: an arrow button at each end and, between them, a channel in which a
// three-piece thumb slides. Lists and memos couple one over their own edge and keep it in step
// with their Qt scroll bar.
#include "framework/trect.h"
#include "skin/suicontrol.h"

#include <QImage>
#include <QPointer>
#include <QScrollBar>
#include <QTimer>
#include <QWidget>
#include <cstdint>
#include <functional>
#include <memory>

class QAbstractScrollArea;
class TsuiImageButton;

// Holds the orientation so that the meta-object system knows its names.
struct TsuiScrollBarEnums
{
    Q_GADGET

public:
    enum TsuiScrollBarOrientation { suiHorizontal = 0, suiVertical = 1 };
    Q_ENUM(TsuiScrollBarOrientation)
};
using TsuiScrollBarOrientation = TsuiScrollBarEnums::TsuiScrollBarOrientation;
inline constexpr TsuiScrollBarOrientation suiHorizontal = TsuiScrollBarEnums::suiHorizontal;
inline constexpr TsuiScrollBarOrientation suiVertical = TsuiScrollBarEnums::suiVertical;

// The shortest thumb a LineButton may ask for.
constexpr int MinLineButton = 16;

// Where the parts of a scroll bar go, in the bar's own coordinates.
struct TsuiScrollBarLayout
{
    bool Hidden = false; // a bar with no width or no height hides itself and places nothing
    QSize Bar;           // the bar's size after placing (its thickness follows the arrows)
    TRect DecButton;
    TRect Track;
    TRect IncButton;
};
// Places the arrows at both ends and the channel, TrackThickness thick, between them.
TsuiScrollBarLayout ScrollBarLayout(TsuiScrollBarOrientation Orientation, QSize Bar, QSize Dec,
                                    QSize Inc, int TrackThickness);

// Thumb length along the bar: LineButton when set (raised to MinLineButton first, which is
// written back), else the channel length times PageSize percent, with PageSize outside 10..100
// taken as 10.
int SliderLength(int& LineButton, int PageSize, int TrackLength);
// The thumb picture of the given length from its three horizontal pieces (start cap, middle,
// end cap), already turned for a vertical bar when Vertical.
QImage BuildSliderPicture(const QImage& Start, const QImage& Middle, const QImage& End,
                          bool Vertical, int Length);

// What the channel's geometry depends on; "along" is x for a horizontal bar, y for a vertical.
struct TsuiScrollTrackMetrics
{
    bool Vertical = false;
    int Min = 0, Max = 10, Position = 0;
    int Length = 0, Thickness = 0;           // the channel
    int ThumbLength = 0, ThumbThickness = 0; // the thumb picture
    int GrabOffset = 0;
};
// Offset of the thumb's start along the channel for the current Position.
int SliderOffset(const TsuiScrollTrackMetrics& M);
// The thumb rectangle inside the channel.
TRect SliderRect(const TsuiScrollTrackMetrics& M);
// The position whose thumb would start at C minus the grab offset, rounded half to even; not
// clamped. 0 when the thumb fills the channel.
int PositionFromSliderPos(const TsuiScrollTrackMetrics& M, int C);
// One paging step towards C: up by Step but not past the position under C, or down likewise;
// unchanged when the thumb starts at C. Not clamped.
int PagedPosition(const TsuiScrollTrackMetrics& M, int C, int Step);

// What the channel paints.
struct TsuiScrollTrackLook
{
    TColor Color = clBtnFace;
    QImage Slider;
    bool SliderVisible = true;
    TRect SliderRect;
};
// The channel: its colour, and the thumb picture unscaled at its place.
void PaintScrollTrack(QPainter& Canvas, const TsuiScrollTrackLook& Look, TRect Rect);

// The channel of a scroll bar: range, value, page step and the thumb, dragged with the mouse or
// paged towards the pointer while the left button is held beside it.
class TsuiScrollTrackBar : public TsuiControl<QWidget>
{
    Q_OBJECT

public:
    explicit TsuiScrollTrackBar(QWidget* parent = nullptr);
    ~TsuiScrollTrackBar() override;

    bool Vertical() const { return FOrientation == suiVertical; }
    void SetOrientation(TsuiScrollBarOrientation orientation);
    int Min() const { return FMin; }
    // Above Max stores Max; pulls Position into the range.
    void SetMin(int value);
    int Max() const { return FMax; }
    // Below Min stores Min; pulls Position into the range.
    void SetMax(int value);
    int Position() const { return FPosition; }
    // Clamps to [Min, Max], places the thumb and reports a change.
    void SetPosition(int value);
    int PageSize() const { return FPageSize; }
    // Accepted only within 0..Max.
    void SetPageSize(int value);
    int LastChange() const { return FLastChange; }
    bool SliderVisible() const { return FSliderVisible; }
    void SetSliderVisible(bool value);
    // The thumb takes the picture and its size.
    void SetSliderPicture(const QImage& picture);
    QImage SliderPicture() const { return FSliderPicture; }
    // The channel's colour (the bar passes its own on).
    void SetColor(TColor color);

    TsuiScrollTrackMetrics Metrics() const;
    // Channel length along the bar.
    int Length() const { return Vertical() ? height() : width(); }
    bool Dragging() const { return FDragging; }
    int GrabOffset() const { return FGrabOffset; }
    // The paging timer while the left button is held beside the thumb, else null.
    QTimer* PageTimer() const { return FPageTimer.get(); }

    // Reports a change of Position since the last report through OnChange.
    void UpdateSlider();

signals:
    void OnChange(QObject* Sender);

public slots:
    // One paging step towards the pointer; the step is 3 x PageSize along a horizontal bar.
    void OnTimer();

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    int Along(QPoint p) const { return Vertical() ? p.y() : p.x(); }
    void PageTowards(QPoint p, int step);
    void StopPaging();

    TsuiScrollBarOrientation FOrientation = suiHorizontal;
    int FMin = 0;
    int FMax = 10;
    int FPosition = 0;
    int FPageSize = 2;
    int FLastPosition = 0;
    int FLastChange = 0;
    bool FSliderVisible = true;
    QImage FSliderPicture;
    bool FDragging = false;
    int FGrabOffset = 0;
    QPoint FPointer; // the pointer in channel coordinates, for the paging ticks
    std::unique_ptr<QTimer> FPageTimer;
};

// The skinned scroll bar.
class TsuiScrollBar : public TsuiControl<QWidget>
{
    Q_OBJECT
    Q_PROPERTY(TsuiScrollBarOrientation Orientation READ Orientation WRITE SetOrientation)
    Q_PROPERTY(TsuiUIStyle UIStyle READ UIStyle WRITE SetUIStyle)
    Q_PROPERTY(QObject* FileTheme READ FileTheme WRITE SetFileTheme)
    Q_PROPERTY(TColor Color READ Color WRITE SetColor)
    Q_PROPERTY(int Min READ Min WRITE SetMin)
    Q_PROPERTY(int Max READ Max WRITE SetMax)
    Q_PROPERTY(int Position READ Position WRITE SetPosition)
    Q_PROPERTY(int PageSize READ PageSize WRITE SetPageSize)
    Q_PROPERTY(int LargeChange READ LargeChange WRITE SetLargeChange)
    Q_PROPERTY(int SmallChange READ SmallChange WRITE SetSmallChange)
    Q_PROPERTY(int LineButton READ LineButton WRITE SetLineButton)

public:
    explicit TsuiScrollBar(QWidget* parent = nullptr);
    ~TsuiScrollBar() override;

    TsuiScrollBarOrientation Orientation() const { return FOrientation; }
    void SetOrientation(TsuiScrollBarOrientation orientation);
    // Refers to the theme (forgotten, with a fall back to DeepBlue, when it is destroyed).
    void SetFileTheme(QObject* theme);
    void SetColor(TColor color);

    int Min() const;
    void SetMin(int value);
    int Max() const;
    void SetMax(int value);
    int Position() const;
    // Passed to the channel only when it differs from the channel's.
    void SetPosition(int value);
    int PageSize() const;
    // Also sets the thumb length while LineButton is 0.
    void SetPageSize(int value);
    // The low 16 bits of PageSize; setting it leaves the thumb as it is.
    int LargeChange() const { return static_cast<std::int16_t>(PageSize() & 0xFFFF); }
    void SetLargeChange(int value);
    // The arrow step, saturated to 16 bits.
    int SmallChange() const { return FSmallChange; }
    void SetSmallChange(int value);
    int LineButton() const { return FLineButton; }
    // A thumb length in pixels (0: follow PageSize); a length that does not fit between the
    // arrows is ignored.
    void SetLineButton(int value);
    // The last change of Position, new minus old.
    int LastChange() const;
    bool SliderVisible() const;
    void SetSliderVisible(bool value);

    // The length left between the two arrow buttons.
    int SpaceBetweenButtons() const;
    // Places arrows and channel for the current size and orientation.
    void PlaceTrackBarAndButton();
    // Loads the arrow and thumb pieces of the style, turned for the orientation.
    void UpdatePictures();
    // Rebuilds the thumb picture for the channel's length.
    void UpdateSliderPic();

    TsuiScrollTrackBar* Track() const { return FTrack; }
    TsuiImageButton* DecButton() const { return FDecButton; }
    TsuiImageButton* IncButton() const { return FIncButton; }

signals:
    // Position changed (raised by the channel).
    void OnChange(QObject* Sender);

public slots:
    // One auto-repeat step of the arrows.
    void MouseContinuouslyDownInc(QObject* Sender);
    void MouseContinuouslyDownDec(QObject* Sender);

protected:
    void UIStyleChanged() override;
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    TsuiScrollTrackBar* FTrack = nullptr;
    TsuiImageButton* FDecButton = nullptr;
    TsuiImageButton* FIncButton = nullptr;
    QImage FSliderStart, FSliderMiddle, FSliderEnd;
    TsuiScrollBarOrientation FOrientation = suiHorizontal;
    int FSmallChange = 1;
    int FLineButton = 0;
    bool FPlacing = false; // the layout resizes the bar itself
    TsuiFileThemeLink FThemeLink;
};

// What a Qt scroll bar of a list or memo shows, as a coupled skinned bar mirrors it.
struct TsuiNativeScrollState
{
    bool Available = false; // shown and with something to scroll
    int Min = 0;
    int Max = 0; // the last position, i.e. the content's extent minus one page
    int Position = 0;
    int ThumbLength = 0; // the Qt thumb's length in pixels
};
// Reads Bar as it shows inside Owner (hidden containers count as hidden).
TsuiNativeScrollState NativeScrollState(const QScrollBar& Bar, const QWidget& Owner);
// Whether Control would be visible with its parent; true for a control without a parent that
// is not explicitly hidden.
bool ShownWithParent(const QWidget& Control);
// Watches a list or memo for everything that moves or resizes it, changes its Qt scroll state,
// its enabled state or its visibility, and tells the owner, which keeps its coupled bars in step.
class TsuiScrollAreaWatcher : public QObject
{
    Q_OBJECT

public:
    struct Handlers
    {
        std::function<void()> Placement; // moved, resized or shown again
        std::function<void()> State;     // scroll range, value, thumb, enabled state changed
        std::function<void()> Hidden;    // the area itself was hidden
    };
    // Owned by the area's class as a member, so that it stops before the area is torn down.
    TsuiScrollAreaWatcher(QAbstractScrollArea& Area, Handlers Handlers);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QAbstractScrollArea& FArea;
    Handlers FHandlers;
};

// Uncoupling from Owner: the bar's change no longer reaches Owner, and it is left as a plain bar
// (no thumb length of its own, Max 100, enabled).
void ReleaseCoupledScrollBar(TsuiScrollBar& Bar, const QObject* Owner);

// Shows State on a coupled bar: while there is something to scroll the bar takes the Qt thumb's
// length and, with its owner enabled, is enabled and shown (MayShow false keeps it hidden);
// otherwise it is disabled and hidden with no thumb length of its own. Range and position follow.
void MirrorScrollState(TsuiScrollBar& Bar, const TsuiNativeScrollState& State, bool OwnerEnabled,
                       bool MayShow);

// A Qt scroll bar drawn as the skinned bar: it keeps the scroll state and its place in the scroll
// area's layout, as thick as the skinned bar, while the skinned bar covers it and mirrors it. For
// scroll areas that Qt builds itself, such as a combo box's dropped list.
class TsuiSkinnedQtScrollBar : public QScrollBar
{
    Q_OBJECT

public:
    explicit TsuiSkinnedQtScrollBar(Qt::Orientation orientation, QWidget* parent = nullptr);

    TsuiScrollBar* Skin() const { return FSkin; }
    // The look of the skinned bar.
    void SetUIStyle(TsuiUIStyle style);
    // As thick as the skinned bar, so the area leaves exactly its room.
    QSize sizeHint() const override;

protected:
    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    void Mirror();
    void OnSkinChange();

    TsuiScrollBar* FSkin = nullptr;
    bool FMirroring = false; // the skin is being written from this bar's state
};
