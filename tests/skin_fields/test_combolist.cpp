// The dropped list of the skinned combo box: right below the box (above only without room),
// DropDownCount rows, and scrolled with the skinned scroll bar of the box's look.
#include "fieldpixels.h"
#include "skin/suicombobox.h"
#include "skin/suibutton.h"
#include "skin/suiscrollbar.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QScreen>
#include <gtest/gtest.h>

namespace {

struct DroppedList : testing::Test
{
    QWidget window;
    TsuiComboBox* box = new TsuiComboBox(&window);

    // A box of the given style with count items, the last one chosen, its window's top at top.
    void Make(TsuiComboBox::TComboBoxStyle style, int count, int top)
    {
        box->SetStyle(style);
        for (int i = 0; i < count; ++i)
            box->addItem(QStringLiteral("%1").arg(1200 * (i + 1)));
        box->setCurrentIndex(count - 1);
        box->setGeometry(20, 10, 63, 21);
        window.setGeometry(100, top, 200, 40);
        window.show();
        QApplication::processEvents();
    }
    QWidget* Drop()
    {
        box->showPopup();
        QApplication::processEvents();
        return box->view()->window();
    }
    QRect BoxOnScreen() const { return {box->mapToGlobal(QPoint(0, 0)), box->size()}; }
    int RowHeight() const { return box->view()->visualRect(box->model()->index(0, 0)).height(); }
};

TEST_F(DroppedList, DropsRightBelowTheBoxWithEightRowsWhetherPickOnlyOrEditable)
{
    for (const auto style : {TsuiComboBox::csDropDownList, TsuiComboBox::csDropDown}) {
        SCOPED_TRACE(int(style));
        box->clear();
        Make(style, 18, 100);
        EXPECT_EQ(box->DropDownCount(), 8);
        const QWidget* popup = Drop();
        ASSERT_NE(popup, &window);
        ASSERT_TRUE(popup->isVisible());
        const QRect b = BoxOnScreen();
        EXPECT_EQ(popup->geometry().top(), b.top() + b.height());
        EXPECT_EQ(popup->geometry().left(), b.left());
        EXPECT_EQ(popup->width(), b.width());
        EXPECT_EQ(box->view()->viewport()->height(), 8 * RowHeight());
        // Fewer items than rows: the list is as long as the items.
        box->hidePopup();
        box->clear();
        Make(style, 3, 100);
        Drop();
        EXPECT_EQ(box->view()->viewport()->height(), 3 * RowHeight());
        box->hidePopup();
    }
}

TEST_F(DroppedList, OpensRightAboveTheBoxOnlyWhereTheScreenHasNoRoomBelow)
{
    const QRect screen = QApplication::primaryScreen()->availableGeometry();
    Make(TsuiComboBox::csDropDownList, 18, screen.bottom() - 60);
    const QWidget* popup = Drop();
    const QRect b = BoxOnScreen();
    ASSERT_LT(screen.bottom() - (b.top() + b.height()), popup->height());
    EXPECT_EQ(popup->geometry().top() + popup->height(), b.top());
    box->hidePopup();
}

TEST_F(DroppedList, ScrollsWithTheSkinnedBarOfTheBoxLook)
{
    box->SetUIStyle(TsuiUIStyle::Protein);
    Make(TsuiComboBox::csDropDownList, 18, 100);
    QWidget* popup = Drop();
    QAbstractItemView* list = box->view();
    auto* bar = qobject_cast<TsuiSkinnedQtScrollBar*>(list->verticalScrollBar());
    ASSERT_NE(bar, nullptr);
    ASSERT_EQ(bar, box->ListScrollBar());
    ASSERT_TRUE(bar->isVisible());
    TsuiScrollBar& skin = *bar->Skin();
    ASSERT_TRUE(skin.isVisible());
    EXPECT_EQ(skin.UIStyle(), TsuiUIStyle::Protein);
    // The skinned bar covers Qt's exactly, and Qt's is as wide as the skinned arrows.
    EXPECT_EQ(skin.geometry(), bar->rect());
    EXPECT_EQ(bar->width(), skin.DecButton()->width());
    EXPECT_EQ(skin.Max(), bar->maximum());
    // The rows end where the bar begins.
    const QPoint viewportEnd = list->viewport()->mapTo(popup, QPoint(list->viewport()->width(), 0));
    EXPECT_EQ(viewportEnd.x(), skin.mapTo(popup, QPoint(0, 0)).x());

    // The chosen last entry is scrolled into view: the thumb sits at the bottom, and the channel
    // above it shows the style's scroll bar colour.
    EXPECT_EQ(skin.Position(), skin.Max());
    const QImage image = Grab(*popup);
    const QPoint channelTop = skin.Track()->mapTo(popup, QPoint(skin.Track()->width() / 2, 1));
    EXPECT_EQ(Px(image, channelTop.x(), channelTop.y()),
              Rgb(GetInsideThemeColor(TsuiUIStyle::Protein, SuiTheme::ScrollBarColor)));

    // The skinned bar scrolls the list, and the list's own scrolling moves the skinned bar.
    skin.SetPosition(4);
    EXPECT_EQ(bar->value(), 4);
    EXPECT_EQ(list->indexAt(QPoint(1, 1)).row(), 4);
    list->scrollToTop();
    EXPECT_EQ(skin.Position(), 0);
    box->hidePopup();

    // A list that needs no scrolling shows no bar.
    box->clear();
    box->addItems({"NO", "ODD", "EVEN"});
    Drop();
    EXPECT_FALSE(bar->isVisible());
    EXPECT_FALSE(skin.isVisibleTo(bar));
    box->hidePopup();
}

} // namespace
