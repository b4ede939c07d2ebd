#include "fieldpixels.h"
#include "skin/suiedit.h"
#include "skin/suimemo.h"

#include <QScrollBar>
#include <gtest/gtest.h>

namespace {

// Both rings all the way round, and the first pixel inside them not part of either.
void ExpectTwoRings(const QImage& image, unsigned border, unsigned inner)
{
    const int w = image.width(), h = image.height();
    for (int x = 0; x < w; ++x) {
        EXPECT_EQ(Px(image, x, 0), border) << "top " << x;
        EXPECT_EQ(Px(image, x, h - 1), border) << "bottom " << x;
    }
    for (int y = 0; y < h; ++y) {
        EXPECT_EQ(Px(image, 0, y), border) << "left " << y;
        EXPECT_EQ(Px(image, w - 1, y), border) << "right " << y;
    }
    for (int x = 1; x < w - 1; ++x) {
        EXPECT_EQ(Px(image, x, 1), inner) << "inner top " << x;
        EXPECT_EQ(Px(image, x, h - 2), inner) << "inner bottom " << x;
    }
    for (int y = 1; y < h - 1; ++y) {
        EXPECT_EQ(Px(image, 1, y), inner) << "inner left " << y;
        EXPECT_EQ(Px(image, w - 2, y), inner) << "inner right " << y;
    }
}

} // namespace

TEST(SkinnedEdit, BorderColourFollowsTheStyleAndAStoredOneWinsOnlyAtLoad)
{
    TsuiEdit edit;
    edit.setProperty("UIStyle", QVariant::fromValue(TsuiUIStyle::WinXP));
    EXPECT_EQ(edit.BorderColor(), TColor(6842472)); // #686868
    edit.setProperty("UIStyle", QVariant::fromValue(TsuiUIStyle::MacOS));
    EXPECT_EQ(edit.BorderColor(), TColor(8355711)); // #7F7F7F
    edit.setProperty("UIStyle", QVariant::fromValue(TsuiUIStyle::DeepBlue));
    EXPECT_EQ(edit.BorderColor(), clBlack);

    // Stored order: UIStyle, then BorderColor.
    edit.setProperty("UIStyle", QVariant::fromValue(TsuiUIStyle::WinXP));
    edit.setProperty("BorderColor", clRed);
    EXPECT_EQ(edit.BorderColor(), clRed);
    edit.SetUIStyle(TsuiUIStyle::Protein);
    EXPECT_EQ(edit.BorderColor(), clBlack);
}

TEST(SkinnedEdit, TwoRingsFillTheBandAndTheTextStartsInsideIt)
{
    TsuiEdit edit;
    edit.resize(121, 23);
    edit.SetColor(clInactiveCaption);
    edit.SetBorderColor(clRed);
    edit.setText(QStringLiteral("SSID"));
    const QImage image = Grab(edit);
    ExpectTwoRings(image, Rgb(clRed), Rgb(clInactiveCaption));
    EXPECT_EQ(Px(image, 2, 2), Rgb(clInactiveCaption)) << "the field itself is Color";
    EXPECT_EQ(edit.contentsRect(), QRect(2, 2, 117, 19));

    // A later style change repaints the outer ring in the style's colour.
    edit.SetUIStyle(TsuiUIStyle::WinXP);
    EXPECT_EQ(Px(Grab(edit), 0, 0), 0x686868u);
}

TEST(SkinnedEdit, DestroyedFileThemeLeavesDeepBlue)
{
    TsuiEdit edit;
    edit.SetUIStyle(TsuiUIStyle::MacOS);
    {
        TsuiFileTheme theme;
        edit.setProperty("FileTheme", QVariant::fromValue<QObject*>(&theme));
        EXPECT_EQ(edit.BorderColor(), TColor(8355711)) << "MacOS still rules over the theme";
    }
    EXPECT_EQ(edit.UIStyle(), TsuiUIStyle::DeepBlue);
    EXPECT_EQ(edit.BorderColor(), clBlack);
}

TEST(SkinnedMemo, RingsSurroundTheTextAreaWhichIsInsetByTheBand)
{
    TsuiMemo memo;
    memo.resize(337, 81);
    memo.SetColor(0xE8E8E8);
    memo.SetBorderColor(clBlue);
    memo.SetLines({QStringLiteral("Please the serial port parameter configuration "),
                   QStringLiteral("be invalid")});
    memo.show();
    const QImage image = Grab(memo);
    ExpectTwoRings(image, Rgb(clBlue), Rgb(0xE8E8E8));
    EXPECT_EQ(memo.viewport()->geometry(), QRect(2, 2, 333, 77));
    EXPECT_EQ(memo.Lines().size(), 2);

    // Word wrap and no scroll bars of its own until a skinned bar is coupled.
    EXPECT_EQ(memo.ScrollBars(), TsuiMemo::ssNone);
    EXPECT_FALSE(memo.verticalScrollBar()->isVisible());
    EXPECT_EQ(memo.lineWrapMode(), QPlainTextEdit::WidgetWidth);
}

TEST(SkinnedMemo, ItsOwnScrollBarLiesInsideTheBand)
{
    TsuiMemo memo;
    memo.resize(200, 100);
    memo.SetScrollBars(TsuiMemo::ssVertical);
    memo.show();
    const QRect bar = memo.verticalScrollBar()->parentWidget()->geometry();
    EXPECT_TRUE(memo.verticalScrollBar()->isVisible());
    EXPECT_EQ(bar.x() + bar.width(), 198);
    EXPECT_EQ(bar.y(), 2);
    EXPECT_EQ(bar.y() + bar.height(), 98);
    const QImage image = Grab(memo);
    EXPECT_EQ(Px(image, 199, 50), Rgb(memo.BorderColor()));
}

TEST(SkinnedMemo, StyleChangeOverwritesStoredBorderAndReachesCoupledBars)
{
    TsuiMemo memo;
    TsuiScrollBar bar;
    memo.SetVScrollBar(&bar);
    memo.setProperty("UIStyle", QVariant::fromValue(TsuiUIStyle::DeepBlue));
    memo.setProperty("BorderColor", TColor(0xE8E8E8));
    EXPECT_EQ(memo.BorderColor(), TColor(0xE8E8E8));
    memo.SetUIStyle(TsuiUIStyle::FromThemeFile);
    EXPECT_EQ(memo.BorderColor(), clBlack);
    EXPECT_EQ(bar.UIStyle(), TsuiUIStyle::DeepBlue) << "the bar gets the resolved style";
    memo.SetUIStyle(TsuiUIStyle::WinXP);
    EXPECT_EQ(bar.UIStyle(), TsuiUIStyle::WinXP);
}
