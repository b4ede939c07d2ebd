// The main window's three pages running on the page control: start-up state and page switches
// by mouse and keyboard with the prompts they set.
#include "tabfixture.h"

#include "app/unit1.h"
#include "workbench/catalogue.h"

class MainWindowPages : public testing::Test
{
protected:
    void SetUp() override
    {
        form.show();
        form.activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&form));
    }
    TsuiTabControlTopPanel& Strip() { return *form.suiPageControl1->TopPanel(); }
    QString Prompt() { return form.suiMemo2->Text(); }
    void ClickTab(int i) { QTest::mouseClick(&Strip(), Qt::LeftButton, {}, TabCentre(Strip(), i)); }

    TForm1 form{nullptr, false};
};

TEST_F(MainWindowPages, StartsOnConnectionPageWithTheOthersDisabledBehindIt)
{
    TsuiPageControl& pages = *form.suiPageControl1;
    EXPECT_EQ(pages.ActivePage(), form.suiTabSheet2);
    EXPECT_EQ(Strip().TabIndex(), 1);
    EXPECT_EQ(Strip().Tabs(), MainTabCaptions);
    EXPECT_FALSE(form.suiTabSheet1->isEnabled());
    EXPECT_TRUE(form.suiTabSheet2->isEnabled());
    EXPECT_FALSE(form.suiTabSheet3->isEnabled());
    EXPECT_EQ(Prompt(), Workbench::ConnectionPagePrompt());
    EXPECT_FALSE(Strip().hasFocus());
    // In front: the page's own pixels show at the page area.
    QWidget* front = form.suiPageControl1->childAt(100, 60);
    while (front && front->parentWidget() != form.suiPageControl1)
        front = front->parentWidget();
    EXPECT_EQ(front, form.suiTabSheet2);
    // Tabs from x 10, each caption + 20.
    const QFontMetrics metrics(pages.font());
    int x = 10;
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(Strip().Layout().Boxes[std::size_t(i)].Rect.Left, x);
        x += metrics.horizontalAdvance(MainTabCaptions.at(i)) + 20;
    }
}

TEST_F(MainWindowPages, TabClicksAndCtrlTabSwitchPagesWithTheirPrompts)
{
    ClickTab(2);
    EXPECT_EQ(Prompt(), Workbench::ContactPagePrompt());
    EXPECT_TRUE(form.suiTabSheet3->isEnabled());
    EXPECT_FALSE(form.suiTabSheet2->isEnabled());

    ClickTab(0);
    const QString commandPrompt = Prompt();
    EXPECT_NE(commandPrompt, Workbench::ContactPagePrompt());
    EXPECT_FALSE(commandPrompt.isEmpty());
    EXPECT_TRUE(form.suiBoxAT_Cmd->isEnabled());

    ClickTab(1);
    EXPECT_EQ(Prompt(), Workbench::ConnectionPagePrompt());

    // Keyboard: once the strip holds the focus, Ctrl+Tab switches without the show events.
    QTest::mouseDClick(&Strip(), Qt::LeftButton, {}, TabCentre(Strip(), 1));
    ASSERT_TRUE(Strip().hasFocus());
    QTest::keyClick(&Strip(), Qt::Key_Tab, Qt::ControlModifier);
    EXPECT_EQ(form.suiPageControl1->ActivePage(), form.suiTabSheet3);
    EXPECT_EQ(Prompt(), Workbench::ConnectionPagePrompt());
}

TEST_F(MainWindowPages, LeavingAPageThatHoldsTheFocusStillShowsTheNewPage)
{
    for (QWidget* field :
         {static_cast<QWidget*>(form.suiEdit4), static_cast<QWidget*>(form.suiEdit7),
          static_cast<QWidget*>(form.suiButton4)}) {
        ClickTab(1);
        field->setFocus();
        ASSERT_TRUE(field->hasFocus());
        ClickTab(2);
        EXPECT_EQ(Prompt(), Workbench::ContactPagePrompt());
        EXPECT_FALSE(Strip().hasFocus());
        ClickTab(1);
        EXPECT_EQ(Prompt(), Workbench::ConnectionPagePrompt());
    }
}
