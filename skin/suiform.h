#pragma once
// The skinned frame of a window: a panel that fills the window, takes over its frame (no
// platform caption), draws the border and the top edge of the title artwork, rounds the corners
// and hosts the title bar; every other control of the window sits on it.
#include "framework/trect.h"
#include "skin/suicontrol.h"
#include "skin/suititlebar.h"

#include <QPointer>
#include <QRegion>
#include <QStringList>

class TsuiFormFrame;

// What PaintFormBorderTo needs to know of a frame; W and H are the whole window's size.
struct TsuiFormBorderState
{
    int W = 0, H = 0;
    int BorderWidth = 1;
    TColor BorderColor = clBlack;
    TColor Color = clBtnFace;
    bool TitleBarVisible = true;
    bool TitleBarCanPaint = false;
    QImage Left, Right, Middle; // pictures of sections 0, 1 and 2
    int RoundCorner = 0;
    int TitleBarHeight = 0; // GetTitleBarHeight
    int MenuBarHeight = 0;
};

// Draws the border, the top three rows of the title artwork and the gaps around the client
// area onto a painter of the whole window.
void PaintFormBorderTo(QPainter& canvas, const TsuiFormBorderState& state);
// The window area the border painting may touch.
QRegion FormBorderRegion(const TsuiFormBorderState& state);
// Where the frame panel sits in a W x H window with a border BorderWidth wide.
TRect FormClientRect(int W, int H, int BorderWidth);
// The window's shape: top corners rounded with RoundCorner, bottom ones with RoundCornerBottom.
QRegion FormRegion(int W, int H, int RoundCorner, int RoundCornerBottom);

class TsuiForm : public TsuiControl<QWidget>
{
    Q_OBJECT
    Q_PROPERTY(bool TitleBarCustom READ TitleBarCustom WRITE SetTitleBarCustom)
    Q_PROPERTY(QObject* FileTheme READ FileTheme WRITE SetFileTheme)
    Q_PROPERTY(TsuiUIStyle UIStyle READ UIStyle WRITE SetUIStyle)
    Q_PROPERTY(bool UIStyleAutoUpdateSub MEMBER FUIStyleAutoUpdateSub)
    Q_PROPERTY(TColor BorderColor READ BorderColor WRITE SetBorderColor)
    Q_PROPERTY(int BorderWidth READ BorderWidth WRITE SetBorderWidth)
    Q_PROPERTY(bool TitleBarVisible READ TitleBarVisible WRITE SetTitleBarVisible)
    Q_PROPERTY(TColor Color READ Color WRITE SetColor)
    Q_PROPERTY(QString Caption READ Caption WRITE SetCaption)
    Q_PROPERTY(QWidget* FormPanel READ FormPanel WRITE SetFormPanel)
    Q_PROPERTY(
        QStringList TitleBarButtonTypes READ TitleBarButtonTypes WRITE SetTitleBarButtonTypes)
    Q_PROPERTY(bool TitleBarDrawAppIcon READ TitleBarDrawAppIcon WRITE SetTitleBarDrawAppIcon)
    Q_PROPERTY(TColor MenuBarColor MEMBER FMenuBarColor)
    Q_PROPERTY(TColor MenuBarToColor MEMBER FMenuBarToColor)
    Q_PROPERTY(int MenuBarHeight READ MenuBarHeight WRITE SetMenuBarHeight)
    Q_PROPERTY(int RoundCorner READ RoundCorner WRITE SetRoundCorner)
    Q_PROPERTY(int RoundCornerBottom READ RoundCornerBottom WRITE SetRoundCornerBottom)
    Q_PROPERTY(QString Version READ Version WRITE SetVersion)
    Q_PROPERTY(QString About READ About WRITE SetAbout)
    Q_PROPERTY(TColor InactiveCaptionColor READ InactiveCaptionColor WRITE SetInactiveCaptionColor)

public:
    // With a top-level parent that has no skinned frame yet, takes over its frame.
    explicit TsuiForm(QWidget* parent = nullptr);
    ~TsuiForm() override;

    TsuiTitleBar* TitleBar() const { return FTitleBar; }
    // This panel is the frame of its window (not a plain panel).
    bool TakesOverFrame() const { return FTakenOver; }
    bool TitleBarCustom() const { return FTitleBar->Custom(); }
    void SetTitleBarCustom(bool custom) { FTitleBar->SetCustom(custom); }
    // Restyles border, colour, corners and title bar, and sets the window's minimum height.
    void SetUIStyle(TsuiUIStyle style);
    void SetFileTheme(QObject* theme);
    void SetBorderColor(TColor color);
    int BorderWidth() const { return FBorderWidth; }
    void SetBorderWidth(int width);
    void SetColor(TColor color);
    bool TitleBarVisible() const { return FTitleBarWanted; }
    void SetTitleBarVisible(bool visible);
    QString Caption() const { return FTitleBar->Caption(); }
    // Sets the title bar's caption and the window's own title.
    void SetCaption(const QString& caption);
    QWidget* FormPanel() const { return FFormPanel; }
    // Throws EsuiError for the frame itself; any other panel fills the frame below the bar.
    void SetFormPanel(QWidget* panel);
    TsuiTitleBarButtons& TitleBarButtons() { return FTitleBar->Buttons(); }
    void SetTitleBarButtons(const TsuiTitleBarButtons& buttons);
    TsuiTitleBarSections& TitleBarSections() { return FTitleBar->Sections(); }
    void SetTitleBarSections(const TsuiTitleBarSections& sections);
    // The stored layout's buttons by type name ("suiControlBox", "suiClose" ...), pictures
    // taken from the style.
    QStringList TitleBarButtonTypes() const;
    void SetTitleBarButtonTypes(const QStringList& types);
    bool TitleBarDrawAppIcon() const { return FTitleBar->DrawAppIcon(); }
    void SetTitleBarDrawAppIcon(bool draw) { FTitleBar->SetDrawAppIcon(draw); }
    QFont Font() const { return FTitleBar->CaptionFont(); }
    void SetFont(const QFont& font) { FTitleBar->SetCaptionFont(font); }
    // Reads 0 while no menu bar is shown (no menu bar is supported).
    int MenuBarHeight() const { return 0; }
    void SetMenuBarHeight(int height) { FMenuBarHeight = height; }
    // Reads 0 while the title bar is hidden.
    int RoundCorner() const { return TitleBarVisible() ? FRoundCorner : 0; }
    void SetRoundCorner(int value);
    int RoundCornerBottom() const { return FRoundCornerBottom; }
    // -1 counts as 0.
    void SetRoundCornerBottom(int value);
    // Read-only informational texts; setting them does nothing.
    QString Version() const { return QStringLiteral("6.4"); }
    void SetVersion(const QString&) {}
    QString About() const { return QStringLiteral("Skinned window frame"); }
    void SetAbout(const QString&) {}
    TColor InactiveCaptionColor() const { return FTitleBar->InactiveCaptionColor(); }
    void SetInactiveCaptionColor(TColor color) { FTitleBar->SetInactiveCaptionColor(color); }

    auto& OnTitleBarCustomBtnsClick() { return FTitleBar->OnCustomBtnsClick; }
    auto& OnTitleBarHelpBtnClick() { return FTitleBar->OnHelpBtnClick; }
    auto& OnTitleBarMinBtnClick() { return FTitleBar->OnMinClick; }
    auto& OnTitleBarMaxBtnClick() { return FTitleBar->OnMaxClick; }

    // Title bar height + 3 while it is visible, else 0.
    int GetTitleBarHeight() const;
    // Repaints the border and the top edge of the title artwork.
    void PaintFormBorder();
    // Cuts the window to its corners.
    void RegionWindow();
    // Takes the platform frame away again if something gave it back.
    void ReAssign();
    void AddHelpButton() { FTitleBar->AddHelpBtn(); }
    // The offset the title bar shifts its artwork by: the emulated frame's bottom less one.
    int FrameOffset() const { return FTakenOver ? FFrameBottom - 1 : 0; }
    // The state the border painting reads.
    TsuiFormBorderState BorderState() const;
    // Runs once the stored layout is applied: puts the panel back into the frame's client area.
    Q_INVOKABLE void Loaded();
    // Places panel, title bar and form panel for the window's current size.
    void Realign();

signals:
    // The look changed; other windows in the same look follow it.
    void OnUIStyleApplied(TsuiUIStyle style);

protected:
    void resizeEvent(QResizeEvent* event) override;
    void moveEvent(QMoveEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    friend class TsuiFormFrame;
    // The window changed state: a maximised window covers the widened work area.
    void WindowStateChanged();
    void ApplyMinHeight();

    TsuiTitleBar* FTitleBar;
    QPointer<TsuiFormFrame> FFrame;
    bool FTakenOver = false;
    bool FTitleBarWanted = true;
    bool FUIStyleAutoUpdateSub = false;
    bool FRealigning = false;
    int FBorderWidth = 1;
    int FFrameBottom = 3;
    int FFrameLeft = 3;
    TColor FMenuBarColor = clBtnFace;
    TColor FMenuBarToColor = clBtnFace;
    int FMenuBarHeight = 22;
    int FRoundCorner = 0;
    int FRoundCornerBottom = 0;
    QPointer<QWidget> FFormPanel;
};
