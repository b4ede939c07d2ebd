#pragma once
// The style model shared by every skinned control: the five built-in looks, the kinds of
// entry in the built-in theme table, the table's lookups and how a style reaches a control.
#include "framework/tcolor.h"

#include <QImage>
#include <QMetaObject>
#include <QObject>
#include <QPointer>
#include <QString>
#include <cstdint>

namespace Sui {
Q_NAMESPACE

enum class TsuiUIStyle : std::uint8_t {
    FromThemeFile = 0,
    MacOS,
    WinXP,
    DeepBlue,
    Protein,
    BlueGlass
};
Q_ENUM_NS(TsuiUIStyle)

enum class TsuiType : std::uint8_t { Int = 0, Color = 1, Str = 2, Bool = 3 };
Q_ENUM_NS(TsuiType)
} // namespace Sui

using Sui::TsuiType;
using Sui::TsuiUIStyle;

// Entry numbers of the built-in theme table. The numbers are fixed: unused entries keep theirs.
namespace SuiTheme {
enum Entry : int {
    ButtonImage = 1,
    ButtonTransparent,
    CheckBoxImage,
    RadioButtonImage,
    TitleButtonImage,
    TitleButtonTransparent,
    TitleLeftButtonOffset,
    TitleRightButtonOffset,
    TitleButtonTop,
    TitleLeftImage,
    TitleClientImage,
    TitleRightImage,
    FormMinWidth,
    FormRoundCorner,
    FormColor,
    FormBorderColor,
    FormBorderWidth,
    MenuSelectedBorderColor,
    MenuSelectedColor,
    MenuSelectedFontColor,
    MenuItemColor,
    MenuFontColor,
    MenuLeftBarColor,
    ProgressBarImage,
    ControlBorderColor,
    ControlColor,
    ControlFontColor,
    TrackBarImage,
    TrackBarSliderImage,
    TrackBarVSliderImage,
    ScrollBarColor,
    ScrollBarButtonImage,
    ScrollBarTrackImage,
    CheckListImage,
    ToolBarButtonBorderColor,
    ToolBarButtonColor,
    ToolBarButtonDownColor,
    ScrollButtonImage,
    TabImage,
    TabLineImage,
    SideChannelHandleImage,
    SideChannelBarImage,
    Unused43, // Str, no artwork
    Unused44, // Color
    Unused45, // Str, no artwork
    Unused46, // Str, no artwork
    Unused47, // Int, 0
    Unused48, // Color
};
constexpr int EntryCount = 48;
} // namespace SuiTheme

// A look supplied by a skin file. No skin-file reader exists, so nothing is ever loaded and a
// control asking for FromThemeFile falls back to DeepBlue.
class TsuiFileTheme : public QObject
{
    Q_OBJECT
public:
    explicit TsuiFileTheme(QObject* owner = nullptr) : QObject(owner) {}
    // True when a skin file is loaded and usable.
    virtual bool CanUse() const { return false; }
};

// Chooses between the file theme and a built-in style; Style receives the built-in style to use.
bool UsingFileTheme(const TsuiFileTheme* FileTheme, TsuiUIStyle UIStyle, TsuiUIStyle& Style);

// The kind of a table entry; Int for a number outside 1 to 48.
TsuiType GetInsideThemeType(int Entry);
// Value of a Color entry; clBlack for another kind, an unknown entry or a non-built-in style.
TColor GetInsideThemeColor(TsuiUIStyle Style, int Entry);
// Value of an Int entry; -1 for another kind, an unknown entry or a non-built-in style.
int GetInsideThemeInt(TsuiUIStyle Style, int Entry);
// Value of a Bool entry; false for another kind, an unknown entry or a non-built-in style.
bool GetInsideThemeBool(TsuiUIStyle Style, int Entry);
// Full resource name of a Str entry ("DEEPBLUE_TITLEBTN"); empty when it names no artwork.
QString GetInsideThemeBitmapName(TsuiUIStyle Style, int Entry);
// Loads a Str entry's artwork, or frame FrameIndex (from 1) of FrameCount when FrameCount > 0.
// Returns false and leaves Bitmap untouched when the entry, style, frame or resource is unusable.
bool GetInsideThemeBitmap(TsuiUIStyle Style, int Entry, QImage& Bitmap, int FrameCount = 0,
                          int FrameIndex = 0);
// Loads built-in artwork by its full resource name ("PANEL_BUTTON") as a 32-bit opaque image.
bool LoadSkinBitmap(const QString& Name, QImage& Bitmap);

// The UIStyle of the first TsuiForm among the direct children of a form; DeepBlue otherwise.
TsuiUIStyle GetSUIFormStyle(const QObject* Owner);

// A control's FileTheme reference. When the theme is destroyed the reference is forgotten and
// the control's published UIStyle becomes DeepBlue, so the control's own setter runs.
class TsuiFileThemeLink
{
public:
    TsuiFileThemeLink() = default;
    TsuiFileThemeLink(const TsuiFileThemeLink&) = delete;
    TsuiFileThemeLink& operator=(const TsuiFileThemeLink&) = delete;
    ~TsuiFileThemeLink() { QObject::disconnect(FConnection); }

    // Refers Control to Theme (or to none).
    void Set(QObject* Control, TsuiFileTheme* Theme);
    TsuiFileTheme* Get() const { return FTheme.data(); }

private:
    QPointer<TsuiFileTheme> FTheme;
    QMetaObject::Connection FConnection;
};
