// Every text the window shows in a control shows whole at the control's stored size: each label
// with each caption it is given, each entry of each list in the box and in its dropped list, each
// button caption, tab, group box and panel caption, and each status text, measured in the font
// the control draws with against the room the control draws it in.
#include "appfixture.h"
#include "workbench/statustexts.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QFontInfo>
#include <QLineEdit>
#include <QTime>
#include <algorithm>

namespace {

// Pixels a text covers: its advance, or its ink where that reaches further, with any ink left of
// its start counted too.
int Covered(const QFont& font, const QString& text)
{
    const QFontMetrics metrics(font);
    const QRect ink = metrics.boundingRect(text);
    return std::max(metrics.horizontalAdvance(text), ink.x() + ink.width()) - std::min(0, ink.x());
}

testing::AssertionResult ShowsWhole(const QFont& font, const QString& text, int width,
                                    const QWidget& where)
{
    const int need = Covered(font, text);
    if (need <= width) return testing::AssertionSuccess();
    return testing::AssertionFailure()
           << where.objectName().toStdString() << ": \"" << text.toStdString() << "\" needs "
           << need << " pixels in " << QFontInfo(font).family().toStdString() << " "
           << QFontInfo(font).pixelSize() << " px but has " << width;
}

class TextFitTest : public AppTest
{
protected:
    void ExpectLabelsWhole()
    {
        for (const QLabel* label : Form().findChildren<QLabel*>()) {
            if (label->text().isEmpty()) continue;
            EXPECT_TRUE(ShowsWhole(label->font(), label->text(), label->contentsRect().width(),
                                   *label));
        }
    }
    // The chosen entry in the box's own field.
    static void ExpectFieldWhole(const TsuiComboBox& box)
    {
        const QString text = box.currentText();
        if (const QLineEdit* edit = box.lineEdit()) {
            ASSERT_EQ(edit->text(), text);
            // QLineEdit keeps two pixels beside its text.
            EXPECT_TRUE(ShowsWhole(edit->font(), text, edit->contentsRect().width() - 4, box));
        } else {
            EXPECT_TRUE(ShowsWhole(box.font(), text, box.TextRect().Width(), box));
        }
    }
    // Every entry in the rows of the dropped list, as it is shown.
    static void ExpectDroppedListWhole(TsuiComboBox& box)
    {
        if (box.count() == 0) return; // an empty list does not drop
        box.showPopup();
        QApplication::processEvents();
        QAbstractItemView* list = box.view();
        ASSERT_TRUE(list->isVisible());
        // The rows' text keeps the focus frame's margin and one pixel more on each side.
        const int margin = list->style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, list) + 1;
        for (int i = 0; i < box.count(); ++i) {
            const QRect row = list->visualRect(list->model()->index(i, 0));
            EXPECT_TRUE(ShowsWhole(list->font(), box.itemText(i), row.width() - 2 * margin, box));
        }
        box.hidePopup();
    }
    static void ExpectEntriesWhole(TsuiComboBox& box)
    {
        for (int i = 0; i < box.count(); ++i) {
            box.setCurrentIndex(i);
            ExpectFieldWhole(box);
        }
        ExpectDroppedListWhole(box);
    }
    void SelectCommand(int k)
    {
        Form().suiBoxAT_Cmd->setCurrentIndex(k);
        Form().RefreshCommandPanel();
    }
};

TEST_F(TextFitTest, EveryLabelShowsWholeWithEveryCaptionItIsGiven)
{
    ExpectLabelsWhole();
    EXPECT_EQ(Form().Label3->text(), "Port number:");
    EXPECT_EQ(Form().Label6->text(), "User parameter:");
    for (int k = 0; k < 18; ++k) {
        SCOPED_TRACE(k);
        SelectCommand(k);
        ExpectLabelsWhole();
    }
    EXPECT_EQ(Form().Label9->text(), "PWD:");
    SelectCommand(10);
    EXPECT_EQ(Form().Label9->text(), "Port :");
}

TEST_F(TextFitTest, EveryEntryOfEveryListShowsWholeInTheBoxAndInItsDroppedList)
{
    // The widest port number the scan can list.
    RawLine line(AliasFolder.path(), 255);
    TForm1& form = Form();
    ASSERT_TRUE(form.suiComboBox_PcPort->findText("COM255") >= 0);
    for (TsuiComboBox* box : {form.suiComboBox_PcPort, form.suiComboBox_PcBaudRate,
                              form.suiComboBox_PcParity}) {
        SCOPED_TRACE(box->objectName().toStdString());
        ExpectEntriesWhole(*box);
    }
    EXPECT_EQ(form.suiComboBox_PcBaudRate->count(), 8);
    form.suiPageControl1->SetActivePage(form.suiTabSheet1);
    QApplication::processEvents();
    ASSERT_EQ(form.suiBoxAT_Cmd->count(), 18);
    ExpectEntriesWhole(*form.suiBoxAT_Cmd);
    for (int k = 0; k < 18; ++k) {
        SCOPED_TRACE(k);
        SelectCommand(k);
        ExpectEntriesWhole(*form.suiComboBox1);
    }
}

TEST_F(TextFitTest, CaptionsTabsAndStatusTextsShowWhole)
{
    TForm1& form = Form();
    for (const TsuiButton* button : form.findChildren<TsuiButton*>()) {
        if (button->Caption().isEmpty()) continue;
        // A pressed caption moves one pixel right.
        EXPECT_TRUE(ShowsWhole(button->font(), button->Caption(), button->width() - 1, *button));
    }
    EXPECT_TRUE(ShowsWhole(form.suiButton_OpenPort->font(), "Close",
                           form.suiButton_OpenPort->width() - 1, *form.suiButton_OpenPort));

    const TsuiGroupBox& group = *form.suiGroupBox1;
    const int captionLeft =
        TsuiGroupBox::Layout(group.width(), group.height(), QFontInfo(group.font()).pixelSize(), 0, false)
            .Caption.x();
    EXPECT_TRUE(ShowsWhole(group.font(), group.Caption(), group.width() - 1 - captionLeft, group));

    const TsuiPanel& panel = *form.suiPanel1;
    const TRect caption = TsuiPanel::Layout(panel.width(), panel.BarHeight(), panel.ButtonShown()).Caption;
    EXPECT_TRUE(ShowsWhole(panel.font(), panel.Caption(), caption.Width(), panel));

    const TsuiTabControlTopPanel& strip = *form.suiPageControl1->TopPanel();
    ASSERT_EQ(strip.Layout().Boxes.size(), 3u);
    for (const TsuiTabBox& box : strip.Layout().Boxes) {
        EXPECT_FALSE(box.Cut);
        EXPECT_TRUE(ShowsWhole(form.suiPageControl1->font(), strip.Tabs().value(box.Index),
                               box.Rect.Width(), strip));
    }

    TsuiStatusBar& status = *form.suiStatusBar1;
    const QString texts[][3] = {
        {"Opened", "Successful", Workbench::ShortTimeText(QTime(23, 59, 59))},
        {"Closed", " ", Workbench::ShortTimeText(QTime(12, 0))}};
    for (const auto& row : texts)
        for (int i = 0; i < 3; ++i) {
            form.SetStatusText(row[i], i);
            EXPECT_TRUE(ShowsWhole(status.font(), status.PanelText(i),
                                   status.PanelTextRect(i).width(), status));
        }
}

} // namespace
