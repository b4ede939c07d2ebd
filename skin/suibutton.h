#pragma once
// The skinned push buttons: a frame cut from the style's button strip (or from pictures of the
// caller's own), stretched over the button, the caption centred or beside a glyph, hover, press,
// keyboard, default/cancel keys, accelerators and an auto-repeat while the left button is held.
#include "framework/trect.h"
#include "skin/suicontrol.h"

#include <QImage>
#include <QPushButton>
#include <QTimer>
#include <array>
#include <memory>

// The frame of the button strip a state shows: 1 normal and disabled, 2 hover, 3 pressed.
int ButtonFrameIndex(bool Enabled, bool MouseDown, bool MouseOn);

// Where a glyph and its caption go on a button (top-left corners).
struct TGlyphPlacement
{
    QPoint Glyph;
    QPoint Caption;
};

// What the caption painter needs of a button.
struct TCaptionLook
{
    QString Caption;
    QFont Font;
    QColor FontColor;
    bool Enabled = true;
    bool MouseDown = false;
    bool Bold = false;
};
// The caption centred both ways in Rect, wrapped at word boundaries; disabled: grey over a white
// copy one pixel right and down; pressed: moved one pixel right and down.
void PaintButtonCaption(QPainter& Canvas, const TCaptionLook& Look, TRect Rect);
// One line of caption at Pos (disabled: grey over a white copy), clipped to Limit.
void PaintButtonCaptionAt(QPainter& Canvas, const TCaptionLook& Look, QPoint Pos, QPoint Limit);
// The dotted focus rectangle from (m, m) to (W - m, H - m), drawn by inverting pixels.
void PaintFocusRect(QPainter& Canvas, TRect Client, int Margin);

// The shared behaviour of the button family. OnClick is the clicked() signal.
class TsuiCustomButton : public TsuiControl<QPushButton>
{
    Q_OBJECT
    Q_PROPERTY(QString Caption READ Caption WRITE SetCaption)
    Q_PROPERTY(bool Cancel READ Cancel WRITE SetCancel)
    Q_PROPERTY(bool Default READ Default WRITE SetDefault)
    Q_PROPERTY(int ModalResult MEMBER FModalResult)
    Q_PROPERTY(bool Transparent READ Transparent WRITE SetTransparent)
    Q_PROPERTY(bool AutoSize READ AutoSize WRITE SetAutoSize)
    Q_PROPERTY(int FocusedRectMargin READ FocusedRectMargin WRITE SetFocusedRectMargin)
    Q_PROPERTY(int MouseContinuouslyDownInterval MEMBER FMouseContinuouslyDownInterval)
    Q_PROPERTY(bool TabStop READ TabStop WRITE SetTabStop)
    Q_PROPERTY(unsigned ResHandle READ ResHandle WRITE SetResHandle)

public:
    explicit TsuiCustomButton(QWidget* parent = nullptr);
    ~TsuiCustomButton() override;

    // The caption is the button's text: changing either changes both.
    QString Caption() const { return text(); }
    void SetCaption(const QString& caption);
    bool Cancel() const { return FCancel; }
    void SetCancel(bool value) { FCancel = value; }
    bool Default() const { return FDefault; }
    // Makes every button of the window recompute which one Enter clicks.
    void SetDefault(bool value);
    bool Transparent() const { return FTransparent; }
    void SetTransparent(bool value);
    bool AutoSize() const { return FAutoSize; }
    void SetAutoSize(bool value);
    int FocusedRectMargin() const { return FFocusedRectMargin; }
    void SetFocusedRectMargin(int value);
    int ModalResult() const { return FModalResult; }
    void SetModalResult(int value) { FModalResult = value; }
    int MouseContinuouslyDownInterval() const { return FMouseContinuouslyDownInterval; }
    void SetMouseContinuouslyDownInterval(int ms) { FMouseContinuouslyDownInterval = ms; }
    bool TabStop() const { return focusPolicy() != Qt::NoFocus; }
    void SetTabStop(bool value);
    // Present for stored layouts only: always reads 0, writing it does nothing.
    unsigned ResHandle() const { return 0; }
    void SetResHandle(unsigned) {}

    // Ends a press, writes the modal result into a dialog and raises OnClick.
    virtual void Click();

    // The look's state, for painting and for tests.
    bool MouseOn() const { return FMouseOn; }
    bool MouseDown() const { return FMouseDown; }
    bool Active() const { return FActive; }
    bool PicTransparent() const { return FPicTransparent; }
    // The auto-repeat timer while a left press lasts, else null.
    QTimer* RepeatTimer() const { return FRepeatTimer.get(); }
    // The accelerator character of the caption (after '&'), or a null character.
    QChar Accelerator() const;

    // Enter (while active) or Esc (with Cancel) offered before the focused control sees it;
    // true when the key was used.
    bool DialogKey(int Key, Qt::KeyboardModifiers Modifiers);
    // A character offered as an accelerator; true when it clicked the button.
    bool DialogChar(QChar Char, bool AltHeld);

signals:
    void OnMouseEnter(QObject* Sender);
    void OnMouseExit(QObject* Sender);
    void OnMouseContinuouslyDown(QObject* Sender);

public slots:
    // One tick of the auto-repeat timer.
    void RepeatTimerTimer();

protected:
    virtual void AutoSizeChanged();
    virtual void CaptionChanged() {}
    virtual void TransparentChanged() {}
    virtual void EnableChanged() {}
    virtual void PaintPic(QPainter& Canvas, const QImage& Bitmap);
    virtual void PaintText(QPainter& Canvas, const QString& Caption);
    virtual void PaintFocus(QPainter& Canvas);
    virtual void PaintButtonNormal(QImage& Bitmap);
    virtual void PaintButtonMouseOn(QImage& Bitmap);
    virtual void PaintButtonMouseDown(QImage& Bitmap);
    virtual void PaintButtonDisabled(QImage& Bitmap);
    // Fills Bitmap with frame Index of the style's three-frame button strip.
    void LoadStripFrame(QImage& Bitmap, int Index) const;
    TCaptionLook CaptionLook(const QString& Caption) const;

    void paintEvent(QPaintEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void changeEvent(QEvent* event) override;
    bool event(QEvent* event) override;

    bool FMouseOn = false;
    bool FMouseDown = false;
    bool FActive = false;
    bool FBoldCaption = false;
    bool FPicTransparent = false;

private:
    // Hover, press and the repeat timer end (pointer left, cancel mode).
    void EndMouseState();
    void FocusChanged(QWidget* now);

    std::unique_ptr<QTimer> FRepeatTimer;
    QMetaObject::Connection FFocusConnection;
    bool FPressedByMouse = false; // a left press began on the button and has not ended
    bool FCancel = false;
    bool FDefault = false;
    int FModalResult = 0;
    bool FTransparent = false;
    bool FAutoSize = false;
    int FFocusedRectMargin = 2;
    int FMouseContinuouslyDownInterval = 100;
};

// The push button of the main window.
class TsuiButton : public TsuiCustomButton
{
    Q_OBJECT
    Q_PROPERTY(TsuiUIStyle UIStyle READ UIStyle WRITE SetUIStyle)
    Q_PROPERTY(QObject* FileTheme READ FileTheme WRITE SetFileTheme)
    Q_PROPERTY(TButtonLayout Layout READ Layout WRITE SetLayout)
    Q_PROPERTY(int Spacing READ Spacing WRITE SetSpacing)
    Q_PROPERTY(QImage Glyph READ Glyph WRITE SetGlyph)

public:
    // The glyph's position relative to the caption.
    enum TButtonLayout { blGlyphLeft, blGlyphRight, blGlyphTop, blGlyphBottom };
    Q_ENUM(TButtonLayout)

    explicit TsuiButton(QWidget* parent = nullptr);

    // Glyph and caption corners for caption size Text and glyph size Glyph (one image).
    static TGlyphPlacement GlyphLayout(TButtonLayout Layout, QSize Text, QSize Glyph, QSize Button,
                                       int Spacing);

    TButtonLayout Layout() const { return FLayout; }
    void SetLayout(TButtonLayout layout);
    int Spacing() const { return FSpacing; }
    void SetSpacing(int spacing);
    QImage Glyph() const { return FGlyph; }
    void SetGlyph(const QImage& glyph);

protected:
    void UIStyleChanged() override;
    void PaintPic(QPainter& Canvas, const QImage& Bitmap) override;
    void PaintText(QPainter& Canvas, const QString& Caption) override;
    void PaintFocus(QPainter& Canvas) override;

private:
    TButtonLayout FLayout = blGlyphLeft;
    int FSpacing = 4;
    QImage FGlyph;
    QPoint FCaptionPos; // remembered by PaintPic for PaintText
};

// A button drawn from four pictures of its own; the scroll bar's arrow buttons.
class TsuiImageButton : public TsuiCustomButton
{
    Q_OBJECT
    Q_PROPERTY(TsuiUIStyle UIStyle READ UIStyle WRITE SetImageUIStyle)
    Q_PROPERTY(QObject* FileTheme READ FileTheme WRITE SetFileTheme)
    Q_PROPERTY(QImage PicNormal READ PicNormal WRITE SetPicNormal)
    Q_PROPERTY(QImage PicMouseOn READ PicMouseOn WRITE SetPicMouseOn)
    Q_PROPERTY(QImage PicMouseDown READ PicMouseDown WRITE SetPicMouseDown)
    Q_PROPERTY(QImage PicDisabled READ PicDisabled WRITE SetPicDisabled)
    Q_PROPERTY(bool Stretch READ Stretch WRITE SetStretch)
    Q_PROPERTY(bool DrawFocused READ DrawFocused WRITE SetDrawFocused)

public:
    explicit TsuiImageButton(QWidget* parent = nullptr);

    // Always FromThemeFile: the pictures, not a style, give the look.
    TsuiUIStyle UIStyle() const { return TsuiUIStyle::FromThemeFile; }
    void SetImageUIStyle(TsuiUIStyle) {}

    QImage PicNormal() const { return FPics[0]; }
    void SetPicNormal(const QImage& pic) { SetPic(0, pic); }
    QImage PicMouseOn() const { return FPics[1]; }
    void SetPicMouseOn(const QImage& pic) { SetPic(1, pic); }
    QImage PicMouseDown() const { return FPics[2]; }
    void SetPicMouseDown(const QImage& pic) { SetPic(2, pic); }
    QImage PicDisabled() const { return FPics[3]; }
    void SetPicDisabled(const QImage& pic) { SetPic(3, pic); }
    bool Stretch() const { return FStretch; }
    void SetStretch(bool value);
    bool DrawFocused() const { return FDrawFocused; }
    void SetDrawFocused(bool value);

protected:
    void AutoSizeChanged() override;
    void PaintPic(QPainter& Canvas, const QImage& Bitmap) override;
    void PaintFocus(QPainter& Canvas) override;
    void PaintButtonNormal(QImage& Bitmap) override;
    void PaintButtonMouseOn(QImage& Bitmap) override;
    void PaintButtonMouseDown(QImage& Bitmap) override;
    void PaintButtonDisabled(QImage& Bitmap) override;

private:
    void SetPic(int index, const QImage& pic);
    // The state's own picture, or PicNormal when it has none.
    QImage PicOrNormal(int index) const;

    QImage FPics[4];
    bool FStretch = false;
    bool FDrawFocused = false;
};

// A stretched button frame with a small black triangle; its caption is never drawn.
class TsuiArrowButton : public TsuiCustomButton
{
    Q_OBJECT
    Q_PROPERTY(TsuiUIStyle UIStyle READ UIStyle WRITE SetUIStyle)
    Q_PROPERTY(QObject* FileTheme READ FileTheme WRITE SetFileTheme)
    Q_PROPERTY(TsuiArrow Arrow READ Arrow WRITE SetArrow)

public:
    enum TsuiArrow { suiUp, suiDown };
    Q_ENUM(TsuiArrow)

    explicit TsuiArrowButton(QWidget* parent = nullptr);

    TsuiArrow Arrow() const { return FArrow; }
    void SetArrow(TsuiArrow arrow);
    // The triangle's three corners on a W x H button.
    static std::array<QPoint, 3> ArrowPoints(TsuiArrow Arrow, int W, int H);

protected:
    void UIStyleChanged() override;
    void PaintPic(QPainter& Canvas, const QImage& Bitmap) override;
    void PaintText(QPainter&, const QString&) override {}

private:
    TsuiArrow FArrow = suiUp;
};

// A button showing one frame of any built-in strip, unscaled, sized to that frame.
class TsuiControlButton : public TsuiCustomButton
{
    Q_OBJECT
    Q_PROPERTY(TsuiUIStyle UIStyle READ UIStyle WRITE SetUIStyle)
    Q_PROPERTY(QObject* FileTheme READ FileTheme WRITE SetFileTheme)
    Q_PROPERTY(int ThemeID READ ThemeID WRITE SetThemeID)
    Q_PROPERTY(int PicIndex READ PicIndex WRITE SetPicIndex)
    Q_PROPERTY(int PicCount READ PicCount WRITE SetPicCount)
    Q_PROPERTY(bool PicTransparent READ PicTransparent WRITE SetPicTransparent)

public:
    explicit TsuiControlButton(QWidget* parent = nullptr);

    int ThemeID() const { return FThemeID; }
    void SetThemeID(int id);
    int PicIndex() const { return FPicIndex; }
    void SetPicIndex(int index);
    int PicCount() const { return FPicCount; }
    void SetPicCount(int count);
    void SetPicTransparent(bool value);

protected:
    void UIStyleChanged() override { FitToFrame(); }
    void PaintPic(QPainter& Canvas, const QImage& Bitmap) override;
    void PaintButtonNormal(QImage& Bitmap) override { LoadFrame(Bitmap, FPicIndex); }
    void PaintButtonMouseOn(QImage& Bitmap) override { LoadFrame(Bitmap, FPicIndex + 1); }
    void PaintButtonMouseDown(QImage& Bitmap) override { LoadFrame(Bitmap, FPicIndex); }
    void PaintButtonDisabled(QImage& Bitmap) override { LoadFrame(Bitmap, FPicIndex); }
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;

private:
    void LoadFrame(QImage& Bitmap, int Index) const;
    // The button takes the size of the frame its state shows.
    void FitToFrame();

    int FThemeID = 0;
    int FPicIndex = 1;
    int FPicCount = 1;
};
