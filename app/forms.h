#pragma once
// Framework notions of a top-level window that its stored layout names.
#include <QObject>
#include <QPoint>
#include <QRect>
#include <algorithm>

namespace Forms {
Q_NAMESPACE

// The window frame: bsDialog is a fixed-size dialog frame.
enum TFormBorderStyle { bsNone, bsSingle, bsSizeable, bsDialog, bsToolWindow, bsSizeToolWin };
Q_ENUM_NS(TFormBorderStyle)

// Where a window of the size of frame goes so that it lies inside available (a screen's
// available area) while moving as little as possible from frame's place; one larger than the
// area keeps its top left corner, and so its title bar, in the area.
inline QPoint KeptOnScreen(const QRect& frame, const QRect& available)
{
    const auto keep = [](int at, int size, int first, int room) {
        return std::max(first, std::min(at, first + room - size));
    };
    return {keep(frame.x(), frame.width(), available.x(), available.width()),
            keep(frame.y(), frame.height(), available.y(), available.height())};
}
} // namespace Forms
