#include "skin/suiimagepanel.h"

#include "skin/suipublic.h"

#include <QFontInfo>
#include <QMouseEvent>
#include <QPainter>
#include <stdexcept>

TColor ParentColorOf(const QWidget* control)
{
    for (const QWidget* p = control ? control->parentWidget() : nullptr; p; p = p->parentWidget()) {
        if (p->property("ParentColor").toBool()) continue;
        const QVariant colour = p->property("Color");
        if (colour.isValid()) return TColor(colour.toInt());
        return fromQColor(p->palette().color(QPalette::Window));
    }
    return clBtnFace;
}

int FontPixelHeight(const QFont& font)
{
    return font.pixelSize() > 0 ? font.pixelSize() : QFontInfo(font).pixelSize();
}

void DrawPenPolyline(QPainter& Canvas, const QList<QPoint>& Points, TColor Color)
{
    const QColor colour = toQColor(Color);
    for (qsizetype i = 0; i + 1 < Points.size(); ++i) {
        const QPoint a = Points.at(i), b = Points.at(i + 1);
        const int dx = (b.x() > a.x()) - (b.x() < a.x()), dy = (b.y() > a.y()) - (b.y() < a.y());
        for (QPoint p = a; p != b; p += QPoint(dx, dy))
            Canvas.fillRect(p.x(), p.y(), 1, 1, colour);
    }
}

// ---------------------------------------------------------------------------------------------

TsuiCustomPanel::TsuiCustomPanel(QWidget* parent) : TsuiControl<QWidget>(parent)
{
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void TsuiCustomPanel::SetCaption(const QString& caption)
{
    FCaption = caption;
    update();
}

void TsuiCustomPanel::SetPicture(const QImage& picture)
{
    FPicture = picture;
    ApplyAutoSize();
    update();
}

void TsuiCustomPanel::SetDrawStyle(TsuiDrawStyle style)
{
    FDrawStyle = style;
    update();
}

void TsuiCustomPanel::SetTransparent(bool value)
{
    FTransparent = value;
    setAttribute(Qt::WA_OpaquePaintEvent, !value);
    update();
}

void TsuiCustomPanel::SetAutoSize(bool value)
{
    FAutoSize = value;
    ApplyAutoSize();
}

void TsuiCustomPanel::SetAlignment(TAlignment alignment)
{
    FAlignment = alignment;
    update();
}

void TsuiCustomPanel::SetAlign(TAlign align)
{
    FAlign = align;
    ApplyAutoSize();
}

void TsuiCustomPanel::SetCaptionPosX(int x)
{
    FCaptionPosX = x;
    update();
}

void TsuiCustomPanel::SetCaptionPosY(int y)
{
    FCaptionPosY = y;
    update();
}

void TsuiCustomPanel::ApplyAutoSize()
{
    if (!FAutoSize || FPicture.isNull()) return;
    const bool keepWidth = FAlign == alTop || FAlign == alBottom || FAlign == alClient;
    const bool keepHeight = FAlign == alLeft || FAlign == alRight || FAlign == alClient;
    resize(keepWidth ? width() : FPicture.width(), keepHeight ? height() : FPicture.height());
}

void TsuiCustomPanel::PaintPanel(QPainter& Canvas)
{
    const TRect client{0, 0, width(), height()};
    if (FTransparent) DoTrans(Canvas, *this);
    if (!FPicture.isNull()) {
        if (FDrawStyle == suiStretch)
            Canvas.drawImage(client.toQRect(), FPicture);
        else if (FDrawStyle == suiTile)
            TileDraw(Canvas, FPicture, client);
        else
            Canvas.drawImage(0, 0, FPicture);
    } else if (!FTransparent) {
        Canvas.fillRect(client.toQRect(), toQColor(Color()));
    }
    if (FCaption.trimmed().isEmpty()) return;
    Canvas.setPen(palette().color(QPalette::WindowText));
    Canvas.setFont(font());
    if (FCaptionPosX == -1 || FCaptionPosY == -1) {
        const int horizontal = FAlignment == taLeftJustify    ? Qt::AlignLeft
                               : FAlignment == taRightJustify ? Qt::AlignRight
                                                              : Qt::AlignHCenter;
        Canvas.drawText(client.toQRect(), horizontal | Qt::AlignVCenter | Qt::TextSingleLine,
                        FCaption);
    } else {
        Canvas.drawText(QRect(FCaptionPosX, FCaptionPosY, width(), height()),
                        Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine, FCaption);
    }
}

void TsuiCustomPanel::paintEvent(QPaintEvent*)
{
    QPainter canvas(this);
    PaintPanel(canvas);
}

// ---------------------------------------------------------------------------------------------

TsuiPanel::TsuiPanel(QWidget* parent) : TsuiControl<QWidget>(parent)
{
    setAttribute(Qt::WA_OpaquePaintEvent);
    setMouseTracking(true);
    resize(100, 100);
    LoadSkinBitmap(QStringLiteral("PANEL_BUTTON"), FButtonStrip);
    FAnimationTimer.setInterval(10);
    connect(&FAnimationTimer, &QTimer::timeout, this, &TsuiPanel::AnimationTimerTimer);
    SetUIStyle(GetSUIFormStyle(parent ? parent->window() : nullptr));
}

void TsuiPanel::SetCaption(const QString& caption)
{
    FCaption = caption;
    update();
}

void TsuiPanel::SetShowButton(bool value)
{
    FShowButton = value;
    update();
}

void TsuiPanel::SetCaptionFontColor(TColor color)
{
    FCaptionFontColor = color;
    update();
}

void TsuiPanel::SetAlign(TAlign align)
{
    FAlign = align;
    update();
}

void TsuiPanel::SetHeight(int height)
{
    FExpandedHeight = height;
    if (FExpanded && !FAnimating) resize(width(), height);
}

bool TsuiPanel::ButtonShown() const
{
    return FShowButton && FAlign != TsuiCustomPanel::alClient &&
           FAlign != TsuiCustomPanel::alLeft && FAlign != TsuiCustomPanel::alRight;
}

TsuiPanelLayout TsuiPanel::Layout(int W, int bh, bool ShowButton)
{
    TsuiPanelLayout layout;
    layout.Bar = {1, 0, W - 1, bh};
    layout.Caption = {10, 0, W - 1, bh};
    if (ShowButton) {
        const TRect hot = Bounds(W - 1 - 13 - 4, (bh - 12) / 2, 13, 12);
        layout.ButtonHot = hot;
        layout.ButtonPos = {W - 13 - 4, (hot.Bottom - 12) / 2 + 2};
    }
    return layout;
}

void TsuiPanel::UIStyleChanged()
{
    TsuiUIStyle style;
    UsingFileTheme(nullptr, FUIStyle, style);
    SetColor(clWhite);
    GetInsideThemeBitmap(style, SuiTheme::SideChannelBarImage, FCaptionBar);
    FBorderColor = GetInsideThemeColor(style, SuiTheme::ControlBorderColor);
    FCaptionFontColor = style == TsuiUIStyle::MacOS
                            ? clBlack
                            : GetInsideThemeColor(style, SuiTheme::MenuSelectedFontColor);
    // The height is re-applied so the children follow the new bar height.
    UpdateContentsMargins();
    SetHeight(FExpandedHeight);
    update();
}

void TsuiPanel::UpdateContentsMargins()
{
    setContentsMargins(3, BarHeight() + 3, 3, 3);
}

void TsuiPanel::Push()
{
    if (FAlign == TsuiCustomPanel::alClient || FAlign == TsuiCustomPanel::alLeft ||
        FAlign == TsuiCustomPanel::alRight)
        throw std::logic_error("Can't push when Align is alClient, alLeft or alRight.");
    if (FExpanded && !FAnimating) FExpandedHeight = height();
    FAnimating = true;
    FCollapsing = true;
    FAnimationTimer.start();
}

void TsuiPanel::Pop()
{
    FAnimating = true;
    FCollapsing = false;
    FAnimationTimer.start();
}

void TsuiPanel::AnimationTimerTimer()
{
    if (!FAnimating) return;
    if (FCollapsing) {
        const int target = BarHeight() > 0 ? BarHeight() : 20;
        if (target < height() - AnimationStep) {
            resize(width(), height() - AnimationStep);
            repaint();
            return;
        }
        resize(width(), target);
    } else {
        if (height() + AnimationStep < FExpandedHeight) {
            resize(width(), height() + AnimationStep);
            repaint();
            return;
        }
        resize(width(), FExpandedHeight);
    }
    Finish();
}

void TsuiPanel::Finish()
{
    FAnimationTimer.stop();
    FAnimating = false;
    FExpanded = !FCollapsing;
    repaint();
    if (FExpanded)
        emit OnPop(this);
    else
        emit OnPush(this);
}

void TsuiPanel::paintEvent(QPaintEvent*)
{
    QPainter canvas(this);
    const int W = width(), H = height(), bh = BarHeight();
    canvas.fillRect(0, 0, W, H, toQColor(Color()));
    FrameRect(canvas, {0, 0, W, H}, FBorderColor);
    const TsuiPanelLayout layout = Layout(W, bh, ButtonShown());
    if (!FCaptionBar.isNull()) DrawKeyed(canvas, FCaptionBar, {0, 0, 1, bh}, layout.Bar, {});
    canvas.setPen(toQColor(FCaptionFontColor));
    canvas.setFont(font());
    const bool rtl = layoutDirection() == Qt::RightToLeft;
    TRect caption = layout.Caption;
    if (rtl) caption = {1, 0, W - (ButtonShown() ? 21 : 11), bh};
    canvas.drawText(caption.toQRect(),
                    (rtl ? Qt::AlignRight : Qt::AlignLeft) | Qt::AlignVCenter | Qt::TextSingleLine,
                    FCaption);
    if (!layout.ButtonHot) return;
    FButtonHot = FMousePos && InRect(*FMousePos, *layout.ButtonHot);
    QImage frame;
    if (SpitBitmap(FButtonStrip, frame, 4, ButtonFrame(FExpanded, FButtonHot)))
        DrawKeyed(canvas, frame, {0, 0, frame.width(), frame.height()},
                  Bounds(layout.ButtonPos.x(), layout.ButtonPos.y(), frame.width(), frame.height()),
                  SuiTransparentColor);
}

void TsuiPanel::resizeEvent(QResizeEvent* event)
{
    if (FExpanded && !FAnimating) FExpandedHeight = height();
    QWidget::resizeEvent(event);
}

void TsuiPanel::mouseMoveEvent(QMouseEvent* event)
{
    FMousePos = event->position().toPoint();
    if (FMousePos->y() <= BarHeight() && ButtonShown()) {
        const TsuiPanelLayout layout = Layout(width(), BarHeight(), true);
        const bool hot = InRect(*FMousePos, *layout.ButtonHot);
        if (hot != FButtonHot) {
            FButtonHot = hot;
            update(layout.ButtonHot->toQRect().adjusted(0, 0, 1, 1));
        }
    }
    QWidget::mouseMoveEvent(event);
}

void TsuiPanel::leaveEvent(QEvent* event)
{
    FMousePos.reset();
    if (FButtonHot) {
        FButtonHot = false;
        update();
    }
    QWidget::leaveEvent(event);
}

void TsuiPanel::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton) {
        // A click during a running animation is ignored; the next one toggles again.
        if (FButtonHot && ButtonShown() && !FAnimating) {
            if (FExpanded)
                Push();
            else
                Pop();
        }
        update();
    }
    QWidget::mouseReleaseEvent(event);
}
