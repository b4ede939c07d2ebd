// The built-in artwork: the committed pictures match the generator, every picture has the
// size and frame layout the controls cut it by, and the see-through colour appears only
// where the controls draw with it.
#include "tools/skinart/artwork.h"
#include "tools/skinart/looks.h"
#include "tools/skinart/pixelart.h"

#include <QDir>
#include <QFile>
#include <QImage>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <map>

using namespace skinart;

namespace {

struct Designed
{
    int w, h, frames;
};

// The sizes the skinned controls expect, written out independently of the generator.
std::map<QString, Designed> designedSizes()
{
    std::map<QString, Designed> d;
    const char* prefixes[5] = {"MACOS", "WINXP", "DEEPBLUE", "PROTEIN", "BLUEGLASS"};
    struct Row
    {
        const char* element;
        int frames;
        QSize sizes[5];
    };
    const Row table[] = {
        {"BUTTON", 3, {{252, 23}, {54, 21}, {222, 21}, {222, 21}, {231, 27}}},
        {"CHECKBOX", 4, {{60, 17}, {52, 13}, {52, 13}, {52, 13}, {52, 13}}},
        {"RADIOBUTTON", 4, {{64, 17}, {52, 13}, {52, 13}, {52, 13}, {52, 13}}},
        {"TITLEBTN", 18, {{306, 17}, {378, 21}, {342, 19}, {342, 19}, {342, 19}}},
        {"TITLE_LEFT", 1, {{48, 23}, {35, 29}, {97, 32}, {441, 23}, {162, 33}}},
        {"TITLE_CLIENT", 1, {{49, 23}, {37, 29}, {98, 32}, {1, 23}, {179, 33}}},
        {"TITLE_RIGHT", 1, {{48, 23}, {35, 29}, {97, 32}, {1, 23}, {101, 33}}},
        {"PROGRESSBAR", 1, {{13, 10}, {6, 10}, {1, 10}, {1, 10}, {1, 10}}},
        {"TRACKBAR_BAR", 1, {{45, 5}, {45, 8}, {45, 4}, {45, 4}, {45, 4}}},
        {"TRACKBAR_SLIDER", 1, {{11, 20}, {11, 21}, {11, 20}, {11, 20}, {11, 20}}},
        {"TRACKBAR_SLIDER_V", 1, {{19, 11}, {22, 11}, {18, 11}, {18, 11}, {18, 11}}},
        {"SCROLLBAR_BUTTON", 6, {{96, 22}, {96, 17}, {96, 16}, {96, 16}, {102, 16}}},
        {"SCROLLBAR_TRACK", 3, {{33, 16}, {21, 16}, {21, 16}, {21, 16}, {21, 16}}},
        {"CHECKLIST", 4, {{40, 11}, {44, 11}, {44, 11}, {44, 11}, {44, 11}}},
        {"TAB", 2, {{36, 27}, {18, 18}, {12, 17}, {18, 17}, {18, 17}}},
        {"TAB_LINE", 1, {{17, 7}, {8, 1}, {5, 5}, {10, 5}, {10, 5}}},
        {"SIDECHENNEL_HANDLE", 1, {{7, 84}, {8, 86}, {8, 83}, {8, 83}, {8, 86}}},
        {"SIDECHENNEL_BAR", 1, {{1, 21}, {1, 21}, {1, 20}, {1, 21}, {1, 21}}},
    };
    for (const Row& r : table)
        for (int s = 0; s < 5; ++s)
            d[QString("%1_%2").arg(prefixes[s], r.element)] = {r.sizes[s].width(),
                                                               r.sizes[s].height(), r.frames};
    d["MACOS_SCROLLBUTTON"] = {72, 18, 4};
    d["WINXP_SCROLLBUTTON"] = {72, 18, 4};
    d["MORE_SCROLLBUTTON"] = {72, 17, 4};
    d["MACOS_COMBOBOX_BUTTON"] = {16, 17, 1};
    d["WINXP_COMBOBOX_BUTTON"] = {16, 18, 1};
    d["MACOS_FORM_BACKGROUND"] = {8, 8, 1};
    d["PROTEIN_FORM_BACKGROUND"] = {8, 8, 1};
    d["MACOS_MENU_BAR"] = {1, 22, 1};
    d["MACOS_MENU_SELECT"] = {1, 21, 1};
    d["PANEL_BUTTON"] = {52, 12, 4};
    d["MENU_CHECKED"] = {16, 16, 1};
    return d;
}

const std::vector<Artwork>& art()
{
    static const std::vector<Artwork> all = renderAll();
    return all;
}

const Artwork& find(const QString& name)
{
    for (const Artwork& a : art())
        if (a.info.name == name) return a;
    ADD_FAILURE() << "no picture " << qPrintable(name);
    static const Artwork none{};
    return none;
}

bool samePixels(const QImage& a, const QImage& b)
{
    if (a.size() != b.size()) return false;
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x)
            if ((a.pixel(x, y) & 0xFFFFFF) != (b.pixel(x, y) & 0xFFFFFF)) return false;
    return true;
}

// Every column of the rectangle equals its first column: safe to stretch sideways.
bool uniformColumns(const QImage& img, int x0, int x1)
{
    for (int x = x0 + 1; x < x1; ++x)
        for (int y = 0; y < img.height(); ++y)
            if (img.pixel(x, y) != img.pixel(x0, y)) return false;
    return true;
}

} // namespace

TEST(SkinArtwork, EveryDesignedPictureExistsOnceWithItsSizeAndFrames)
{
    const auto designed = designedSizes();
    std::map<QString, int> seen;
    for (const Artwork& a : art()) {
        ++seen[a.info.name];
        const auto it = designed.find(a.info.name);
        ASSERT_NE(it, designed.end()) << "unexpected picture " << qPrintable(a.info.name);
        EXPECT_EQ(a.image.size(), QSize(it->second.w, it->second.h)) << qPrintable(a.info.name);
        EXPECT_EQ(a.info.frames, it->second.frames) << qPrintable(a.info.name);
        EXPECT_EQ(a.info.width % a.info.frames, 0) << qPrintable(a.info.name);
    }
    for (const auto& [name, size] : designed)
        EXPECT_EQ(seen[name], 1) << qPrintable(name);
}

TEST(SkinArtwork, CommittedPicturesMatchAFreshRunPixelForPixel)
{
    QTemporaryDir tmp;
    ASSERT_TRUE(tmp.isValid());
    QString error;
    ASSERT_TRUE(writeAll(tmp.path(), &error)) << qPrintable(error);

    const QDir committed(SKINART_COMMITTED_DIR);
    const QStringList fresh = QDir(tmp.path()).entryList({"*.png"}, QDir::Files, QDir::Name);
    const QStringList stored = committed.entryList({"*.png"}, QDir::Files, QDir::Name);
    EXPECT_EQ(stored, fresh) << "resources/skin is stale: run skinart --out resources/skin";
    EXPECT_EQ(fresh.size(), qsizetype(designedSizes().size()));

    for (const QString& file : fresh) {
        const QImage now(QDir(tmp.path()).filePath(file));
        const QImage then(committed.filePath(file));
        ASSERT_FALSE(now.isNull()) << qPrintable(file);
        EXPECT_TRUE(samePixels(now, then)) << qPrintable(file) << " differs from the generator";
    }
}

TEST(SkinArtwork, PaintingIsRepeatable)
{
    const std::vector<Artwork> again = renderAll();
    ASSERT_EQ(again.size(), art().size());
    for (size_t i = 0; i < again.size(); ++i)
        EXPECT_TRUE(samePixels(again[i].image, art()[i].image)) << qPrintable(again[i].info.name);
}

TEST(SkinArtwork, SeeThroughColourOnlyWhereItIsDrawnAsSuchAndNeverFringed)
{
    for (const Artwork& a : art()) {
        int magenta = 0, fringe = 0;
        for (int y = 0; y < a.image.height(); ++y)
            for (int x = 0; x < a.image.width(); ++x) {
                const QRgb c = a.image.pixel(x, y);
                if (c == kMagenta) {
                    ++magenta;
                    continue;
                }
                // A pinkish blend of the key colour would show as a fringe on screen.
                if (qRed(c) > 200 && qBlue(c) > 200 && qGreen(c) < 120) ++fringe;
            }
        EXPECT_EQ(fringe, 0) << qPrintable(a.info.name);
        if (a.info.keying == Keying::Opaque) {
            EXPECT_EQ(magenta, 0) << qPrintable(a.info.name) << " is drawn opaque";
        }
    }
}

TEST(SkinArtwork, TransparentButtonsHaveSeeThroughCornersAndOpaqueOnesDoNot)
{
    // Push buttons: see-through in MacOS and BlueGlass only.
    for (const char* name : {"MACOS_BUTTON", "BLUEGLASS_BUTTON"}) {
        const Artwork& a = find(name);
        const int fw = a.info.width / 3;
        for (int f = 0; f < 3; ++f) {
            EXPECT_EQ(a.image.pixel(f * fw, 0), kMagenta) << name << " frame " << f + 1;
            EXPECT_EQ(a.image.pixel(f * fw + fw - 1, a.image.height() - 1), kMagenta) << name;
            EXPECT_NE(a.image.pixel(f * fw + fw / 2, a.image.height() / 2), kMagenta) << name;
        }
    }
    // Caption buttons of Protein and BlueGlass are keyed by their bottom-left pixel.
    for (const char* name : {"PROTEIN_TITLEBTN", "BLUEGLASS_TITLEBTN"}) {
        const Artwork& a = find(name);
        const int fw = a.info.width / 18;
        for (int f = 0; f < 18; ++f)
            EXPECT_EQ(a.image.pixel(f * fw, a.image.height() - 1), kMagenta) << name << f + 1;
    }
}

TEST(SkinArtwork, OpaqueCaptionButtonsBlendIntoTheTitleBandTheySitOn)
{
    // Drawn without a key colour at row TitleButtonTop of the band: their corners must be
    // the band's own colours, row for row.
    const std::map<QString, int> top{{"MACOS", 4}, {"WINXP", 5}, {"DEEPBLUE", 2}};
    for (const auto& [prefix, buttonTop] : top) {
        const Artwork& btn = find(prefix + "_TITLEBTN");
        const Artwork& right = find(prefix + "_TITLE_RIGHT");
        const int fw = btn.info.width / 18;
        const int bandX = right.image.width() / 2;
        for (int f = 0; f < 18; ++f)
            for (int y : {0, btn.image.height() - 1})
                EXPECT_EQ(btn.image.pixel(f * fw, y), right.image.pixel(bandX, buttonTop + y))
                    << qPrintable(prefix) << " frame " << f + 1 << " row " << y;
    }
}

TEST(SkinArtwork, StretchedPiecesAreUniformAlongTheStretch)
{
    for (const char* p : {"MACOS", "WINXP", "DEEPBLUE", "PROTEIN", "BLUEGLASS"}) {
        const QString prefix = p;
        const QImage client = find(prefix + "_TITLE_CLIENT").image;
        EXPECT_TRUE(uniformColumns(client, 0, client.width())) << p << " title middle";
        const QImage line = find(prefix + "_TAB_LINE").image;
        EXPECT_TRUE(uniformColumns(line, 0, line.width())) << p << " tab line";

        // The middle third of each tab frame is stretched between the ends.
        const Artwork& tab = find(prefix + "_TAB");
        const int fw = tab.info.width / 2, slice = fw / 3;
        for (int f = 0; f < 2; ++f)
            EXPECT_TRUE(uniformColumns(tab.image, f * fw + slice, f * fw + 2 * slice))
                << p << " tab frame " << f + 1;

        const Artwork& thumb = find(prefix + "_SCROLLBAR_TRACK");
        const int tw = thumb.info.width / 3;
        EXPECT_TRUE(uniformColumns(thumb.image, tw, 2 * tw)) << p << " thumb middle";
    }
}

TEST(SkinArtwork, TitleSectionsJoinWithoutASeam)
{
    for (const char* p : {"MACOS", "WINXP", "DEEPBLUE", "PROTEIN", "BLUEGLASS"}) {
        const QString prefix = p;
        const QImage left = find(prefix + "_TITLE_LEFT").image;
        const QImage client = find(prefix + "_TITLE_CLIENT").image;
        const QImage right = find(prefix + "_TITLE_RIGHT").image;
        // Below the rounded corners the ends continue the stretched middle exactly.
        for (int y = 8; y < left.height(); ++y) {
            EXPECT_EQ(left.pixel(left.width() - 1, y), client.pixel(0, y)) << p << " row " << y;
            EXPECT_EQ(right.pixel(0, y), client.pixel(0, y)) << p << " row " << y;
        }
    }
}

TEST(SkinArtwork, ButtonAndRadioFramesAreMirrorSymmetric)
{
    // Corners drawn off by one show up as a lopsided frame once it is stretched.
    for (const Artwork& a : art()) {
        const bool button = a.info.name.endsWith("_BUTTON") && !a.info.name.contains("SCROLL") &&
                            !a.info.name.contains("COMBOBOX") && a.info.name != "PANEL_BUTTON";
        if (!button && !a.info.name.endsWith("_RADIOBUTTON")) continue;
        const int fw = a.info.width / a.info.frames;
        for (int f = 0; f < a.info.frames; ++f)
            for (int y = 0; y < a.image.height(); ++y)
                for (int x = 0; x < fw / 2; ++x)
                    ASSERT_EQ(a.image.pixel(f * fw + x, y), a.image.pixel(f * fw + fw - 1 - x, y))
                        << qPrintable(a.info.name) << " frame " << f + 1 << " at " << x << "," << y;
    }
}

TEST(SkinArtwork, FramesOfAStripDiffer)
{
    // Hover and pressed frames that equal the normal one would make a control look dead.
    for (const char* name : {"MACOS_BUTTON", "WINXP_BUTTON", "DEEPBLUE_BUTTON", "PROTEIN_BUTTON",
                             "BLUEGLASS_BUTTON", "DEEPBLUE_SCROLLBAR_BUTTON", "MORE_SCROLLBUTTON",
                             "PANEL_BUTTON", "WINXP_TITLEBTN", "DEEPBLUE_CHECKBOX"}) {
        const Artwork& a = find(name);
        const int fw = a.info.width / a.info.frames;
        for (int f = 1; f < a.info.frames; ++f)
            EXPECT_FALSE(samePixels(a.image.copy(0, 0, fw, a.image.height()),
                                    a.image.copy(f * fw, 0, fw, a.image.height())))
                << name << " frame " << f + 1 << " equals frame 1";
    }
}

TEST(SkinPixelArt, RoundRectOutlineAndDepth)
{
    const Mask m = roundRect(10, 8, 3);
    EXPECT_FALSE(m.at(0, 0));
    EXPECT_FALSE(m.at(9, 7));
    EXPECT_TRUE(m.at(5, 0));
    EXPECT_TRUE(m.at(0, 4));
    const auto d = m.depth();
    EXPECT_EQ(d[size_t(0 * 10 + 5)], 1); // top edge
    EXPECT_EQ(d[size_t(1 * 10 + 5)], 2); // just inside
    EXPECT_EQ(d[size_t(0 * 10 + 0)], 0); // cut corner
    const auto open = m.depth(false, true);
    EXPECT_EQ(open[size_t(7 * 10 + 5)], 4); // an open foot has no outline
}

TEST(SkinPixelArt, RampHitsItsStopsAndRoundsBetweenThem)
{
    const Ramp r({{0.0, rgb(0x000000)}, {0.5, rgb(0x808080)}, {1.0, rgb(0xFFFFFF)}});
    EXPECT_EQ(r.step(0, 5), rgb(0x000000));
    EXPECT_EQ(r.step(2, 5), rgb(0x808080));
    EXPECT_EQ(r.step(4, 5), rgb(0xFFFFFF));
    EXPECT_EQ(r.step(0, 1), rgb(0x000000)); // a single row takes the first stop
    EXPECT_EQ(mix(rgb(0x000000), rgb(0x0000FF), 0.5), rgb(0x000080));
}

namespace {

// Pixels of colour c in row (or column) `line` of a frame.
int countIn(const QImage& img, const QRect& frame, int line, bool row, QRgb c)
{
    int count = 0;
    const int n = row ? frame.width() : frame.height();
    for (int i = 0; i < n; ++i)
        count += (row ? img.pixel(frame.x() + i, frame.y() + line)
                      : img.pixel(frame.x() + line, frame.y() + i)) == c;
    return count;
}

// Widths of the arrow's first and last lines along rows (or columns) of a frame.
std::pair<int, int> arrowEnds(const QImage& img, const QRect& frame, bool rows, QRgb c)
{
    const int n = rows ? frame.height() : frame.width();
    int first = 0, last = 0;
    for (int i = 0; i < n; ++i) {
        const int k = countIn(img, frame, i, rows, c);
        if (k == 0) continue;
        if (first == 0) first = k;
        last = k;
    }
    return {first, last};
}

// A frame without its outline, where only the face and the arrow are.
QRect inner(int x, int fw, int fh)
{
    return QRect(x + 2, 2, fw - 4, fh - 4);
}

} // namespace

TEST(SkinArtwork, ArrowsPointTheWayTheirFramesAreRead)
{
    // Scroll arrows are drawn for a vertical bar: frames 1-3 up, 4-6 down. The bar turns
    // them for horizontal use, so a flipped arrow would point the wrong way in both.
    for (const Look& l : looks()) {
        const Artwork& a = find(QString(l.prefix) + "_SCROLLBAR_BUTTON");
        const int fw = a.info.width / 6;
        for (int f = 0; f < 6; ++f) {
            const auto [top, bottom] =
                arrowEnds(a.image, inner(f * fw, fw, a.image.height()), true, l.arrow);
            ASSERT_GT(top, 0) << l.prefix << " frame " << f + 1 << " has no arrow";
            if (f < 3)
                EXPECT_LT(top, bottom) << l.prefix << " frame " << f + 1 << " should point up";
            else
                EXPECT_GT(top, bottom) << l.prefix << " frame " << f + 1 << " should point down";
        }
    }
    // Tab scroll buttons: frames 1 and 2 point right, 3 and 4 left.
    const std::pair<const char*, QRgb> scrollers[] = {{"MACOS_SCROLLBUTTON", looks()[0].arrow},
                                                      {"WINXP_SCROLLBUTTON", looks()[1].arrow},
                                                      {"MORE_SCROLLBUTTON", rgb(0x1E2660)}};
    for (const auto& [name, arrow] : scrollers) {
        const Artwork& a = find(name);
        const int fw = a.info.width / 4;
        for (int f = 0; f < 4; ++f) {
            const auto [left, right] =
                arrowEnds(a.image, inner(f * fw, fw, a.image.height()), false, arrow);
            ASSERT_GT(left, 0) << name << " frame " << f + 1;
            if (f < 2)
                EXPECT_GT(left, right) << name << " frame " << f + 1 << " should point right";
            else
                EXPECT_LT(left, right) << name << " frame " << f + 1 << " should point left";
        }
    }
}

TEST(SkinArtwork, SlidersPointAtTheGrooveWithSeeThroughAroundTheTip)
{
    for (const char* p : {"MACOS", "WINXP", "DEEPBLUE", "PROTEIN", "BLUEGLASS"}) {
        const QImage h = find(QString(p) + "_TRACKBAR_SLIDER").image;
        EXPECT_NE(h.pixel(h.width() / 2, h.height() - 1), kMagenta) << p << " tip";
        EXPECT_EQ(h.pixel(0, h.height() - 1), kMagenta) << p;
        EXPECT_EQ(h.pixel(h.width() - 1, h.height() - 1), kMagenta) << p;
        const QImage v = find(QString(p) + "_TRACKBAR_SLIDER_V").image;
        EXPECT_NE(v.pixel(v.width() - 1, v.height() / 2), kMagenta) << p << " tip";
        EXPECT_EQ(v.pixel(v.width() - 1, 0), kMagenta) << p;
        EXPECT_EQ(v.pixel(v.width() - 1, v.height() - 1), kMagenta) << p;
    }
}

TEST(SkinArtwork, WritingIntoAnUnusableFolderFailsWithAMessage)
{
    QTemporaryDir tmp;
    ASSERT_TRUE(tmp.isValid());
    // A file where the folder should be: nothing can be written below it.
    const QString blocker = QDir(tmp.path()).filePath("blocker");
    QFile f(blocker);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.close();
    QString error;
    EXPECT_FALSE(writeAll(QDir(blocker).filePath("skin"), &error));
    EXPECT_FALSE(error.isEmpty());
}

TEST(SkinPixelArt, QuarterTurnMovesPixelsAnticlockwise)
{
    // The same convention as the controls' own quarter turn: (x, y) -> (y, w - 1 - x).
    QImage img = canvas(3, 2, rgb(0x000000));
    img.setPixel(2, 0, rgb(0xFF0000)); // top right
    const QImage turned = turnLeft(img);
    ASSERT_EQ(turned.size(), QSize(2, 3));
    EXPECT_EQ(turned.pixel(0, 0), rgb(0xFF0000)); // ends top left
}
