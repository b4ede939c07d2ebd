#pragma once
// Reading painted pixels back as framework colours.
#include "framework/tcolor.h"

#include <QImage>
#include <QWidget>

// The widget as it paints itself, children included, one pixel per pixel.
inline QImage Grab(QWidget& widget)
{
    return widget.grab().toImage().convertToFormat(QImage::Format_RGB32);
}

// The pixel as 0x00RRGGBB, comparable with Rgb().
inline unsigned Px(const QImage& image, int x, int y)
{
    return image.pixel(x, y) & 0xFFFFFFu;
}

// A framework colour (system colours resolved) as 0x00RRGGBB.
inline unsigned Rgb(TColor color)
{
    return toQColor(color).rgb() & 0xFFFFFFu;
}
