// The built-in theme table, the choice between file theme and built-in style, and how a style
// reaches a control.
#include "skin/suiform.h"
#include "skin/suipublic.h"
#include "skin/suithemes.h"

#include <QWidget>
#include <gtest/gtest.h>
#include <map>

namespace {

constexpr TsuiUIStyle builtIn[] = {TsuiUIStyle::MacOS, TsuiUIStyle::WinXP, TsuiUIStyle::DeepBlue,
                                   TsuiUIStyle::Protein, TsuiUIStyle::BlueGlass};

class UsableFileTheme : public TsuiFileTheme
{
public:
    bool CanUse() const override { return true; }
};

// The #RRGGBB a stored 0x00BBGGRR colour shows.
int AsRrggbb(TColor c)
{
    return ((c & 0xFF) << 16) | (c & 0xFF00) | ((c >> 16) & 0xFF);
}

} // namespace

TEST(ThemeChoice, FileThemeIsUsedOnlyWhenAskedForAndUsable)
{
    UsableFileTheme usable;
    TsuiFileTheme unusable;
    TsuiUIStyle style = TsuiUIStyle::MacOS;

    EXPECT_FALSE(UsingFileTheme(nullptr, TsuiUIStyle::FromThemeFile, style));
    EXPECT_EQ(style, TsuiUIStyle::DeepBlue);

    EXPECT_FALSE(UsingFileTheme(&unusable, TsuiUIStyle::FromThemeFile, style));
    EXPECT_EQ(style, TsuiUIStyle::DeepBlue);

    EXPECT_TRUE(UsingFileTheme(&usable, TsuiUIStyle::FromThemeFile, style));
    EXPECT_EQ(style, TsuiUIStyle::FromThemeFile);

    EXPECT_FALSE(UsingFileTheme(&usable, TsuiUIStyle::WinXP, style));
    EXPECT_EQ(style, TsuiUIStyle::WinXP);
}

TEST(ThemeTable, IntegersAndTheirMinusOneCases)
{
    EXPECT_EQ(GetInsideThemeInt(TsuiUIStyle::DeepBlue, SuiTheme::FormMinWidth), 130);
    EXPECT_EQ(GetInsideThemeInt(TsuiUIStyle::BlueGlass, SuiTheme::FormMinWidth), 270);
    EXPECT_EQ(GetInsideThemeInt(TsuiUIStyle::BlueGlass, SuiTheme::TitleRightButtonOffset), -3);
    EXPECT_EQ(GetInsideThemeInt(TsuiUIStyle::WinXP, SuiTheme::FormRoundCorner), 13);
    EXPECT_EQ(GetInsideThemeInt(TsuiUIStyle::WinXP, SuiTheme::FormBorderWidth), 3);
    EXPECT_EQ(GetInsideThemeInt(TsuiUIStyle::MacOS, SuiTheme::TitleButtonTop), 4);

    // Not a built-in style, not an Int entry, not an entry at all.
    EXPECT_EQ(GetInsideThemeInt(TsuiUIStyle::FromThemeFile, 13), -1);
    EXPECT_EQ(GetInsideThemeInt(TsuiUIStyle(6), 13), -1);
    EXPECT_EQ(GetInsideThemeInt(TsuiUIStyle(255), 13), -1);
    EXPECT_EQ(GetInsideThemeInt(TsuiUIStyle::DeepBlue, SuiTheme::FormColor), -1);
    EXPECT_EQ(GetInsideThemeInt(TsuiUIStyle::DeepBlue, SuiTheme::ButtonImage), -1);
    EXPECT_EQ(GetInsideThemeInt(TsuiUIStyle::DeepBlue, SuiTheme::ButtonTransparent), -1);
    for (int outside : {0, 49, -1, 1000})
        EXPECT_EQ(GetInsideThemeInt(TsuiUIStyle::DeepBlue, outside), -1) << outside;

    // The unused integer keeps its number and is 0 everywhere.
    for (TsuiUIStyle style : builtIn)
        EXPECT_EQ(GetInsideThemeInt(style, 47), 0);
}

TEST(ThemeTable, ColoursAreStoredAsFrameworkColours)
{
    EXPECT_EQ(GetInsideThemeColor(TsuiUIStyle::DeepBlue, 15), 15263976);

    struct Row
    {
        int entry;
        int rrggbb[5];
    };
    const Row rows[] = {
        {SuiTheme::FormColor, {0xE7E7E7, 0xEFEBDE, 0xE8E8E8, 0xFBFBFB, 0xE7E7E7}},
        {SuiTheme::FormBorderColor, {0x7F7F7F, 0x002CC8, 0x000000, 0x000000, 0x000000}},
        {SuiTheme::MenuSelectedBorderColor, {0x3973C4, 0x3169C6, 0x444AA0, 0x2D30C4, 0x5E5EEC}},
        {SuiTheme::MenuSelectedColor, {0x3973C4, 0xC6D3EF, 0x444AA0, 0x2D30C4, 0x5E5EEC}},
        {SuiTheme::MenuSelectedFontColor, {0xFFFFFF, 0x000000, 0xFFFFFF, 0xFFFFFF, 0xFFFFFF}},
        {SuiTheme::MenuItemColor, {0x000000, 0xFFFFFF, 0xFFFFFF, 0xFFFFFF, 0xE7E7E7}},
        {SuiTheme::MenuFontColor, {0x000000, 0x000000, 0x000000, 0x000000, 0x000000}},
        {SuiTheme::MenuLeftBarColor, {0x000000, 0xD6D3CE, 0xD6D3CE, 0xD6D3CE, 0xD6D3CE}},
        {SuiTheme::ControlBorderColor, {0x7F7F7F, 0x686868, 0x000000, 0x000000, 0x000000}},
        {SuiTheme::ControlColor, {0xE7E7E7, 0xEFEBDE, 0xE8E8E8, 0xFBFBFB, 0xE7E7E7}},
        {SuiTheme::ControlFontColor, {0x000000, 0x0246CF, 0x000000, 0x000000, 0x000000}},
        {SuiTheme::ScrollBarColor, {0xC9C9C9, 0xF9F9F9, 0xF5F5F5, 0xF5F5F5, 0xF4F4F4}},
        {SuiTheme::ToolBarButtonBorderColor, {0x474747, 0x3169C6, 0x474747, 0x474747, 0x474747}},
        {SuiTheme::ToolBarButtonColor, {0xEFEFEF, 0xC6D3EF, 0xEFEFEF, 0xEFEFEF, 0xEFEFEF}},
        {SuiTheme::ToolBarButtonDownColor, {0xD8D8D8, 0x93ACE1, 0xD8D8D8, 0xD8D8D8, 0xD8D8D8}},
    };
    for (const Row& row : rows)
        for (int s = 0; s < 5; ++s)
            EXPECT_EQ(AsRrggbb(GetInsideThemeColor(builtIn[s], row.entry)), row.rrggbb[s])
                << "entry " << row.entry << " style " << s + 1;
}

TEST(ThemeTable, FlagsPerStyle)
{
    const bool button[] = {true, false, false, false, true};
    const bool titleButton[] = {false, false, false, true, true};
    for (int s = 0; s < 5; ++s) {
        EXPECT_EQ(GetInsideThemeBool(builtIn[s], SuiTheme::ButtonTransparent), button[s]);
        EXPECT_EQ(GetInsideThemeBool(builtIn[s], SuiTheme::TitleButtonTransparent), titleButton[s]);
    }
    EXPECT_FALSE(GetInsideThemeBool(TsuiUIStyle::FromThemeFile, SuiTheme::ButtonTransparent));
}

TEST(ThemeTable, KindsKeepTheirNumbers)
{
    // One letter per entry 1..48: Int, Color, Str, Bool.
    const char kinds[] = "SBSSSBIIISSSIICCICCCCCCSCCCSSSCSSSCCCSSSSSSCSSIC";
    ASSERT_EQ(sizeof(kinds) - 1, std::size_t(SuiTheme::EntryCount));
    const std::map<char, TsuiType> kind = {
        {'I', TsuiType::Int}, {'C', TsuiType::Color}, {'S', TsuiType::Str}, {'B', TsuiType::Bool}};
    for (int entry = 1; entry <= SuiTheme::EntryCount; ++entry)
        EXPECT_EQ(GetInsideThemeType(entry), kind.at(kinds[entry - 1])) << entry;
    EXPECT_EQ(SuiTheme::SideChannelBarImage, 42);
    EXPECT_EQ(SuiTheme::Unused48, 48);
}

TEST(ThemeTable, ArtworkNamesCarryTheStylePrefixExceptTheSharedScrollButton)
{
    EXPECT_EQ(GetInsideThemeBitmapName(TsuiUIStyle::DeepBlue, SuiTheme::TitleButtonImage),
              "DEEPBLUE_TITLEBTN");
    EXPECT_EQ(GetInsideThemeBitmapName(TsuiUIStyle::BlueGlass, SuiTheme::TabLineImage),
              "BLUEGLASS_TAB_LINE");
    EXPECT_EQ(GetInsideThemeBitmapName(TsuiUIStyle::MacOS, SuiTheme::ScrollButtonImage),
              "MACOS_SCROLLBUTTON");
    EXPECT_EQ(GetInsideThemeBitmapName(TsuiUIStyle::WinXP, SuiTheme::ScrollButtonImage),
              "WINXP_SCROLLBUTTON");
    for (TsuiUIStyle style : {TsuiUIStyle::DeepBlue, TsuiUIStyle::Protein, TsuiUIStyle::BlueGlass})
        EXPECT_EQ(GetInsideThemeBitmapName(style, SuiTheme::ScrollButtonImage),
                  "MORE_SCROLLBUTTON");

    // Entries that name no artwork.
    for (int entry : {43, 45, 46, int(SuiTheme::FormColor), 0, 49})
        EXPECT_TRUE(GetInsideThemeBitmapName(TsuiUIStyle::DeepBlue, entry).isEmpty()) << entry;
    EXPECT_TRUE(GetInsideThemeBitmapName(TsuiUIStyle::FromThemeFile, 1).isEmpty());
}

TEST(ThemeTable, BitmapLookupLeavesTheBitmapAloneWhenItCannot)
{
    QImage marker(3, 3, QImage::Format_RGB32);
    marker.fill(Qt::green);
    QImage bitmap = marker;
    EXPECT_FALSE(GetInsideThemeBitmap(TsuiUIStyle::FromThemeFile, SuiTheme::ButtonImage, bitmap));
    EXPECT_FALSE(GetInsideThemeBitmap(TsuiUIStyle::DeepBlue, SuiTheme::FormColor, bitmap));
    EXPECT_FALSE(GetInsideThemeBitmap(TsuiUIStyle::DeepBlue, 43, bitmap));
    // Frame numbers count from 1 up to the frame count.
    EXPECT_FALSE(
        GetInsideThemeBitmap(TsuiUIStyle::DeepBlue, SuiTheme::TitleButtonImage, bitmap, 18, 0));
    EXPECT_FALSE(
        GetInsideThemeBitmap(TsuiUIStyle::DeepBlue, SuiTheme::TitleButtonImage, bitmap, 18, 19));
    EXPECT_FALSE(
        GetInsideThemeBitmap(TsuiUIStyle::DeepBlue, SuiTheme::TitleButtonImage, bitmap, -2, 1));
    EXPECT_FALSE(LoadSkinBitmap("NO_SUCH_ARTWORK", bitmap));
    EXPECT_EQ(bitmap, marker);
}

// A control as the skinned controls publish themselves, with the file-theme link.
class StyledProbe : public QWidget
{
    Q_OBJECT
    Q_PROPERTY(TsuiUIStyle UIStyle READ UIStyle WRITE SetUIStyle)
    Q_PROPERTY(TsuiFileTheme* FileTheme READ FileTheme WRITE SetFileTheme)
public:
    using QWidget::QWidget;
    TsuiUIStyle UIStyle() const { return FUIStyle; }
    void SetUIStyle(TsuiUIStyle style)
    {
        FUIStyle = style;
        UsingFileTheme(FFileTheme.Get(), style, FResolved);
        Log += QStringLiteral("style ");
    }
    TsuiFileTheme* FileTheme() const { return FFileTheme.Get(); }
    void SetFileTheme(TsuiFileTheme* theme)
    {
        FFileTheme.Set(this, theme);
        Log += QStringLiteral("theme ");
    }

    TsuiUIStyle FResolved = TsuiUIStyle::DeepBlue;
    QString Log;

private:
    TsuiUIStyle FUIStyle = TsuiUIStyle::DeepBlue;
    TsuiFileThemeLink FFileTheme;
};

// Publishes only one of the pair, so it is passed over.
class HalfStyled : public QWidget
{
    Q_OBJECT
    Q_PROPERTY(TsuiUIStyle UIStyle MEMBER FUIStyle)
public:
    using QWidget::QWidget;
    TsuiUIStyle FUIStyle = TsuiUIStyle::DeepBlue;
};

TEST(StylePropagation, RemovedFileThemeTurnsTheControlDeepBlue)
{
    StyledProbe control;
    auto* theme = new UsableFileTheme;
    control.SetFileTheme(theme);
    control.SetUIStyle(TsuiUIStyle::FromThemeFile);
    EXPECT_EQ(control.FResolved, TsuiUIStyle::FromThemeFile);

    delete theme;
    EXPECT_EQ(control.FileTheme(), nullptr);
    EXPECT_EQ(control.UIStyle(), TsuiUIStyle::DeepBlue);
    EXPECT_EQ(control.FResolved, TsuiUIStyle::DeepBlue);

    // A theme replaced before it dies no longer reaches the control.
    auto* first = new UsableFileTheme;
    TsuiFileTheme second;
    control.SetFileTheme(first);
    control.SetFileTheme(&second);
    control.SetUIStyle(TsuiUIStyle::MacOS);
    delete first;
    EXPECT_EQ(control.UIStyle(), TsuiUIStyle::MacOS);
    EXPECT_EQ(control.FileTheme(), &second);
}

TEST(StylePropagation, ThemeOutlivingItsControlIsHarmless)
{
    UsableFileTheme theme;
    {
        StyledProbe control;
        control.SetFileTheme(&theme);
    }
    SUCCEED(); // destroying the theme afterwards must not reach the deleted control
}

TEST(StylePropagation, ContainerGivesDirectChildrenThemeThenStyle)
{
    QWidget container;
    auto* a = new StyledProbe(&container);
    auto* half = new HalfStyled(&container);
    auto* plain = new QWidget(&container);
    auto* nested = new StyledProbe(plain);
    auto* form = new TsuiForm(&container); // publishes its theme as a QObject
    TsuiFileTheme theme;

    EXPECT_TRUE(IsHasProperty(a, "UIStyle"));
    EXPECT_TRUE(IsHasProperty(a, "FileTheme"));
    EXPECT_FALSE(IsHasProperty(plain, "UIStyle"));
    EXPECT_FALSE(IsHasProperty(nullptr, "UIStyle"));

    ContainerApplyUIStyle(&container, TsuiUIStyle::Protein, &theme);
    EXPECT_EQ(a->Log, "theme style ");
    EXPECT_EQ(a->UIStyle(), TsuiUIStyle::Protein);
    EXPECT_EQ(a->FileTheme(), &theme);
    EXPECT_EQ(half->FUIStyle, TsuiUIStyle::DeepBlue);
    EXPECT_TRUE(nested->Log.isEmpty()); // it does not descend by itself
    EXPECT_EQ(form->property("UIStyle").value<TsuiUIStyle>(), TsuiUIStyle::Protein);
    EXPECT_EQ(form->property("FileTheme").value<QObject*>(), &theme);

    ContainerApplyUIStyle(nullptr, TsuiUIStyle::Protein, nullptr);
}

TEST(StylePropagation, NewControlTakesTheStyleOfTheFormsFirstSkinnedFrame)
{
    QWidget bare;
    EXPECT_EQ(GetSUIFormStyle(&bare), TsuiUIStyle::DeepBlue);
    EXPECT_EQ(GetSUIFormStyle(nullptr), TsuiUIStyle::DeepBlue);

    QWidget window;
    new QWidget(&window);
    auto* first = new TsuiForm(&window);
    auto* second = new TsuiForm(&window);
    first->SetUIStyle(TsuiUIStyle::WinXP);
    second->SetUIStyle(TsuiUIStyle::MacOS);
    EXPECT_EQ(GetSUIFormStyle(&window), TsuiUIStyle::WinXP);

    // An owner that is not a form (a child widget) gives DeepBlue.
    QWidget inner(&window);
    auto* innerForm = new TsuiForm(&inner);
    innerForm->SetUIStyle(TsuiUIStyle::MacOS);
    EXPECT_EQ(GetSUIFormStyle(&inner), TsuiUIStyle::DeepBlue);
}

#include "test_themes.moc"
