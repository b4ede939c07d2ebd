#include "fieldpixels.h"
#include "skin/suilistbox.h"

#include <QApplication>
#include <QScrollBar>
#include <gtest/gtest.h>

namespace {

constexpr int RowHeight = 16;
constexpr int RowWidth = 120;

// Sharp text, so every ink pixel has exactly the pen's colour.
QFont SharpFont()
{
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPixelSize(11);
    font.setStyleStrategy(QFont::NoAntialias);
    return font;
}

struct TInk
{
    int Count = 0;
    int Left = -1;
    int Right = -1; // exclusive
};

// Pixels of one colour in a row of the image.
TInk InkOf(const QImage& image, unsigned colour, TRect area)
{
    TInk ink;
    for (int y = area.Top; y < area.Bottom; ++y)
        for (int x = area.Left; x < area.Right; ++x) {
            if (Px(image, x, y) != colour) continue;
            ++ink.Count;
            if (ink.Left < 0 || x < ink.Left) ink.Left = x;
            ink.Right = std::max(ink.Right, x + 1);
        }
    return ink;
}

QImage PaintRow(const TListItemLook& look)
{
    QImage image(RowWidth, RowHeight, QImage::Format_RGB32);
    image.fill(Qt::magenta);
    QPainter canvas(&image);
    PaintListItem(canvas, look, {0, 0, RowWidth, RowHeight});
    return image;
}

struct ListFixture : testing::Test
{
    TsuiListBox list;
    ListFixture()
    {
        list.setFont(SharpFont());
        list.SetColor(clWhite);
        list.SetFontColor(clBlack);
        list.SetItemHeight(RowHeight);
    }
    QImage Row(int index, bool selected = false, bool focused = false)
    {
        return PaintRow(list.ItemLook(index, selected, focused));
    }
};

} // namespace

TEST_F(ListFixture, MainWindowListShowsFourWholeRowsThenGetsAScrollBarAtFive)
{
    list.SetColor(clInactiveCaption);
    list.resize(546, 73);
    list.show();
    EXPECT_EQ(list.viewport()->geometry(), QRect(2, 2, 542, 69));
    list.SetItems({"1", "2", "3", "4"});
    QApplication::processEvents();
    EXPECT_FALSE(list.verticalScrollBar()->isVisible());
    EXPECT_EQ(list.ItemRect(3), QRect(0, 48, 542, 16));

    list.addItem(QStringLiteral("5"));
    QApplication::processEvents();
    ASSERT_TRUE(list.verticalScrollBar()->isVisible());
    // The fifth row shows its top 5 pixels.
    EXPECT_EQ(list.ItemRect(4).top(), 64);
    // Qt's bar lies inside the band, so the frame stays whole.
    const QRect bar = list.verticalScrollBar()->parentWidget()->geometry();
    EXPECT_EQ(bar.x() + bar.width(), 544);
    EXPECT_EQ(bar.y(), 2);
    EXPECT_EQ(bar.y() + bar.height(), 71);
    const QImage image = Grab(list);
    EXPECT_EQ(Px(image, 545, 36), Rgb(clBlack));
    EXPECT_EQ(Px(image, 544, 36), Rgb(clInactiveCaption));
    EXPECT_EQ(Px(image, 300, 72), Rgb(clBlack));
    EXPECT_EQ(Px(image, 300, 71), Rgb(clInactiveCaption));
}

TEST_F(ListFixture, StyleGivesTheBorderUntilAStoredOneAndAgainAfterAStyleChange)
{
    list.setProperty("UIStyle", QVariant::fromValue(TsuiUIStyle::WinXP));
    EXPECT_EQ(list.BorderColor(), TColor(6842472));
    list.setProperty("BorderColor", clRed);
    EXPECT_EQ(list.BorderColor(), clRed);
    list.setProperty("UIStyle", QVariant::fromValue(TsuiUIStyle::DeepBlue));
    EXPECT_EQ(list.BorderColor(), clBlack);
}

TEST_F(ListFixture, SelectedAndDisabledRowsUseTheirOwnColours)
{
    list.SetItems({"Selected", "Plain"});
    list.SetSelectedColor(clNavy);
    list.SetSelectedTextColor(clYellow);
    list.SetDisabledTextColor(clRed);
    const TRect all{0, 0, RowWidth, RowHeight};

    QImage row = Row(0, true);
    EXPECT_EQ(Px(row, 0, 0), Rgb(clNavy));
    EXPECT_GT(InkOf(row, Rgb(clYellow), all).Count, 10);

    row = Row(1);
    EXPECT_EQ(Px(row, 0, 0), Rgb(clWhite));
    EXPECT_GT(InkOf(row, Rgb(clBlack), all).Count, 10);

    // A disabled list keeps the selected background but greys the text.
    list.setEnabled(false);
    row = Row(0, true);
    EXPECT_EQ(Px(row, 0, 0), Rgb(clNavy));
    EXPECT_EQ(InkOf(row, Rgb(clYellow), all).Count, 0);
    EXPECT_GT(InkOf(row, Rgb(clRed), all).Count, 10);

    // So does a single disabled item in an enabled list.
    list.setEnabled(true);
    list.SetItemEnabled(1, false);
    EXPECT_GT(InkOf(Row(1), Rgb(clRed), all).Count, 10);
    EXPECT_EQ(InkOf(Row(0), Rgb(clRed), all).Count, 0);
}

TEST_F(ListFixture, TextKeepsTheTwoPixelGapOnTheLeftWhateverTheAlignment)
{
    list.SetItems({"HHH", "a&b", "&"});
    const TRect all{0, 0, RowWidth, RowHeight};
    const unsigned ink = Rgb(clBlack);

    TInk left = InkOf(Row(0), ink, all);
    EXPECT_GE(left.Left, 2);
    EXPECT_LE(left.Left, 4);

    list.SetAlignment(TsuiListBox::taRightJustify);
    TInk right = InkOf(Row(0), ink, all);
    EXPECT_GE(right.Right, RowWidth - 2) << "the text ends at the right edge";
    EXPECT_EQ(right.Right - right.Left, left.Right - left.Left);

    list.SetAlignment(TsuiListBox::taCenter);
    TInk centre = InkOf(Row(0), ink, all);
    // Centred in the row narrowed by the gap on the left: (2 + 120) / 2 = 61.
    EXPECT_NEAR((centre.Left + centre.Right) / 2.0, 61.0, 1.5);

    // Right to left, the gap moves to the right and left alignment starts from there.
    list.SetAlignment(TsuiListBox::taLeftJustify);
    list.setLayoutDirection(Qt::RightToLeft);
    EXPECT_EQ(ListItemTextRect(all, true), TRect(0, 0, RowWidth - 2, RowHeight));
    TInk rtl = InkOf(Row(0), ink, all);
    EXPECT_LE(rtl.Right, RowWidth - 2);
    EXPECT_GE(rtl.Right, RowWidth - 4);
}

TEST_F(ListFixture, AmpersandIsDrawnAsItself)
{
    list.SetItems({"&", "a&b", "ab"});
    const TRect all{0, 0, RowWidth, RowHeight};
    EXPECT_GT(InkOf(Row(0), Rgb(clBlack), all).Count, 5) << "a lone & is not a mnemonic marker";
    const TInk withAmp = InkOf(Row(1), Rgb(clBlack), all);
    const TInk without = InkOf(Row(2), Rgb(clBlack), all);
    EXPECT_GT(withAmp.Right - withAmp.Left, without.Right - without.Left + 4);
}

TEST_F(ListFixture, FocusRectangleOnTheFocusedRowOnlyWhenShown)
{
    list.SetItems({"one"});
    const unsigned bg = Rgb(clWhite), inverted = Rgb(clBlack);
    QImage row = Row(0, false, true);
    // Dotted, inverting every other pixel of the row's edge.
    EXPECT_EQ(Px(row, 0, 0), inverted);
    EXPECT_EQ(Px(row, 1, 0), bg);
    EXPECT_EQ(Px(row, 2, 0), inverted);
    EXPECT_EQ(Px(row, RowWidth - 1, RowHeight - 1), inverted);
    EXPECT_EQ(Px(row, RowWidth - 2, RowHeight - 1), bg);
    EXPECT_EQ(Px(row, 0, 2), inverted);

    list.SetShowFocusRect(false);
    row = Row(0, false, true);
    EXPECT_EQ(Px(row, 0, 0), bg);
    EXPECT_EQ(Px(row, 2, 0), bg);
}

TEST_F(ListFixture, EmptyFocusedListShowsOnlyAFocusRectangleInTheFirstRowsPlace)
{
    list.resize(200, 73);
    list.show();
    QApplication::setActiveWindow(&list);
    list.setFocus();
    QApplication::processEvents();
    ASSERT_TRUE(list.hasFocus());
    // The list paints it itself, even with ShowFocusRect off.
    list.SetShowFocusRect(false);
    QImage image = Grab(list);
    const int top = 2, left = 2, right = 198;
    EXPECT_EQ(Px(image, left, top), Rgb(clBlack));
    EXPECT_EQ(Px(image, left + 1, top), Rgb(clWhite));
    EXPECT_EQ(Px(image, right - 1, top + RowHeight - 1), Rgb(clBlack));
    EXPECT_EQ(InkOf(image, Rgb(clBlack), {left, top + RowHeight, right, 71}).Count, 0)
        << "nothing below the first row's place";

    list.clearFocus();
    QApplication::processEvents();
    image = Grab(list);
    EXPECT_EQ(InkOf(image, Rgb(clBlack), {left, top, right, 71}).Count, 0);
}

TEST_F(ListFixture, VariableRowsAreOneLineOfTheFontHigh)
{
    list.SetStyle(TsuiListBox::lbOwnerDrawVariable);
    const int line = QFontMetrics(list.font()).height();
    EXPECT_EQ(list.MeasureString(QStringLiteral("a long line that would wrap if it could"), 30),
              line);
    EXPECT_EQ(list.MeasureString(QStringLiteral("ab"), 0),
              QFontMetrics(list.font()).horizontalAdvance(QStringLiteral("ab")));
    QFont huge = list.font();
    huge.setPixelSize(400);
    list.setFont(huge);
    EXPECT_EQ(list.MeasureString(QStringLiteral("x"), 100), 255);
}

TEST_F(ListFixture, RowsFromOneTextShowLongLinesCutWithAMark)
{
    const qsizetype max = TsuiListRows::MaxShownBytes;
    // "é" is two bytes: placed across the cut, it is not split.
    const QByteArray longLine = QByteArray(max - 1, 'x') + "\xC3\xA9" + QByteArray(500, 'y');
    const QByteArray text = "first\r\n" + longLine + "\nlast";
    list.SetRows(text, {{0, 5}, {7, longLine.size()}, {8 + longLine.size(), 4}});
    ASSERT_EQ(list.count(), 3);
    EXPECT_EQ(list.ItemText(0), "first");
    EXPECT_EQ(list.ItemText(1), QString::fromUtf8(longLine)) << "the row keeps every byte";
    EXPECT_EQ(list.ShownItemText(1),
              QString(max - 1, QLatin1Char('x')) + QStringLiteral("\u2026 (502 more bytes)"));
    EXPECT_EQ(list.ShownItemText(2), "last");
    EXPECT_EQ(list.ItemLook(1, false, false).Text, list.ShownItemText(1));
    // A row of exactly the display length is shown whole.
    list.SetItems({QString(max, QLatin1Char('z'))});
    EXPECT_EQ(list.ShownItemText(0).size(), max);
}

TEST_F(ListFixture, TwoHundredThousandRowsScrollToTheLast)
{
    QByteArray text;
    std::vector<TListRowSpan> rows;
    for (int i = 0; i < 200000; ++i) {
        const QByteArray line = "+IPD,0,4:" + QByteArray::number(i);
        rows.push_back({text.size(), line.size()});
        text += line + "\r\n";
    }
    list.resize(546, 73);
    list.show();
    list.SetRows(std::move(text), std::move(rows));
    // Laid out a batch per turn of the event loop.
    for (int turn = 0; turn < 1000 && !list.ItemRect(199999).isValid(); ++turn)
        QApplication::processEvents();
    EXPECT_EQ(list.count(), 200000);
    EXPECT_EQ(list.ItemRect(1).top(), RowHeight) << "uniform rows";
    list.scrollToBottom();
    EXPECT_EQ(list.ItemText(199999), "+IPD,0,4:199999");
    EXPECT_TRUE(list.viewport()->rect().intersects(list.ItemRect(199999)));
    list.clear();
    EXPECT_EQ(list.count(), 0);
    list.addItem(QStringLiteral("again"));
    EXPECT_EQ(list.Items(), QStringList{"again"});
}
