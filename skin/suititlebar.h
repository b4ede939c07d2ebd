#pragma once
// The caption strip of a skinned window: section pictures, the application icon or control-box
// button, the caption and the caption buttons, with dragging, double clicks and the window menu.
#include "framework/trect.h"
#include "skin/suicontrol.h"

#include <QFont>
#include <QImage>
#include <QMenu>
#include <QPointer>
#include <QTimer>
#include <functional>
#include <memory>
#include <optional>
#include <stdexcept>
#include <vector>

namespace SuiBar {
Q_NAMESPACE
enum class TsuiTitleBarBtnType { suiMax, suiMin, suiClose, suiHelp, suiControlBox, suiCustom };
Q_ENUM_NS(TsuiTitleBarBtnType)
enum class TsuiTitleBarAlign { suiLeft, suiRight, suiClient };
Q_ENUM_NS(TsuiTitleBarAlign)
} // namespace SuiBar
using SuiBar::TsuiTitleBarAlign;
using SuiBar::TsuiTitleBarBtnType;

// A refused property value of a skinned control; what() is the text shown to the user.
class EsuiError : public std::runtime_error
{
public:
    using std::runtime_error::runtime_error;
};

class TsuiTitleBar;
class TsuiTitleBarButtons;
class TsuiTitleBarSections;

// One caption button with its three pictures.
class TsuiTitleBarButton
{
public:
    explicit TsuiTitleBarButton(TsuiTitleBarButtons* collection) : FCollection(collection) {}

    TsuiUIStyle UIStyle() const { return FUIStyle; }
    // Takes the style's pictures, transparency and top for the button's type.
    void SetUIStyle(TsuiUIStyle style);
    TsuiTitleBarBtnType ButtonType() const { return FButtonType; }
    // Throws EsuiError, and changes nothing, for a second control-box button.
    void SetButtonType(TsuiTitleBarBtnType type);
    bool Transparent() const { return FTransparent; }
    void SetTransparent(bool value);
    int Top() const { return FTop; }
    void SetTop(int value);
    QMenu* ControlBoxMenu() const { return FControlBoxMenu; }
    void SetControlBoxMenu(QMenu* menu);
    bool Visible() const { return FVisible; }
    void SetVisible(bool value);
    const QImage& PicNormal() const { return FPicNormal; }
    const QImage& PicMouseOn() const { return FPicMouseOn; }
    const QImage& PicMouseDown() const { return FPicMouseDown; }
    void SetPictures(const QImage& normal, const QImage& mouseOn, const QImage& mouseDown);
    // Loads the maximise (false) or restore (true) frames of the style.
    void LoadMaxPictures(bool restore);
    // Only buttons with all three pictures are drawn and hit-tested.
    bool HasPictures() const;
    void Assign(const TsuiTitleBarButton& other);

private:
    void Changed();
    void LoadFrames(int firstFrame);

    TsuiTitleBarButtons* FCollection;
    TsuiUIStyle FUIStyle = TsuiUIStyle::DeepBlue;
    TsuiTitleBarBtnType FButtonType = TsuiTitleBarBtnType::suiCustom;
    bool FTransparent = false;
    int FTop = 2;
    QPointer<QMenu> FControlBoxMenu;
    bool FVisible = true;
    QImage FPicNormal, FPicMouseOn, FPicMouseDown;
};

// The bar's buttons, in drawing order from the right; every change repaints the bar.
class TsuiTitleBarButtons
{
public:
    explicit TsuiTitleBarButtons(TsuiTitleBar* owner = nullptr) : FOwner(owner) {}
    TsuiTitleBarButtons(const TsuiTitleBarButtons&) = delete;
    TsuiTitleBarButtons& operator=(const TsuiTitleBarButtons&) = delete;

    TsuiTitleBar* GetOwner() const { return FOwner; }
    int Count() const { return int(FItems.size()); }
    TsuiTitleBarButton* Items(int index) const { return FItems.at(size_t(index)).get(); }
    TsuiTitleBarButton* Add();
    void Clear();
    // Replaces the items by copies of other's.
    void Assign(const TsuiTitleBarButtons& other);
    void Changed();

private:
    TsuiTitleBar* FOwner;
    std::vector<std::unique_ptr<TsuiTitleBarButton>> FItems;
};

// One picture of the strip: left end, right end or the stretched middle.
class TsuiTitleBarSection
{
public:
    explicit TsuiTitleBarSection(TsuiTitleBarSections* collection) : FCollection(collection) {}

    bool AutoSize() const { return FAutoSize; }
    // Either value takes the picture's width as Width when there is a picture.
    void SetAutoSize(bool value);
    int Width() const { return FWidth; }
    void SetWidth(int value);
    TsuiTitleBarAlign Align() const { return FAlign; }
    // Throws EsuiError, and changes nothing, when a section already is suiClient.
    void SetAlign(TsuiTitleBarAlign align);
    const QImage& Picture() const { return FPicture; }
    void SetPicture(const QImage& picture);
    bool Stretch() const { return FStretch; }
    void SetStretch(bool value);
    bool CapSec() const { return FCapSec; }
    void SetCapSec(bool value);
    void Assign(const TsuiTitleBarSection& other);

private:
    void Changed();

    TsuiTitleBarSections* FCollection;
    bool FAutoSize = false;
    int FWidth = 10;
    TsuiTitleBarAlign FAlign = TsuiTitleBarAlign::suiLeft;
    QImage FPicture;
    bool FStretch = false;
    bool FCapSec = false;
};

class TsuiTitleBarSections
{
public:
    explicit TsuiTitleBarSections(TsuiTitleBar* owner = nullptr) : FOwner(owner) {}
    TsuiTitleBarSections(const TsuiTitleBarSections&) = delete;
    TsuiTitleBarSections& operator=(const TsuiTitleBarSections&) = delete;

    TsuiTitleBar* GetOwner() const { return FOwner; }
    int Count() const { return int(FItems.size()); }
    TsuiTitleBarSection* Items(int index) const { return FItems.at(size_t(index)).get(); }
    TsuiTitleBarSection* Add();
    void Clear();
    void Assign(const TsuiTitleBarSections& other);
    void Changed();

private:
    TsuiTitleBar* FOwner;
    std::vector<std::unique_ptr<TsuiTitleBarSection>> FItems;
};

// The window menu: Minimize, Maximize/Restore, a separator and Close.
class TsuiTitleBarPopupMenu : public QMenu
{
    Q_OBJECT
public:
    explicit TsuiTitleBarPopupMenu(TsuiTitleBar* bar);
    // Colours of the menu in a built-in style.
    void SetUIStyle(TsuiUIStyle style);
    // Enables each item only when the bar has a visible button that does the same.
    void UpdateItems();
    // Adds an item of the window's own (e.g. a second window it opens) in a group of such items
    // above "&Close"; UpdateItems leaves it as the window sets it.
    void AddWindowAction(QAction* action);

    QAction* MinimizeItem;
    QAction* MaximizeItem;
    QAction* CloseItem;

private:
    TsuiTitleBar* FBar;
    QAction* FCloseSeparator;
    QAction* FWindowGroup = nullptr; // the separator above the window's own items
};

// Where everything of the bar goes, computed once for painting and hit testing alike.
struct TsuiTitleBarLayout
{
    struct Piece
    {
        int Section;
        TRect Dest; // in bar coordinates; the title image is this shifted by (-XO, -YO)
    };
    struct Button
    {
        int Index;
        TRect Rect;
        const QImage* Picture; // the state picture to show
    };
    int XO = 0, YO = 0, Q = 0;
    std::vector<Piece> Sections;
    std::vector<Button> Buttons; // right-hand row
    std::optional<Button> ControlBox;
    bool DrawIcon = false;
    QPoint IconPos;
    QString CaptionText;
    QPoint CaptionPos;
    int HotIndex = -1;
};

class TsuiTitleBar : public TsuiControl<QWidget>
{
    Q_OBJECT
    Q_PROPERTY(bool Custom READ Custom WRITE SetCustom)
    Q_PROPERTY(QObject* FileTheme READ FileTheme WRITE SetFileTheme)
    Q_PROPERTY(TsuiUIStyle UIStyle READ UIStyle WRITE SetUIStyle)
    Q_PROPERTY(bool AutoSize READ AutoSize WRITE SetAutoSize)
    Q_PROPERTY(int ButtonInterval READ ButtonInterval WRITE SetButtonInterval)
    Q_PROPERTY(QString Caption READ Caption WRITE SetCaption)
    Q_PROPERTY(bool FormActive READ FormActive WRITE SetFormActive)
    Q_PROPERTY(int LeftBtnXOffset READ LeftBtnXOffset WRITE SetLeftBtnXOffset)
    Q_PROPERTY(int RightBtnXOffset READ RightBtnXOffset WRITE SetRightBtnXOffset)
    Q_PROPERTY(bool DrawAppIcon READ DrawAppIcon WRITE SetDrawAppIcon)
    Q_PROPERTY(int RoundCorner MEMBER FRoundCorner)
    Q_PROPERTY(int RoundCornerBottom MEMBER FRoundCornerBottom)
    Q_PROPERTY(TColor InactiveCaptionColor READ InactiveCaptionColor WRITE SetInactiveCaptionColor)

public:
    // Height of the bar inside a skinned frame with the built-in DeepBlue artwork.
    static constexpr int DeepBlueHeight = 29;

    explicit TsuiTitleBar(QWidget* parent = nullptr);
    ~TsuiTitleBar() override;

    bool Custom() const { return FCustom; }
    void SetCustom(bool custom) { FCustom = custom; }
    // Rebuilds sections and buttons from the style unless Custom.
    void SetUIStyle(TsuiUIStyle style);
    void SetFileTheme(QObject* theme);
    bool AutoSize() const { return FAutoSize; }
    // While true the height follows the first section's picture.
    void SetAutoSize(bool value);
    int ButtonInterval() const { return FButtonInterval; }
    void SetButtonInterval(int value);
    QString Caption() const { return FCaption; }
    void SetCaption(const QString& caption);
    bool FormActive() const { return FFormActive; }
    void SetFormActive(bool active);
    int LeftBtnXOffset() const { return FLeftBtnXOffset; }
    void SetLeftBtnXOffset(int value);
    int RightBtnXOffset() const { return FRightBtnXOffset; }
    void SetRightBtnXOffset(int value);
    bool DrawAppIcon() const { return FDrawAppIcon; }
    void SetDrawAppIcon(bool draw);
    TColor InactiveCaptionColor() const { return FInactiveCaptionColor; }
    void SetInactiveCaptionColor(TColor color);
    QFont CaptionFont() const { return FFont; }
    void SetCaptionFont(const QFont& font);
    int RoundCorner() const { return FRoundCorner; }
    int RoundCornerBottom() const { return FRoundCornerBottom; }

    TsuiTitleBarButtons& Buttons() { return FButtons; }
    TsuiTitleBarSections& Sections() { return FSections; }
    TsuiTitleBarPopupMenu* WindowMenu() const { return FMenu; }

    // Every maximise button shows the restore pictures while the window is maximised.
    void ProcessMaxBtn();
    // -1 the title image, -2 its copy, 0 or more a section's picture (with more than two).
    QImage GetTitleImage(int index) const;
    // Three sections, or five of which the first two have pictures and the last three exist.
    bool CanPaint() const;
    // The bar sits in a skinned frame, which draws its artwork 3 pixels higher.
    bool InForm() const;
    void AddHelpBtn();
    void ForcePaint() { repaint(); }
    // The frame offset Q the parent frame reports; 0 outside a skinned frame.
    int FrameOffset() const;
    // The layout for a bar of the current size with the cursor at Cursor (none: outside).
    TsuiTitleBarLayout Layout(std::optional<QPoint> Cursor) const;
    // The button under the cursor at the last paint, -1 for none.
    int HotIndex() const { return FHotIndex; }
    // Clicks button Index: maximise/restore, minimise, close or the control-box menu.
    void DoClick(int index);
    // Pops up the window menu at a screen position.
    void PopupWindowMenu(QPoint globalPos);

    std::function<void(QObject* Sender, int ButtonIndex)> OnCustomBtnsClick;
    std::function<void(QObject* Sender, int ButtonIndex)> OnHelpBtnClick;
    std::function<void(QObject* Sender, bool& Allow)> OnMinClick;
    std::function<void(QObject* Sender, bool& Allow)> OnMaxClick;

    // A button index for the first visible button of Type, -1 for none.
    int FindVisibleButton(TsuiTitleBarBtnType type) const;
    // Maximises or restores the window; with Allow refused nothing changes.
    void ClickMax(int index);
    void ClickMin(int index);
    // Opens the window menu below the bar; the control box's single click, once no second
    // click has followed within the double-click time.
    void ControlBoxMenuTimer();
    QTimer& BoxMenuTimer() { return FBoxMenuTimer; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    void ApplyStyle(bool touchFontColor);
    void Repaint() { update(); }
    std::optional<QPoint> CursorInBar() const;
    QImage ApplicationIcon() const;
    // Turns the caption into the text drawn between Left and Right.
    QString FitCaption(const QFontMetrics& metrics, int space) const;

    friend class TsuiTitleBarButtons;
    friend class TsuiTitleBarSections;

    bool FCustom = false;
    bool FAutoSize = false;
    int FButtonInterval = 0;
    QString FCaption;
    bool FFormActive = true;
    int FLeftBtnXOffset = 0;
    int FRightBtnXOffset = 0;
    bool FDrawAppIcon = true;
    int FRoundCorner = 0;
    int FRoundCornerBottom = 0;
    TColor FInactiveCaptionColor = clInactiveCaption;
    QFont FFont;
    int FRowTop = -1;
    int FBoxTop = -1;
    TsuiTitleBarButtons FButtons;
    TsuiTitleBarSections FSections;
    TsuiTitleBarPopupMenu* FMenu;
    QImage FTitleImage, FTitleImageCopy;
    bool FPressed = false;
    int FHotIndex = -1;
    std::optional<QPoint> FMousePos;
    // Left button held on the caption area: the window moves when the mouse does.
    bool FDragArmed = false;
    bool FManualMove = false;
    QPoint FDragStartGlobal;
    QPoint FDragStartWindow;
    QTimer FBoxMenuTimer;
};

// The caption shortened one character at a time from the end until it plus "..." fits Space.
QString ShortenCaption(const QFontMetrics& metrics, const QString& caption, int space);

// The bounds of a maximised skinned window: the work area widened by 2 pixels left, top and
// right, ending 1 pixel above its bottom, so the frame's edges fall outside it.
TRect MaximizedBounds(TRect workArea);
// Maximised by the title bar or by the window manager.
bool IsSkinnedMaximized(const QWidget* form);
// Maximises a frameless window to MaximizedBounds, remembering its normal bounds.
void MaximizeSkinnedWindow(QWidget* form);
// Returns a maximised frameless window to the bounds it had before.
void RestoreSkinnedWindow(QWidget* form);
