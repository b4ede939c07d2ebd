// Pages joining and leaving, activation by tab, by page and by index, and the order of the
// events each raises, on the main window's page control.
#include "tabfixture.h"

#include <QLabel>
#include <QLineEdit>

using Log = QStringList;

TEST_F(PagesFixture, OnlyTheActivePageIsEnabled)
{
    EXPECT_EQ(pages->PageCount(), 3);
    EXPECT_EQ(pages->ActivePage(), sheet[1]);
    EXPECT_EQ(Strip().TabIndex(), 1);
    EXPECT_FALSE(sheet[0]->isEnabled());
    EXPECT_TRUE(sheet[1]->isEnabled());
    EXPECT_FALSE(sheet[2]->isEnabled());
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(sheet[i]->PageIndex(), i);
        EXPECT_EQ(sheet[i]->geometry(), QRect(3, 25, 539, 109));
    }
}

TEST_F(PagesFixture, TabClickRaisesChangingHideShowTabActiveChangeInOrder)
{
    ClickTab(0);
    EXPECT_EQ(log, (Log{"changing", "hide 1", "show 0", "tabactive 0", "change"}));
    EXPECT_EQ(pages->ActivePage(), sheet[0]);
    EXPECT_TRUE(sheet[0]->isEnabled());
    EXPECT_FALSE(sheet[1]->isEnabled());
    log.clear();
    ClickTab(0); // the selected tab again: nothing
    EXPECT_TRUE(log.isEmpty());
}

TEST_F(PagesFixture, RefusedChangeKeepsTabAndPageAndRaisesNothingElse)
{
    allowChange = false;
    ClickTab(2);
    EXPECT_EQ(log, Log{"changing"});
    EXPECT_EQ(Strip().TabIndex(), 1);
    EXPECT_EQ(pages->ActivePage(), sheet[1]);
    EXPECT_FALSE(sheet[2]->isEnabled());
}

TEST_F(PagesFixture, ActivePageSetByProgramShowsTwiceWithoutChanging)
{
    pages->SetActivePage(sheet[2]);
    EXPECT_EQ(log, (Log{"hide 1", "show 2", "tabactive 2", "change", "show 2"}));
    log.clear();
    pages->SetActivePageIndex(0);
    EXPECT_EQ(log, (Log{"hide 2", "show 0", "tabactive 0", "change", "show 0"}));
    log.clear();
    pages->SetActivePageIndex(7); // out of range: ignored
    EXPECT_TRUE(log.isEmpty());
    EXPECT_EQ(pages->ActivePage(), sheet[0]);
}

TEST_F(PagesFixture, FocusedStripSwitchesPagesWithoutShowUntilFocusLeaves)
{
    const QPoint tab2 = TabCentre(Strip(), 2);
    const QImage before = Strip().grab().toImage();
    QTest::mouseDClick(&Strip(), Qt::LeftButton, {}, TabCentre(Strip(), 1));
    ASSERT_TRUE(Strip().hasFocus());
    // The selected tab shows the focus rectangle: 8 in from its left, 1 down from its top.
    const TRect r = Strip().Layout().Boxes[1].Rect;
    const QImage focused = Strip().grab().toImage();
    const int x = r.Left + 8 + ((r.Left + 8 + r.Top + 1) % 2), y = r.Top + 1;
    EXPECT_NE(focused.pixel(x, y), before.pixel(x, y));
    log.clear();

    QTest::mouseClick(&Strip(), Qt::LeftButton, {}, tab2);
    EXPECT_EQ(log, (Log{"changing", "hide 1", "tabactive 2", "change"}));
    log.clear();
    QTest::keyClick(&Strip(), Qt::Key_Tab, Qt::ControlModifier); // after the last: the first
    EXPECT_EQ(log, (Log{"hide 2", "tabactive 0", "change"}));
    EXPECT_EQ(pages->ActivePage(), sheet[0]);
    EXPECT_TRUE(sheet[0]->isEnabled());

    Strip().clearFocus();
    log.clear();
    ClickTab(1);
    EXPECT_EQ(log, (Log{"changing", "hide 0", "show 1", "tabactive 1", "change"}));
}

TEST_F(PagesFixture, ShownPageFocusesItsFirstChildOnlyWhenThatTakesInput)
{
    auto* label = new QLabel(QStringLiteral("SSID:"), sheet[0]);
    auto* edit = new QLineEdit(sheet[0]);
    auto* other = new QLineEdit(sheet[2]);
    for (QWidget* child : std::initializer_list<QWidget*>{label, edit, other})
        child->show();
    ClickTab(0);
    EXPECT_FALSE(edit->hasFocus()); // labels come first in the order examined
    delete label;
    ClickTab(2);
    EXPECT_TRUE(other->hasFocus());
}

TEST_F(PagesFixture, HidingTheActiveTabActivatesTheNearestVisibleOne)
{
    sheet[0]->SetTabVisible(false);
    EXPECT_TRUE(log.isEmpty()); // not the active page
    EXPECT_FALSE(sheet[0]->TabVisible());
    sheet[1]->SetTabVisible(false);
    EXPECT_EQ(log, (Log{"hide 1", "show 2", "tabactive 2", "change", "show 2"}));
    EXPECT_EQ(pages->ActivePage(), sheet[2]);
    log.clear();
    sheet[2]->SetTabVisible(false); // no other visible tab: the page stays
    EXPECT_TRUE(log.isEmpty());
    EXPECT_EQ(pages->ActivePage(), sheet[2]);
    EXPECT_TRUE(Strip().Layout().Boxes.empty());
}

TEST_F(PagesFixture, RemovingPagesRenumbersAndActivatesThePageBefore)
{
    delete sheet[2];
    EXPECT_EQ(pages->PageCount(), 2);
    EXPECT_EQ(pages->ActivePage(), sheet[1]); // the page before the removed one
    EXPECT_EQ(log, Log{"show 1"});
    log.clear();

    // Removing the first page leaves no active page.
    sheet[0]->setParent(nullptr);
    EXPECT_EQ(sheet[0]->PageIndex(), -1);
    EXPECT_EQ(pages->PageCount(), 1);
    EXPECT_EQ(sheet[1]->PageIndex(), 0);
    EXPECT_EQ(pages->ActivePage(), nullptr);
    EXPECT_EQ(log, Log{"hide 1"});
    EXPECT_EQ(Strip().Tabs(), QStringList{MainTabCaptions.at(1)});
    delete sheet[0];
}

TEST_F(PagesFixture, RemovedActivePageIsToldOnceThatItIsHidden)
{
    ClickTab(0);
    log.clear();
    sheet[0]->setParent(nullptr);
    EXPECT_EQ(log, Log{"hide 0"});
    EXPECT_FALSE(sheet[0]->isEnabled());
    EXPECT_EQ(pages->ActivePage(), nullptr);
    delete sheet[0];
}

TEST_F(PagesFixture, MovingAPageReordersTabsAndActivatesIt)
{
    sheet[2]->SetPageIndex(0);
    EXPECT_EQ(Strip().Tabs(),
              (QStringList{MainTabCaptions[2], MainTabCaptions[0], MainTabCaptions[1]}));
    EXPECT_EQ(pages->ActivePage(), sheet[2]);
    EXPECT_EQ(Strip().TabIndex(), 0);
    sheet[2]->SetPageIndex(3); // out of range: unchanged
    EXPECT_EQ(sheet[2]->PageIndex(), 0);
}

TEST_F(PagesFixture, SelectNextPageSkipsHiddenTabsAndWraps)
{
    sheet[2]->SetTabVisible(false);
    pages->SelectNextPage(true);
    EXPECT_EQ(pages->ActivePage(), sheet[0]);
    pages->SelectNextPage(false);
    EXPECT_EQ(pages->ActivePage(), sheet[1]);
    sheet[0]->SetTabVisible(false);
    pages->SelectNextPage(true); // no other visible tab: the active page stays
    EXPECT_EQ(pages->ActivePage(), sheet[1]);
}

TEST_F(PagesFixture, NewPageTakesTheNextFreeNameAndJoinsActive)
{
    TsuiTabSheet* page = pages->NewPage();
    EXPECT_EQ(page->objectName(), QStringLiteral("suiTabSheet4"));
    EXPECT_EQ(page->Caption(), page->objectName());
    EXPECT_EQ(page->PageIndex(), 3);
    EXPECT_EQ(pages->ActivePage(), page);
    EXPECT_EQ(page->geometry(), QRect(3, 25, 539, 109));
    EXPECT_EQ(page->Color(), 0xE8E8E8u);

    TsuiPageControl loose; // without an owner the number is the new page count
    EXPECT_EQ(loose.NewPage()->objectName(), QStringLiteral("suiTabSheet1"));
}

TEST(PageControlLoading, StoredLayoutOrdersPagesAndShowsTheActivePageOnce)
{
    QWidget form;
    auto* pages = new TsuiPageControl(&form);
    pages->setProperty("Pages", QStringList{"suiTabSheet1", "suiTabSheet2", "suiTabSheet3"});
    pages->setProperty("ActivePage", QStringLiteral("suiTabSheet2"));
    // Stored out of order, as a layout may list its children.
    TsuiTabSheet* sheets[3];
    for (int i : {2, 0, 1}) {
        sheets[i] = new TsuiTabSheet(pages);
        sheets[i]->setObjectName(QStringLiteral("suiTabSheet%1").arg(i + 1));
        sheets[i]->setProperty("Caption", MainTabCaptions.at(i));
        sheets[i]->setProperty("TabVisible", i != 2);
        sheets[i]->setEnabled(i == 1);
        sheets[i]->setProperty("PageControl", QStringLiteral("suiPageControl1"));
    }
    Log log;
    for (int i = 0; i < 3; ++i)
        QObject::connect(sheets[i], &TsuiTabSheet::OnShow,
                         [&log, i] { log << QString::number(i); });
    QObject::connect(pages, &TsuiTab::OnChange, [&log] { log << "change"; });
    pages->Loaded();
    EXPECT_EQ(log, Log{"1"});
    EXPECT_EQ(pages->TopPanel()->Tabs(), MainTabCaptions);
    EXPECT_EQ(pages->ActivePage(), sheets[1]);
    EXPECT_FALSE(sheets[0]->isEnabled());
    EXPECT_FALSE(sheets[2]->isEnabled());
    EXPECT_FALSE(sheets[2]->TabVisible());
    EXPECT_EQ(pages->property("ActivePage").toString(), QStringLiteral("suiTabSheet2"));
}
