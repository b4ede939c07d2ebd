// The shared drawing operations, checked piece by piece and pixel by pixel on images built here.
#include "skin/suipublic.h"

#include <QGuiApplication>
#include <QPainter>
#include <QScreen>
#include <QWidget>
#include <functional>
#include <gtest/gtest.h>

namespace {

const QRgb background = qRgb(0, 0, 0x99);
const QRgb magenta = qRgb(255, 0, 255);

// Every pixel a different colour: red = x, green = y.
QImage Distinct(int w, int h)
{
    QImage image(w, h, QImage::Format_RGB32);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            image.setPixel(x, y, qRgb(x, y, 0x40));
    return image;
}

QImage Canvas(int w, int h)
{
    QImage image(w, h, QImage::Format_RGB32);
    image.fill(background);
    return image;
}

// Paints onto a fresh canvas and returns it.
QImage Painted(int w, int h, const std::function<void(QPainter&)>& paint)
{
    QImage image = Canvas(w, h);
    QPainter painter(&image);
    paint(painter);
    painter.end();
    return image;
}

// Reports the first pixel where Actual differs from what Expected says.
testing::AssertionResult PixelsAre(const QImage& actual,
                                   const std::function<QRgb(int x, int y)>& expected)
{
    for (int y = 0; y < actual.height(); ++y)
        for (int x = 0; x < actual.width(); ++x) {
            const QRgb want = expected(x, y) | 0xFF000000, got = actual.pixel(x, y);
            if (want != got)
                return testing::AssertionFailure() << "pixel (" << x << ", " << y << ") is "
                                                   << std::hex << got << ", expected " << want;
        }
    return testing::AssertionSuccess();
}

QRgb Rgb(TColor c)
{
    return toQColor(c).rgb();
}

} // namespace

TEST(FrameCutting, FramesAreEqualWidthAndTheLastIsRightAligned)
{
    const QImage strip = Distinct(100, 4);
    QImage frame;
    ASSERT_TRUE(SpitBitmap(strip, frame, 3, 1));
    EXPECT_EQ(frame, strip.copy(0, 0, 33, 4));
    ASSERT_TRUE(SpitBitmap(strip, frame, 3, 2));
    EXPECT_EQ(frame, strip.copy(33, 0, 33, 4));
    ASSERT_TRUE(SpitBitmap(strip, frame, 3, 3));
    EXPECT_EQ(frame, strip.copy(67, 0, 33, 4)); // columns 67 to 99

    const QImage six = Distinct(102, 16);
    ASSERT_TRUE(SpitBitmap(six, frame, 6, 4));
    EXPECT_EQ(frame, six.copy(51, 0, 17, 16));

    // Impossible requests leave the destination as it was instead of dividing by zero or
    // copying from outside the strip.
    const QImage before = frame;
    EXPECT_FALSE(SpitBitmap(strip, frame, 0, 1));
    EXPECT_FALSE(SpitBitmap(strip, frame, 3, 0));
    EXPECT_FALSE(SpitBitmap(strip, frame, 3, 4));
    EXPECT_FALSE(SpitBitmap(Distinct(2, 4), frame, 3, 1));
    EXPECT_FALSE(SpitBitmap(QImage(), frame, 1, 1));
    EXPECT_EQ(frame, before);
}

TEST(NinePiece, ButtonFrameAtItsOwnSizeIsCutIntoNinePieces)
{
    const std::vector<TSpitPiece> expected = {
        {{0, 0, 37, 10}, {0, 0, 37, 10}, false},     // top left
        {{0, 12, 37, 21}, {0, 12, 37, 21}, false},   // bottom left, one row smaller
        {{0, 10, 37, 11}, {0, 10, 37, 12}, true},    // left edge: row 10 over rows 10, 11
        {{38, 0, 74, 10}, {38, 0, 74, 10}, false},   // top right, one column smaller
        {{38, 12, 74, 21}, {38, 12, 74, 21}, false}, // bottom right
        {{38, 11, 74, 12}, {38, 10, 74, 12}, true},  // right edge: row 11 over rows 10, 11
        {{37, 0, 38, 10}, {37, 0, 38, 10}, true},    // top edge: column 37
        {{37, 10, 38, 11}, {37, 10, 38, 11}, true},  // centre: one pixel
        {{37, 11, 38, 21}, {36, 11, 38, 21}, true},  // bottom edge, last, over columns 36, 37
    };
    EXPECT_EQ(SpitDrawPieces(74, 21, {0, 0, 74, 21}, false), expected);

    std::vector<TSpitPiece> transparent = expected;
    for (int corner : {0, 1, 3, 4})
        transparent[std::size_t(corner)].Masked = true;
    EXPECT_EQ(SpitDrawPieces(74, 21, {0, 0, 74, 21}, true), transparent);
}

TEST(NinePiece, ButtonFrameAtItsOwnSizePaintsEveryPixelFromTheRightSource)
{
    const QImage frame = Distinct(74, 21);
    const QImage drawn = Painted(74, 21, [&](QPainter& p) {
        SpitDraw(frame, p, {0, 0, 74, 21}, false);
    });
    EXPECT_TRUE(PixelsAre(drawn, [&](int x, int y) {
        if ((x == 36 || x == 37) && y >= 11) return frame.pixel(37, y);  // bottom edge, last
        if (x == 37) return frame.pixel(37, y);                          // top edge and centre
        if (y == 10 || y == 11) return frame.pixel(x, x < 37 ? 10 : 11); // left / right edges
        return frame.pixel(x, y);                                        // corners
    }));
}

TEST(NinePiece, StretchedFrameKeepsCornersAndStretchesTheMiddle)
{
    const QImage frame = Distinct(74, 21);
    const QImage drawn = Painted(120, 30, [&](QPainter& p) {
        SpitDraw(frame, p, {0, 0, 120, 30}, false);
    });
    EXPECT_EQ(drawn.pixel(0, 0), frame.pixel(0, 0));
    EXPECT_EQ(drawn.pixel(36, 9), frame.pixel(36, 9));
    EXPECT_EQ(drawn.pixel(119, 29), frame.pixel(73, 20));
    EXPECT_EQ(drawn.pixel(120 - 36, 0), frame.pixel(38, 0)); // top right starts at R - 36
    EXPECT_EQ(drawn.pixel(60, 0), frame.pixel(37, 0));       // top edge: the middle column
    EXPECT_EQ(drawn.pixel(0, 15), frame.pixel(0, 10));       // left edge: the middle row
    EXPECT_EQ(drawn.pixel(60, 15), frame.pixel(37, 10));     // centre
}

TEST(NinePiece, CornersAreKeyedOnRequestEdgesAlways)
{
    QImage frame = Distinct(74, 21);
    frame.setPixel(0, 0, magenta);  // in a corner
    frame.setPixel(37, 5, magenta); // in the top edge
    for (bool transparent : {false, true}) {
        const QImage drawn = Painted(74, 21, [&](QPainter& p) {
            SpitDraw(frame, p, {0, 0, 74, 21}, transparent);
        });
        EXPECT_EQ(drawn.pixel(0, 0), transparent ? background : magenta);
        EXPECT_EQ(drawn.pixel(37, 5), background); // edges are keyed whatever Transparent says
    }
}

TEST(NinePiece, RectangleAwayFromTheOriginDrawsInsideIt)
{
    const QImage frame = Distinct(74, 21);
    const QImage atOrigin = Painted(74, 21, [&](QPainter& p) {
        SpitDraw(frame, p, {0, 0, 74, 21}, false);
    });
    const QImage moved = Painted(90, 30, [&](QPainter& p) {
        SpitDraw(frame, p, {10, 5, 84, 26}, false);
    });
    EXPECT_TRUE(PixelsAre(moved, [&](int x, int y) {
        const bool inside = x >= 10 && x < 84 && y >= 5 && y < 26;
        return inside ? atOrigin.pixel(x - 10, y - 5) : background;
    }));
}

TEST(NinePiece, TinyRectanglesAndBitmapsStayInsideTheRectangle)
{
    for (int bw = 0; bw <= 5; ++bw)
        for (int bh = 0; bh <= 5; ++bh)
            for (int rw = 0; rw <= 5; ++rw)
                for (int rh = 0; rh <= 5; ++rh) {
                    const QImage frame = bw && bh ? Distinct(bw, bh) : QImage();
                    const TRect rect{2, 2, 2 + rw, 2 + rh};
                    for (const TSpitPiece& piece : SpitDrawPieces(bw, bh, rect, true)) {
                        ASSERT_TRUE(piece.Source.Left >= 0 && piece.Source.Top >= 0 &&
                                    piece.Source.Right <= bw && piece.Source.Bottom <= bh);
                        ASSERT_TRUE(piece.Dest.Left >= rect.Left && piece.Dest.Top >= rect.Top &&
                                    piece.Dest.Right <= rect.Right &&
                                    piece.Dest.Bottom <= rect.Bottom)
                            << bw << "x" << bh << " over " << rw << "x" << rh;
                    }
                    const QImage drawn =
                        Painted(10, 10, [&](QPainter& p) { SpitDraw(frame, p, rect, false); });
                    EXPECT_TRUE(PixelsAre(drawn, [&](int x, int y) {
                        return rect.Contains(x, y) ? drawn.pixel(x, y) : background;
                    }));
                }
}

namespace {
// Three 4 x 3 frames: red, green, blue, each with one magenta pixel at (1, 1) of its frame.
QImage ThreeFrames()
{
    QImage strip(12, 3, QImage::Format_RGB32);
    const QRgb colours[] = {qRgb(255, 0, 0), qRgb(0, 255, 0), qRgb(0, 0, 255)};
    for (int f = 0; f < 3; ++f)
        for (int y = 0; y < 3; ++y)
            for (int x = 0; x < 4; ++x)
                strip.setPixel(4 * f + x, y, x == 1 && y == 1 ? magenta : colours[f]);
    return strip;
}
} // namespace

TEST(ThreePiece, EndsUnscaledMiddleStretchedOverTheFillColour)
{
    const QImage strip = ThreeFrames();
    const QImage drawn = Painted(22, 8, [&](QPainter& p) {
        SpitDrawHorizontal(strip, p, {1, 1, 21, 7}, false, clYellow, true);
    });
    EXPECT_TRUE(PixelsAre(drawn, [&](int x, int y) -> QRgb {
        if (x < 1 || x >= 21 || y < 1 || y >= 7) return background;
        if (x < 5 || x >= 17) { // the ends keep the strip's height
            if (y >= 4) return background;
            const int fx = x < 5 ? x - 1 : x - 17, fy = y - 1;
            if (fx == 1 && fy == 1) return background;
            return x < 5 ? qRgb(255, 0, 0) : qRgb(0, 0, 255);
        }
        // 4 columns over 12, 3 rows over 6: the magenta pixel shows the fill colour.
        const int fx = (x - 5) / 3, fy = (y - 1) / 2;
        return fx == 1 && fy == 1 ? Rgb(clYellow) : qRgb(0, 255, 0);
    }));
}

TEST(ThreePiece, CornerColourAndNarrowRectangles)
{
    QImage strip = ThreeFrames();
    strip.setPixel(0, 0, qRgb(9, 9, 9));
    strip.setPixel(2, 0, qRgb(9, 9, 9));
    strip.setPixel(0, 2, qRgb(7, 7, 7));
    // Top corner colour: both (0, 0) and (2, 0) are see-through, magenta is drawn.
    QImage drawn = Painted(12, 3, [&](QPainter& p) {
        SpitDrawHorizontal(strip, p, {0, 0, 12, 3}, true, clWhite, true);
    });
    EXPECT_EQ(drawn.pixel(0, 0), background);
    EXPECT_EQ(drawn.pixel(2, 0), background);
    EXPECT_EQ(drawn.pixel(1, 1), magenta);
    // Bottom corner colour instead.
    drawn = Painted(12, 3, [&](QPainter& p) {
        SpitDrawHorizontal(strip, p, {0, 0, 12, 3}, true, clWhite, false);
    });
    EXPECT_EQ(drawn.pixel(0, 0), qRgb(9, 9, 9));
    EXPECT_EQ(drawn.pixel(0, 2), background);

    // Narrower than one frame: only the left part of the left frame.
    drawn = Painted(6, 3, [&](QPainter& p) {
        SpitDrawHorizontal(strip, p, {0, 0, 3, 3}, false, clWhite, true);
    });
    EXPECT_EQ(drawn.pixel(2, 0), qRgb(9, 9, 9));
    EXPECT_EQ(drawn.pixel(3, 0), background);
    EXPECT_EQ(drawn.pixel(1, 1), background);
}

TEST(ThreePiece, SecondFormKeepsTheBitmapHeightAndKeysOnlyWhenAsked)
{
    const QImage strip = ThreeFrames();
    QImage drawn = Painted(16, 6, [&](QPainter& p) {
        SpitDrawHorizontal2(strip, p, {0, 0, 16, 6}, true, clFuchsia);
    });
    EXPECT_EQ(drawn.pixel(1, 1), background); // keyed end
    EXPECT_EQ(drawn.pixel(6, 1), magenta);    // middle, 4 over 8 columns, opaque
    EXPECT_EQ(drawn.pixel(5, 1), qRgb(0, 255, 0));
    EXPECT_EQ(drawn.pixel(6, 2), qRgb(0, 255, 0));
    EXPECT_EQ(drawn.pixel(6, 3), background);  // not stretched to the rectangle's height
    EXPECT_EQ(drawn.pixel(13, 1), background); // keyed right end at Right - 4

    drawn = Painted(16, 6, [&](QPainter& p) {
        SpitDrawHorizontal2(strip, p, {0, 0, 16, 6}, false, clFuchsia);
    });
    EXPECT_EQ(drawn.pixel(1, 1), magenta);
    EXPECT_EQ(drawn.pixel(13, 1), magenta);
}

TEST(Tiling, TilesFromTheOriginOverTheSizePlusOneTile)
{
    const QImage tile = Distinct(3, 2);
    const QImage drawn = Painted(12, 9, [&](QPainter& p) { TileDraw(p, tile, {4, 4, 9, 7}); });
    // x = 0, 3, 6 while x < 3 + 5; y = 0, 2, 4 while y < 2 + 3.
    EXPECT_TRUE(PixelsAre(drawn, [&](int x, int y) {
        return x < 9 && y < 6 ? tile.pixel(x % 3, y % 2) : background;
    }));
    // An empty picture draws nothing and returns.
    const QImage none = Painted(4, 4, [&](QPainter& p) { TileDraw(p, QImage(), {0, 0, 4, 4}); });
    EXPECT_EQ(none, Canvas(4, 4));
}

TEST(Tiling, ResizeFillsTheRectangleOnly)
{
    QImage source(2, 2, QImage::Format_RGB32);
    source.fill(qRgb(10, 200, 30));
    const QImage drawn = Painted(10, 10, [&](QPainter& p) {
        ResizeImage(source, p, {2, 3, 8, 9});
    });
    EXPECT_TRUE(PixelsAre(drawn, [&](int x, int y) {
        return x >= 2 && x < 8 && y >= 3 && y < 9 ? qRgb(10, 200, 30) : background;
    }));
}

TEST(Gradients, RowsAndColumnsFollowTheTruncatedSteps)
{
    const TColor from = RGB(0, 100, 48), to = RGB(200, 0, 0);
    // Row y from Top + 1 uses step y - Top - 1; blue -48/5 truncates to -9, not -10.
    const QRgb rows[] = {qRgb(0, 100, 48), qRgb(0, 100, 48), qRgb(40, 80, 39), qRgb(80, 60, 29),
                         qRgb(200, 0, 0)};
    QImage drawn = Painted(6, 7, [&](QPainter& p) {
        DrawHorizontalGradient(p, {1, 1, 5, 6}, from, to);
    });
    EXPECT_TRUE(PixelsAre(drawn, [&](int x, int y) {
        return x >= 1 && x < 5 && y >= 1 && y < 6 ? rows[y - 1] : background;
    }));

    // Columns use step x - Left, one further along than the rows.
    const QRgb columns[] = {qRgb(0, 100, 48), qRgb(40, 80, 39), qRgb(80, 60, 29), qRgb(120, 40, 20),
                            qRgb(200, 0, 0)};
    drawn = Painted(7, 4, [&](QPainter& p) { DrawVerticalGradient(p, {1, 1, 6, 3}, from, to); });
    EXPECT_TRUE(PixelsAre(drawn, [&](int x, int y) {
        return x >= 1 && x < 6 && y >= 1 && y < 3 ? columns[x - 1] : background;
    }));
}

TEST(Gradients, DegenerateRectangles)
{
    const TColor from = clRed, to = clBlue;
    QImage drawn = Painted(3, 3, [&](QPainter& p) {
        DrawHorizontalGradient(p, {0, 0, 3, 2}, from, to);
    });
    EXPECT_EQ(drawn.pixel(1, 0), Rgb(clRed));
    EXPECT_EQ(drawn.pixel(1, 1), Rgb(clBlue));
    EXPECT_EQ(drawn.pixel(1, 2), background);
    for (const TRect empty : {TRect(0, 1, 3, 1), TRect(1, 0, 1, 3), TRect(0, 3, 3, 0)}) {
        EXPECT_EQ(Painted(3, 3, [&](QPainter& p) { DrawHorizontalGradient(p, empty, from, to); }),
                  Canvas(3, 3));
        EXPECT_EQ(Painted(3, 3, [&](QPainter& p) { DrawVerticalGradient(p, empty, from, to); }),
                  Canvas(3, 3));
    }
    // System colours are resolved before the components are taken.
    drawn = Painted(1, 2, [&](QPainter& p) {
        DrawHorizontalGradient(p, {0, 0, 1, 2}, clBtnFace, clWindow);
    });
    EXPECT_EQ(drawn.pixel(0, 0), Rgb(clBtnFace));
    EXPECT_EQ(drawn.pixel(0, 1), qRgb(255, 255, 255));
}

TEST(Rotations, PixelsLandWhereEachTurnSends)
{
    const QImage source = Distinct(3, 2); // W = 3, H = 2
    QImage quarter = source, half = source, back = source;
    RoundPicture(quarter);
    ASSERT_EQ(quarter.size(), QSize(2, 3));
    RoundPicture2(half);
    ASSERT_EQ(half.size(), QSize(3, 2));
    RoundPicture3(back);
    ASSERT_EQ(back.size(), QSize(2, 3));
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 3; ++x) {
            EXPECT_EQ(quarter.pixel(y, 2 - x), source.pixel(x, y));
            EXPECT_EQ(half.pixel(2 - x, 1 - y), source.pixel(x, y));
            EXPECT_EQ(back.pixel(1 - y, x), source.pixel(x, y));
        }
    // Anticlockwise: the top-right pixel comes to the top-left.
    EXPECT_EQ(quarter.pixel(0, 0), source.pixel(2, 0));

    QImage roundTrip = source;
    RoundPicture(roundTrip);
    RoundPicture3(roundTrip);
    EXPECT_EQ(roundTrip, source);

    QImage indexed = source.convertToFormat(QImage::Format_Indexed8);
    RoundPicture(indexed);
    EXPECT_EQ(QColor(indexed.pixel(0, 0)), QColor(source.pixel(2, 0)));
    QImage empty;
    RoundPicture(empty);
    EXPECT_TRUE(empty.isNull());
}

TEST(Borders, OnePixelFramesAroundAndInsideTheControl)
{
    const QImage drawn = Painted(6, 5, [&](QPainter& p) {
        DrawControlBorder(p, {0, 0, 6, 5}, clRed, clLime, true);
    });
    EXPECT_TRUE(PixelsAre(drawn, [&](int x, int y) {
        if (x == 0 || y == 0 || x == 5 || y == 4) return Rgb(clRed);
        if (x == 1 || y == 1 || x == 4 || y == 3) return Rgb(clLime);
        return background;
    }));
    QWidget control;
    control.resize(4, 3);
    const QImage outer = Painted(
        6, 5, [&](QPainter& p) { DrawControlBorder(p, control, clBtnShadow, clLime, false); });
    EXPECT_TRUE(PixelsAre(outer, [&](int x, int y) {
        if (x >= 4 || y >= 3) return background;
        return x == 0 || y == 0 || x == 3 || y == 2 ? Rgb(clBtnShadow) : background;
    }));
}

namespace {
// A parent whose face depends on the position, with a sibling that must not show up.
class PatternParent : public QWidget
{
public:
    using QWidget::QWidget;

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter p(this);
        for (int y = 0; y < height(); ++y)
            for (int x = 0; x < width(); ++x)
                p.fillRect(x, y, 1, 1, QColor(qRgb(x, y, 0x40)));
    }
};

// A see-through control that paints its parent's look into a buffer from its own paint event.
class SeeThroughControl : public QWidget
{
public:
    using QWidget::QWidget;

protected:
    void paintEvent(QPaintEvent*) override
    {
        QImage buffer(size(), QImage::Format_RGB32);
        buffer.fill(background);
        QPainter onBuffer(&buffer);
        DoTrans(onBuffer, *this);
        onBuffer.end();
        QPainter(this).drawImage(0, 0, buffer);
    }
};
} // namespace

TEST(SeeThrough, WorksFromInsideTheControlsOwnPaintEvent)
{
    PatternParent parent;
    parent.resize(30, 20);
    SeeThroughControl control(&parent);
    control.setGeometry(5, 4, 10, 10);
    const QImage shot = parent.grab().toImage().convertToFormat(QImage::Format_RGB32);
    EXPECT_EQ(shot.pixel(5, 4), qRgb(5, 4, 0x40));
    EXPECT_EQ(shot.pixel(14, 13), qRgb(14, 13, 0x40));
}

TEST(SeeThrough, ParentIsPaintedAtTheControlsOffsetWithoutItsChildren)
{
    PatternParent parent;
    parent.resize(40, 30);
    QWidget control(&parent);
    control.setGeometry(10, 5, 20, 15);
    QWidget sibling(&parent);
    sibling.setGeometry(12, 6, 4, 4);
    sibling.setAutoFillBackground(true);
    QPalette palette;
    palette.setColor(QPalette::Window, Qt::yellow);
    sibling.setPalette(palette);

    const QImage drawn = Painted(20, 15, [&](QPainter& p) { DoTrans(p, control); });
    EXPECT_TRUE(PixelsAre(drawn, [](int x, int y) { return qRgb(x + 10, y + 5, 0x40); }));

    // A control running past the parent's edge sees nothing of the parent there.
    control.setGeometry(30, 20, 20, 15);
    const QImage clipped = Painted(20, 15, [&](QPainter& p) { DoTrans(p, control); });
    EXPECT_EQ(clipped.pixel(9, 9), qRgb(39, 29, 0x40));
    EXPECT_EQ(clipped.pixel(10, 10), background);

    QWidget orphan;
    orphan.resize(5, 5);
    EXPECT_EQ(Painted(5, 5, [&](QPainter& p) { DoTrans(p, orphan); }), Canvas(5, 5));
}

TEST(ColourReplacement, EveryMatchingPixelIsReplacedAndTheDepthBecomes32Bits)
{
    QImage image(3, 2, QImage::Format_ARGB32);
    image.fill(qRgb(1, 2, 3));
    image.setPixel(1, 1, magenta);
    image.setPixel(2, 0, magenta);
    ScanColor(image, clFuchsia, clBtnFace);
    EXPECT_EQ(image.format(), QImage::Format_RGB32);
    EXPECT_EQ(image.pixel(1, 1), Rgb(clBtnFace));
    EXPECT_EQ(image.pixel(2, 0), Rgb(clBtnFace));
    EXPECT_EQ(image.pixel(0, 0), qRgb(1, 2, 3));
}

TEST(TextWidth, ShortenedOnlyWhenItDoesNotFit)
{
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPixelSize(12);
    const QFontMetrics metrics(font);
    const QString text = QStringLiteral("Connection configuration");
    const int full = metrics.horizontalAdvance(text);

    EXPECT_EQ(FormatStringWithWidth(metrics, text, full), text); // exact fit
    EXPECT_EQ(FormatStringWithWidth(metrics, text, full + 50), text);

    const int max = full / 2;
    const QString shortened = FormatStringWithWidth(metrics, text, max);
    ASSERT_TRUE(shortened.endsWith(QStringLiteral("...")));
    const QString head = shortened.chopped(3);
    EXPECT_TRUE(text.startsWith(head));
    EXPECT_GE(metrics.horizontalAdvance(shortened), max); // may be slightly wider
    EXPECT_LT(metrics.horizontalAdvance(head.chopped(1) + QStringLiteral("...")), max);

    EXPECT_EQ(FormatStringWithWidth(metrics, QStringLiteral("W"), 0), QStringLiteral("W"));
    EXPECT_EQ(FormatStringWithWidth(metrics, QStringLiteral("ab"), 0), QStringLiteral("a..."));
}

TEST(TextWidth, NeverCutsACharacterInHalf)
{
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPixelSize(12);
    const QFontMetrics metrics(font);
    // Characters outside the basic plane take two UTF-16 units.
    const QString text = QString::fromUtf8("\xF0\x9D\x84\x9E\xF0\x9D\x84\x9E\xF0\x9D\x84\x9E");
    const QString shortened = FormatStringWithWidth(metrics, text, 1);
    EXPECT_EQ(shortened, text.left(2) + QStringLiteral("..."));
}

TEST(Geometry, InRectCountsTheRightAndBottomEdgesAsInside)
{
    const TRect r{0, 0, 10, 10};
    EXPECT_TRUE(InRect(10, 10, r));
    EXPECT_TRUE(InRect(0, 0, r));
    EXPECT_TRUE(InRect(QPoint(10, 0), r));
    EXPECT_FALSE(InRect(11, 10, r));
    EXPECT_FALSE(InRect(10, 11, r));
    EXPECT_FALSE(InRect(-1, 5, r));
    EXPECT_FALSE(InRect(QPoint(5, -1), r));
}

TEST(Geometry, PlaceControlAndWorkArea)
{
    QWidget parent;
    QWidget control(&parent);
    PlaceControl(control, QPoint(7, 8));
    EXPECT_EQ(control.pos(), QPoint(7, 8));
    PlaceControl(control, TRect{3, 4, 13, 24});
    EXPECT_EQ(control.geometry(), QRect(3, 4, 10, 20));

    ASSERT_NE(QGuiApplication::primaryScreen(), nullptr);
    EXPECT_EQ(GetWorkAreaRect(),
              TRect::fromQRect(QGuiApplication::primaryScreen()->availableGeometry()));
    EXPECT_EQ(GetWorkAreaRect(&parent).Width(), GetWorkAreaRect().Width());
}

TEST(Geometry, FormFocusFollowsTheActiveWindow)
{
    QWidget main, other;
    // Nothing is shown, so no window is active.
    EXPECT_FALSE(FormHasFocus(&other));
    EXPECT_FALSE(FormHasFocus(nullptr));
    EXPECT_FALSE(FormHasFocus(&main, &main)); // the application is not active
}
