// Skinned bars coupled to a memo and a list box: where they sit, how they mirror the Qt scroll
// state, how they scroll the control, and what uncoupling, hiding and disabling do to them.
#include "mouse.h"
#include "skin/suibutton.h"
#include "skin/suilistbox.h"
#include "skin/suimemo.h"
#include "skin/suiscrollbar.h"

#include <QApplication>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTest>
#include <gtest/gtest.h>

namespace {
QStringList NumberedLines(int count, const QString& prefix = QStringLiteral("line "))
{
    QStringList lines;
    for (int i = 0; i < count; ++i)
        lines << prefix + QString::number(i);
    return lines;
}

// Lets Qt finish its deferred layouts (list rows, scroll ranges).
void Settle()
{
    QApplication::processEvents();
}

TRect Geometry(const QWidget& w)
{
    return TRect::fromQRect(w.geometry());
}

// A form with a memo at (10, 20), 200 x 100, and two bars beside it, all shown.
struct MemoForm
{
    QWidget form;
    TsuiMemo* memo = new TsuiMemo(&form);
    TsuiScrollBar* vbar = new TsuiScrollBar(&form);
    TsuiScrollBar* hbar = new TsuiScrollBar(&form);

    MemoForm()
    {
        form.resize(400, 300);
        memo->setGeometry(10, 20, 200, 100);
        form.show();
        Settle();
    }
};

// A form with a list at (10, 20), 120 x 73 (the main window's lists), and a bar.
struct ListForm
{
    QWidget form;
    TsuiListBox* list = new TsuiListBox(&form);
    TsuiScrollBar* bar = new TsuiScrollBar(&form);

    ListForm()
    {
        form.resize(300, 200);
        list->setGeometry(10, 20, 120, 73);
        list->SetItemHeight(16);
        form.show();
        Settle();
    }
};
} // namespace

TEST(MemoCoupling, BarsSitOverTheEdgesAndTheMemoGrowsItsOwnBars)
{
    MemoForm f;
    f.memo->SetVScrollBar(f.vbar);
    EXPECT_EQ(f.vbar->Orientation(), suiVertical);
    EXPECT_EQ(Geometry(*f.vbar), Bounds(192, 21, 16, 98));
    EXPECT_EQ(f.memo->ScrollBars(), TsuiMemo::ssVertical);

    f.memo->SetHScrollBar(f.hbar);
    EXPECT_EQ(Geometry(*f.hbar), Bounds(11, 102, 183, 16));
    EXPECT_EQ(Geometry(*f.vbar), Bounds(192, 21, 16, 82));
    EXPECT_EQ(f.memo->ScrollBars(), TsuiMemo::ssBoth);

    // The bars follow the memo.
    f.memo->setGeometry(30, 40, 150, 80);
    Settle();
    EXPECT_EQ(Geometry(*f.vbar), Bounds(162, 41, 16, 62));
    EXPECT_EQ(Geometry(*f.hbar), Bounds(31, 102, 133, 16));

    // Right to left, the vertical bar goes inside the left border and the horizontal one
    // starts after it.
    const auto rtl = TsuiMemo::ScrollBarsPlacement(Bounds(10, 20, 200, 100), 16, 16, true);
    EXPECT_EQ(rtl.VBar, Bounds(12, 21, 16, 82));
    EXPECT_EQ(rtl.HBar, Bounds(27, 102, 182, 16));
    EXPECT_EQ(TsuiMemo::ScrollBarsPlacement(Bounds(10, 20, 200, 100), 0, 16, true).HBar,
              Bounds(11, 102, 198, 16));
    // A bar that does not fit the memo is not shown.
    const auto tiny = TsuiMemo::ScrollBarsPlacement(Bounds(0, 0, 10, 10), 16, 16, false);
    EXPECT_FALSE(tiny.VVisible);
    EXPECT_FALSE(tiny.HVisible);
}

TEST(MemoCoupling, MirrorsTheScrollStateAndScrollsFromTheBar)
{
    MemoForm f;
    f.memo->SetLines(NumberedLines(200));
    f.memo->SetVScrollBar(f.vbar);
    Settle();
    QScrollBar& own = *f.memo->verticalScrollBar();
    ASSERT_GT(own.maximum(), 0);
    EXPECT_TRUE(f.vbar->isVisible());
    EXPECT_TRUE(f.vbar->isEnabled());
    EXPECT_TRUE(f.vbar->SliderVisible());
    EXPECT_EQ(f.vbar->Max(), own.maximum());
    EXPECT_EQ(f.vbar->LineButton(),
              std::max(MinLineButton, NativeScrollState(own, *f.memo).ThumbLength));

    // Keys and the wheel move the memo; the bar follows.
    f.memo->setFocus();
    QTest::keyClick(f.memo, Qt::Key_End, Qt::ControlModifier);
    Settle();
    EXPECT_EQ(own.value(), own.maximum());
    EXPECT_EQ(f.vbar->Position(), own.maximum());

    // Dragging the bar's thumb scrolls the memo, without the memo writing back into the bar
    // while it scrolls.
    QSignalSpy changes(f.vbar, &TsuiScrollBar::OnChange);
    TsuiScrollTrackBar& track = *f.vbar->Track();
    const TRect thumb = SliderRect(track.Metrics());
    Press(track, QPoint(thumb.Left + 2, thumb.Top + 2));
    Move(track, QPoint(thumb.Left + 2, 2));
    Release(track, QPoint(thumb.Left + 2, 2));
    EXPECT_EQ(f.vbar->Position(), 0);
    EXPECT_EQ(own.value(), 0);
    EXPECT_EQ(changes.count(), 1);

    // The arrows step one line per repeat tick.
    Press(*f.vbar->IncButton(), QPoint(4, 4));
    f.vbar->IncButton()->RepeatTimerTimer();
    Release(*f.vbar->IncButton(), QPoint(4, 4));
    EXPECT_EQ(own.value(), 1);
}

TEST(MemoCoupling, PositionsBeyondSixteenBitsReachTheMemoWhole)
{
    MemoForm f;
    f.memo->setLineWrapMode(QPlainTextEdit::NoWrap);
    f.memo->SetText(QString(70000, u'\n'));
    f.memo->SetVScrollBar(f.vbar);
    Settle();
    QScrollBar& own = *f.memo->verticalScrollBar();
    ASSERT_GT(own.maximum(), 66000);
    f.vbar->SetPosition(66000);
    EXPECT_EQ(own.value(), 66000);
}

TEST(MemoCoupling, TextThatFitsLeavesTheBarShownDisabledWithoutThumb)
{
    MemoForm f;
    f.memo->SetLines({QStringLiteral("short")});
    f.memo->SetVScrollBar(f.vbar);
    f.memo->SetHScrollBar(f.hbar);
    Settle();
    for (TsuiScrollBar* bar : {f.vbar, f.hbar}) {
        EXPECT_TRUE(bar->isVisible());
        EXPECT_FALSE(bar->isEnabled());
        EXPECT_FALSE(bar->SliderVisible());
        EXPECT_EQ(bar->LineButton(), 0);
        EXPECT_EQ(bar->Max(), 0);
    }
    // Long lines without wrapping make the horizontal one live, stepping 3 pages an arrow tick.
    f.memo->setLineWrapMode(QPlainTextEdit::NoWrap);
    f.memo->SetLines({QString(300, u'x')});
    Settle();
    EXPECT_TRUE(f.hbar->isEnabled());
    EXPECT_TRUE(f.hbar->SliderVisible());
    EXPECT_EQ(f.hbar->Max(), f.memo->horizontalScrollBar()->maximum());
    EXPECT_EQ(f.hbar->SmallChange(), 3 * f.hbar->PageSize());
    EXPECT_FALSE(f.vbar->isEnabled());

    // A disabled memo disables its bars.
    f.memo->setEnabled(false);
    EXPECT_FALSE(f.hbar->isEnabled());
    EXPECT_EQ(f.hbar->LineButton(), 0);
}

TEST(MemoCoupling, UncouplingHidingAndRemovingBars)
{
    MemoForm f;
    f.memo->SetLines(NumberedLines(200));
    f.memo->SetVScrollBar(f.vbar);
    f.memo->SetHScrollBar(f.hbar);
    Settle();

    f.memo->hide();
    EXPECT_FALSE(f.vbar->isVisible());
    EXPECT_FALSE(f.hbar->isVisible());
    // Moving a hidden memo does not bring its bars back.
    f.memo->move(12, 20);
    EXPECT_FALSE(f.vbar->isVisible());
    f.memo->show();
    Settle();
    EXPECT_TRUE(f.vbar->isVisible());
    EXPECT_TRUE(f.hbar->isVisible());
    EXPECT_EQ(Geometry(*f.vbar), Bounds(194, 21, 16, 82));

    f.memo->SetVScrollBar(nullptr);
    EXPECT_EQ(f.memo->ScrollBars(), TsuiMemo::ssHorizontal);
    EXPECT_EQ(f.vbar->Max(), 100);
    EXPECT_EQ(f.vbar->LineButton(), 0);
    EXPECT_TRUE(f.vbar->isEnabled());
    const int scrolled = f.memo->verticalScrollBar()->value();
    f.vbar->SetPosition(37); // no longer reaches the memo
    EXPECT_EQ(f.memo->verticalScrollBar()->value(), scrolled);

    delete f.hbar;
    f.hbar = nullptr;
    EXPECT_EQ(f.memo->HScrollBar(), nullptr);
    EXPECT_EQ(f.memo->ScrollBars(), TsuiMemo::ssNone);
}

TEST(MemoCoupling, StyleAndFileThemeReachTheBars)
{
    MemoForm f;
    f.memo->SetVScrollBar(f.vbar);
    f.memo->SetUIStyle(TsuiUIStyle::WinXP);
    EXPECT_EQ(f.vbar->UIStyle(), TsuiUIStyle::WinXP);
    EXPECT_EQ(f.vbar->width(), 16);
    EXPECT_EQ(f.vbar->DecButton()->height(), 17);   // WinXP arrows are 16 x 17
    f.memo->SetUIStyle(TsuiUIStyle::FromThemeFile); // no usable theme: DeepBlue
    EXPECT_EQ(f.vbar->UIStyle(), TsuiUIStyle::DeepBlue);
    TsuiFileTheme theme;
    f.memo->SetFileTheme(&theme);
    EXPECT_EQ(f.vbar->FileTheme(), &theme);
}

TEST(ListCoupling, BarSitsInsideTheRightBorder)
{
    ListForm f;
    f.list->SetVScrollBar(f.bar);
    EXPECT_EQ(f.bar->Orientation(), suiVertical);
    EXPECT_EQ(f.bar->geometry().topLeft(), QPoint(112, 21));
    EXPECT_EQ(f.bar->height(), 71);
    EXPECT_EQ(TsuiListBox::ScrollBarPlacement(Bounds(10, 20, 120, 73), 16, true),
              Bounds(12, 21, 16, 71));
    EXPECT_EQ(TsuiListBox::ScrollBarPlacement(Bounds(10, 20, 12, 73), 16, false),
              Bounds(10, 21, 16, 71));
}

TEST(ListCoupling, TooFewItemsHideAndDisableTheBar)
{
    ListForm f;
    f.list->SetItems(NumberedLines(4)); // four rows fit in 69 pixels
    f.list->SetVScrollBar(f.bar);
    Settle();
    EXPECT_FALSE(f.bar->isVisible());
    EXPECT_FALSE(f.bar->isEnabled());
    EXPECT_EQ(f.bar->LineButton(), 0);

    f.list->addItem(QStringLiteral("five"));
    Settle();
    EXPECT_TRUE(f.bar->isVisible());
    EXPECT_TRUE(f.bar->isEnabled());
    EXPECT_EQ(f.bar->Max(), f.list->verticalScrollBar()->maximum());

    f.list->clear();
    Settle();
    EXPECT_FALSE(f.bar->isVisible());
}

TEST(ListCoupling, ListAndBarScrollEachOther)
{
    ListForm f;
    f.list->SetItems(NumberedLines(40));
    f.list->SetVScrollBar(f.bar);
    Settle();
    QScrollBar& own = *f.list->verticalScrollBar();
    ASSERT_GT(own.maximum(), 0);
    EXPECT_EQ(f.bar->Max(), own.maximum());

    f.list->setFocus();
    f.list->setCurrentRow(0);
    QTest::keyClick(f.list, Qt::Key_End);
    Settle();
    EXPECT_EQ(f.bar->Position(), own.maximum());

    QWheelEvent wheel(QPointF(20, 20), f.list->viewport()->mapToGlobal(QPointF(20, 20)), QPoint(),
                      QPoint(0, 120), Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(f.list->viewport(), &wheel);
    EXPECT_LT(own.value(), own.maximum());
    EXPECT_EQ(f.bar->Position(), own.value());

    // Paging on the bar's channel above the thumb scrolls the list at once.
    const int before = own.value();
    f.bar->SetPageSize(3);
    Press(*f.bar->Track(), QPoint(4, 1));
    Release(*f.bar->Track(), QPoint(4, 1));
    EXPECT_EQ(own.value(), std::max(0, before - 3));
    EXPECT_EQ(f.bar->Position(), own.value());
}

TEST(ListCoupling, DisabledHiddenAndUncoupled)
{
    ListForm f;
    f.list->SetItems(NumberedLines(40));
    f.list->SetVScrollBar(f.bar);
    Settle();
    ASSERT_TRUE(f.bar->isVisible());
    f.list->setEnabled(false);
    EXPECT_TRUE(f.bar->isVisible());
    EXPECT_FALSE(f.bar->isEnabled());
    f.list->setEnabled(true);
    EXPECT_TRUE(f.bar->isEnabled());

    f.list->hide();
    EXPECT_FALSE(f.bar->isVisible());
    f.list->addItem(QStringLiteral("one more")); // a hidden list does not show its bar
    Settle();
    EXPECT_FALSE(f.bar->isVisible());
    f.list->show();
    Settle();
    EXPECT_TRUE(f.bar->isVisible());

    QSignalSpy changes(f.bar, &TsuiScrollBar::OnChange);
    f.list->SetVScrollBar(nullptr);
    EXPECT_EQ(f.bar->Max(), 100);
    EXPECT_EQ(f.bar->LineButton(), 0);
    const int scrolled = f.list->verticalScrollBar()->value();
    f.bar->SetPosition(f.bar->Position() == 5 ? 6 : 5);
    EXPECT_EQ(f.list->verticalScrollBar()->value(), scrolled);
    EXPECT_EQ(changes.count(), 1);
}

TEST(Coupling, DestroyingTheControlLeavesItsBarsAsTheyAre)
{
    MemoForm f;
    f.memo->SetLines(NumberedLines(200));
    f.memo->SetVScrollBar(f.vbar);
    f.memo->SetHScrollBar(f.hbar);
    TsuiListBox* list = new TsuiListBox(&f.form);
    TsuiScrollBar* listBar = new TsuiScrollBar(&f.form);
    list->setGeometry(220, 20, 120, 73);
    list->SetItems(NumberedLines(40));
    list->SetVScrollBar(listBar);
    list->show();
    Settle();
    const QRect where = f.vbar->geometry();
    const int max = f.vbar->Max();
    delete f.memo;
    delete list;
    EXPECT_EQ(f.vbar->geometry(), where);
    EXPECT_EQ(f.vbar->Max(), max);
    EXPECT_TRUE(f.vbar->isVisible());
    f.vbar->SetPosition(3); // reaches nobody
    listBar->SetPosition(3);
    EXPECT_EQ(listBar->Position(), 3);
}
