#pragma once
// The style model shared by every skinned control: the five built-in looks and the
// kinds of entry in the built-in theme table.
#include <QObject>
#include <cstdint>

namespace Sui {
Q_NAMESPACE

enum class TsuiUIStyle : std::uint8_t { FromThemeFile = 0, MacOS, WinXP, DeepBlue, Protein, BlueGlass };
Q_ENUM_NS(TsuiUIStyle)

enum class TsuiType : std::uint8_t { Int = 0, Color = 1, Str = 2, Bool = 3 };
Q_ENUM_NS(TsuiType)
} // namespace Sui

using Sui::TsuiType;
using Sui::TsuiUIStyle;
