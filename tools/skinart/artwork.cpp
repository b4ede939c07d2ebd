#include "tools/skinart/artwork.h"

#include "tools/skinart/looks.h"
#include "tools/skinart/pixelart.h"

#include <QDir>
#include <QImageWriter>
#include <algorithm>
#include <cmath>
#include <functional>

namespace skinart {

namespace {

// ---- Glyphs -------------------------------------------------------------------------------

// Caption-button symbols at three sizes, indexed by TitleKind.
const Glyph kTitle5[6] = {
    {{"#####", "#...#", "#####", "#...#", "#####"}},
    {{".###.", "#...#", "..##.", ".....", "..#.."}},
    {{"..#..", "..#..", "#####", "..#..", "..#.."}},
    {{"..###", "..#.#", "###.#", "#.#..", "###.."}},
    {{".....", ".....", "#####", ".....", "....."}},
    {{"#...#", ".#.#.", "..#..", ".#.#.", "#...#"}},
};
const Glyph kTitle7[6] = {
    {{"#######", "#.....#", "#######", "#.....#", "#.....#", "#.....#", "#######"}},
    {{".#####.", "##...##", "....##.", "...##..", "...##..", ".......", "...##.."}},
    {{"#######", "#######", "#.....#", "#.....#", "#.....#", "#.....#", "#######"}},
    {{"..#####", "..#####", "..#...#", "#####.#", "#####.#", "#...###", "#####.."}},
    {{".......", ".......", ".......", ".......", ".......", "######.", "######."}},
    {{"##...##", "###.###", ".#####.", "..###..", ".#####.", "###.###", "##...##"}},
};
const Glyph kTitle9[6] = {
    {{"#########", "#.......#", "#########", "#.......#", "#.......#", "#.......#", "#.......#",
      "#.......#", "#########"}},
    {{"..#####..", ".##...##.", ".##...##.", "......##.", ".....##..", "....##...", "....##...",
      ".........", "....##..."}},
    {{"#########", "#########", "#.......#", "#.......#", "#.......#", "#.......#", "#.......#",
      "#.......#", "#########"}},
    {{"...######", "...######", "...#....#", "######..#", "######..#", "#....####", "#....#...",
      "#....#...", "######..."}},
    {{".........", ".........", ".........", ".........", ".........", ".........", ".........",
      "#######..", "#######.."}},
    {{"##.....##", "###...###", ".###.###.", "..#####..", "...###...", "..#####..", ".###.###.",
      "###...###", "##.....##"}},
};

const Glyph kTick{{"......#", ".....##", "#...##.", "##.##..", ".###...", "..#...."}};
const Glyph kTickLarge{
    {".......##", "......###", ".....###.", "##..###..", "######...", ".####....", "..##....."}};
const Glyph kGrip{{"#.", ".o"}};

const Glyph& titleGlyph(int shapeSize, TitleKind kind)
{
    if (shapeSize <= 13) return kTitle5[kind];
    if (shapeSize <= 19) return kTitle7[kind];
    return kTitle9[kind];
}

// Colour of face row y of h for a skin, as paintShape gives it inside the outline.
QRgb faceRow(const Skin& s, int y, int h)
{
    const int half = h / 2;
    if (s.gloss) return y < half ? s.face.step(y, half) : s.lower.step(y - half, h - half);
    return s.face.step(y, h);
}

QRgb outsideFor(const Look& l, bool seeThrough)
{
    return seeThrough ? kMagenta : l.formColor;
}

const Skin& disabledBox()
{
    static const Skin s = plainSkin(rgb(0xF4F4F4), rgb(0xE2E2E2), rgb(0xA6A6A6));
    return s;
}

// ---- Element painters ----------------------------------------------------------------------

QImage buttonStrip(const Look& l)
{
    QImage img = canvas(l.buttonW * 3, l.buttonH);
    const Mask m = roundRect(l.buttonW, l.buttonH, l.buttonRadius);
    for (int s = 0; s < 3; ++s)
        paintShape(img, {s * l.buttonW, 0}, m, l.button[size_t(s)],
                   outsideFor(l, l.buttonSeeThrough));
    return img;
}

// Four frames: unchecked, checked, unchecked disabled, checked disabled. The box is square
// and sits centred; whatever is left of the frame is see-through.
QImage toggleStrip(const Look& l, int fw, int fh, bool round)
{
    QImage img = canvas(fw * 4, fh);
    const int side = std::min(fw, fh);
    const int bx = (fw - side) / 2, by = (fh - side) / 2;
    const Mask m = round ? ellipse(side, side) : roundRect(side, side, l.partRadius >= 3 ? 3 : 0);
    for (int f = 0; f < 4; ++f) {
        const bool on = f % 2 == 1, disabled = f >= 2;
        const Skin& skin = disabled ? disabledBox() : on ? l.boxOn : l.box;
        const QPoint at(f * fw + bx, by);
        paintShape(img, at, m, skin, 0);
        if (!on) continue;
        const QRgb mark = disabled ? rgb(0xA0A0A0) : l.tick;
        const QRect box(at, QSize(side, side));
        if (round) {
            const int dot = side % 2 ? 5 : 6;
            const Mask d = ellipse(dot, dot);
            const Skin ds = plainSkin(shade(mark, 0.35), mark, mark);
            paintShape(img, at + QPoint((side - dot) / 2, (side - dot) / 2), d, ds, 0);
        } else {
            drawGlyphCentred(img, box, kTick, mark);
        }
    }
    return img;
}

QImage titleButtonStrip(const Look& l)
{
    const int n = l.titleButtonSize;
    const TitleButtonLook& tb = l.titleButton;
    QImage img = canvas(n * 18, n);
    const int off = (n - tb.shapeSize) / 2;
    const Mask m = tb.radius < 0 ? ellipse(tb.shapeSize, tb.shapeSize)
                                 : roundRect(tb.shapeSize, tb.shapeSize, tb.radius);
    for (int kind = 0; kind < 6; ++kind)
        for (int s = 0; s < 3; ++s) {
            const int x0 = (kind * 3 + s) * n;
            // An opaque button must vanish into the band it is drawn over.
            for (int y = 0; y < n; ++y)
                for (int x = 0; x < n; ++x)
                    img.setPixel(x0 + x, y,
                                 tb.seeThrough ? kMagenta
                                               : l.titleRows[size_t(l.titleButtonTop + y)]);
            const Skin skin = glassSkin(tb.base[size_t(kind)], tb.border, State(s), tb.highlight);
            paintShape(img, {x0 + off, off}, m, skin, 0);
            if (tb.glyphOnlyWhenHot && s == Normal) continue;
            const Glyph& g = titleGlyph(tb.shapeSize, TitleKind(kind));
            const QRect face(x0 + off, off, tb.shapeSize, tb.shapeSize);
            const int push = s == Pressed ? 1 : 0;
            if (tb.glyphShadow) drawGlyphCentred(img, face, g, tb.glyphShadow, push + 1, push + 1);
            drawGlyphCentred(img, face, g, tb.glyph, push, push);
        }
    return img;
}

// The style's own touch on the left end of its title band.
void decorateTitle(const Look& l, QImage& band)
{
    const QString prefix = l.prefix;
    const int h = band.height();
    if (prefix == "PROTEIN") {
        // A slate caption plate under the title text, sweeping out into the light band.
        const Ramp plate({{0.0, rgb(0x9AAACB)}, {0.08, rgb(0x7C8FB8)}, {1.0, rgb(0x3E5078)}});
        for (int y = 1; y < h - 1; ++y) {
            const double t = double(y) / (h - 1);
            const double reach = 300.0 + 110.0 * (1.0 - t * t); // edge curves back downwards
            const QRgb c = plate.step(y - 1, h - 2);
            for (int x = 0; x < band.width(); ++x) {
                // The plate fades out over 28 pixels, so the sweep has no stairs.
                const double cover = std::clamp((reach - x) / 28.0, 0.0, 1.0);
                if (cover > 0) band.setPixel(x, y, mix(band.pixel(x, y), c, cover));
            }
        }
    } else if (prefix == "DEEPBLUE" || prefix == "BLUEGLASS") {
        // A glow behind the icon that fades out before the stretched middle starts.
        const int w = l.titleLeftW;
        const QRgb glow = prefix == "DEEPBLUE" ? rgb(0x7F8CE0) : rgb(0xD6E8FF);
        const double strength = prefix == "DEEPBLUE" ? 0.28 : 0.22;
        for (int y = 2; y < h - 2; ++y)
            for (int x = 0; x < w; ++x) {
                const double f = 1.0 - double(x) / w;
                band.setPixel(x, y, mix(band.pixel(x, y), glow, strength * f * f));
            }
    }
}

// The whole title band, left + middle + right, cut into its three sections afterwards.
QImage titleBand(const Look& l)
{
    const int w = l.titleLeftW + l.titleClientW + l.titleRightW;
    const int h = int(l.titleRows.size());
    QImage band = canvas(w, h);
    for (int y = 0; y < h; ++y)
        fill(band, QRect(0, y, w, 1), l.titleRows[size_t(y)]);
    decorateTitle(l, band);
    if (l.roundCorner > 0) {
        // The window's region rounds the top corners; outside them is see-through. The key
        // colour stays a pixel inside the region's own curve, so however the platform
        // rasterises that curve no magenta pixel is left inside the window.
        const double r = l.roundCorner / 2.0 - 1.0;
        const Mask m = roundRect(w, h, r, TopLeft | TopRight);
        const auto depth = m.depth(false, true);
        const int ri = int(std::ceil(r));
        for (int y = 0; y < ri; ++y)
            for (int x = 0; x < w; ++x) {
                if (x >= ri && x < w - ri) continue;
                const int d = depth[size_t(y) * size_t(w) + size_t(x)];
                if (d == 0)
                    band.setPixel(x, y, kMagenta);
                else if (d == 1)
                    band.setPixel(x, y, l.titleRows[0]);
            }
    }
    return band;
}

QImage titleSection(const Look& l, int which)
{
    const QImage band = titleBand(l);
    const int x = which == 0 ? 0 : which == 1 ? l.titleLeftW : l.titleLeftW + l.titleClientW;
    const int w = which == 0 ? l.titleLeftW : which == 1 ? l.titleClientW : l.titleRightW;
    return band.copy(x, 0, w, band.height());
}

QImage progressPiece(const Look& l, int w, int h)
{
    QImage img = canvas(w, h);
    const QString prefix = l.prefix;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            QRgb c = faceRow(l.progress, y, h);
            if (prefix == "MACOS" && (x + y) % w < w / 2) c = shade(c, 0.30); // moving stripes
            if (prefix == "WINXP" && x == w - 1) c = rgb(0xFFFFFF);           // gap between blocks
            img.setPixel(x, y, c);
        }
    return img;
}

QImage groove(const Look& l, int w, int h)
{
    QImage img = canvas(w, h);
    paintShape(img, {0, 0}, roundRect(w, h, h >= 6 ? 2 : 1), l.groove, l.controlColor);
    return img;
}

QImage slider(const Look& l, int w, int h)
{
    QImage img = canvas(w, h);
    paintShape(img, {0, 0}, pointer(w, h, w / 2 + 1), l.part[Normal], kMagenta);
    return img;
}

// Frames 1-3 up arrow, 4-6 down arrow, each normal, under the pointer, pressed.
QImage scrollArrows(const Look& l, int fw, int fh)
{
    QImage img = canvas(fw * 6, fh);
    const Mask m = roundRect(fw, fh, l.partRadius);
    for (int f = 0; f < 6; ++f) {
        const int s = f % 3;
        paintShape(img, {f * fw, 0}, m, l.part[size_t(s)], l.scrollBarColor);
        const int push = s == Pressed ? 1 : 0;
        drawArrow(img, QRect(f * fw, 0, fw, fh), f < 3 ? Dir::Up : Dir::Down, 7, l.arrow, push,
                  push);
    }
    return img;
}

// Left cap, stretchable middle and right cap of a horizontal thumb.
QImage thumb(const Look& l, int fw, int fh)
{
    QImage img = canvas(fw * 3, fh);
    paintShape(img, {0, 0}, roundRect(fw * 3, fh, l.thumbRadius), l.thumb, l.scrollBarColor);
    return img;
}

// Tab scroll arrows: right, right under the pointer, left, left under the pointer.
QImage tabScroller(const Skin& normal, const Skin& hot, QRgb arrow, int fw, int fh)
{
    QImage img = canvas(fw * 4, fh);
    const Mask m = roundRect(fw - 2, fh - 2, 3);
    for (int f = 0; f < 4; ++f) {
        paintShape(img, {f * fw + 1, 1}, m, f % 2 ? hot : normal, 0);
        drawArrow(img, QRect(f * fw, 0, fw, fh), f < 2 ? Dir::Right : Dir::Left, 7, arrow);
    }
    return img;
}

// Active and inactive tab, each three equal slices: left end, middle, right end.
QImage tabs(const Look& l, int fw, int fh)
{
    QImage img = canvas(fw * 2, fh);
    const Mask m = roundRect(fw, fh, l.tabRadius, TopLeft | TopRight);
    for (int f = 0; f < 2; ++f) {
        const bool active = f == 0;
        const bool open = !active || l.tabOpens;
        paintShape(img, {f * fw, 0}, m, active ? l.tabActive : l.tabInactive, kMagenta, false,
                   open);
        if (!active || !l.tabAccent) continue;
        const auto depth = m.depth(false, open);
        for (int y = 0; y < 3; ++y)
            for (int x = 0; x < fw; ++x) {
                const int d = depth[size_t(y) * size_t(fw) + size_t(x)];
                if (d == 0) continue;
                const QRgb c =
                    d == 1 ? shade(l.tabAccent, -0.3) : shade(l.tabAccent, y == 1 ? 0.0 : 0.35);
                img.setPixel(x, y, c);
            }
    }
    return img;
}

QImage tabLine(const Look& l, int w, int h)
{
    QImage img = canvas(w, h);
    fill(img, QRect(0, 0, w, 1), l.controlBorder);
    if (h > 1) fillRows(img, QRect(0, 1, w, h - 1), l.tabLine);
    return img;
}

// A side-channel handle: a vertical strip with a grip in its middle.
QImage sideHandle(const Look& l, int w, int h)
{
    // Painted lying down (h wide, w high) and turned upright, so the gradient runs across.
    QImage img = canvas(h, w);
    const size_t n = l.barRows.size();
    const Skin skin =
        plainSkin(l.barRows[1], l.barRows[n - 2], l.barRows[n - 1], l.barRows[0], 0.6);
    paintShape(img, {0, 0}, roundRect(h, w, 2), skin, l.controlColor);
    const QRgb light = shade(l.barRows[1], 0.5), dark = l.barRows[n - 1];
    for (int i = -3; i <= 3; ++i)
        drawGlyph(img, h / 2 + i * 3 - 1, w / 2 - 1, kGrip, "#o", {light, dark});
    return turnLeft(img);
}

QImage rows(const std::vector<QRgb>& colours, int w = 1)
{
    QImage img = canvas(w, int(colours.size()));
    for (int y = 0; y < img.height(); ++y)
        fill(img, QRect(0, y, w, 1), colours[size_t(y)]);
    return img;
}

// ---- Style-independent pictures -------------------------------------------------------------

QImage comboButton(const Skin& face, QRgb outside, int w, int h, bool chevron, QRgb arrow)
{
    QImage img = canvas(w, h);
    paintShape(img, {0, 0}, roundRect(w, h, 2), face, outside);
    if (chevron) {
        const Glyph v{{"#.....#", "##...##", ".##.##.", "..###..", "...#..."}};
        drawGlyphCentred(img, QRect(0, 0, w, h), v, arrow, 0, 1);
    }
    return img;
}

QImage panelButton()
{
    // 1 expanded, 2 expanded under the pointer, 3 collapsed, 4 collapsed under the pointer.
    const int fw = 13, fh = 12;
    QImage img = canvas(fw * 4, fh);
    const Glyph up{{"...#...", "..###..", ".##.##.", "##...##", ".......", "...#...", "..###..",
                    ".##.##.", "##...##"}};
    const Glyph down{{"##...##", ".##.##.", "..###..", "...#...", ".......", "##...##", ".##.##.",
                      "..###..", "...#..."}};
    for (int f = 0; f < 4; ++f) {
        const bool hot = f % 2 == 1;
        const Skin s = hot ? plainSkin(rgb(0xFFFFFF), rgb(0xD4E2FA), rgb(0x2D5FC0))
                           : plainSkin(rgb(0xFFFFFF), rgb(0xD6DCE8), rgb(0x4A5570));
        paintShape(img, {f * fw, 0}, roundRect(fw, fh, 0), s, 0);
        // Soft corners: the outline's corner pixels half way to the face.
        for (const QPoint p :
             {QPoint(0, 0), QPoint(fw - 1, 0), QPoint(0, fh - 1), QPoint(fw - 1, fh - 1)})
            img.setPixel(f * fw + p.x(), p.y(), mix(s.border, rgb(0xC8CDD8), 0.5));
        drawGlyphCentred(img, QRect(f * fw, 0, fw, fh), f < 2 ? up : down,
                         hot ? rgb(0x2D5FC0) : rgb(0x1E2660));
    }
    return img;
}

QImage menuChecked()
{
    QImage img = canvas(16, 16);
    drawGlyphCentred(img, QRect(0, 0, 16, 16), kTickLarge, rgb(0x000000));
    return img;
}

QImage pattern(const std::function<QRgb(int, int)>& at)
{
    QImage img = canvas(8, 8);
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 8; ++x)
            img.setPixel(x, y, at(x, y));
    return img;
}

// ---- Catalogue -----------------------------------------------------------------------------

struct Entry
{
    ArtInfo info;
    std::function<QImage()> paint;
};

// Per-style sizes that differ between the looks (width, height of one frame).
struct Sizes
{
    QSize check, radio, progress, bar, slider, sliderV, scroll, track, checklist, tab, tabLine,
        handle;
    int sideBar;
};

Sizes sizesOf(const QString& prefix)
{
    if (prefix == "MACOS")
        return {{15, 17}, {16, 17}, {13, 10}, {45, 5}, {11, 20}, {19, 11}, {16, 22},
                {11, 16}, {10, 11}, {18, 27}, {17, 7}, {7, 84},  21};
    if (prefix == "WINXP")
        return {{13, 13}, {13, 13}, {6, 10}, {45, 8}, {11, 21}, {22, 11}, {16, 17},
                {7, 16},  {11, 11}, {9, 18}, {8, 1},  {8, 86},  21};
    const bool deep = prefix == "DEEPBLUE", glass = prefix == "BLUEGLASS";
    return {{13, 13},
            {13, 13},
            {1, 10},
            {45, 4},
            {11, 20},
            {18, 11},
            {glass ? 17 : 16, 16},
            {7, 16},
            {11, 11},
            {deep ? 6 : 9, 17},
            {deep ? 5 : 10, 5},
            {8, glass ? 86 : 83},
            deep ? 20 : 21};
}

std::vector<Entry> entries()
{
    std::vector<Entry> list;
    auto add = [&list](QString name, QString group, int fw, int fh, int frames, Keying k,
                       std::function<QImage()> paint) {
        list.push_back(
            {{std::move(name), std::move(group), fw * frames, fh, frames, k}, std::move(paint)});
    };
    const auto see = Keying::SeeThrough, opaque = Keying::Opaque;
    for (const Look& look : looks()) {
        const Look* l = &look;
        const QString p = l->prefix;
        const Sizes z = sizesOf(p);
        auto n = [&p](const char* element) { return p + "_" + element; };
        add(n("BUTTON"), p, l->buttonW, l->buttonH, 3, l->buttonSeeThrough ? see : opaque,
            [l] { return buttonStrip(*l); });
        add(n("CHECKBOX"), p, z.check.width(), z.check.height(), 4, see,
            [l, z] { return toggleStrip(*l, z.check.width(), z.check.height(), false); });
        add(n("RADIOBUTTON"), p, z.radio.width(), z.radio.height(), 4, see,
            [l, z] { return toggleStrip(*l, z.radio.width(), z.radio.height(), true); });
        add(n("TITLEBTN"), p, l->titleButtonSize, l->titleButtonSize, 18,
            l->titleButton.seeThrough ? see : opaque, [l] { return titleButtonStrip(*l); });
        const int th = int(l->titleRows.size());
        const Keying titleKey = l->roundCorner > 0 ? see : opaque;
        add(n("TITLE_LEFT"), p, l->titleLeftW, th, 1, titleKey,
            [l] { return titleSection(*l, 0); });
        add(n("TITLE_CLIENT"), p, l->titleClientW, th, 1, opaque,
            [l] { return titleSection(*l, 1); });
        add(n("TITLE_RIGHT"), p, l->titleRightW, th, 1, titleKey,
            [l] { return titleSection(*l, 2); });
        add(n("PROGRESSBAR"), p, z.progress.width(), z.progress.height(), 1, opaque,
            [l, z] { return progressPiece(*l, z.progress.width(), z.progress.height()); });
        add(n("TRACKBAR_BAR"), p, z.bar.width(), z.bar.height(), 1, opaque,
            [l, z] { return groove(*l, z.bar.width(), z.bar.height()); });
        add(n("TRACKBAR_SLIDER"), p, z.slider.width(), z.slider.height(), 1, see,
            [l, z] { return slider(*l, z.slider.width(), z.slider.height()); });
        add(n("TRACKBAR_SLIDER_V"), p, z.sliderV.width(), z.sliderV.height(), 1, see,
            [l, z] { return turnLeft(slider(*l, z.sliderV.height(), z.sliderV.width())); });
        add(n("SCROLLBAR_BUTTON"), p, z.scroll.width(), z.scroll.height(), 6, opaque,
            [l, z] { return scrollArrows(*l, z.scroll.width(), z.scroll.height()); });
        add(n("SCROLLBAR_TRACK"), p, z.track.width(), z.track.height(), 3, opaque,
            [l, z] { return thumb(*l, z.track.width(), z.track.height()); });
        add(n("CHECKLIST"), p, z.checklist.width(), z.checklist.height(), 4, see,
            [l, z] { return toggleStrip(*l, z.checklist.width(), z.checklist.height(), false); });
        if (p == "MACOS" || p == "WINXP")
            add(n("SCROLLBUTTON"), p, 18, 18, 4, see,
                [l] { return tabScroller(l->part[Normal], l->part[Hover], l->arrow, 18, 18); });
        add(n("TAB"), p, z.tab.width(), z.tab.height(), 2, see,
            [l, z] { return tabs(*l, z.tab.width(), z.tab.height()); });
        add(n("TAB_LINE"), p, z.tabLine.width(), z.tabLine.height(), 1, opaque,
            [l, z] { return tabLine(*l, z.tabLine.width(), z.tabLine.height()); });
        add(n("SIDECHENNEL_HANDLE"), p, z.handle.width(), z.handle.height(), 1, opaque,
            [l, z] { return sideHandle(*l, z.handle.width(), z.handle.height()); });
        add(n("SIDECHENNEL_BAR"), p, 1, z.sideBar, 1, opaque, [l, z] {
            std::vector<QRgb> bar = l->barRows;
            bar.resize(size_t(z.sideBar), bar.back());
            return rows(bar);
        });
    }

    const QString shared = "SHARED";
    const Look& mac = looks()[0];
    const Look& xp = looks()[1];
    add("MORE_SCROLLBUTTON", shared, 18, 17, 4, see, [] {
        return tabScroller(glassSkin(rgb(0xB8C4DA), rgb(0x4A5878), Normal),
                           glassSkin(rgb(0xB8C4DA), rgb(0x2D4FA0), Hover), rgb(0x1E2660), 18, 17);
    });
    add("MACOS_COMBOBOX_BUTTON", "MACOS", 16, 17, 1, opaque,
        [&mac] { return comboButton(mac.button[Hover], rgb(0xFFFFFF), 16, 17, false, 0); });
    add("WINXP_COMBOBOX_BUTTON", "WINXP", 16, 18, 1, opaque,
        [&xp] { return comboButton(xp.part[Normal], rgb(0xFFFFFF), 16, 18, true, xp.arrow); });
    add("MACOS_FORM_BACKGROUND", "MACOS", 8, 8, 1, opaque,
        [] { return pattern([](int, int y) { return y % 2 ? rgb(0xE3E3E3) : rgb(0xEBEBEB); }); });
    add("PROTEIN_FORM_BACKGROUND", "PROTEIN", 8, 8, 1, opaque, [] {
        return pattern([](int x, int y) {
            return (x + y) % 4 == 0       ? rgb(0xEFF2F7)
                   : (x - y + 8) % 4 == 0 ? rgb(0xF6F7FA)
                                          : rgb(0xFCFCFD);
        });
    });
    add("MACOS_MENU_BAR", "MACOS", 1, 22, 1, opaque, [] {
        std::vector<QRgb> r{rgb(0xFFFFFF)};
        for (int i = 0; i < 20; ++i)
            r.push_back(Ramp(rgb(0xF8F8F8), rgb(0xDADADA)).step(i, 20));
        r.push_back(rgb(0x9E9E9E));
        return rows(r);
    });
    add("MACOS_MENU_SELECT", "MACOS", 1, 21, 1, opaque, [] {
        std::vector<QRgb> r{rgb(0x6D9BE0)};
        for (int i = 0; i < 19; ++i)
            r.push_back(Ramp(rgb(0x4F86D6), rgb(0x2F63B8)).step(i, 19));
        r.push_back(rgb(0x24529C));
        return rows(r);
    });
    add("PANEL_BUTTON", shared, 13, 12, 4, opaque, [] { return panelButton(); });
    add("MENU_CHECKED", shared, 16, 16, 1, see, [] { return menuChecked(); });
    return list;
}

const std::vector<Entry>& allEntries()
{
    static const std::vector<Entry> list = entries();
    return list;
}

} // namespace

const std::vector<ArtInfo>& catalogue()
{
    static const std::vector<ArtInfo> infos = [] {
        std::vector<ArtInfo> s;
        for (const Entry& e : allEntries())
            s.push_back(e.info);
        return s;
    }();
    return infos;
}

std::vector<Artwork> renderAll()
{
    std::vector<Artwork> out;
    for (const Entry& e : allEntries())
        out.push_back({e.info, e.paint()});
    return out;
}

bool writeAll(const QString& dir, QString* error)
{
    if (!QDir().mkpath(dir)) {
        if (error) *error = QStringLiteral("cannot create %1").arg(dir);
        return false;
    }
    for (const Artwork& a : renderAll()) {
        const QString path = QDir(dir).filePath(a.info.name + ".png");
        QImageWriter writer(path, "png");
        // Opaque 24-bit pictures with no gamma or time stamps: the same bytes on every run.
        // A fixed resolution too: the default follows the screen when there is one.
        QImage out = a.image.convertToFormat(QImage::Format_RGB888);
        out.setDotsPerMeterX(3780); // 96 dots per inch
        out.setDotsPerMeterY(3780);
        if (!writer.write(out)) {
            if (error) *error = QStringLiteral("%1: %2").arg(path, writer.errorString());
            return false;
        }
    }
    return true;
}

} // namespace skinart
