#include "suithemes.h"

#include "suipublic.h"

#include <QWidget>
#include <array>

namespace {

// A resource name: the element after the style's prefix, or a name shared by several styles.
struct ArtName
{
    const char* Name = "";
    bool Prefixed = true;
};

struct ThemeEntry
{
    TsuiType Kind;
    std::array<int, 5> Number;  // Int, Color (0x00BBGGRR) and Bool values
    std::array<ArtName, 5> Art; // Str values
};

constexpr ThemeEntry Num(TsuiType kind, std::array<int, 5> values)
{
    return {kind, values, {}};
}
constexpr ThemeEntry Int(std::array<int, 5> values)
{
    return Num(TsuiType::Int, values);
}
constexpr ThemeEntry Color(std::array<int, 5> values)
{
    return Num(TsuiType::Color, values);
}
constexpr ThemeEntry Bool(std::array<int, 5> values)
{
    return Num(TsuiType::Bool, values);
}
constexpr ThemeEntry Str(const char* element)
{
    const ArtName name{element, true};
    return {TsuiType::Str, {}, {name, name, name, name, name}};
}
constexpr ThemeEntry Str(std::array<ArtName, 5> names)
{
    return {TsuiType::Str, {}, names};
}

// Columns: MacOS, WinXP, DeepBlue, Protein, BlueGlass.
constexpr std::array<ThemeEntry, SuiTheme::EntryCount> insideTheme = {{
    Str("BUTTON"),                                             // 1
    Bool({1, 0, 0, 0, 1}),                                     // 2
    Str("CHECKBOX"),                                           // 3
    Str("RADIOBUTTON"),                                        // 4
    Str("TITLEBTN"),                                           // 5
    Bool({0, 0, 0, 1, 1}),                                     // 6
    Int({3, 2, 0, 0, 4}),                                      // 7
    Int({-2, -2, 0, 0, -3}),                                   // 8
    Int({4, 5, 2, 2, 6}),                                      // 9
    Str("TITLE_LEFT"),                                         // 10
    Str("TITLE_CLIENT"),                                       // 11
    Str("TITLE_RIGHT"),                                        // 12
    Int({130, 150, 130, 130, 270}),                            // 13
    Int({0, 13, 0, 0, 11}),                                    // 14
    Color({15198183, 14609391, 15263976, 16514043, 15198183}), // 15
    Color({8355711, 13118464, 0, 0, 0}),                       // 16
    Int({1, 3, 1, 1, 1}),                                      // 17
    Color({12874553, 13003057, 10504772, 12857389, 15490654}), // 18
    Color({12874553, 15717318, 10504772, 12857389, 15490654}), // 19
    Color({16777215, 0, 16777215, 16777215, 16777215}),        // 20
    Color({0, 16777215, 16777215, 16777215, 15198183}),        // 21
    Color({0, 0, 0, 0, 0}),                                    // 22
    Color({0, 13554646, 13554646, 13554646, 13554646}),        // 23
    Str("PROGRESSBAR"),                                        // 24
    Color({8355711, 6842472, 0, 0, 0}),                        // 25
    Color({15198183, 14609391, 15263976, 16514043, 15198183}), // 26
    Color({0, 13583874, 0, 0, 0}),                             // 27
    Str("TRACKBAR_BAR"),                                       // 28
    Str("TRACKBAR_SLIDER"),                                    // 29
    Str("TRACKBAR_SLIDER_V"),                                  // 30
    Color({13224393, 16382457, 16119285, 16119285, 16053492}), // 31
    Str("SCROLLBAR_BUTTON"),                                   // 32
    Str("SCROLLBAR_TRACK"),                                    // 33
    Str("CHECKLIST"),                                          // 34
    Color({4671303, 13003057, 4671303, 4671303, 4671303}),     // 35
    Color({15724527, 15717318, 15724527, 15724527, 15724527}), // 36
    Color({14211288, 14789779, 14211288, 14211288, 14211288}), // 37
    Str({{{"SCROLLBUTTON", true},                              // 38: three styles share
          {"SCROLLBUTTON", true},                              // one unprefixed strip
          {"MORE_SCROLLBUTTON", false},
          {"MORE_SCROLLBUTTON", false},
          {"MORE_SCROLLBUTTON", false}}}),
    Str("TAB"),                // 39
    Str("TAB_LINE"),           // 40
    Str("SIDECHENNEL_HANDLE"), // 41
    Str("SIDECHENNEL_BAR"),    // 42
    Str(""),                   // 43
    Color({0, 0, 0, 0, 0}),    // 44
    Str(""),                   // 45
    Str(""),                   // 46
    Int({0, 0, 0, 0, 0}),      // 47
    Color({0, 0, 0, 0, 0}),    // 48
}};

constexpr std::array<const char*, 5> stylePrefix = {"MACOS", "WINXP", "DEEPBLUE", "PROTEIN",
                                                    "BLUEGLASS"};

// Column of a built-in style, or -1 for FromThemeFile and out-of-range values.
int StyleColumn(TsuiUIStyle style)
{
    const int value = int(style);
    return value >= 1 && value <= 5 ? value - 1 : -1;
}

// The entry when Style is built in and Entry is a table entry of the given kind.
const ThemeEntry* FindEntry(TsuiUIStyle style, int entry, TsuiType kind)
{
    if (StyleColumn(style) < 0 || entry < 1 || entry > SuiTheme::EntryCount) return nullptr;
    const ThemeEntry& found = insideTheme[std::size_t(entry - 1)];
    return found.Kind == kind ? &found : nullptr;
}

} // namespace

bool UsingFileTheme(const TsuiFileTheme* FileTheme, TsuiUIStyle UIStyle, TsuiUIStyle& Style)
{
    Style = UIStyle;
    if (UIStyle != TsuiUIStyle::FromThemeFile) return false;
    if (FileTheme && FileTheme->CanUse()) return true;
    Style = TsuiUIStyle::DeepBlue;
    return false;
}

TsuiType GetInsideThemeType(int Entry)
{
    if (Entry < 1 || Entry > SuiTheme::EntryCount) return TsuiType::Int;
    return insideTheme[std::size_t(Entry - 1)].Kind;
}

TColor GetInsideThemeColor(TsuiUIStyle Style, int Entry)
{
    const ThemeEntry* entry = FindEntry(Style, Entry, TsuiType::Color);
    return entry ? entry->Number[std::size_t(StyleColumn(Style))] : clBlack;
}

int GetInsideThemeInt(TsuiUIStyle Style, int Entry)
{
    const ThemeEntry* entry = FindEntry(Style, Entry, TsuiType::Int);
    return entry ? entry->Number[std::size_t(StyleColumn(Style))] : -1;
}

bool GetInsideThemeBool(TsuiUIStyle Style, int Entry)
{
    const ThemeEntry* entry = FindEntry(Style, Entry, TsuiType::Bool);
    return entry && entry->Number[std::size_t(StyleColumn(Style))] != 0;
}

QString GetInsideThemeBitmapName(TsuiUIStyle Style, int Entry)
{
    const ThemeEntry* entry = FindEntry(Style, Entry, TsuiType::Str);
    if (!entry) return {};
    const int column = StyleColumn(Style);
    const ArtName& art = entry->Art[std::size_t(column)];
    if (*art.Name == '\0') return {};
    const QString element = QString::fromLatin1(art.Name);
    return art.Prefixed ? QString::fromLatin1(stylePrefix[std::size_t(column)]) + u'_' + element
                        : element;
}

bool LoadSkinBitmap(const QString& Name, QImage& Bitmap)
{
    QImage loaded(QStringLiteral(":/skin/") + Name + QStringLiteral(".png"));
    if (loaded.isNull()) {
        qWarning("skin artwork %s is missing", qPrintable(Name));
        return false;
    }
    Bitmap = loaded.convertToFormat(QImage::Format_RGB32);
    return true;
}

bool GetInsideThemeBitmap(TsuiUIStyle Style, int Entry, QImage& Bitmap, int FrameCount,
                          int FrameIndex)
{
    const QString name = GetInsideThemeBitmapName(Style, Entry);
    if (name.isEmpty()) return false;
    if (FrameCount == 0) return LoadSkinBitmap(name, Bitmap);
    QImage strip;
    return LoadSkinBitmap(name, strip) && SpitBitmap(strip, Bitmap, FrameCount, FrameIndex);
}

TsuiUIStyle GetSUIFormStyle(const QObject* Owner)
{
    const auto* form = qobject_cast<const QWidget*>(Owner);
    if (!form || !form->isWindow()) return TsuiUIStyle::DeepBlue;
    for (const QObject* child : form->children()) {
        if (!child->isWidgetType() || !child->inherits("TsuiForm")) continue;
        const QVariant style = child->property("UIStyle");
        return style.canConvert<TsuiUIStyle>() ? style.value<TsuiUIStyle>() : TsuiUIStyle::DeepBlue;
    }
    return TsuiUIStyle::DeepBlue;
}

void TsuiFileThemeLink::Set(QObject* Control, TsuiFileTheme* Theme)
{
    if (FTheme == Theme) return;
    QObject::disconnect(FConnection);
    FConnection = {};
    FTheme = Theme;
    if (!Theme || !Control) return;
    // The connection's context is the control, so it dies with the control.
    FConnection = QObject::connect(Theme, &QObject::destroyed, Control, [Control] {
        Control->setProperty("UIStyle", QVariant::fromValue(TsuiUIStyle::DeepBlue));
    });
}
