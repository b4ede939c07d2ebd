#pragma once
// Panels: the colour-or-picture panel that the group box builds on, its published form, and the
// panel with a caption bar that collapses and expands.
#include "framework/trect.h"
#include "skin/suicontrol.h"

#include <QImage>
#include <QTimer>
#include <optional>

// The colour a control with ParentColor shows: that of the nearest ancestor that has a colour
// of its own (its Color property, else its palette's window colour).
TColor ParentColorOf(const QWidget* control);
// The absolute font height in pixels (the framework's |Font.Height|).
int FontPixelHeight(const QFont& font);
// Lines through the points as a pen draws them: each segment stops one pixel short of its end.
// Segments must be horizontal or vertical.
void DrawPenPolyline(QPainter& Canvas, const QList<QPoint>& Points, TColor Color);

// A double-buffered panel that shows a colour or a picture, and an optional caption.
class TsuiCustomPanel : public TsuiControl<QWidget>
{
    Q_OBJECT
    Q_PROPERTY(TsuiUIStyle UIStyle READ UIStyle WRITE SetUIStyle)
    Q_PROPERTY(QObject* FileTheme READ FileTheme WRITE SetFileTheme)
    Q_PROPERTY(TColor Color READ Color WRITE SetColor)
    Q_PROPERTY(QString Caption READ Caption WRITE SetCaption)
    Q_PROPERTY(TsuiDrawStyle DrawStyle READ DrawStyle WRITE SetDrawStyle)
    Q_PROPERTY(bool Transparent READ Transparent WRITE SetTransparent)
    Q_PROPERTY(bool AutoSize READ AutoSize WRITE SetAutoSize)
    Q_PROPERTY(TAlignment Alignment READ Alignment WRITE SetAlignment)
    Q_PROPERTY(TAlign Align READ Align WRITE SetAlign)

public:
    enum TsuiDrawStyle { suiNormal, suiStretch, suiTile };
    Q_ENUM(TsuiDrawStyle)
    enum TAlignment { taLeftJustify, taRightJustify, taCenter };
    Q_ENUM(TAlignment)
    enum TAlign { alNone, alTop, alBottom, alLeft, alRight, alClient };
    Q_ENUM(TAlign)

    explicit TsuiCustomPanel(QWidget* parent = nullptr);

    // The panel text.
    QString Caption() const { return FCaption; }
    void SetCaption(const QString& caption);
    QImage Picture() const { return FPicture; }
    // A new picture re-applies AutoSize and repaints.
    void SetPicture(const QImage& picture);
    TsuiDrawStyle DrawStyle() const { return FDrawStyle; }
    void SetDrawStyle(TsuiDrawStyle style);
    bool Transparent() const { return FTransparent; }
    virtual void SetTransparent(bool value);
    bool AutoSize() const { return FAutoSize; }
    void SetAutoSize(bool value);
    TAlignment Alignment() const { return FAlignment; }
    void SetAlignment(TAlignment alignment);
    TAlign Align() const { return FAlign; }
    void SetAlign(TAlign align);
    // -1 lets Alignment place the caption.
    void SetCaptionPosX(int x);
    void SetCaptionPosY(int y);

protected:
    // The picture panel's face: background, picture, caption.
    void PaintPanel(QPainter& Canvas);
    void paintEvent(QPaintEvent* event) override;
    virtual void RepaintText(TRect) {}

private:
    void ApplyAutoSize();

    QString FCaption;
    QImage FPicture;
    TsuiDrawStyle FDrawStyle = suiNormal;
    bool FTransparent = false;
    bool FAutoSize = false;
    TAlignment FAlignment = taCenter;
    TAlign FAlign = alNone;
    int FCaptionPosX = -1;
    int FCaptionPosY = -1;
};

// The picture panel, published.
class TsuiImagePanel : public TsuiCustomPanel
{
    Q_OBJECT
    Q_PROPERTY(QImage Picture READ Picture WRITE SetPicture)

public:
    explicit TsuiImagePanel(QWidget* parent = nullptr) : TsuiCustomPanel(parent) {}
};

// Geometry of a panel's caption bar and its collapse/expand button.
struct TsuiPanelLayout
{
    TRect Bar;                      // the caption bar artwork, stretched
    TRect Caption;                  // the caption text, centred vertically
    std::optional<TRect> ButtonHot; // the button's hot rectangle (none when not shown)
    QPoint ButtonPos;               // where the 13 x 12 button frame is drawn
};

// A panel with a skinned caption bar whose button collapses it to the bar and expands it again.
class TsuiPanel : public TsuiControl<QWidget>
{
    Q_OBJECT
    Q_PROPERTY(TsuiUIStyle UIStyle READ UIStyle WRITE SetUIStyle)
    Q_PROPERTY(QObject* FileTheme READ FileTheme WRITE SetFileTheme)
    Q_PROPERTY(TColor BorderColor READ BorderColor WRITE SetBorderColor)
    Q_PROPERTY(TColor Color READ Color WRITE SetColor)
    Q_PROPERTY(QString Caption READ Caption WRITE SetCaption)
    Q_PROPERTY(bool ShowButton READ ShowButton WRITE SetShowButton)
    Q_PROPERTY(TColor CaptionFontColor READ CaptionFontColor WRITE SetCaptionFontColor)
    Q_PROPERTY(int Height READ ExpandedHeight WRITE SetHeight)
    Q_PROPERTY(TsuiCustomPanel::TAlign Align READ Align WRITE SetAlign)

public:
    using TAlign = TsuiCustomPanel::TAlign;
    // Height change per animation step.
    static constexpr int AnimationStep = 15;

    explicit TsuiPanel(QWidget* parent = nullptr);

    QString Caption() const { return FCaption; }
    void SetCaption(const QString& caption);
    bool ShowButton() const { return FShowButton; }
    void SetShowButton(bool value);
    TColor CaptionFontColor() const { return FCaptionFontColor; }
    void SetCaptionFontColor(TColor color);
    TAlign Align() const { return FAlign; }
    void SetAlign(TAlign align);
    // The expanded height; applied at once only while expanded.
    int ExpandedHeight() const { return FExpandedHeight; }
    void SetHeight(int height);
    // Height of the caption bar artwork (0 without one).
    int BarHeight() const { return FCaptionBar.height(); }

    // Collapses to the caption bar, in animated steps, then raises OnPush. Throws
    // std::logic_error when the panel is aligned to fill, left or right.
    void Push();
    // Expands to the expanded height, in animated steps, then raises OnPop.
    void Pop();
    bool GetPushed() const { return !FExpanded; }
    bool Animating() const { return FAnimating; }
    bool ButtonHot() const { return FButtonHot; }
    // Whether the button is drawn and takes clicks.
    bool ButtonShown() const;
    // One step of a running collapse or expand; the animation timer calls it.
    void AnimationTimerTimer();
    QTimer* AnimationTimer() { return &FAnimationTimer; }

    // Bar, caption and button geometry for a panel W wide with a bar bh high.
    static TsuiPanelLayout Layout(int W, int bh, bool ShowButton);
    // The PANEL_BUTTON frame: 1/2 expanded (hot), 3/4 collapsed (hot).
    static int ButtonFrame(bool Expanded, bool Hot) { return (Expanded ? 1 : 3) + (Hot ? 1 : 0); }

signals:
    void OnPush(QObject* Sender);
    void OnPop(QObject* Sender);

protected:
    void UIStyleChanged() override;
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void leaveEvent(QEvent* event) override;

private:
    void UpdateContentsMargins();
    void Finish();

    QString FCaption;
    bool FShowButton = true;
    TColor FCaptionFontColor = clWhite;
    TAlign FAlign = TsuiCustomPanel::alNone;
    QImage FCaptionBar;
    QImage FButtonStrip;
    int FExpandedHeight = 100;
    bool FExpanded = true;
    bool FAnimating = false;
    bool FCollapsing = false; // direction of the running animation
    bool FButtonHot = false;
    std::optional<QPoint> FMousePos;
    QTimer FAnimationTimer;
};
