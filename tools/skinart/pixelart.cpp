#include "tools/skinart/pixelart.h"

#include <algorithm>
#include <cmath>
#include <deque>

namespace skinart {

namespace {
int component(int a, int b, double t)
{
    return int(std::lround(a + (b - a) * t));
}
} // namespace

QRgb mix(QRgb a, QRgb b, double t)
{
    t = std::clamp(t, 0.0, 1.0);
    return qRgb(component(qRed(a), qRed(b), t), component(qGreen(a), qGreen(b), t),
                component(qBlue(a), qBlue(b), t));
}

QRgb shade(QRgb c, double amount)
{
    return amount >= 0 ? mix(c, rgb(0xFFFFFF), amount) : mix(c, rgb(0x000000), -amount);
}

QRgb Ramp::at(double t) const
{
    if (stops_.empty()) return rgb(0x000000);
    if (t <= stops_.front().first) return stops_.front().second;
    for (size_t i = 1; i < stops_.size(); ++i) {
        const auto& [p1, c1] = stops_[i];
        if (t <= p1) {
            const auto& [p0, c0] = stops_[i - 1];
            return p1 > p0 ? mix(c0, c1, (t - p0) / (p1 - p0)) : c1;
        }
    }
    return stops_.back().second;
}

Ramp Ramp::lighter(double amount) const
{
    Ramp r;
    for (const auto& [p, c] : stops_)
        r.stops_.emplace_back(p, shade(c, amount));
    return r;
}

std::vector<int> Mask::depth(bool openTop, bool openBottom) const
{
    // Breadth-first distance (4-neighbour) from the nearest outside pixel.
    std::vector<int> d(size_t(w_) * size_t(h_), 0);
    std::deque<std::pair<int, int>> queue;
    auto idx = [this](int x, int y) { return size_t(y) * size_t(w_) + size_t(x); };
    auto outsideAt = [&](int x, int y) {
        if (y < 0) return !openTop;
        if (y >= h_) return !openBottom;
        if (x < 0 || x >= w_) return true;
        return !at(x, y);
    };
    for (int y = 0; y < h_; ++y)
        for (int x = 0; x < w_; ++x) {
            if (!at(x, y)) continue;
            if (outsideAt(x - 1, y) || outsideAt(x + 1, y) || outsideAt(x, y - 1) ||
                outsideAt(x, y + 1)) {
                d[idx(x, y)] = 1;
                queue.emplace_back(x, y);
            }
        }
    while (!queue.empty()) {
        auto [x, y] = queue.front();
        queue.pop_front();
        const int next = d[idx(x, y)] + 1;
        const int nb[4][2] = {{x - 1, y}, {x + 1, y}, {x, y - 1}, {x, y + 1}};
        for (const auto& n : nb) {
            if (!at(n[0], n[1]) || d[idx(n[0], n[1])] != 0) continue;
            d[idx(n[0], n[1])] = next;
            queue.emplace_back(n[0], n[1]);
        }
    }
    return d;
}

Mask roundRect(int w, int h, double r, int corners)
{
    Mask m(w, h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            // Pixel centres measured from the centre of the corner's circle.
            double dx = 0, dy = 0;
            const bool left = x < r, right = x >= w - r, top = y < r, bottom = y >= h - r;
            int corner = 0;
            if (top && left)
                corner = TopLeft;
            else if (top && right)
                corner = TopRight;
            else if (bottom && left)
                corner = BottomLeft;
            else if (bottom && right)
                corner = BottomRight;
            bool inside = true;
            if (corner & corners) {
                dx = left ? r - (x + 0.5) : (x + 0.5) - (w - r);
                dy = top ? r - (y + 0.5) : (y + 0.5) - (h - r);
                inside = dx * dx + dy * dy <= r * r;
            }
            m.set(x, y, inside);
        }
    return m;
}

Mask ellipse(int w, int h)
{
    Mask m(w, h);
    const double rx = w / 2.0, ry = h / 2.0;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const double dx = (x + 0.5 - rx) / rx, dy = (y + 0.5 - ry) / ry;
            m.set(x, y, dx * dx + dy * dy <= 1.0 + 0.6 / std::max(rx, ry));
        }
    return m;
}

Mask pointer(int w, int h, int tip)
{
    Mask m(w, h);
    const double half = (w - 1) / 2.0;
    for (int y = 0; y < h; ++y) {
        const int fromTip = y - (h - tip); // 0 .. tip - 1 in the narrowing part
        const double reach = fromTip < 0 ? half : half * (tip - 1 - fromTip) / double(tip - 1);
        for (int x = 0; x < w; ++x) {
            const bool inRow = std::abs(x - half) <= reach + 0.01;
            // Square off the top corners by one pixel so the slider reads as a soft shape.
            const bool cut = y == 0 && (x == 0 || x == w - 1);
            m.set(x, y, inRow && !cut);
        }
    }
    return m;
}

void paintShape(QImage& img, QPoint at, const Mask& m, const Skin& skin, QRgb outside, bool openTop,
                bool openBottom)
{
    const auto depth = m.depth(openTop, openBottom);
    const int w = m.width(), h = m.height();
    const int half = h / 2;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const int px = at.x() + x, py = at.y() + y;
            if (px < 0 || py < 0 || px >= img.width() || py >= img.height()) continue;
            const int d = depth[size_t(y) * size_t(w) + size_t(x)];
            QRgb c;
            if (d == 0) {
                if (outside == 0) continue;
                c = outside;
            } else if (d == 1) {
                c = (skin.borderBottom && y >= half) ? skin.borderBottom : skin.border;
            } else {
                if (skin.gloss)
                    c = y < half ? skin.face.step(y, half) : skin.lower.step(y - half, h - half);
                else
                    c = skin.face.step(y, h);
                if (d == 2 && skin.inner) c = mix(c, skin.inner, skin.innerAmount);
            }
            img.setPixel(px, py, c);
        }
}

void fillRows(QImage& img, const QRect& r, const Ramp& ramp)
{
    for (int y = 0; y < r.height(); ++y)
        for (int x = 0; x < r.width(); ++x)
            img.setPixel(r.x() + x, r.y() + y, ramp.step(y, r.height()));
}

void fillColumns(QImage& img, const QRect& r, const Ramp& ramp)
{
    for (int y = 0; y < r.height(); ++y)
        for (int x = 0; x < r.width(); ++x)
            img.setPixel(r.x() + x, r.y() + y, ramp.step(x, r.width()));
}

void fill(QImage& img, const QRect& r, QRgb c)
{
    for (int y = r.y(); y < r.y() + r.height(); ++y)
        for (int x = r.x(); x < r.x() + r.width(); ++x)
            img.setPixel(x, y, c);
}

void drawGlyph(QImage& img, int x, int y, const Glyph& g, std::string_view keys,
               std::initializer_list<QRgb> colors)
{
    const std::vector<QRgb> cs(colors);
    for (int row = 0; row < g.height(); ++row)
        for (int col = 0; col < int(g.rows[size_t(row)].size()); ++col) {
            const auto k = keys.find(g.rows[size_t(row)][size_t(col)]);
            if (k == std::string_view::npos || k >= cs.size()) continue;
            const int px = x + col, py = y + row;
            if (px >= 0 && py >= 0 && px < img.width() && py < img.height())
                img.setPixel(px, py, cs[k]);
        }
}

void drawGlyphCentred(QImage& img, const QRect& r, const Glyph& g, QRgb color, int dx, int dy)
{
    drawGlyph(img, r.x() + (r.width() - g.width()) / 2 + dx,
              r.y() + (r.height() - g.height()) / 2 + dy, g, "#", {color});
}

void drawArrow(QImage& img, const QRect& r, Dir dir, int base, QRgb color, int dx, int dy)
{
    const int len = base / 2 + 1; // rows from point to base
    const bool vertical = dir == Dir::Up || dir == Dir::Down;
    const int bw = vertical ? base : len, bh = vertical ? len : base;
    const int x0 = r.x() + (r.width() - bw) / 2 + dx, y0 = r.y() + (r.height() - bh) / 2 + dy;
    for (int i = 0; i < len; ++i) { // i = distance from the point
        const int from = base / 2 - i, to = base / 2 + i;
        for (int j = from; j <= to; ++j) {
            int px = 0, py = 0;
            switch (dir) {
            case Dir::Up:
                px = x0 + j, py = y0 + i;
                break;
            case Dir::Down:
                px = x0 + j, py = y0 + len - 1 - i;
                break;
            case Dir::Left:
                px = x0 + i, py = y0 + j;
                break;
            case Dir::Right:
                px = x0 + len - 1 - i, py = y0 + j;
                break;
            }
            if (px >= 0 && py >= 0 && px < img.width() && py < img.height())
                img.setPixel(px, py, color);
        }
    }
}

QImage canvas(int w, int h, QRgb c)
{
    QImage img(w, h, QImage::Format_RGB32);
    img.fill(c);
    return img;
}

QImage turnLeft(const QImage& img)
{
    QImage out(img.height(), img.width(), QImage::Format_RGB32);
    for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x)
            out.setPixel(y, img.width() - 1 - x, img.pixel(x, y));
    return out;
}

} // namespace skinart
