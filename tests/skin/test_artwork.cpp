// Every piece of built-in artwork the theme table or a control names by hand exists at its
// fixed size, and frames are cut from it as the controls expect.
#include "skin/suipublic.h"
#include "skin/suithemes.h"

#include <QSize>
#include <gtest/gtest.h>

namespace {

constexpr TsuiUIStyle builtIn[] = {TsuiUIStyle::MacOS, TsuiUIStyle::WinXP, TsuiUIStyle::DeepBlue,
                                   TsuiUIStyle::Protein, TsuiUIStyle::BlueGlass};

struct Element
{
    int entry;
    QSize size[5]; // MacOS, WinXP, DeepBlue, Protein, BlueGlass
};

const Element elements[] = {
    {SuiTheme::ButtonImage, {{252, 23}, {54, 21}, {222, 21}, {222, 21}, {231, 27}}},
    {SuiTheme::CheckBoxImage, {{60, 17}, {52, 13}, {52, 13}, {52, 13}, {52, 13}}},
    {SuiTheme::RadioButtonImage, {{64, 17}, {52, 13}, {52, 13}, {52, 13}, {52, 13}}},
    {SuiTheme::TitleButtonImage, {{306, 17}, {378, 21}, {342, 19}, {342, 19}, {342, 19}}},
    {SuiTheme::TitleLeftImage, {{48, 23}, {35, 29}, {97, 32}, {441, 23}, {162, 33}}},
    {SuiTheme::TitleClientImage, {{49, 23}, {37, 29}, {98, 32}, {1, 23}, {179, 33}}},
    {SuiTheme::TitleRightImage, {{48, 23}, {35, 29}, {97, 32}, {1, 23}, {101, 33}}},
    {SuiTheme::ProgressBarImage, {{13, 10}, {6, 10}, {1, 10}, {1, 10}, {1, 10}}},
    {SuiTheme::TrackBarImage, {{45, 5}, {45, 8}, {45, 4}, {45, 4}, {45, 4}}},
    {SuiTheme::TrackBarSliderImage, {{11, 20}, {11, 21}, {11, 20}, {11, 20}, {11, 20}}},
    {SuiTheme::TrackBarVSliderImage, {{19, 11}, {22, 11}, {18, 11}, {18, 11}, {18, 11}}},
    {SuiTheme::ScrollBarButtonImage, {{96, 22}, {96, 17}, {96, 16}, {96, 16}, {102, 16}}},
    {SuiTheme::ScrollBarTrackImage, {{33, 16}, {21, 16}, {21, 16}, {21, 16}, {21, 16}}},
    {SuiTheme::CheckListImage, {{40, 11}, {44, 11}, {44, 11}, {44, 11}, {44, 11}}},
    {SuiTheme::ScrollButtonImage, {{72, 18}, {72, 18}, {72, 17}, {72, 17}, {72, 17}}},
    {SuiTheme::TabImage, {{36, 27}, {18, 18}, {12, 17}, {18, 17}, {18, 17}}},
    {SuiTheme::TabLineImage, {{17, 7}, {8, 1}, {5, 5}, {10, 5}, {10, 5}}},
    {SuiTheme::SideChannelHandleImage, {{7, 84}, {8, 86}, {8, 83}, {8, 83}, {8, 86}}},
    {SuiTheme::SideChannelBarImage, {{1, 21}, {1, 21}, {1, 20}, {1, 21}, {1, 21}}},
};

} // namespace

TEST(Artwork, EveryTableEntryIsPresentAtItsSizeInAllFiveStyles)
{
    int checked = 0;
    for (const Element& element : elements)
        for (int s = 0; s < 5; ++s) {
            const QString name = GetInsideThemeBitmapName(builtIn[s], element.entry);
            QImage image;
            ASSERT_TRUE(GetInsideThemeBitmap(builtIn[s], element.entry, image))
                << qPrintable(name) << " is missing";
            EXPECT_EQ(image.size(), element.size[s]) << qPrintable(name);
            ++checked;
        }
    // Every Str entry with a name is covered above.
    int named = 0;
    for (int entry = 1; entry <= SuiTheme::EntryCount; ++entry)
        named += !GetInsideThemeBitmapName(TsuiUIStyle::DeepBlue, entry).isEmpty();
    EXPECT_EQ(named * 5, checked);
}

TEST(Artwork, ArtworkLoadedByNameIsPresentAtItsSize)
{
    const std::pair<const char*, QSize> byName[] = {
        {"MACOS_COMBOBOX_BUTTON", {16, 17}}, {"WINXP_COMBOBOX_BUTTON", {16, 18}},
        {"MACOS_FORM_BACKGROUND", {8, 8}},   {"PROTEIN_FORM_BACKGROUND", {8, 8}},
        {"MACOS_MENU_BAR", {1, 22}},         {"MACOS_MENU_SELECT", {1, 21}},
        {"PANEL_BUTTON", {52, 12}},          {"MENU_CHECKED", {16, 16}},
    };
    for (const auto& [name, size] : byName) {
        QImage image;
        ASSERT_TRUE(LoadSkinBitmap(name, image)) << name << " is missing";
        EXPECT_EQ(image.size(), size) << name;
        EXPECT_EQ(image.format(), QImage::Format_RGB32) << name;
    }
}

TEST(Artwork, TitleButtonFramesAreCutFromTheStrip)
{
    QImage strip, close, last;
    ASSERT_TRUE(GetInsideThemeBitmap(TsuiUIStyle::DeepBlue, SuiTheme::TitleButtonImage, strip));
    // The close button's normal frame: columns 285 to 303.
    ASSERT_TRUE(
        GetInsideThemeBitmap(TsuiUIStyle::DeepBlue, SuiTheme::TitleButtonImage, close, 18, 16));
    EXPECT_EQ(close.size(), QSize(19, 19));
    EXPECT_EQ(close, strip.copy(285, 0, 19, 19));
    ASSERT_TRUE(
        GetInsideThemeBitmap(TsuiUIStyle::DeepBlue, SuiTheme::TitleButtonImage, last, 18, 18));
    EXPECT_EQ(last, strip.copy(strip.width() - 19, 0, 19, 19));
}
