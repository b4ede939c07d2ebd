#include "suipublic.h"

#include <QApplication>
#include <QFontInfo>
#include <QFontMetricsF>
#include <QPainter>
#include <QPointer>
#include <QScreen>
#include <QTextBoundaryFinder>
#include <QWidget>
#include <algorithm>
#include <cmath>

namespace {

QRgb ToRgb(TColor color)
{
    const TColor rgb = ColorToRGB(color);
    return qRgb(rgb & 0xFF, (rgb >> 8) & 0xFF, (rgb >> 16) & 0xFF);
}

TRect Intersect(TRect a, TRect b)
{
    return {std::max(a.Left, b.Left), std::max(a.Top, b.Top), std::min(a.Right, b.Right),
            std::min(a.Bottom, b.Bottom)};
}

bool IsEmpty(TRect r)
{
    return r.Width() <= 0 || r.Height() <= 0;
}

TRect ImageRect(const QImage& image)
{
    return {0, 0, image.width(), image.height()};
}

// Rebuilds Bitmap as a NewWidth x NewHeight image where source pixel (x, y) lands on Map(x, y).
template <class Map> void Remap(QImage& Bitmap, int NewWidth, int NewHeight, Map map)
{
    if (Bitmap.isNull()) return;
    const QImage source =
        Bitmap.depth() == 32 ? Bitmap : Bitmap.convertToFormat(QImage::Format_ARGB32);
    QImage result(NewWidth, NewHeight, source.format());
    for (int y = 0; y < source.height(); ++y) {
        const auto* line = reinterpret_cast<const quint32*>(source.constScanLine(y));
        for (int x = 0; x < source.width(); ++x) {
            const QPoint to = map(x, y);
            reinterpret_cast<quint32*>(result.scanLine(to.y()))[to.x()] = line[x];
        }
    }
    Bitmap = result;
}

// Shared body of the two gradients: lines across Rect along one axis. Line i (0 to n - 1) is
// FromColor, then From + Trunc((To - From) / n * (i - Lag)) per component, then ToColor last.
void DrawGradient(QPainter& Canvas, TRect Rect, TColor FromColor, TColor ToColor, bool Rows)
{
    const int n = Rows ? Rect.Height() : Rect.Width();
    if (n <= 0 || (Rows ? Rect.Width() : Rect.Height()) <= 0) return;
    const int lag = Rows ? 1 : 0; // rows count from the line after the first; columns do not
    const QRgb from = ToRgb(FromColor);
    const QRgb to = ToRgb(ToColor);
    auto component = [n](int f, int t, int step) {
        return f + int(std::trunc(double(t - f) / double(n) * double(step)));
    };
    auto line = [&](int i, QRgb colour) {
        const TRect r = Rows ? TRect(Rect.Left, Rect.Top + i, Rect.Right, Rect.Top + i + 1)
                             : TRect(Rect.Left + i, Rect.Top, Rect.Left + i + 1, Rect.Bottom);
        Canvas.fillRect(r.toQRect(), QColor(colour));
    };
    line(0, from);
    for (int i = 1; i <= n - 2; ++i) {
        const int step = i - lag;
        line(i,
             qRgb(component(qRed(from), qRed(to), step), component(qGreen(from), qGreen(to), step),
                  component(qBlue(from), qBlue(to), step)));
    }
    line(n - 1, to);
}

// The three frames of a horizontal strip: left end, middle, right end.
void DrawThreePiece(const QImage& Bitmap, QPainter& Canvas, TRect Rect, std::optional<TColor> Key,
                    const QImage* MiddleBackground, int MiddleBottom)
{
    const int fw = Bitmap.width() / 3;
    const int h = Bitmap.height();
    if (fw <= 0 || h <= 0) return;
    if (Rect.Width() < fw) {
        DrawKeyed(Canvas, Bitmap, {0, 0, Rect.Width(), h},
                  {Rect.Left, Rect.Top, Rect.Right, Rect.Top + h}, Key);
        return;
    }
    DrawKeyed(Canvas, Bitmap, {0, 0, fw, h}, {Rect.Left, Rect.Top, Rect.Left + fw, Rect.Top + h},
              Key);
    DrawKeyed(Canvas, Bitmap, {2 * fw, 0, 3 * fw, h},
              {Rect.Right - fw, Rect.Top, Rect.Right, Rect.Top + h}, Key);
    const TRect middleDest{Rect.Left + fw, Rect.Top, Rect.Right - fw, MiddleBottom};
    if (!MiddleBackground) {
        DrawKeyed(Canvas, Bitmap, {fw, 0, 2 * fw, h}, middleDest, std::nullopt);
        return;
    }
    // The middle frame over the fill colour, so its see-through pixels show that colour.
    QImage work = *MiddleBackground;
    {
        QPainter workCanvas(&work);
        DrawKeyed(workCanvas, Bitmap, {fw, 0, 2 * fw, h}, {0, 0, fw, h}, Key);
    }
    DrawKeyed(Canvas, work, ImageRect(work), middleDest, std::nullopt);
}

} // namespace

bool IsHasProperty(const QObject* Component, const char* Name)
{
    return Component && Component->metaObject()->indexOfProperty(Name) >= 0;
}

void ContainerApplyUIStyle(QWidget* Container, TsuiUIStyle UIStyle, TsuiFileTheme* FileTheme)
{
    if (!Container) return;
    // A child's setter may delete or add siblings; walk a guarded copy of the list.
    QList<QPointer<QObject>> children;
    for (QObject* child : Container->children())
        if (child->isWidgetType()) children.append(child);
    for (const QPointer<QObject>& child : children) {
        if (!child || !IsHasProperty(child, "FileTheme") || !IsHasProperty(child, "UIStyle"))
            continue;
        child->setProperty("FileTheme", QVariant::fromValue(FileTheme));
        if (child) child->setProperty("UIStyle", QVariant::fromValue(UIStyle));
    }
}

void DrawKeyed(QPainter& Canvas, const QImage& Source, TRect SourceRect, TRect DestRect,
               std::optional<TColor> Key)
{
    const TRect source = Intersect(SourceRect, ImageRect(Source));
    if (IsEmpty(source) || IsEmpty(DestRect)) return;
    QImage piece = Source.copy(source.toQRect());
    if (Key) {
        piece = piece.convertToFormat(QImage::Format_ARGB32);
        const QRgb key = ToRgb(*Key) & 0xFFFFFF;
        for (int y = 0; y < piece.height(); ++y) {
            auto* line = reinterpret_cast<QRgb*>(piece.scanLine(y));
            for (int x = 0; x < piece.width(); ++x)
                if ((line[x] & 0xFFFFFF) == key) line[x] = 0;
        }
    }
    Canvas.save();
    Canvas.setRenderHint(QPainter::SmoothPixmapTransform, false);
    Canvas.drawImage(QRectF(DestRect.toQRect()), piece, QRectF(piece.rect()));
    Canvas.restore();
}

bool SpitBitmap(const QImage& Source, QImage& Dest, int Count, int Index)
{
    if (Count < 1 || Index < 1 || Index > Count || Source.isNull()) return false;
    const int fw = Source.width() / Count;
    if (fw <= 0) return false;
    const int left = Index == Count ? Source.width() - fw : fw * (Index - 1);
    Dest = Source.copy(left, 0, fw, Source.height());
    return true;
}

std::vector<TSpitPiece> SpitDrawPieces(int BitmapWidth, int BitmapHeight, TRect Rect,
                                       bool Transparent)
{
    const int sw = BitmapWidth, sh = BitmapHeight;
    const int hw = sw / 2, hh = sh / 2;
    const int hW = Rect.Width() / 2, hH = Rect.Height() / 2;
    const int L = Rect.Left, T = Rect.Top, R = Rect.Right, B = Rect.Bottom;
    auto clamp0 = [](int v) { return std::max(0, v); };

    // The bottom and right corners are one pixel smaller than the top and left ones.
    const int leftW = clamp0(std::min(hw, hW)), topH = clamp0(std::min(hh, hH));
    const int rightW = clamp0(std::min(hw - 1, hW - 1)), bottomH = clamp0(std::min(hh - 1, hH - 1));
    const TRect tl{L, T, L + leftW, T + topH};
    const TRect bl{L, B - bottomH, L + leftW, B};
    const TRect tr{R - rightW, T, R, T + topH};
    const TRect br{R - rightW, B - bottomH, R, B};
    const int d = std::min(hh, bottomH + 1);

    const TSpitPiece all[] = {
        {{0, 0, leftW, topH}, tl, Transparent},
        {{0, sh - bottomH, leftW, sh}, bl, Transparent},
        {{0, hh, leftW, sh - hh}, {L, tl.Bottom, tl.Right, bl.Top}, true},
        {{sw - rightW, 0, sw, topH}, tr, Transparent},
        {{sw - rightW, sh - bottomH, sw, sh}, br, Transparent},
        {{sw - rightW, sh - hh, sw, hh + 2}, {tr.Left, tr.Bottom, tr.Right, br.Top}, true},
        {{hw, 0, sw - hw + 1, topH}, {tl.Right, T, tr.Left, tl.Bottom}, true},
        {{hw, hh, sw - hw + 1, sh - hh}, {tl.Right, tl.Bottom, tr.Left, br.Top - 1}, true},
        // Drawn last, one pixel over its left and upper neighbours (never outside Rect).
        {{hw, sh - d, sw - hw + 1, sh},
         {std::max(L, tl.Right - 1), std::max(T, bl.Top - 1), br.Left, B},
         true},
    };
    std::vector<TSpitPiece> pieces;
    const TRect bitmap{0, 0, sw, sh};
    for (const TSpitPiece& piece : all) {
        const TRect source = Intersect(piece.Source, bitmap);
        if (IsEmpty(source) || IsEmpty(piece.Dest)) continue;
        pieces.push_back({source, piece.Dest, piece.Masked});
    }
    return pieces;
}

void SpitDraw(const QImage& Bitmap, QPainter& Canvas, TRect Rect, bool Transparent)
{
    for (const TSpitPiece& piece :
         SpitDrawPieces(Bitmap.width(), Bitmap.height(), Rect, Transparent))
        DrawKeyed(Canvas, Bitmap, piece.Source, piece.Dest,
                  piece.Masked ? std::optional<TColor>(SuiTransparentColor) : std::nullopt);
}

void SpitDrawHorizontal(const QImage& Bitmap, QPainter& Canvas, TRect Rect, bool UseCornerColor,
                        TColor FillColor, bool CornerAtTop)
{
    if (Bitmap.isNull()) return;
    TColor key = SuiTransparentColor;
    if (UseCornerColor)
        key = fromQColor(QColor(Bitmap.pixel(0, CornerAtTop ? 0 : Bitmap.height() - 1)));
    QImage fill(std::max(1, Bitmap.width() / 3), Bitmap.height(), QImage::Format_RGB32);
    fill.fill(toQColor(FillColor));
    DrawThreePiece(Bitmap, Canvas, Rect, key, &fill, Rect.Bottom);
}

void SpitDrawHorizontal2(const QImage& Bitmap, QPainter& Canvas, TRect Rect, bool Transparent,
                         TColor TransColor)
{
    DrawThreePiece(Bitmap, Canvas, Rect,
                   Transparent ? std::optional<TColor>(TransColor) : std::nullopt, nullptr,
                   Rect.Top + Bitmap.height());
}

void TileDraw(QPainter& Canvas, const QImage& Picture, TRect Rect)
{
    const int pw = Picture.width(), ph = Picture.height();
    if (pw <= 0 || ph <= 0) return; // an empty picture would never advance
    for (int x = 0; x < pw + Rect.Width(); x += pw)
        for (int y = 0; y < ph + Rect.Height(); y += ph)
            Canvas.drawImage(QPoint(x, y), Picture);
}

void ResizeImage(const QImage& Bitmap, QPainter& Canvas, TRect Rect)
{
    if (Bitmap.isNull() || IsEmpty(Rect)) return;
    Canvas.save();
    Canvas.setRenderHint(QPainter::SmoothPixmapTransform, true);
    Canvas.drawImage(QRectF(Rect.toQRect()), Bitmap, QRectF(Bitmap.rect()));
    Canvas.restore();
}

void DrawHorizontalGradient(QPainter& Canvas, TRect Rect, TColor FromColor, TColor ToColor)
{
    DrawGradient(Canvas, Rect, FromColor, ToColor, true);
}

void DrawVerticalGradient(QPainter& Canvas, TRect Rect, TColor FromColor, TColor ToColor)
{
    DrawGradient(Canvas, Rect, FromColor, ToColor, false);
}

void RoundPicture(QImage& Bitmap)
{
    const int w = Bitmap.width();
    Remap(Bitmap, Bitmap.height(), w, [w](int x, int y) { return QPoint(y, w - 1 - x); });
}

void RoundPicture2(QImage& Bitmap)
{
    const int w = Bitmap.width(), h = Bitmap.height();
    Remap(Bitmap, w, h, [w, h](int x, int y) { return QPoint(w - 1 - x, h - 1 - y); });
}

void RoundPicture3(QImage& Bitmap)
{
    const int h = Bitmap.height();
    Remap(Bitmap, h, Bitmap.width(), [h](int x, int y) { return QPoint(h - 1 - y, x); });
}

void FrameRect(QPainter& Canvas, TRect Rect, TColor Color)
{
    if (IsEmpty(Rect)) return;
    const QColor colour = toQColor(Color);
    const int L = Rect.Left, T = Rect.Top, R = Rect.Right, B = Rect.Bottom;
    for (const TRect side : {TRect(L, T, R, T + 1), TRect(L, B - 1, R, B), TRect(L, T, L + 1, B),
                             TRect(R - 1, T, R, B)})
        Canvas.fillRect(side.toQRect(), colour);
}

void DrawControlBorder(QPainter& Canvas, TRect Rect, TColor BorderColor, TColor InnerColor,
                       bool DrawInner)
{
    FrameRect(Canvas, Rect, BorderColor);
    if (DrawInner)
        FrameRect(Canvas, {Rect.Left + 1, Rect.Top + 1, Rect.Right - 1, Rect.Bottom - 1},
                  InnerColor);
}

void DrawControlBorder(QPainter& Canvas, const QWidget& Control, TColor BorderColor,
                       TColor InnerColor, bool DrawInner)
{
    DrawControlBorder(Canvas, {0, 0, Control.width(), Control.height()}, BorderColor, InnerColor,
                      DrawInner);
}

void DoTrans(QPainter& Canvas, const QWidget& Control)
{
    QWidget* parent = Control.parentWidget();
    if (!parent) return;
    // The parent paints only itself: drawing its children would draw this control again.
    Canvas.save();
    parent->render(&Canvas, -Control.pos(), QRegion(parent->rect()), QWidget::DrawWindowBackground);
    Canvas.restore();
}

void ScanColor(QImage& Bitmap, TColor FromColor, TColor ToColor)
{
    Bitmap = Bitmap.convertToFormat(QImage::Format_RGB32);
    const QRgb from = ToRgb(FromColor), to = ToRgb(ToColor);
    for (int y = 0; y < Bitmap.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(Bitmap.scanLine(y));
        for (int x = 0; x < Bitmap.width(); ++x)
            if (line[x] == from) line[x] = to;
    }
}

QString FormatStringWithWidth(const QFontMetrics& Metrics, const QString& Text, int MaxWidth)
{
    if (Metrics.horizontalAdvance(Text) <= MaxWidth) return Text;
    // Heads end on character boundaries so a character is never cut in half.
    QTextBoundaryFinder boundaries(QTextBoundaryFinder::Grapheme, Text);
    for (qsizetype end = boundaries.toNextBoundary(); end > 0 && end < Text.size();
         end = boundaries.toNextBoundary()) {
        const QString candidate = Text.left(end) + QStringLiteral("...");
        if (Metrics.horizontalAdvance(candidate) >= MaxWidth) return candidate;
    }
    return Text;
}

QString FormatStringWithWidth(const QPainter& Canvas, const QString& Text, int MaxWidth)
{
    return FormatStringWithWidth(Canvas.fontMetrics(), Text, MaxWidth);
}

int TextExtent(const QFont& Font, const QString& Text)
{
    const QFontMetricsF metrics(Font);
    const QRectF ink = metrics.boundingRect(Text);
    const qreal right = std::max(metrics.horizontalAdvance(Text), ink.right());
    return int(std::ceil(right - std::min<qreal>(0, ink.left()) - 1e-6));
}

QFont FontThatFits(const QFont& Font, const QStringList& Texts, int Width, int MinPixelSize)
{
    const auto fits = [&](const QFont& font) {
        return std::all_of(Texts.begin(), Texts.end(),
                           [&](const QString& text) { return TextExtent(font, text) <= Width; });
    };
    if (fits(Font)) return Font;
    QFont smaller = Font;
    for (int size = QFontInfo(Font).pixelSize() - 1; size >= MinPixelSize; --size) {
        smaller.setPixelSize(size);
        if (fits(smaller)) break;
    }
    return smaller;
}

bool InRect(int X, int Y, TRect Rect)
{
    return X >= Rect.Left && X <= Rect.Right && Y >= Rect.Top && Y <= Rect.Bottom;
}

bool InRect(QPoint Point, TRect Rect)
{
    return InRect(Point.x(), Point.y(), Rect);
}

void PlaceControl(QWidget& Control, QPoint Point)
{
    Control.move(Point);
}

void PlaceControl(QWidget& Control, TRect Rect)
{
    Control.move(Rect.Left, Rect.Top);
    Control.resize(Rect.Width(), Rect.Height());
}

TRect GetWorkAreaRect(const QWidget* Form)
{
    QScreen* screen = Form ? Form->screen() : QGuiApplication::primaryScreen();
    return screen ? TRect::fromQRect(screen->availableGeometry()) : TRect{};
}

bool FormHasFocus(const QWidget* Form, const QWidget* MainForm)
{
    if (!MainForm) return Form && Form->isActiveWindow();
    if (!QApplication::activeWindow()) return false; // the application is not active
    if (!Form || Form == MainForm) return true;
    return Form->isActiveWindow();
}
