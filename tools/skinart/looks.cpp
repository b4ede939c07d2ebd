#include "tools/skinart/looks.h"

namespace skinart {

Skin glassSkin(QRgb base, QRgb border, State state, double highlight)
{
    const double lift = state == Hover ? 0.18 : state == Pressed ? -0.18 : 0.0;
    const QRgb b = shade(base, lift);
    Skin s;
    s.border = border ? border : shade(b, -0.45);
    s.gloss = true;
    if (state == Pressed) { // light falls from below when the face is pushed in
        s.face = Ramp(shade(b, -0.08), shade(b, 0.08));
        s.lower = Ramp(shade(b, -0.04), shade(b, highlight * 0.5));
    } else {
        s.face = Ramp(shade(b, highlight), shade(b, highlight / 2));
        s.lower = Ramp(b, shade(b, highlight * 0.65));
    }
    s.inner = rgb(0xFFFFFF);
    s.innerAmount = state == Pressed ? 0.0 : 0.35;
    return s;
}

Skin plainSkin(QRgb top, QRgb bottom, QRgb border, QRgb inner, double innerAmount)
{
    Skin s;
    s.border = border;
    s.face = Ramp(top, bottom);
    s.inner = inner;
    s.innerAmount = innerAmount;
    return s;
}

namespace {

// Rows of a band: first and last rows fixed, the rest along a ramp.
std::vector<QRgb> band(int h, std::initializer_list<QRgb> head, const Ramp& body,
                       std::initializer_list<QRgb> tail)
{
    std::vector<QRgb> rows(head);
    const int n = h - int(head.size()) - int(tail.size());
    for (int i = 0; i < n; ++i)
        rows.push_back(body.step(i, n));
    rows.insert(rows.end(), tail);
    return rows;
}

// Faint pinstripes: every second row a shade darker.
std::vector<QRgb> pinstriped(std::vector<QRgb> rows, int from, int to)
{
    for (int y = from; y < to; y += 2)
        rows[size_t(y)] = shade(rows[size_t(y)], -0.035);
    return rows;
}

Look macos()
{
    Look l{};
    l.prefix = "MACOS";
    l.formColor = rgb(0xE7E7E7), l.controlColor = rgb(0xE7E7E7);
    l.controlBorder = rgb(0x7F7F7F), l.scrollBarColor = rgb(0xC9C9C9);
    l.formBorder = rgb(0x7F7F7F), l.borderWidth = 1;
    l.menuSelected = rgb(0x3973C4);
    l.buttonW = 84, l.buttonH = 23, l.buttonRadius = 11, l.buttonSeeThrough = true;
    // Graphite at rest, light blue glass under the pointer and when pressed.
    l.button[Normal] = glassSkin(rgb(0xC4C7CC), rgb(0x6E6E6E), Normal);
    l.button[Hover] = glassSkin(rgb(0x5C9CE6), rgb(0x2D5FA8), Normal);
    l.button[Pressed] = glassSkin(rgb(0x3A7BD5), rgb(0x1E4A8A), Pressed);
    for (int s = 0; s < 3; ++s)
        l.part[s] = glassSkin(rgb(0xBFC3C9), rgb(0x6E6E6E), State(s));
    l.partRadius = 3;
    l.arrow = rgb(0x2B2B2B);
    l.thumb = glassSkin(rgb(0x4A8EE0), rgb(0x2D5FA8), Normal);
    l.thumbRadius = 7;
    l.box = plainSkin(rgb(0xFFFFFF), rgb(0xD6D6D6), rgb(0x6E6E6E), rgb(0xFFFFFF), 0.6);
    l.boxOn = glassSkin(rgb(0x5C9CE6), rgb(0x2D5FA8), Normal);
    l.tick = rgb(0x111111);
    l.tabActive = glassSkin(rgb(0x6AA6EA), rgb(0x4A6A9A), Normal);
    l.tabInactive = glassSkin(rgb(0xD0D3D8), rgb(0x7F7F7F), Normal);
    l.tabAccent = 0, l.tabOpens = false, l.tabRadius = 6;
    l.tabLine = Ramp(rgb(0xD2D2D2), rgb(0xE7E7E7));
    l.titleRows = pinstriped(band(23, {rgb(0x7F7F7F), rgb(0xFFFFFF)},
                                  Ramp(rgb(0xF4F4F4), rgb(0xCDCDCD)), {rgb(0x8E8E8E)}),
                             2, 22);
    l.titleLeftW = 48, l.titleClientW = 49, l.titleRightW = 48;
    l.roundCorner = 0, l.titleButtonTop = 4, l.titleButtonSize = 17;
    l.titleButton.shapeSize = 13, l.titleButton.radius = -1;
    l.titleButton.base = {rgb(0x8E97A6), rgb(0x8E97A6), rgb(0x3DB54A),
                          rgb(0x3DB54A), rgb(0xE8A628), rgb(0xE0443E)};
    l.titleButton.glyph = rgb(0x3A2A20), l.titleButton.glyphOnlyWhenHot = true;
    l.barRows = band(21, {rgb(0xFFFFFF)}, Ramp(rgb(0xF3F3F3), rgb(0xC9C9C9)), {rgb(0x8C8C8C)});
    l.progress = glassSkin(rgb(0x4A8EE0), rgb(0x2D5FA8), Normal);
    l.groove = plainSkin(rgb(0x9A9A9A), rgb(0xE4E4E4), rgb(0x6E6E6E));
    return l;
}

Look winxp()
{
    Look l{};
    l.prefix = "WINXP";
    l.formColor = rgb(0xEFEBDE), l.controlColor = rgb(0xEFEBDE);
    l.controlBorder = rgb(0x686868), l.scrollBarColor = rgb(0xF9F9F9);
    l.formBorder = rgb(0x002CC8), l.borderWidth = 3;
    l.menuSelected = rgb(0xC6D3EF);
    l.buttonW = 18, l.buttonH = 21, l.buttonRadius = 3, l.buttonSeeThrough = false;
    // Cream face in a dark blue outline; orange glow under the pointer.
    l.button[Normal] = plainSkin(rgb(0xFFFFFF), rgb(0xDCD8CC), rgb(0x003C74), rgb(0xFFFFFF), 0.7);
    l.button[Hover] = plainSkin(rgb(0xFFFFFF), rgb(0xDCD8CC), rgb(0x003C74), rgb(0xF8B33B), 0.9);
    l.button[Pressed] = plainSkin(rgb(0xD9D6CB), rgb(0xF1F0EA), rgb(0x003C74), rgb(0xC9C5B6), 0.6);
    l.part[Normal] = plainSkin(rgb(0xD8E4FD), rgb(0xB4C8F6), rgb(0x9DB3E8), rgb(0xFFFFFF), 0.5);
    l.part[Hover] = plainSkin(rgb(0xEAF1FF), rgb(0xC4D6FC), rgb(0x7E9EE4), rgb(0xFFFFFF), 0.6);
    l.part[Pressed] = plainSkin(rgb(0x9FB8EE), rgb(0xC8D8FA), rgb(0x6B8BD6));
    l.partRadius = 2;
    l.arrow = rgb(0x4D6185);
    l.thumb = plainSkin(rgb(0xD8E4FD), rgb(0xB4C8F6), rgb(0x9DB3E8), rgb(0xFFFFFF), 0.5);
    l.thumbRadius = 2;
    l.box = plainSkin(rgb(0xDCDCD7), rgb(0xFFFFFF), rgb(0x1C5180));
    l.boxOn = l.box;
    l.tick = rgb(0x21A121);
    l.tabActive = plainSkin(rgb(0xFFFFFF), rgb(0xFFFFFF), rgb(0x919B9C));
    l.tabInactive = plainSkin(rgb(0xFEFEFE), rgb(0xE6E4DA), rgb(0x919B9C));
    l.tabAccent = rgb(0xFFC83C), l.tabOpens = true, l.tabRadius = 2;
    l.tabLine = Ramp(rgb(0xFFFFFF), rgb(0xFFFFFF));
    l.titleRows = band(29, {rgb(0x002CC8), rgb(0x5AA2FF), rgb(0x3488FA)},
                       Ramp({{0.0, rgb(0x1E74F4)},
                             {0.3, rgb(0x0860EA)},
                             {0.7, rgb(0x0054E3)},
                             {1.0, rgb(0x0349D6)}}),
                       {rgb(0x0040C4), rgb(0x002CC8)});
    l.titleLeftW = 35, l.titleClientW = 37, l.titleRightW = 35;
    l.roundCorner = 13, l.titleButtonTop = 5, l.titleButtonSize = 21;
    l.titleButton.shapeSize = 21, l.titleButton.radius = 3;
    l.titleButton.base = {rgb(0x2F6FEA), rgb(0x2F6FEA), rgb(0x2F6FEA),
                          rgb(0x2F6FEA), rgb(0x2F6FEA), rgb(0xD9532C)};
    l.titleButton.border = rgb(0xFFFFFF), l.titleButton.glyph = rgb(0xFFFFFF);
    l.titleButton.highlight = 0.35;
    l.barRows = band(21, {rgb(0xFFFFFF)}, Ramp(rgb(0xFBFCFF), rgb(0xC6D3F7)), {rgb(0x9CB2E8)});
    l.progress = plainSkin(rgb(0xC8F2C0), rgb(0x2BBE2B), rgb(0x2BBE2B));
    l.groove = plainSkin(rgb(0xB9B6AC), rgb(0xF4F3EE), rgb(0x9D9A90));
    return l;
}

Look deepblue()
{
    Look l{};
    l.prefix = "DEEPBLUE";
    l.formColor = rgb(0xE8E8E8), l.controlColor = rgb(0xE8E8E8);
    l.controlBorder = rgb(0x000000), l.scrollBarColor = rgb(0xF5F5F5);
    l.formBorder = rgb(0x000000), l.borderWidth = 1;
    l.menuSelected = rgb(0x444AA0);
    l.buttonW = 74, l.buttonH = 21, l.buttonRadius = 2, l.buttonSeeThrough = false;
    // Light steel face in a navy outline.
    l.button[Normal] = plainSkin(rgb(0xFFFFFF), rgb(0xD2D6E4), rgb(0x1E2660), rgb(0xFFFFFF), 0.8);
    l.button[Hover] = plainSkin(rgb(0xF4F5FF), rgb(0xC2C8EE), rgb(0x2B3580), rgb(0xFFFFFF), 0.8);
    l.button[Pressed] = plainSkin(rgb(0xBEC4E0), rgb(0xE6E8F2), rgb(0x141A44));
    for (int s = 0; s < 3; ++s)
        l.part[s] = l.button[size_t(s)];
    l.partRadius = 1;
    l.arrow = rgb(0x1E2660);
    l.thumb = plainSkin(rgb(0x5E6AB8), rgb(0x2B3580), rgb(0x141A44), rgb(0x8A96D8), 0.6);
    l.thumbRadius = 2;
    l.box = plainSkin(rgb(0xFFFFFF), rgb(0xD8DBE8), rgb(0x1E2660));
    l.boxOn = l.box;
    l.tick = rgb(0x1E2660);
    l.tabActive = plainSkin(rgb(0xFAFAFA), rgb(0xE8E8E8), rgb(0x000000));
    l.tabInactive = plainSkin(rgb(0xDDE0EA), rgb(0xC4C8D8), rgb(0x000000));
    l.tabAccent = rgb(0x2B3580), l.tabOpens = true, l.tabRadius = 2;
    l.tabLine = Ramp(rgb(0xE8E8E8), rgb(0xE8E8E8));
    l.titleRows = band(32, {rgb(0x0A0F2A), rgb(0x6B78C8), rgb(0x45519E)},
                       Ramp({{0.0, rgb(0x333E8C)}, {0.55, rgb(0x1C2462)}, {1.0, rgb(0x131A4A)}}),
                       {rgb(0x5562B8), rgb(0x0A0F2A)});
    l.titleLeftW = 97, l.titleClientW = 98, l.titleRightW = 97;
    l.roundCorner = 0, l.titleButtonTop = 2, l.titleButtonSize = 19;
    l.titleButton.shapeSize = 19, l.titleButton.radius = 2;
    l.titleButton.base = {rgb(0x2E3884), rgb(0x2E3884), rgb(0x2E3884),
                          rgb(0x2E3884), rgb(0x2E3884), rgb(0x8A2234)};
    l.titleButton.border = rgb(0x8C9AD8), l.titleButton.glyph = rgb(0xFFFFFF);
    l.titleButton.highlight = 0.3;
    l.titleButton.glyphShadow = rgb(0x0A0F2A);
    l.barRows = band(20, {rgb(0x6B78C8)}, Ramp(rgb(0x3A4690), rgb(0x1A2258)), {rgb(0x0A0F2A)});
    l.progress = plainSkin(rgb(0x7C88D4), rgb(0x2B3580), rgb(0x141A44));
    l.groove = plainSkin(rgb(0x1E2660), rgb(0x6B78C8), rgb(0x0A0F2A));
    return l;
}

Look protein()
{
    Look l{};
    l.prefix = "PROTEIN";
    l.formColor = rgb(0xFBFBFB), l.controlColor = rgb(0xFBFBFB);
    l.controlBorder = rgb(0x000000), l.scrollBarColor = rgb(0xF5F5F5);
    l.formBorder = rgb(0x000000), l.borderWidth = 1;
    l.menuSelected = rgb(0x2D30C4);
    l.buttonW = 74, l.buttonH = 21, l.buttonRadius = 3, l.buttonSeeThrough = false;
    // Soft grey-blue pebbles.
    l.button[Normal] = plainSkin(rgb(0xFFFFFF), rgb(0xCDD6E6), rgb(0x6C7FA3), rgb(0xFFFFFF), 0.7);
    l.button[Hover] = plainSkin(rgb(0xF6F9FF), rgb(0xB9CBEC), rgb(0x4A64A0), rgb(0xFFFFFF), 0.7);
    l.button[Pressed] = plainSkin(rgb(0xC2CCDF), rgb(0xEBEFF6), rgb(0x44598A));
    for (int s = 0; s < 3; ++s)
        l.part[s] = l.button[size_t(s)];
    l.partRadius = 2;
    l.arrow = rgb(0x3D4E72);
    l.thumb = plainSkin(rgb(0xC9D4E8), rgb(0x8FA2C6), rgb(0x5A6E96), rgb(0xEEF2F8), 0.7);
    l.thumbRadius = 3;
    l.box = plainSkin(rgb(0xFFFFFF), rgb(0xDCE3EE), rgb(0x6C7FA3));
    l.boxOn = l.box;
    l.tick = rgb(0x2D30C4);
    l.tabActive = plainSkin(rgb(0xFFFFFF), rgb(0xFBFBFB), rgb(0x000000));
    l.tabInactive = plainSkin(rgb(0xE9EEF6), rgb(0xC8D2E3), rgb(0x000000));
    l.tabAccent = 0, l.tabOpens = true, l.tabRadius = 3;
    l.tabLine = Ramp(rgb(0xFBFBFB), rgb(0xFBFBFB));
    l.titleRows = band(23, {rgb(0x000000), rgb(0xFFFFFF)}, Ramp(rgb(0xEDF1F8), rgb(0xC3CEE0)),
                       {rgb(0x8C9BB8)});
    l.titleLeftW = 441, l.titleClientW = 1, l.titleRightW = 1;
    l.roundCorner = 0, l.titleButtonTop = 2, l.titleButtonSize = 19;
    l.titleButton.shapeSize = 17, l.titleButton.radius = -1;
    l.titleButton.base = {rgb(0x9AAACA), rgb(0x9AAACA), rgb(0x9AAACA),
                          rgb(0x9AAACA), rgb(0x9AAACA), rgb(0xC06A78)};
    l.titleButton.border = rgb(0x5A6E96), l.titleButton.glyph = rgb(0xFFFFFF);
    l.titleButton.glyphShadow = rgb(0x3D4E72), l.titleButton.seeThrough = true;
    l.barRows = band(21, {rgb(0xB4C2DE)}, Ramp(rgb(0x8193BA), rgb(0x475A84)), {rgb(0x2E3C5E)});
    l.progress = plainSkin(rgb(0xB6C6E6), rgb(0x4E64A0), rgb(0x3D4E72));
    l.groove = plainSkin(rgb(0x8C9BB8), rgb(0xE6EBF3), rgb(0x5A6E96));
    return l;
}

Look blueglass()
{
    Look l{};
    l.prefix = "BLUEGLASS";
    l.formColor = rgb(0xE7E7E7), l.controlColor = rgb(0xE7E7E7);
    l.controlBorder = rgb(0x000000), l.scrollBarColor = rgb(0xF4F4F4);
    l.formBorder = rgb(0x000000), l.borderWidth = 1;
    l.menuSelected = rgb(0x5E5EEC);
    l.buttonW = 77, l.buttonH = 27, l.buttonRadius = 6, l.buttonSeeThrough = true;
    // Pale glass at rest, glowing deeper blue under the pointer.
    l.button[Normal] = glassSkin(rgb(0x8DB8F0), rgb(0x1B3F8F), Normal);
    l.button[Hover] = glassSkin(rgb(0x4F93F0), rgb(0x1B3F8F), Normal, 0.6);
    l.button[Pressed] = glassSkin(rgb(0x3A78D8), rgb(0x14306E), Pressed);
    for (int s = 0; s < 3; ++s)
        l.part[s] = glassSkin(rgb(0x7FAEEC), rgb(0x1B3F8F), State(s));
    l.partRadius = 3;
    l.arrow = rgb(0x0C2A66);
    l.thumb = glassSkin(rgb(0x3F7FDC), rgb(0x1B3F8F), Normal);
    l.thumbRadius = 3;
    l.box = plainSkin(rgb(0xFFFFFF), rgb(0xD5E4F8), rgb(0x1B3F8F));
    l.boxOn = l.box;
    l.tick = rgb(0x0C3FA0);
    l.tabActive = glassSkin(rgb(0xB6D2F6), rgb(0x1B3F8F), Normal);
    l.tabActive.lower = Ramp(rgb(0xDCE8F8), rgb(0xE7E7E7));
    l.tabInactive = glassSkin(rgb(0x7FAEEC), rgb(0x1B3F8F), Normal);
    l.tabAccent = 0, l.tabOpens = true, l.tabRadius = 3;
    l.tabLine = Ramp(rgb(0xE7E7E7), rgb(0xE7E7E7));
    l.titleRows = band(33, {rgb(0x000000), rgb(0xB4D4FF)},
                       Ramp({{0.0, rgb(0x86B4F2)},
                             {0.45, rgb(0x5A8EE0)},
                             {0.4501, rgb(0x2A64C8)},
                             {1.0, rgb(0x4A8AE6)}}),
                       {rgb(0x1A3C80)});
    l.titleLeftW = 162, l.titleClientW = 179, l.titleRightW = 101;
    l.roundCorner = 11, l.titleButtonTop = 6, l.titleButtonSize = 19;
    l.titleButton.shapeSize = 17, l.titleButton.radius = -1;
    l.titleButton.base = {rgb(0x5B93E6), rgb(0x5B93E6), rgb(0x5B93E6),
                          rgb(0x5B93E6), rgb(0x5B93E6), rgb(0xD8442C)};
    l.titleButton.border = rgb(0x14306E), l.titleButton.glyph = rgb(0xFFFFFF);
    l.titleButton.glyphShadow = rgb(0x14306E), l.titleButton.seeThrough = true;
    l.barRows = band(21, {rgb(0xB4D4FF)},
                     Ramp({{0.0, rgb(0x7FAEEE)},
                           {0.45, rgb(0x5088DE)},
                           {0.4501, rgb(0x2A64C8)},
                           {1.0, rgb(0x4582E0)}}),
                     {rgb(0x1A3C80)});
    l.progress = glassSkin(rgb(0x3F7FDC), rgb(0x1B3F8F), Normal);
    l.groove = plainSkin(rgb(0x6F8FBF), rgb(0xE8F0FC), rgb(0x1B3F8F));
    return l;
}

} // namespace

const std::vector<Look>& looks()
{
    static const std::vector<Look> all{macos(), winxp(), deepblue(), protein(), blueglass()};
    return all;
}

} // namespace skinart
