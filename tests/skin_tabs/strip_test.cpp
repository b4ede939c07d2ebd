// Layout, scrolling, hit testing and painting of the tab strip, checked against the numbers of
// the DeepBlue artwork (tabs 17 high, tab line 5, scroll-button frames 18 x 17).
#include "tabfixture.h"

#include "skin/suipublic.h"

#include <QFontMetrics>

namespace {

TsuiTabStripGeometry DeepBlueStrip(int width, TsuiTab::TsuiTabPosition position = TsuiTab::suiTop)
{
    TsuiTabStripGeometry g;
    g.Width = width;
    g.Height = 22;
    g.Position = position;
    g.ActiveHeight = g.InactiveHeight = 17;
    g.LineHeight = 5;
    g.ButtonWidth = 18;
    g.ButtonHeight = 17;
    return g;
}

std::array<bool, MaxTabs> AllShown()
{
    std::array<bool, MaxTabs> shown;
    shown.fill(true);
    return shown;
}

} // namespace

TEST(TabStripLayout, TabWidthIsCaptionPlus20Or80WhenEmptyAndNeverBelow15)
{
    EXPECT_EQ(TabNaturalWidth(50, false, -1), 70);
    EXPECT_EQ(TabNaturalWidth(0, true, -1), 80);
    EXPECT_EQ(TabNaturalWidth(16, true, 16), 100); // an icon adds its width + 4
    EXPECT_EQ(TabNaturalWidth(-30, false, -1), 15);
}

TEST(TabStripLayout, TooWideTabIsCutBeforeTheScrollButtonsAndLaterTabsAreNotDrawn)
{
    const auto layout = LayoutTabStrip(DeepBlueStrip(300), {100, 100, 100, 40}, AllShown(), 0, 0,
                                       false, std::nullopt);
    ASSERT_EQ(layout.Boxes.size(), 3u);
    EXPECT_EQ(layout.Boxes[0].Rect, TRect(10, 1, 110, 18)); // active band one pixel lower
    EXPECT_EQ(layout.Boxes[1].Rect, TRect(110, 0, 210, 17));
    EXPECT_TRUE(layout.Boxes[2].Cut);
    EXPECT_EQ(layout.Boxes[2].Rect, TRect(210, 0, 300 - 2 * 18 - 2, 17));
    EXPECT_EQ(layout.LastWhole, 1);
    EXPECT_TRUE(layout.Overflow);
    EXPECT_EQ(layout.Widths[2], 52); // an inactive cut tab records its cut width
    EXPECT_EQ(layout.Widths[3], -1); // a tab never laid out is not hit by a later click
    ASSERT_TRUE(layout.ButtonsShown);
    EXPECT_EQ(layout.RightButton, TRect(280, 0, 298, 17));
    EXPECT_EQ(layout.LeftButton, TRect(262, 0, 280, 17));
}

TEST(TabStripLayout, LastTabMayReachTenPixelsFromTheEdgeOnlyWhileNothingIsScrolledOut)
{
    const auto fits =
        LayoutTabStrip(DeepBlueStrip(300), {100, 100, 80}, AllShown(), 0, 0, false, std::nullopt);
    EXPECT_FALSE(fits.Overflow);
    EXPECT_FALSE(fits.ButtonsShown);
    EXPECT_EQ(fits.Boxes.back().Rect.Right, 290);

    const auto scrolled = LayoutTabStrip(DeepBlueStrip(300), {50, 100, 100, 80}, AllShown(), 1, 1,
                                         false, std::nullopt);
    EXPECT_TRUE(scrolled.Boxes.back().Cut); // 290 passes 262 once a tab is scrolled out
    EXPECT_TRUE(scrolled.ButtonsShown);
}

TEST(TabStripLayout, ScrollIntoViewScrollsUntilTheSelectedTabIsWhole)
{
    const auto layout = LayoutTabStrip(DeepBlueStrip(300), {100, 100, 100, 100}, AllShown(), 3, 0,
                                       true, std::nullopt);
    EXPECT_EQ(layout.FirstVisible, 2);
    EXPECT_EQ(layout.Boxes.front().Index, 2);
    EXPECT_FALSE(layout.Boxes.back().Cut);
    EXPECT_EQ(layout.Boxes.back().Index, 3);

    // A selected tab scrolled out at the left comes back too.
    const auto back = LayoutTabStrip(DeepBlueStrip(300), {100, 100, 100, 100}, AllShown(), 0, 2,
                                     true, std::nullopt);
    EXPECT_EQ(back.FirstVisible, 0);
}

TEST(TabStripLayout, HiddenTabsTakeNoRoomAndAreNeverHit)
{
    auto shown = AllShown();
    shown[1] = false;
    const auto g = DeepBlueStrip(400);
    const auto layout = LayoutTabStrip(g, {60, 70, 80}, shown, 0, 0, false, std::nullopt);
    ASSERT_EQ(layout.Boxes.size(), 2u);
    EXPECT_EQ(layout.Boxes[1].Rect.Left, 70);
    EXPECT_EQ(layout.Widths[1], 0);
    EXPECT_EQ(HitTestTabStrip(g, layout.Widths, shown, 0, 17, {75, 8}), 2);
    EXPECT_EQ(HitTestTabStrip(g, layout.Widths, shown, 0, 17, {70, 8}), -1); // edges miss
    EXPECT_EQ(HitTestTabStrip(g, layout.Widths, shown, 0, 17, {20, 0}), -1);
    EXPECT_EQ(HitTestTabStrip(g, layout.Widths, shown, 0, 17, {20, 17}), -1);
}

TEST(TabStripLayout, BottomTabsHangFromTheLineAndAreHitThere)
{
    const auto g = DeepBlueStrip(300, TsuiTab::suiBottom);
    const auto layout =
        LayoutTabStrip(g, {100, 100, 100, 100}, AllShown(), 1, 0, false, std::nullopt);
    EXPECT_EQ(layout.Boxes[0].Rect, TRect(10, 5, 110, 22));
    EXPECT_EQ(layout.Boxes[1].Rect, TRect(110, 4, 210, 21));
    EXPECT_EQ(layout.RightButton.Top, 4); // (22 - 17) / 2 + 2
    EXPECT_EQ(HitTestTabStrip(g, layout.Widths, AllShown(), 0, 17, {50, 20}), 0);
    EXPECT_EQ(HitTestTabStrip(g, layout.Widths, AllShown(), 0, 17, {50, 3}), -1);
}

// ---------------------------------------------------------------------------------------------

class TabStripWidget : public testing::Test
{
protected:
    void SetUp() override
    {
        window.resize(600, 200);
        host = new TsuiTabControl(&window);
        host->setFont(TabFont());
        host->setGeometry(0, 0, 545, 137);
        window.show();
    }

    TsuiTabControlTopPanel& Strip() { return *host->TopPanel(); }
    void Press(QPoint p) { QTest::mouseClick(&Strip(), Qt::LeftButton, {}, p); }

    QWidget window;
    TsuiTabControl* host = nullptr;
};

TEST_F(TabStripWidget, MainWindowTabsStartAtTenEachCaptionPlus20)
{
    EXPECT_EQ(host->Tabs(), QStringList{QStringLiteral("Tab1")});
    host->SetTabs(MainTabCaptions);
    host->SetTabIndex(1);
    EXPECT_EQ(Strip().height(), 22);
    EXPECT_EQ(host->PageArea(), TRect(3, 25, 542, 134)); // 539 x 109 at (3, 25)
    const QFontMetrics metrics(TabFont());
    const auto& boxes = Strip().Layout().Boxes;
    ASSERT_EQ(boxes.size(), 3u);
    int x = 10;
    for (int i = 0; i < 3; ++i) {
        const int w = metrics.horizontalAdvance(MainTabCaptions.at(i)) + 20;
        EXPECT_EQ(boxes[std::size_t(i)].Rect.Left, x) << i;
        EXPECT_EQ(boxes[std::size_t(i)].Rect.Width(), w) << i;
        EXPECT_EQ(boxes[std::size_t(i)].Rect.Top, i == 1 ? 1 : 0);
        x += w;
    }
    EXPECT_FALSE(Strip().Layout().ButtonsShown);
}

TEST_F(TabStripWidget, ScrollButtonsScrollOneTabAtATimeAndFollowThePointer)
{
    host->SetTabs({QString(), QString(), QString(), QString(), QString(), QString(), QString()});
    // Seven empty captions of 80: the last passes 545 - 10 and is cut at 545 - 38 = 507.
    const auto& layout = Strip().Layout();
    ASSERT_TRUE(layout.Overflow);
    EXPECT_EQ(layout.Boxes.back().Index, 6);
    EXPECT_EQ(layout.Boxes.back().Rect.Right, 507);

    QTest::mouseMove(&Strip(), {530, 8});
    EXPECT_EQ(Strip().Layout().ScrollHover, 1);
    const QImage hover = Strip().grab().toImage();
    Press({530, 8});
    EXPECT_EQ(Strip().FirstVisible(), 1);
    EXPECT_EQ(Strip().Layout().Boxes.front().Index, 1);
    EXPECT_EQ(Strip().Layout().Boxes.front().Rect.Left, 10);

    QImage frames;
    ASSERT_TRUE(GetInsideThemeBitmap(TsuiUIStyle::DeepBlue, SuiTheme::ScrollButtonImage, frames));
    // Frame 2 (right arrow under the pointer) at the right button's place, x = 545 - 18 - 2.
    EXPECT_EQ(hover.pixel(525 + 9, 8), frames.pixel(18 + 9, 8));

    Press({515, 8});
    EXPECT_EQ(Strip().FirstVisible(), 0);
    Press({515, 8});
    EXPECT_EQ(Strip().FirstVisible(), 0); // clamped
}

TEST_F(TabStripWidget, ClicksSelectTabsAndACutTabScrollsIntoView)
{
    host->SetTabs({QString(), QString(), QString(), QString(), QString(), QString(), QString()});
    QStringList events;
    QObject::connect(host, &TsuiTab::OnTabActive, [&](int i) { events << QString::number(i); });
    Press(TabCentre(Strip(), 6)); // the cut tab
    EXPECT_EQ(host->TabIndex(), 6);
    EXPECT_EQ(events, QStringList{"6"});
    EXPECT_EQ(Strip().FirstVisible(), 1);
    EXPECT_FALSE(Strip().Layout().Boxes.back().Cut);
    Press({4, 8}); // left of the first tab: nothing
    EXPECT_EQ(host->TabIndex(), 6);
    EXPECT_EQ(events, QStringList{"6"});
}

TEST_F(TabStripWidget, BottomStripSitsAtTheBottomWithTurnedImages)
{
    host->SetTabs(MainTabCaptions);
    host->SetTabPosition(TsuiTab::suiBottom);
    EXPECT_EQ(Strip().geometry(), QRect(0, 137 - 22, 545, 22));
    EXPECT_EQ(host->PageArea(), TRect(3, 3, 542, 137 - 25));

    QImage active;
    ASSERT_TRUE(GetInsideThemeBitmap(TsuiUIStyle::DeepBlue, SuiTheme::TabImage, active, 2, 1));
    const QImage strip = Strip().grab().toImage();
    const TRect r = Strip().Layout().Boxes.front().Rect; // tab 0 is selected, band 4 .. 21
    // The top row of the artwork's middle slice shows at the bottom of the turned tab.
    EXPECT_EQ(r.Bottom, 21);
    EXPECT_EQ(QColor(strip.pixel(r.Left + r.Width() / 2, r.Bottom - 1)),
              QColor(active.pixel(active.width() / 2, 0)));

    Press({TabCentre(Strip(), 2).x(), 18});
    EXPECT_EQ(host->TabIndex(), 2);
    Press({TabCentre(Strip(), 1).x(), 2}); // above the bottom tabs: nothing
    EXPECT_EQ(host->TabIndex(), 2);
}

TEST_F(TabStripWidget, HostDrawsThreeBorderSidesAndTheStripTheFourth)
{
    host->SetTabs(MainTabCaptions);
    host->SetColor(0xE8E8E8);
    const QImage image = host->grab().toImage();
    const QColor black(Qt::black), face(0xE8, 0xE8, 0xE8);
    EXPECT_EQ(QColor(image.pixel(0, 60)), black);
    EXPECT_EQ(QColor(image.pixel(544, 60)), black);
    EXPECT_EQ(QColor(image.pixel(200, 136)), black);
    EXPECT_EQ(QColor(image.pixel(1, 60)), face);
    EXPECT_EQ(QColor(image.pixel(543, 135)), face);
    // Tab line side lines in the border colour at x = 0 and x = W - 1, y 17 .. 21.
    EXPECT_EQ(QColor(image.pixel(0, 18)), black);
    EXPECT_EQ(QColor(image.pixel(544, 21)), black);
}

TEST(TabHostLifetime, IconListOwnedByTheHostGoesAfterTheStripWithoutReachingIt)
{
    // The host's children go in the order they came: the strip first, then the icon list, whose
    // removal notice must not reach the strip that is already gone.
    auto* host = new TsuiTabControl;
    auto* icons = new TImageList(16, 16, host);
    host->SetImageList(icons);
    delete host;
    SUCCEED();
}
