#pragma once
// Small pixel-exact painting helpers for the style artwork. Everything here works on whole
// pixels with its own arithmetic, so the pictures are the same on every machine and no
// edge is ever blended into the see-through magenta.
#include <QImage>
#include <QRect>
#include <initializer_list>
#include <string_view>
#include <utility>
#include <vector>

namespace skinart {

// The see-through key colour of the artwork.
constexpr QRgb kMagenta = 0xFFFF00FF;

// Opaque colour from #RRGGBB.
constexpr QRgb rgb(unsigned hex)
{
    return 0xFF000000u | hex;
}

// Linear mix of two colours, t = 0 gives a, t = 1 gives b; components rounded.
QRgb mix(QRgb a, QRgb b, double t);
// Towards white (amount > 0) or towards black (amount < 0), |amount| <= 1.
QRgb shade(QRgb c, double amount);

// A colour ramp: stops at positions 0..1, linear between them.
class Ramp
{
public:
    Ramp() = default;
    Ramp(std::initializer_list<std::pair<double, QRgb>> stops) : stops_(stops) {}
    // Two-stop ramp.
    Ramp(QRgb from, QRgb to) : stops_{{0.0, from}, {1.0, to}} {}
    QRgb at(double t) const;
    // Colour of row (or column) i of n, the ends hitting the first and last stops.
    QRgb step(int i, int n) const { return at(n <= 1 ? 0.0 : double(i) / double(n - 1)); }
    Ramp lighter(double amount) const;

private:
    std::vector<std::pair<double, QRgb>> stops_;
};

// Which pixels of a w x h area belong to a shape.
class Mask
{
public:
    Mask(int w, int h, bool fill = false) : w_(w), h_(h), bits_(size_t(w) * size_t(h), fill) {}
    int width() const { return w_; }
    int height() const { return h_; }
    bool at(int x, int y) const
    {
        return x >= 0 && y >= 0 && x < w_ && y < h_ && bits_[size_t(y) * size_t(w_) + size_t(x)];
    }
    void set(int x, int y, bool v)
    {
        if (x >= 0 && y >= 0 && x < w_ && y < h_) bits_[size_t(y) * size_t(w_) + size_t(x)] = v;
    }
    // Depth of each pixel: 0 outside, 1 on the outline, 2 just inside it ... Pixels on the
    // area's edge count as outline only where `open` does not name that side.
    std::vector<int> depth(bool openTop = false, bool openBottom = false) const;

private:
    int w_, h_;
    std::vector<bool> bits_;
};

enum Corner { TopLeft = 1, TopRight = 2, BottomLeft = 4, BottomRight = 8, AllCorners = 15 };

// Rectangle with circular corners of radius r on the named corners.
Mask roundRect(int w, int h, double r, int corners = AllCorners);
// Ellipse filling the w x h area.
Mask ellipse(int w, int h);
// Arrow-head slider pointing down: a rectangle whose last `tip` rows narrow to a point.
Mask pointer(int w, int h, int tip);

// How a shape is painted: an outline, an optional light ring just inside it, and a face.
struct Skin
{
    QRgb border = rgb(0x000000);
    QRgb borderBottom = 0; // lower half of the outline when set (soft shadow)
    Ramp face;             // top to bottom
    QRgb inner = 0;        // ring inside the outline, mixed over the face
    double innerAmount = 0.0;
    bool gloss = false; // face split in two: `face` above the middle, `lower` below
    Ramp lower;
};

// Paints mask `m` at `at` with `skin`; pixels outside the mask take `outside` unless it is 0,
// in which case they are left alone. Open sides have no outline (a tab's foot).
void paintShape(QImage& img, QPoint at, const Mask& m, const Skin& skin, QRgb outside,
                bool openTop = false, bool openBottom = false);

// Vertical gradient over a rectangle.
void fillRows(QImage& img, const QRect& r, const Ramp& ramp);
// Horizontal gradient over a rectangle.
void fillColumns(QImage& img, const QRect& r, const Ramp& ramp);
void fill(QImage& img, const QRect& r, QRgb c);

// A picture in text: each character names a colour in `palette` ("#o" -> two colours); any
// other character leaves the pixel alone.
struct Glyph
{
    std::vector<std::string_view> rows;
    int width() const { return rows.empty() ? 0 : int(rows.front().size()); }
    int height() const { return int(rows.size()); }
};
void drawGlyph(QImage& img, int x, int y, const Glyph& g, std::string_view keys,
               std::initializer_list<QRgb> colors);
// The glyph centred in r (rounded towards the top left), moved by (dx, dy).
void drawGlyphCentred(QImage& img, const QRect& r, const Glyph& g, QRgb color, int dx = 0,
                      int dy = 0);

// Solid triangle pointing up, down, left or right, with its base `base` pixels wide (odd)
// centred in r.
enum class Dir { Up, Down, Left, Right };
void drawArrow(QImage& img, const QRect& r, Dir dir, int base, QRgb color, int dx = 0, int dy = 0);

// New opaque image of the given size filled with c.
QImage canvas(int w, int h, QRgb c = kMagenta);
// Quarter turn anticlockwise (the result is h wide and w high).
QImage turnLeft(const QImage& img);

} // namespace skinart
