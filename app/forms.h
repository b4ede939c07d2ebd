#pragma once
// Framework notions of a top-level window that its stored layout names.
#include <QObject>

namespace Forms {
Q_NAMESPACE

// The window frame: bsDialog is a fixed-size dialog frame.
enum TFormBorderStyle { bsNone, bsSingle, bsSizeable, bsDialog, bsToolWindow, bsSizeToolWin };
Q_ENUM_NS(TFormBorderStyle)
} // namespace Forms
