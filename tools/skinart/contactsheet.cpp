#include "tools/skinart/contactsheet.h"

#include "tools/skinart/looks.h"
#include "tools/skinart/pixelart.h"

#include <QFont>
#include <QFontMetrics>
#include <QPainter>
#include <algorithm>

namespace skinart {

namespace {

constexpr int kMargin = 16;
constexpr int kGap = 18;     // between pictures in a row
constexpr int kLabelH = 16;  // label line above each picture
constexpr int kRowGap = 12;  // between rows
constexpr int kHeaderH = 30; // style name and swatches
constexpr int kLegendH = 26;

QFont labelFont()
{
    QFont f("DejaVu Sans");
    f.setPixelSize(11);
    return f;
}

QFont headerFont()
{
    QFont f("DejaVu Sans");
    f.setPixelSize(16);
    f.setBold(true);
    return f;
}

// ---- Preview: the pieces put together roughly as the controls draw them -------------------

constexpr int kPreviewW = 330, kPreviewH = 200;

const QImage& picture(const std::vector<Artwork>& art, const QString& name)
{
    for (const Artwork& a : art)
        if (a.info.name == name) return a.image;
    static const QImage none = canvas(1, 1);
    return none;
}

QImage frameOf(const QImage& strip, int frames, int index)
{
    const int fw = strip.width() / frames;
    return strip.copy(fw * index, 0, fw, strip.height());
}

// Copies src into dst at (x, y) stretched to w x h (nearest), skipping magenta when keyed.
void blit(QImage& dst, const QImage& src, int x, int y, int w, int h, bool keyed)
{
    for (int j = 0; j < h; ++j)
        for (int i = 0; i < w; ++i) {
            const QRgb c = src.pixel(i * src.width() / w, j * src.height() / h);
            if (keyed && c == kMagenta) continue;
            if (x + i >= 0 && y + j >= 0 && x + i < dst.width() && y + j < dst.height())
                dst.setPixel(x + i, y + j, c);
        }
}

// Nine pieces: corners kept, edges and middle stretched.
void nine(QImage& dst, const QImage& f, const QRect& r, bool keyed)
{
    const int hw = f.width() / 2, hh = f.height() / 2;
    const int xs[4] = {0, hw, f.width() - hw, f.width()};
    const int ys[4] = {0, hh, f.height() - hh, f.height()};
    const int xd[4] = {r.left(), r.left() + hw, r.left() + r.width() - hw, r.left() + r.width()};
    const int yd[4] = {r.top(), r.top() + hh, r.top() + r.height() - hh, r.top() + r.height()};
    for (int a = 0; a < 3; ++a)
        for (int b = 0; b < 3; ++b) {
            const QImage piece = f.copy(xs[a], ys[b], std::max(1, xs[a + 1] - xs[a]),
                                        std::max(1, ys[b + 1] - ys[b]));
            blit(dst, piece, xd[a], yd[b], xd[a + 1] - xd[a], yd[b + 1] - yd[b], keyed);
        }
}

// Three slices side by side (left end, middle, right end) across a width.
void three(QImage& dst, const QImage& f, int x, int y, int w, bool keyed)
{
    const int sw = f.width() / 3;
    blit(dst, f.copy(0, 0, sw, f.height()), x, y, sw, f.height(), keyed);
    blit(dst, f.copy(sw, 0, sw, f.height()), x + sw, y, w - 2 * sw, f.height(), keyed);
    blit(dst, f.copy(f.width() - sw, 0, sw, f.height()), x + w - sw, y, sw, f.height(), keyed);
}

void text(QImage& img, const QRect& r, const QString& s, QRgb color, bool bold, int flags)
{
    QPainter p(&img);
    QFont f("DejaVu Sans");
    f.setPixelSize(11);
    f.setBold(bold);
    p.setFont(f);
    p.setPen(QColor(color));
    p.drawText(r, flags, s);
}

QImage preview(const Look& l, const std::vector<Artwork>& art)
{
    const QString p = l.prefix;
    auto pic = [&](const char* e) -> const QImage& { return picture(art, p + "_" + e); };
    const int W = kPreviewW, H = kPreviewH, th = int(l.titleRows.size());
    QImage img = canvas(W, H, rgb(0xFFFFFF));

    // Client area: colour, or the pattern of the two patterned styles.
    const QImage& pattern = picture(art, p + "_FORM_BACKGROUND");
    for (int y = th; y < H; ++y)
        for (int x = 0; x < W; ++x)
            img.setPixel(x, y, pattern.width() == 8 ? pattern.pixel(x % 8, y % 8) : l.formColor);

    // Title bar and its buttons.
    const QImage& left = pic("TITLE_LEFT");
    const QImage& right = pic("TITLE_RIGHT");
    blit(img, pic("TITLE_CLIENT"), left.width(), 0, W - left.width() - right.width(), th, true);
    blit(img, left, 0, 0, std::min(left.width(), W), th, true);
    blit(img, right, W - right.width(), 0, right.width(), th, true);
    const QImage& tb = pic("TITLEBTN");
    const int n = l.titleButtonSize;
    int bx = W - l.borderWidth - 3 - n;
    for (int frame : {15, 6, 12}) { // close, maximise, minimise
        blit(img, frameOf(tb, 18, frame), bx, l.titleButtonTop, n, n, l.titleButton.seeThrough);
        bx -= n + 1;
    }
    const QRgb caption = p == "MACOS" ? rgb(0x000000) : rgb(0xFFFFFF);
    text(img, QRect(10, l.titleButtonTop + (p == "PROTEIN" ? 3 : 0), 200, 16), "ESP8266 WiFi",
         caption, true, Qt::AlignLeft | Qt::AlignVCenter);

    // Border on the left, right and bottom.
    const int bw = l.borderWidth;
    fill(img, QRect(0, th, bw, H - th), l.formBorder);
    fill(img, QRect(W - bw, th, bw, H - th), l.formBorder);
    fill(img, QRect(0, H - bw, W, bw), l.formBorder);

    // Two push buttons: normal and under the pointer.
    const QImage& button = pic("BUTTON");
    for (int s = 0; s < 2; ++s) {
        const QRect r(12 + s * 92, th + 10, 84, 24);
        nine(img, frameOf(button, 3, s), r, l.buttonSeeThrough);
        text(img, r, s ? "Hover" : "Send", rgb(0x000000), false, Qt::AlignCenter);
    }
    blit(img, frameOf(pic("CHECKBOX"), 4, 1), 210, th + 14, pic("CHECKBOX").width() / 4,
         pic("CHECKBOX").height(), true);
    blit(img, frameOf(pic("RADIOBUTTON"), 4, 1), 240, th + 14, pic("RADIOBUTTON").width() / 4,
         pic("RADIOBUTTON").height(), true);

    // A tab row over a page.
    const QImage& tabs = pic("TAB");
    const QImage& line = pic("TAB_LINE");
    const int ih = tabs.height(), lh = line.height(), ty = th + 46;
    const int px0 = 10, px1 = W - 10;
    fill(img, QRect(px0, ty, px1 - px0, ih + 1), l.controlColor);
    const QRgb page = p == "WINXP" ? rgb(0xFFFFFF) : l.controlColor;
    fill(img, QRect(px0, ty + ih, px1 - px0, H - 12 - ty - ih), page);
    blit(img, line, px0 + 1, ty + ih, px1 - px0 - 2, lh, false);
    fill(img, QRect(px0, ty + ih, 1, H - 12 - ty - ih), l.controlBorder);
    fill(img, QRect(px1 - 1, ty + ih, 1, H - 12 - ty - ih), l.controlBorder);
    fill(img, QRect(px0, H - 13, px1 - px0, 1), l.controlBorder);
    three(img, frameOf(tabs, 2, 1), px0 + 10, ty, 76, true);
    three(img, frameOf(tabs, 2, 0), px0 + 86, ty + 1, 76, true);
    text(img, QRect(px0 + 10, ty, 76, ih), "Settings", rgb(0x000000), false, Qt::AlignCenter);
    text(img, QRect(px0 + 86, ty + 1, 76, ih), "Connect", rgb(0x000000), false, Qt::AlignCenter);

    // A panel with its caption bar and collapse button, inside the page.
    const QImage& bar = pic("SIDECHENNEL_BAR");
    const int py = ty + ih + lh + 8, pw = 200, bh = bar.height();
    fill(img, QRect(px0 + 10, py, pw, 50), l.controlBorder);
    fill(img, QRect(px0 + 11, py + 1, pw - 2, 48), rgb(0xFFFFFF));
    blit(img, bar, px0 + 11, py, pw - 2, bh, false);
    const QRgb barText = p == "MACOS" || p == "WINXP" ? rgb(0x000000) : rgb(0xFFFFFF);
    text(img, QRect(px0 + 20, py, 150, bh), "Prompt function", barText, false,
         Qt::AlignLeft | Qt::AlignVCenter);
    blit(img, frameOf(picture(art, "PANEL_BUTTON"), 4, 0), px0 + 10 + pw - 17, py + 4, 13, 12,
         false);

    // A vertical scroll bar at the right of the page.
    const QImage& arrows = pic("SCROLLBAR_BUTTON");
    const int aw = arrows.width() / 6, ah = arrows.height();
    const int sx = px1 - 1 - aw, sy = ty + ih + lh, sh = H - 13 - sy;
    fill(img, QRect(sx, sy, aw, sh), l.scrollBarColor);
    blit(img, frameOf(arrows, 6, 0), sx, sy, aw, ah, false);
    blit(img, frameOf(arrows, 6, 3), sx, sy + sh - ah, aw, ah, false);
    QImage thumbH = canvas(40, pic("SCROLLBAR_TRACK").height());
    three(thumbH, pic("SCROLLBAR_TRACK"), 0, 0, 40, false);
    const QImage thumbV = turnLeft(turnLeft(turnLeft(thumbH)));
    blit(img, thumbV, sx + (aw - thumbV.width()) / 2, sy + ah + 6, thumbV.width(), thumbV.height(),
         false);
    return img;
}

QString title(const QString& group)
{
    if (group == "MACOS") return "MacOS";
    if (group == "WINXP") return "WinXP";
    if (group == "DEEPBLUE") return "DeepBlue";
    if (group == "PROTEIN") return "Protein";
    if (group == "BLUEGLASS") return "BlueGlass";
    return "Shared";
}

} // namespace

QSize shownSize(const QImage& img, int scale)
{
    return QSize(img.width() <= 2 ? 12 : img.width(), img.height()) * scale;
}

SheetLayout layoutSheet(const std::vector<Artwork>& art, int scale, int maxWidth)
{
    SheetLayout out;
    const QFontMetrics fm(labelFont());
    int y = kMargin + kLegendH;
    out.legend = QRect(kMargin, kMargin, maxWidth - 2 * kMargin, kLegendH - 6);
    int widest = maxWidth;
    // Groups in order of first appearance; pictures keep catalogue order within a group.
    std::vector<QString> groups;
    for (const Artwork& a : art)
        if (std::find(groups.begin(), groups.end(), a.info.group) == groups.end())
            groups.push_back(a.info.group);
    for (const QString& group : groups) {
        SheetLayout::Band band;
        band.group = group;
        band.header = QRect(kMargin, y, maxWidth - 2 * kMargin, kHeaderH);
        const int bandTop = y;
        y += kHeaderH + 4;
        int x = kMargin, rowH = 0;
        if (group != "SHARED") {
            band.preview = QRect(QPoint(x, y + kLabelH), QSize(kPreviewW, kPreviewH) * scale);
            x += band.preview.width() + kGap;
        }
        for (size_t i = 0; i < art.size(); ++i) {
            if (art[i].info.group != group) continue;
            const QSize pic = shownSize(art[i].image, scale);
            const int w = std::max(pic.width(), fm.horizontalAdvance(art[i].info.name));
            if (x > kMargin && x + w > maxWidth - kMargin) { // wrap, beside the preview
                y += rowH + kRowGap;
                x = kMargin;
                rowH = 0;
                if (band.preview.isValid() && y < band.preview.bottom())
                    x = band.preview.right() + 1 + kGap;
            }
            SheetLayout::Item item;
            item.index = int(i);
            item.label = QRect(x, y, w, kLabelH);
            item.image = QRect(QPoint(x, y + kLabelH), pic);
            out.items.push_back(item);
            widest = std::max(widest, x + w + kMargin);
            x += w + kGap;
            rowH = std::max(rowH, kLabelH + pic.height());
        }
        y = std::max(y + rowH, band.preview.isValid() ? band.preview.bottom() + 1 : 0) + kRowGap;
        band.area = QRect(0, bandTop - 6, 0, y - bandTop + 2);
        out.bands.push_back(band);
        y += 8;
    }
    for (auto& b : out.bands)
        b.area.setWidth(widest);
    out.size = QSize(widest, y + kMargin);
    return out;
}

QImage renderSheet(const std::vector<Artwork>& art, int scale, int maxWidth)
{
    const SheetLayout layout = layoutSheet(art, scale, maxWidth);
    QImage sheet(layout.size, QImage::Format_RGB32);
    sheet.fill(rgb(0xFFFFFF));
    QPainter p(&sheet);
    p.setRenderHint(QPainter::TextAntialiasing);

    p.setFont(labelFont());
    p.setPen(QColor(0x303030));
    p.drawText(layout.legend, Qt::AlignLeft | Qt::AlignVCenter,
               QStringLiteral("Built-in style artwork at %1x (nearest neighbour). The grey "
                              "checkerboard marks the see-through colour #FF00FF. Frames lie "
                              "side by side, read from the left.")
                   .arg(scale));

    for (size_t b = 0; b < layout.bands.size(); ++b) {
        const auto& band = layout.bands[b];
        p.fillRect(band.area, b % 2 ? QColor(0xF7F7F7) : QColor(0xEEEEF0));
        p.setFont(headerFont());
        p.setPen(QColor(0x101010));
        p.drawText(band.header, Qt::AlignLeft | Qt::AlignVCenter, title(band.group));
        if (!band.preview.isValid()) continue;
        for (const Look& l : looks()) {
            if (band.group != l.prefix) continue;
            const QImage small = preview(l, art);
            p.drawImage(band.preview, small.scaled(band.preview.size(), Qt::IgnoreAspectRatio,
                                                   Qt::FastTransformation));
        }
        p.setFont(labelFont());
        p.drawText(QRect(band.preview.topLeft() - QPoint(0, kLabelH), QSize(400, kLabelH)),
                   Qt::AlignLeft | Qt::AlignVCenter, "Put together (preview, not artwork)");
    }

    p.setFont(labelFont());
    for (const auto& item : layout.items) {
        const Artwork& a = art[size_t(item.index)];
        p.setPen(QColor(0x202020));
        p.drawText(item.label, Qt::AlignLeft | Qt::AlignVCenter, a.info.name);
        // Magnify by hand so every source pixel becomes a clean square.
        QImage big(item.image.size(), QImage::Format_RGB32);
        for (int y = 0; y < big.height(); ++y)
            for (int x = 0; x < big.width(); ++x) {
                QRgb c = a.image.pixel((x / scale) % a.image.width(), y / scale);
                if (c == kMagenta) c = ((x / 4 + y / 4) % 2) ? rgb(0xD0D0D0) : rgb(0xF4F4F4);
                big.setPixel(x, y, c);
            }
        p.drawImage(item.image.topLeft(), big);
        // Thin ticks under the picture mark the frame boundaries.
        if (a.info.frames > 1) {
            p.setPen(QColor(0xC03030));
            const int fw = a.info.width / a.info.frames * scale;
            for (int f = 1; f < a.info.frames; ++f) {
                const int x = item.image.left() + f * fw;
                p.drawLine(x, item.image.bottom() + 2, x, item.image.bottom() + 4);
            }
        }
    }
    p.end();
    return sheet;
}

} // namespace skinart
