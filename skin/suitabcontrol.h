#pragma once
// The tab machinery: a host that frames a page area, with a tab strip along its top (or bottom)
// edge that draws the tabs from the style's artwork, scrolls them when they do not fit and
// reports a change of the selected tab back to the host.
#include "framework/trect.h"
#include "skin/suicontrol.h"

#include <QFont>
#include <QImage>
#include <QList>
#include <QPoint>
#include <QStringList>
#include <array>
#include <optional>
#include <vector>

class QPainter;
class TsuiTabControlTopPanel;

// A list of equally sized pictures drawn by index (tab icons).
class TImageList : public QObject
{
    Q_OBJECT

public:
    TImageList(int width, int height, QObject* owner = nullptr);
    int Width() const { return FWidth; }
    int Height() const { return FHeight; }
    int Count() const { return int(FImages.size()); }
    // Appends a picture; it is drawn at the list's size.
    void Add(const QImage& image);
    void Draw(QPainter& canvas, int x, int y, int index) const;

private:
    int FWidth;
    int FHeight;
    QList<QImage> FImages;
};

// The host: owns the strip, paints the page area and its border, holds the shared properties.
class TsuiTab : public TsuiControl<QWidget>
{
    Q_OBJECT
    Q_PROPERTY(TsuiUIStyle UIStyle READ UIStyle WRITE SetUIStyle)
    Q_PROPERTY(QObject* FileTheme READ FileTheme WRITE SetFileTheme)
    Q_PROPERTY(TColor BorderColor READ BorderColor WRITE SetBorderColor)
    Q_PROPERTY(TColor Color READ Color WRITE SetColor)
    Q_PROPERTY(int LeftMargin READ LeftMargin WRITE SetLeftMargin)
    Q_PROPERTY(TsuiTabPosition TabPosition READ TabPosition WRITE SetTabPosition)
    Q_PROPERTY(bool PageDrawFocused READ PageDrawFocused WRITE SetPageDrawFocused)
    Q_PROPERTY(TImageList* Images READ Images WRITE SetImageList)
    Q_PROPERTY(bool TabStop READ TabStop WRITE SetTabStop)

public:
    enum TsuiTabPosition { suiTop, suiBottom };
    Q_ENUM(TsuiTabPosition)

    TsuiTabControlTopPanel* TopPanel() const { return FTopPanel; }
    int StripHeight() const;
    // Where alClient children go: the client rectangle less the strip and a 3-pixel frame.
    TRect PageArea() const;

    int LeftMargin() const;
    void SetLeftMargin(int margin);
    TsuiTabPosition TabPosition() const { return FTabPosition; }
    void SetTabPosition(TsuiTabPosition position);
    bool PageDrawFocused() const { return FPageDrawFocused; }
    void SetPageDrawFocused(bool value);
    TImageList* Images() const { return FImages; }
    void SetImageList(TImageList* images);
    bool TabStop() const { return focusPolicy() != Qt::NoFocus; }
    void SetTabStop(bool value) { setFocusPolicy(value ? Qt::TabFocus : Qt::NoFocus); }
    // Stores the border colour and repaints host and strip.
    void SetBorderColor(TColor color);
    // Stores the body colour (painted by the host itself, not by Qt's background fill).
    void SetColor(TColor color);

    // The icon index of tab i, -1 for none.
    virtual int GetImageIndex(int tabIndex) const = 0;
    // Passes the index to the strip, without OnChanging.
    virtual void SetTabIndex(int index);
    // The strip's selection changed to index: raises OnTabActive and OnChange.
    virtual void TabActive(int index);
    // Whether the host is reading a stored layout (no change events then).
    bool Loading() const { return FLoading; }
    // Puts the strip before every other control of the host in the Tab-key cycle, as its first
    // child; a stored tab order set between other controls may have moved it behind the pages.
    void PlaceStripFirstInTabOrder();

signals:
    void OnClick();
    void OnDblClick();
    void OnChanging(bool* AllowChange);
    void OnTabActive(int TabIndex);
    void OnChange();

protected:
    explicit TsuiTab(QWidget* parent);
    ~TsuiTab() override;
    // Creates the strip; derived constructors call it once, so CreateTopPanel dispatches to them.
    void InitTopPanel();
    virtual TsuiTabControlTopPanel* CreateTopPanel() = 0;
    virtual void BorderColorChanged() {}
    virtual void ColorChanged() {}
    // Pushes the style to the host's child controls.
    virtual void UpdateUIStyle(TsuiUIStyle style, TsuiFileTheme* fileTheme);
    // Places the strip and the page-area children after a size or position change.
    virtual void AlignChildren();

    void UIStyleChanged() override;
    void resizeEvent(QResizeEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;

    bool FLoading = false;

private:
    friend class TsuiTabControlTopPanel;
    TsuiTabControlTopPanel* FTopPanel = nullptr;
    TsuiTabPosition FTabPosition = suiTop;
    bool FPageDrawFocused = true;
    QPointer<TImageList> FImages;
};

// Host with a plain list of string tabs.
class TsuiTabControl : public TsuiTab
{
    Q_OBJECT
    Q_PROPERTY(QStringList Tabs READ Tabs WRITE SetTabs)
    Q_PROPERTY(int TabIndex READ TabIndex WRITE SetTabIndex)

public:
    explicit TsuiTabControl(QWidget* parent = nullptr);
    QStringList Tabs() const;
    void SetTabs(const QStringList& tabs);
    int TabIndex() const;
    int GetImageIndex(int tabIndex) const override { return tabIndex; }

protected:
    TsuiTabControlTopPanel* CreateTopPanel() override;
};

// Sizes the strip layout works from.
struct TsuiTabStripGeometry
{
    int Width = 0;
    int Height = 0;
    int LeftMargin = 10;
    TsuiTab::TsuiTabPosition Position = TsuiTab::suiTop;
    int ActiveHeight = 0;
    int InactiveHeight = 0;
    int LineHeight = 0;
    int ButtonWidth = 0;
    int ButtonHeight = 0;
};

constexpr int MaxTabs = 64;

// One drawn tab.
struct TsuiTabBox
{
    int Index = -1;
    TRect Rect;
    bool Active = false;
    bool Cut = false;
};

// Everything one layout pass of the strip decides.
struct TsuiTabStripLayout
{
    std::vector<TsuiTabBox> Boxes;
    std::array<int, MaxTabs> Widths; // width of each tab at this layout, -1 = none recorded
    int FirstVisible = 0;            // shown tabs scrolled out at the left
    bool Overflow = false;
    int LastWhole = -1;
    bool ButtonsShown = false;
    TRect LeftButton;
    TRect RightButton;
    int ScrollHover = 0; // -1 over the left button, +1 over the right one
};

// Width of a tab: caption + 20 (80 for an empty caption), plus icon + 4, at least 15.
int TabNaturalWidth(int captionWidth, bool emptyCaption, int imageWidth);

// Lays the tabs out from their natural widths; with scrollIntoView the strip scrolls until the
// selected tab is drawn whole. pointer decides which scroll button is under the mouse.
TsuiTabStripLayout LayoutTabStrip(const TsuiTabStripGeometry& geometry,
                                  const std::vector<int>& naturalWidths,
                                  const std::array<bool, MaxTabs>& visible, int tabIndex,
                                  int firstVisible, bool scrollIntoView,
                                  std::optional<QPoint> pointer);

// The tab under point, from the widths recorded by the last layout; -1 for none.
int HitTestTabStrip(const TsuiTabStripGeometry& geometry, const std::array<int, MaxTabs>& widths,
                    const std::array<bool, MaxTabs>& visible, int firstVisible, int tabHeight,
                    QPoint point);

// What the strip paints with.
struct TsuiTabStripState
{
    TsuiTabStripGeometry Geometry;
    TsuiTabStripLayout Layout;
    QStringList Captions;
    std::vector<int> ImageIndexes; // valid index into Images, or -1
    const TImageList* Images = nullptr;
    QImage ActiveImage, InactiveImage, LineImage, ScrollButtons;
    TColor StripColor = clBtnFace;
    TColor BorderColor = clBlack;
    TColor ActiveFontColor = clBlack;
    TColor InactiveFontColor = clBlack;
    QFont Font;
    bool DrawFocus = false; // the strip has the focus and the host draws it
};

// Draws the tab line, the tabs and the scroll buttons over what the canvas already holds.
void PaintTabStrip(QPainter& canvas, const TsuiTabStripState& state, TRect rect);

// The tab strip.
class TsuiTabControlTopPanel : public TsuiControl<QWidget>
{
    Q_OBJECT
    Q_PROPERTY(QStringList Tabs READ Tabs WRITE SetTabs)
    Q_PROPERTY(int TabIndex READ TabIndex WRITE SetTabIndex)
    Q_PROPERTY(int LeftMargin READ LeftMargin WRITE SetLeftMargin)
    Q_PROPERTY(TsuiUIStyle UIStyle READ UIStyle WRITE SetUIStyle)
    Q_PROPERTY(QObject* FileTheme READ FileTheme WRITE SetFileTheme)

public:
    explicit TsuiTabControlTopPanel(TsuiTab* host);

    QStringList Tabs() const { return FTabs; }
    // Replaces the captions; the selection is kept (an empty list selects none).
    void SetTabs(const QStringList& tabs);
    int TabIndex() const { return FTabIndex; }
    // Selects a tab; OnChanging is asked only while a click is being handled.
    void SetTabIndex(int index);
    // Selects a tab as a click on it does (OnChanging is asked); also what pressing the tab
    // through an assistive tool does.
    void ClickTab(int index);
    int LeftMargin() const { return FLeftMargin; }
    void SetLeftMargin(int margin);
    TsuiTab::TsuiTabPosition TabPosition() const { return FTabPosition; }
    // Turns the three images when the side changes.
    void SetTabPosition(TsuiTab::TsuiTabPosition position);
    bool TabVisibleAt(int index) const;
    void SetTabVisibleAt(int index, bool visible);

    // Lays the tabs out again now and schedules the paint ("repaint").
    void Repaint(bool scrollIntoView = false);
    const TsuiTabStripLayout& Layout() const { return FLayout; }
    TsuiTabStripGeometry Geometry() const;
    int FirstVisible() const { return FLayout.FirstVisible; }
    int TabHeight() const { return FActiveTabImage.height(); }

protected:
    void UIStyleChanged() override;
    QPalette::ColorRole ColorRole() const override { return QPalette::Base; }
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void LoadImages();
    void TurnImages();
    void PressAt(QPoint point);
    std::vector<int> NaturalWidths() const;
    TsuiTabStripState State() const;

    TsuiTab* FHost;
    QStringList FTabs{QStringLiteral("Tab1")};
    int FTabIndex = 0;
    int FLeftMargin = 10;
    TsuiTab::TsuiTabPosition FTabPosition = TsuiTab::suiTop;
    QImage FActiveTabImage, FInactiveTabImage, FTabLineImage, FScrollButtonImage;
    TColor FActiveFontColor = clBlack;
    TColor FInactiveFontColor = clBlack;
    int FScrollButtonWidth = 0;
    int FScrollButtonHeight = 0;
    std::array<bool, MaxTabs> FTabVisible;
    TsuiTabStripLayout FLayout;
    bool FUserClick = false;
    bool FPressed = false;
    std::optional<QPoint> FPointer; // last pointer position over the strip
};
