// The two editable lists of the command page: typed text picks an entry or gives way to the chosen
// one, and never becomes an entry of its own.
#include "appfixture.h"

#include <QLineEdit>
#include <QTest>

namespace {

class CommandListsTest : public AppTest
{
protected:
    // Types text into the box's edit field over what it holds and presses Enter.
    static void TypeAndEnter(TsuiComboBox& box, const QString& text)
    {
        box.setFocus();
        box.lineEdit()->selectAll();
        QTest::keyClicks(box.lineEdit(), text);
        QTest::keyClick(box.lineEdit(), Qt::Key_Return);
    }
};

TEST_F(CommandListsTest, TypedTextNeverAddsAnEntryAndSendUsesWhatTheBoxShows)
{
    TForm1& form = Form();
    // Focus moves, and so typing ends, only in the active window.
    ASSERT_TRUE(QTest::qWaitForWindowActive(&form));
    form.suiPageControl1->SetActivePage(form.suiTabSheet1);
    TsuiComboBox& catalogue = *form.suiBoxAT_Cmd;

    TypeAndEnter(catalogue, QStringLiteral("AT+NOSUCH"));
    TypeAndEnter(catalogue, QStringLiteral("AT+NOSUCH"));
    EXPECT_EQ(catalogue.count(), 18);
    EXPECT_EQ(catalogue.currentIndex(), 0);
    EXPECT_EQ(catalogue.lineEdit()->text(), "AT");
    // Send sends the command the box shows, not nothing.
    QTest::mouseClick(form.suiButton3, Qt::LeftButton);
    EXPECT_EQ(form.suiListBox2->Items(), QStringList{"Send--> AT"});

    // An entry typed in other letter case is that entry, and the page follows it.
    TypeAndEnter(catalogue, QStringLiteral("at+cwmode"));
    EXPECT_EQ(catalogue.count(), 18);
    EXPECT_EQ(catalogue.currentIndex(), 3);
    EXPECT_EQ(catalogue.lineEdit()->text(), "AT+CWMODE");
    EXPECT_EQ(form.suiMemo2->Lines(), QStringList{"AT+CWMODE  select WIFI Application mode"});

    TsuiComboBox& choices = *form.suiComboBox1;
    ASSERT_EQ(choices.count(), 4);
    choices.setCurrentIndex(2);
    TypeAndEnter(choices, QStringLiteral("Set nothing"));
    EXPECT_EQ(choices.count(), 4);
    EXPECT_EQ(choices.currentIndex(), 2);
    EXPECT_EQ(choices.lineEdit()->text(), "Set AP Model");
    // Leaving the field ends the typing as Enter does.
    choices.lineEdit()->selectAll();
    QTest::keyClicks(choices.lineEdit(), QStringLiteral("half typed"));
    QTest::mouseClick(form.suiButton3, Qt::LeftButton);
    EXPECT_EQ(choices.lineEdit()->text(), "Set AP Model");
    EXPECT_EQ(form.suiListBox2->Items(), QStringList{"Send--> AT+CWMODE=2"});
}

} // namespace
