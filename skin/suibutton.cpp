#include "skin/suibutton.h"

#include "skin/suiimagepanel.h"
#include "skin/suipublic.h"

#include <QApplication>
#include <QDialog>
#include <QKeyEvent>
#include <QPainter>
#include <QPointer>

namespace {

// A frame that cannot be loaded: blank, so background and caption still show.
QImage BlankFrame()
{
    QImage blank(74, 21, QImage::Format_ARGB32);
    blank.fill(Qt::transparent);
    return blank;
}

// The buttons of one window, in creation order of the widget tree.
QList<TsuiCustomButton*> ButtonsOf(QWidget* window)
{
    return window ? window->findChildren<TsuiCustomButton*>() : QList<TsuiCustomButton*>();
}

bool IsDialogKey(int key)
{
    return key == Qt::Key_Return || key == Qt::Key_Enter || key == Qt::Key_Escape;
}

// Enter and Esc are offered to the window's buttons before the focused control gets them,
// unless that control wants the key for itself (a multi-line editor wants Enter).
class TDialogKeyRouter : public QObject
{
public:
    using QObject::QObject;

    static void Install()
    {
        static QPointer<TDialogKeyRouter> router;
        if (router || !qApp) return;
        router = new TDialogKeyRouter(qApp);
        qApp->installEventFilter(router);
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() != QEvent::KeyPress || !watched->isWidgetType()) return false;
        auto* key = static_cast<QKeyEvent*>(event);
        if (!IsDialogKey(key->key()) || key->isAutoRepeat()) return false;
        auto* target = static_cast<QWidget*>(watched);
        QKeyEvent probe(QEvent::ShortcutOverride, key->key(), key->modifiers(), key->text());
        probe.setAccepted(false);
        QCoreApplication::sendEvent(target, &probe);
        if (probe.isAccepted()) return false;
        for (TsuiCustomButton* button : ButtonsOf(target->window()))
            if (button->DialogKey(key->key(), key->modifiers())) return true;
        return false;
    }
};

constexpr Qt::KeyboardModifiers HeldModifiers =
    Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier;

QImage ToArgb(const QImage& image)
{
    return image.format() == QImage::Format_ARGB32 ? image
                                                   : image.convertToFormat(QImage::Format_ARGB32);
}

// The image with every pixel of its top-left pixel's colour see-through.
QImage KeyedByCorner(const QImage& image)
{
    QImage keyed = ToArgb(image);
    if (keyed.isNull()) return keyed;
    const QRgb key = keyed.pixel(0, 0) & 0xFFFFFF;
    for (int y = 0; y < keyed.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(keyed.scanLine(y));
        for (int x = 0; x < keyed.width(); ++x)
            if ((line[x] & 0xFFFFFF) == key) line[x] = 0;
    }
    return keyed;
}

// The greyed look of a one-image glyph on a disabled button: shapes in a light grey.
QImage Greyed(const QImage& image)
{
    QImage grey = ToArgb(image);
    for (int y = 0; y < grey.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(grey.scanLine(y));
        for (int x = 0; x < grey.width(); ++x) {
            const int v = 128 + qGray(line[x]) / 2;
            line[x] = qRgba(v, v, v, qAlpha(line[x]));
        }
    }
    return grey;
}

} // namespace

int ButtonFrameIndex(bool Enabled, bool MouseDown, bool MouseOn)
{
    if (!Enabled) return 1;
    if (MouseDown) return 3;
    return MouseOn ? 2 : 1;
}

void PaintButtonCaption(QPainter& Canvas, const TCaptionLook& Look, TRect Rect)
{
    QFont font = Look.Font;
    if (Look.Bold) font.setBold(true);
    Canvas.save();
    Canvas.setFont(font);
    const int flags = Qt::TextWordWrap | Qt::TextExpandTabs | Qt::TextShowMnemonic;
    auto draw = [&](TRect r, const QColor& colour) {
        // Measured as a block, the block centred, its lines left-aligned within it.
        const QRect measured = Canvas.fontMetrics().boundingRect(r.toQRect(), flags, Look.Caption);
        const QRect block(r.Left + (r.Width() - measured.width()) / 2,
                          r.Top + (r.Height() - measured.height()) / 2, measured.width(),
                          measured.height());
        Canvas.setPen(colour);
        Canvas.drawText(block, flags | Qt::AlignLeft | Qt::AlignTop, Look.Caption);
    };
    auto moved = [](TRect r) { return TRect(r.Left + 1, r.Top + 1, r.Right + 1, r.Bottom + 1); };
    if (!Look.Enabled) {
        draw(moved(Rect), Qt::white);
        draw(Rect, toQColor(clGray));
    } else {
        draw(Look.MouseDown ? moved(Rect) : Rect, Look.FontColor);
    }
    Canvas.restore();
}

void PaintButtonCaptionAt(QPainter& Canvas, const TCaptionLook& Look, QPoint Pos, QPoint Limit)
{
    Canvas.save();
    Canvas.setFont(Look.Font);
    const int flags = Qt::TextSingleLine | Qt::TextShowMnemonic | Qt::AlignLeft | Qt::AlignTop;
    auto draw = [&](QPoint at, const QColor& colour) {
        Canvas.setPen(colour);
        Canvas.drawText(QRect(at, QPoint(Limit.x() - 1, Limit.y() - 1)), flags, Look.Caption);
    };
    if (!Look.Enabled) {
        draw(Pos + QPoint(1, 1), Qt::white);
        draw(Pos, toQColor(clGray));
    } else {
        draw(Look.MouseDown ? Pos + QPoint(1, 1) : Pos, Look.FontColor);
    }
    Canvas.restore();
}

void PaintFocusRect(QPainter& Canvas, TRect Client, int Margin)
{
    const TRect r{Client.Left + Margin, Client.Top + Margin, Client.Right - Margin,
                  Client.Bottom - Margin};
    if (r.Width() <= 0 || r.Height() <= 0) return;
    Canvas.save();
    Canvas.setCompositionMode(QPainter::RasterOp_SourceXorDestination);
    // Every other pixel of the one-pixel frame, inverted, as a system focus rectangle looks.
    auto dot = [&](int x, int y) {
        if ((x + y) % 2 == 0) Canvas.fillRect(x, y, 1, 1, Qt::white);
    };
    for (int x = r.Left; x < r.Right; ++x) {
        dot(x, r.Top);
        if (r.Bottom - 1 > r.Top) dot(x, r.Bottom - 1);
    }
    for (int y = r.Top + 1; y < r.Bottom - 1; ++y) {
        dot(r.Left, y);
        if (r.Right - 1 > r.Left) dot(r.Right - 1, y);
    }
    Canvas.restore();
}

// ---------------------------------------------------------------------------------------------

TsuiCustomButton::TsuiCustomButton(QWidget* parent) : TsuiControl<QPushButton>(parent)
{
    TDialogKeyRouter::Install();
    setAttribute(Qt::WA_OpaquePaintEvent);
    setFocusPolicy(Qt::StrongFocus);
    setAutoDefault(false);
    resize(80, 27);
    FFocusConnection = connect(qApp, &QApplication::focusChanged, this,
                               [this](QWidget*, QWidget* now) { FocusChanged(now); });
}

TsuiCustomButton::~TsuiCustomButton()
{
    // The widget base takes the focus away after this destructor has run and tells the
    // application; by then this button must no longer be listening.
    disconnect(FFocusConnection);
}

void TsuiCustomButton::SetCaption(const QString& caption)
{
    setText(caption);
}

void TsuiCustomButton::SetDefault(bool value)
{
    FDefault = value;
    // The window re-announces its focused control, so every button recomputes at once.
    QWidget* focused = window() ? window()->focusWidget() : nullptr;
    for (TsuiCustomButton* button : ButtonsOf(window()))
        button->FocusChanged(focused);
    if (!window() || window() == this) FocusChanged(focused);
}

void TsuiCustomButton::SetTransparent(bool value)
{
    FTransparent = value;
    FPicTransparent = value;
    TransparentChanged();
    update();
}

void TsuiCustomButton::SetAutoSize(bool value)
{
    FAutoSize = value;
    AutoSizeChanged();
    update();
}

void TsuiCustomButton::SetFocusedRectMargin(int value)
{
    FFocusedRectMargin = value;
    update();
}

void TsuiCustomButton::SetTabStop(bool value)
{
    setFocusPolicy(value ? Qt::StrongFocus : Qt::NoFocus);
}

QChar TsuiCustomButton::Accelerator() const
{
    const QString caption = text();
    for (qsizetype i = 0; i + 1 < caption.size(); ++i) {
        if (caption.at(i) != u'&') continue;
        if (caption.at(i + 1) != u'&') return caption.at(i + 1);
        ++i; // "&&" is a literal ampersand
    }
    return QChar();
}

void TsuiCustomButton::Click()
{
    if (FMouseDown) {
        FRepeatTimer.reset();
        FMouseDown = false;
        update();
    }
    if (auto* dialog = qobject_cast<QDialog*>(window()); dialog && parentWidget()) {
        dialog->setResult(FModalResult);
        if (FModalResult != 0 && dialog->isModal()) dialog->done(FModalResult);
    }
    emit clicked(false);
}

bool TsuiCustomButton::DialogKey(int Key, Qt::KeyboardModifiers Modifiers)
{
    const bool enter = Key == Qt::Key_Return || Key == Qt::Key_Enter;
    const bool esc = Key == Qt::Key_Escape;
    if (!((enter && FActive) || (esc && FCancel)) || (Modifiers & HeldModifiers)) return false;
    if (!isEnabled() || !isVisible()) return false; // cannot take the focus
    Click();
    return true;
}

bool TsuiCustomButton::DialogChar(QChar Char, bool AltHeld)
{
    const QChar accelerator = Accelerator();
    if (accelerator.isNull() || accelerator.toUpper() != Char.toUpper()) return false;
    // Without Alt only a focused button of this family lets a plain letter through.
    if (!AltHeld && !qobject_cast<TsuiCustomButton*>(QApplication::focusWidget())) return false;
    if (parentWidget() && !parentWidget()->isEnabled()) return false;
    if (!isEnabled() || !isVisible()) return false;
    Click();
    return true;
}

void TsuiCustomButton::RepeatTimerTimer()
{
    emit OnMouseContinuouslyDown(this);
}

void TsuiCustomButton::AutoSizeChanged()
{
    if (!FAutoSize) return;
    TsuiUIStyle style;
    UsingFileTheme(nullptr, FUIStyle, style);
    QImage strip;
    GetInsideThemeBitmap(style, SuiTheme::ButtonImage, strip);
    const int w = strip.width() > 0 ? strip.width() : 74;
    const int h = strip.height() > 0 ? strip.height() : 21;
    resize(w / 3, h);
}

void TsuiCustomButton::LoadStripFrame(QImage& Bitmap, int Index) const
{
    TsuiUIStyle style;
    UsingFileTheme(nullptr, FUIStyle, style);
    GetInsideThemeBitmap(style, SuiTheme::ButtonImage, Bitmap, 3, Index);
}

void TsuiCustomButton::PaintButtonNormal(QImage& Bitmap)
{
    LoadStripFrame(Bitmap, 1);
}
void TsuiCustomButton::PaintButtonMouseOn(QImage& Bitmap)
{
    LoadStripFrame(Bitmap, 2);
}
void TsuiCustomButton::PaintButtonMouseDown(QImage& Bitmap)
{
    LoadStripFrame(Bitmap, 3);
}
void TsuiCustomButton::PaintButtonDisabled(QImage& Bitmap)
{
    LoadStripFrame(Bitmap, 1);
}

void TsuiCustomButton::PaintPic(QPainter& Canvas, const QImage& Bitmap)
{
    QImage frame = FPicTransparent ? KeyedByCorner(Bitmap) : Bitmap;
    if (!isEnabled()) frame = Greyed(frame);
    Canvas.drawImage(0, 0, frame);
}

TCaptionLook TsuiCustomButton::CaptionLook(const QString& Caption) const
{
    return {Caption, font(), toQColor(FontColor()), isEnabled(), FMouseDown, FBoldCaption};
}

void TsuiCustomButton::PaintText(QPainter& Canvas, const QString& Caption)
{
    PaintButtonCaption(Canvas, CaptionLook(Caption), {0, 0, width(), height()});
    FBoldCaption = false;
}

void TsuiCustomButton::PaintFocus(QPainter& Canvas)
{
    PaintFocusRect(Canvas, {0, 0, width(), height()}, FFocusedRectMargin);
}

void TsuiCustomButton::paintEvent(QPaintEvent*)
{
    QImage frame;
    if (!isEnabled())
        PaintButtonDisabled(frame);
    else if (FMouseDown)
        PaintButtonMouseDown(frame);
    else if (FMouseOn)
        PaintButtonMouseOn(frame);
    else
        PaintButtonNormal(frame);
    if (frame.isNull() && !qobject_cast<TsuiImageButton*>(this)) frame = BlankFrame();

    QPainter canvas(this);
    if (!FTransparent)
        canvas.fillRect(rect(), toQColor(ParentColorOf(this)));
    else
        DoTrans(canvas, *this);
    if (!frame.isNull()) PaintPic(canvas, frame);
    if (hasFocus() && TabStop()) PaintFocus(canvas);
    if (!text().trimmed().isEmpty()) PaintText(canvas, text());
}

void TsuiCustomButton::EndMouseState()
{
    FMouseOn = false;
    FMouseDown = false;
    FPressedByMouse = false;
    FRepeatTimer.reset();
    update();
}

void TsuiCustomButton::enterEvent(QEnterEvent* event)
{
    FMouseOn = true;
    update();
    emit OnMouseEnter(this);
    QPushButton::enterEvent(event);
}

void TsuiCustomButton::leaveEvent(QEvent* event)
{
    EndMouseState();
    emit OnMouseExit(this);
    QPushButton::leaveEvent(event);
}

void TsuiCustomButton::mousePressEvent(QMouseEvent* event)
{
    event->accept();
    if (event->button() != Qt::LeftButton) return;
    FMouseDown = true;
    FPressedByMouse = true;
    if (!FRepeatTimer) {
        FRepeatTimer = std::make_unique<QTimer>();
        FRepeatTimer->setInterval(std::max(FMouseContinuouslyDownInterval, 0));
        connect(FRepeatTimer.get(), &QTimer::timeout, this, &TsuiCustomButton::RepeatTimerTimer);
        // A zero interval would fire on every pass of the event loop; it never ticks instead.
        if (FRepeatTimer->interval() > 0) FRepeatTimer->start();
    }
    if (TabStop() && isEnabled() && isVisible()) setFocus(Qt::MouseFocusReason);
    update();
}

void TsuiCustomButton::mouseMoveEvent(QMouseEvent* event)
{
    event->accept();
    const QPoint p = event->position().toPoint();
    if (!InRect(p, {0, 0, width(), height()}) && (FMouseOn || FMouseDown)) {
        FMouseOn = false;
        FMouseDown = false;
        update();
    }
}

void TsuiCustomButton::mouseReleaseEvent(QMouseEvent* event)
{
    event->accept();
    if (event->button() != Qt::LeftButton) return;
    const bool pressed = FPressedByMouse;
    FPressedByMouse = false;
    // The repeat never outlives the press, even when no pointer-leave follows the release.
    FRepeatTimer.reset();
    if (pressed && InRect(event->position().toPoint(), {0, 0, width(), height()}))
        Click();
    else if (FMouseDown) {
        FMouseDown = false;
        update();
    }
}

void TsuiCustomButton::keyPressEvent(QKeyEvent* event)
{
    const int key = event->key();
    if (key == Qt::Key_Space || key == Qt::Key_Return || key == Qt::Key_Enter) {
        // Only a real key-down starts a press: a held Enter that already clicked at key-down
        // repeats as further presses, and those must not arm a second click for the key-up.
        if (isEnabled() && !FMouseDown && !event->isAutoRepeat()) {
            FMouseDown = true;
            update();
        }
        event->accept();
        return;
    }
    // A focused button lets plain letters through to the accelerators of the window's buttons.
    const QString typed = event->text();
    if (typed.size() == 1 && typed.at(0).isPrint() && !(event->modifiers() & Qt::ControlModifier)) {
        const bool alt = event->modifiers() & Qt::AltModifier;
        for (TsuiCustomButton* button : ButtonsOf(window()))
            if (button->DialogChar(typed.at(0), alt)) {
                event->accept();
                return;
            }
    }
    QPushButton::keyPressEvent(event);
}

void TsuiCustomButton::keyReleaseEvent(QKeyEvent* event)
{
    const int key = event->key();
    if (key != Qt::Key_Space && key != Qt::Key_Return && key != Qt::Key_Enter) {
        QPushButton::keyReleaseEvent(event);
        return;
    }
    event->accept();
    // A held key repeats press and release pairs; only the real release clicks.
    if (event->isAutoRepeat() || !FMouseDown) return;
    FMouseDown = false;
    update();
    Click();
}

void TsuiCustomButton::focusInEvent(QFocusEvent* event)
{
    update();
    QWidget::focusInEvent(event);
}

void TsuiCustomButton::focusOutEvent(QFocusEvent* event)
{
    // A key press that loses the focus ends without a click.
    if (FMouseDown && !FPressedByMouse) FMouseDown = false;
    update();
    QWidget::focusOutEvent(event);
}

void TsuiCustomButton::FocusChanged(QWidget* now)
{
    if (now && now->window() != window()) return;
    const bool active = qobject_cast<TsuiButton*>(now) ? now == this : FDefault;
    if (active != FActive) {
        FActive = active;
        update();
    }
}

void TsuiCustomButton::changeEvent(QEvent* event)
{
    switch (event->type()) {
    case QEvent::EnabledChange:
        EnableChanged();
        update();
        break;
    case QEvent::FontChange:
        update();
        break;
    default:
        break;
    }
    QPushButton::changeEvent(event);
}

bool TsuiCustomButton::event(QEvent* event)
{
    // Alt with the caption's accelerator; the press is not animated, the click comes at once.
    if (event->type() == QEvent::Shortcut && !Accelerator().isNull()) {
        DialogChar(Accelerator(), true);
        return true;
    }
    return QPushButton::event(event);
}

// ---------------------------------------------------------------------------------------------

TsuiButton::TsuiButton(QWidget* parent) : TsuiCustomButton(parent)
{
    SetUIStyle(GetSUIFormStyle(parent ? parent->window() : nullptr));
}

TGlyphPlacement TsuiButton::GlyphLayout(TButtonLayout Layout, QSize Text, QSize Glyph, QSize Button,
                                        int Spacing)
{
    const int tw = Text.width(), th = Text.height();
    const int gw = Glyph.width(), gh = Glyph.height();
    const int W = Button.width(), H = Button.height(), sp = Spacing;
    TGlyphPlacement p;
    switch (Layout) {
    case blGlyphLeft:
        p.Glyph = {(W - (tw + gw + sp)) / 2, (H - gh) / 2};
        p.Caption = {p.Glyph.x() + gw + sp, (H - th) / 2};
        break;
    case blGlyphRight:
        p.Glyph = {(W + tw + sp - gw) / 2, (H - gh) / 2};
        p.Caption = {p.Glyph.x() - tw - sp, (H - th) / 2};
        break;
    case blGlyphTop:
        p.Glyph = {(W - gw) / 2, (H - (th + gh + sp)) / 2};
        p.Caption = {(W - tw) / 2, p.Glyph.y() + gh + sp};
        break;
    case blGlyphBottom:
        p.Glyph = {(W - gw) / 2, (H + th + sp - gh) / 2};
        p.Caption = {(W - tw) / 2, p.Glyph.y() - th - sp};
        break;
    }
    return p;
}

void TsuiButton::SetLayout(TButtonLayout layout)
{
    FLayout = layout;
    update();
}

void TsuiButton::SetSpacing(int spacing)
{
    FSpacing = spacing;
    update();
}

void TsuiButton::SetGlyph(const QImage& glyph)
{
    FGlyph = glyph;
    update();
}

void TsuiButton::UIStyleChanged()
{
    TsuiUIStyle style;
    UsingFileTheme(nullptr, FUIStyle, style);
    SetTransparent(GetInsideThemeBool(style, SuiTheme::ButtonTransparent));
    SetFontColor(clBlack);
}

void TsuiButton::PaintPic(QPainter& Canvas, const QImage& Bitmap)
{
    SpitDraw(Bitmap, Canvas, {0, 0, width(), height()}, FPicTransparent);
    if (FGlyph.isNull()) return;

    const QFontMetrics metrics(font());
    const QSize textSize(metrics.horizontalAdvance(text()), metrics.height());
    const bool twoImages = FGlyph.width() == 2 * FGlyph.height();
    const int gw = twoImages ? FGlyph.height() : FGlyph.width();
    const TGlyphPlacement place =
        GlyphLayout(FLayout, textSize, {gw, FGlyph.height()}, size(), FSpacing);
    FCaptionPos = place.Caption;
    QImage glyph = KeyedByCorner(twoImages ? FGlyph.copy(isEnabled() ? 0 : gw, 0, gw, gw) : FGlyph);
    if (!twoImages && !isEnabled()) glyph = Greyed(glyph);
    Canvas.drawImage(place.Glyph + (FMouseDown ? QPoint(1, 1) : QPoint()), glyph);
}

void TsuiButton::PaintText(QPainter& Canvas, const QString& Caption)
{
    if (FGlyph.isNull()) {
        TsuiCustomButton::PaintText(Canvas, Caption);
        return;
    }
    PaintButtonCaptionAt(Canvas, CaptionLook(Caption), FCaptionPos, {width(), height()});
}

void TsuiButton::PaintFocus(QPainter& Canvas)
{
    // These two styles show the focus with a bold caption.
    if (FUIStyle == TsuiUIStyle::MacOS || FUIStyle == TsuiUIStyle::BlueGlass)
        FBoldCaption = true;
    else
        TsuiCustomButton::PaintFocus(Canvas);
}

// ---------------------------------------------------------------------------------------------

TsuiImageButton::TsuiImageButton(QWidget* parent) : TsuiCustomButton(parent) {}

void TsuiImageButton::SetPic(int index, const QImage& pic)
{
    FPics[index] = pic;
    AutoSizeChanged();
    update();
}

QImage TsuiImageButton::PicOrNormal(int index) const
{
    return FPics[index].isNull() ? FPics[0] : FPics[index];
}

void TsuiImageButton::SetStretch(bool value)
{
    FStretch = value;
    update();
}

void TsuiImageButton::SetDrawFocused(bool value)
{
    FDrawFocused = value;
    update();
}

void TsuiImageButton::AutoSizeChanged()
{
    if (AutoSize() && parentWidget() && !FPics[0].isNull()) resize(FPics[0].size());
}

void TsuiImageButton::PaintPic(QPainter& Canvas, const QImage& Bitmap)
{
    const QImage pic = FPicTransparent ? KeyedByCorner(Bitmap) : Bitmap;
    if (FStretch)
        Canvas.drawImage(QRect(0, 0, width(), height()), pic);
    else
        Canvas.drawImage(0, 0, pic);
}

void TsuiImageButton::PaintFocus(QPainter& Canvas)
{
    if (FDrawFocused) TsuiCustomButton::PaintFocus(Canvas);
}

void TsuiImageButton::PaintButtonNormal(QImage& Bitmap)
{
    Bitmap = FPics[0];
}
void TsuiImageButton::PaintButtonMouseOn(QImage& Bitmap)
{
    Bitmap = PicOrNormal(1);
}
void TsuiImageButton::PaintButtonMouseDown(QImage& Bitmap)
{
    Bitmap = PicOrNormal(2);
}
void TsuiImageButton::PaintButtonDisabled(QImage& Bitmap)
{
    Bitmap = PicOrNormal(3);
}

// ---------------------------------------------------------------------------------------------

TsuiArrowButton::TsuiArrowButton(QWidget* parent) : TsuiCustomButton(parent)
{
    SetUIStyle(GetSUIFormStyle(parent ? parent->window() : nullptr));
}

void TsuiArrowButton::SetArrow(TsuiArrow arrow)
{
    FArrow = arrow;
    update();
}

std::array<QPoint, 3> TsuiArrowButton::ArrowPoints(TsuiArrow Arrow, int W, int H)
{
    const int x0 = (W - 6) / 2, y0 = (H - 3) / 2;
    if (Arrow == suiUp) return {QPoint(x0, y0 + 3), QPoint(x0 + 3, y0), QPoint(x0 + 6, y0 + 3)};
    return {QPoint(x0, y0), QPoint(x0 + 3, y0 + 3), QPoint(x0 + 6, y0)};
}

void TsuiArrowButton::UIStyleChanged()
{
    TsuiUIStyle style;
    UsingFileTheme(nullptr, FUIStyle, style);
    SetTransparent(GetInsideThemeBool(style, SuiTheme::ButtonTransparent));
}

void TsuiArrowButton::PaintPic(QPainter& Canvas, const QImage& Bitmap)
{
    SpitDraw(Bitmap, Canvas, {0, 0, width(), height()}, FPicTransparent);
    const std::array<QPoint, 3> points = ArrowPoints(FArrow, width(), height());
    Canvas.save();
    Canvas.setRenderHint(QPainter::Antialiasing, false);
    Canvas.setPen(Qt::black);
    Canvas.setBrush(Qt::black);
    Canvas.drawPolygon(points.data(), int(points.size()));
    Canvas.restore();
}

// ---------------------------------------------------------------------------------------------

TsuiControlButton::TsuiControlButton(QWidget* parent) : TsuiCustomButton(parent)
{
    SetTabStop(false);
    SetUIStyle(TsuiUIStyle::DeepBlue);
}

void TsuiControlButton::SetThemeID(int id)
{
    FThemeID = id;
    FitToFrame();
}

void TsuiControlButton::SetPicIndex(int index)
{
    FPicIndex = index;
    FitToFrame();
}

void TsuiControlButton::SetPicCount(int count)
{
    FPicCount = count;
    FitToFrame();
}

void TsuiControlButton::SetPicTransparent(bool value)
{
    FPicTransparent = value;
    update();
}

void TsuiControlButton::LoadFrame(QImage& Bitmap, int Index) const
{
    // Built-in styles only: with a file theme nothing is loaded.
    if (FUIStyle == TsuiUIStyle::FromThemeFile) return;
    GetInsideThemeBitmap(FUIStyle, FThemeID, Bitmap, FPicCount, Index);
}

void TsuiControlButton::FitToFrame()
{
    QImage frame;
    LoadFrame(frame, FMouseOn && isEnabled() && !FMouseDown ? FPicIndex + 1 : FPicIndex);
    if (!frame.isNull()) resize(frame.size());
    update();
}

void TsuiControlButton::PaintPic(QPainter& Canvas, const QImage& Bitmap)
{
    Canvas.drawImage(0, 0, KeyedByCorner(Bitmap));
}

void TsuiControlButton::enterEvent(QEnterEvent* event)
{
    TsuiCustomButton::enterEvent(event);
    FitToFrame();
}

void TsuiControlButton::leaveEvent(QEvent* event)
{
    TsuiCustomButton::leaveEvent(event);
    FitToFrame();
}
