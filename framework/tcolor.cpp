#include "tcolor.h"

#include <array>

namespace {
// Classic desktop defaults, 0x00BBGGRR, indexed by system colour number.
constexpr std::array<TColor, 25> systemColors = {
    0xC8C8C8, // scroll bar
    0x000000, // background
    0x6A240A, // active caption
    0x808080, // inactive caption
    0xFFFFFF, // menu
    0xFFFFFF, // window
    0x000000, // window frame
    0x000000, // menu text
    0x000000, // window text
    0xFFFFFF, // caption text
    0xC8D0D4, // active border
    0xC8D0D4, // inactive border
    0x808080, // application work space
    0x6A240A, // highlight
    0xFFFFFF, // highlight text
    0xC8D0D4, // button face
    0x808080, // button shadow
    0x808080, // grey text
    0x000000, // button text
    0xC8D0D4, // inactive caption text
    0xFFFFFF, // button highlight
    0x404040, // 3D dark shadow
    0xC8D0D4, // 3D light
    0x000000, // info text
    0xE1FFFF, // info background
};
} // namespace

TColor ColorToRGB(TColor color)
{
    if (color < 0) {
        const unsigned index = unsigned(color) & 0xFF;
        return index < systemColors.size() ? systemColors[index] : clBlack;
    }
    return color & 0xFFFFFF;
}

QColor toQColor(TColor color)
{
    const TColor rgb = ColorToRGB(color);
    return QColor(rgb & 0xFF, (rgb >> 8) & 0xFF, (rgb >> 16) & 0xFF);
}

TColor fromQColor(const QColor& color)
{
    return RGB(color.red(), color.green(), color.blue());
}
