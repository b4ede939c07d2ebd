// Cutting received blocks into Receive log items.
#include "workbench/lines.h"

#include "qtprinters.h"

#include <gtest/gtest.h>

#include <vector>

using namespace Workbench;

namespace {
const QChar replacement(0xFFFD);
}

TEST(SplitReceivedLines, BreaksAtCrLfLoneCrAndLoneLf)
{
    struct Row
    {
        QByteArray Bytes;
        QStringList Items;
    };
    const std::vector<Row> rows = {
        {"OK\r\n", {"OK"}},
        {"", {}},
        {"\r\n", {""}},
        {"a\rb\nc\r\nd", {"a", "b", "c", "d"}},
        {"one\n\rtwo", {"one", "", "two"}}, // LF then CR is two breaks
        {"a\r\n\r\n", {"a", ""}},
        {"a\r", {"a"}},
        {"\n\n", {"", ""}},
        {"\r\r\n", {"", ""}},
        {"AT\r\r\n\r\nOK\r\n", {"AT", "", "", "OK"}},
        {"no break", {"no break"}},
    };
    for (const Row& row : rows)
        EXPECT_EQ(SplitReceivedLines(row.Bytes), row.Items) << row.Bytes.toStdString();
}

TEST(SplitReceivedLines, TextEndsAtTheFirstNul)
{
    EXPECT_EQ(SplitReceivedLines(QByteArray("A\0B", 3)), QStringList{"A"});
    EXPECT_EQ(SplitReceivedLines(QByteArray("\0abc\r\n", 6)), QStringList{});
    EXPECT_EQ(SplitReceivedLines(QByteArray("x\r\ny\0\r\nz", 8)), (QStringList{"x", "y"}));
}

TEST(SplitReceivedLines, InvalidUtf8IsShownAsReplacementNeverDropped)
{
    // A stray byte, a truncated sequence at the end, an overlong slash and an encoded
    // surrogate: each leaves a visible mark and the valid text around it intact.
    const std::vector<QByteArray> broken = {"a\xFF"
                                            "b",
                                            "ab\xC3",
                                            "a\xC0\xAF"
                                            "b",
                                            "a\xED\xA0\x80"
                                            "b"};
    for (const QByteArray& bytes : broken) {
        const QStringList items = SplitReceivedLines(bytes);
        ASSERT_EQ(items.size(), 1) << bytes.toHex().toStdString();
        EXPECT_TRUE(items[0].startsWith(QLatin1Char('a')));
        EXPECT_TRUE(items[0].contains(replacement)) << bytes.toHex().toStdString();
        EXPECT_FALSE(items[0].contains(QLatin1Char('/')));
    }
    EXPECT_EQ(SplitReceivedLines("\xE2\x82\xAC ok"), QStringList{QString::fromUtf8("€ ok")});
    // An invalid lead byte right before a break neither swallows the break nor the next line.
    EXPECT_EQ(SplitReceivedLines("\xE2\r\nOK"), (QStringList{QString(replacement), "OK"}));
}

TEST(SplitReceivedLines, LongBlockKeepsEveryLine)
{
    QByteArray block;
    QStringList expected;
    for (int i = 0; i < 300; ++i) {
        const QByteArray l = "+CWLAP:(3,\"net" + QByteArray::number(i) + "\",-70)";
        block += l + "\r\n";
        expected.append(QString::fromLatin1(l));
    }
    EXPECT_EQ(SplitReceivedLines(block), expected);
}

TEST(SplitLines, SplitsQStringTheSameWay)
{
    EXPECT_EQ(SplitLines(u"Send--> AT\r\n"), QStringList{"Send--> AT"});
    EXPECT_EQ(SplitLines(u"a\n\rb"), (QStringList{"a", "", "b"}));
    EXPECT_EQ(SplitLines(u""), QStringList{});
}

TEST(SplitLineSpans, CutsBytesAtTheSameBreaksAsTheDecodedText)
{
    const QByteArray bytes = "AT\r\r\n\xC3\xA9t\xC3\xA9\n\rx\r";
    const std::vector<LineSpan> spans = SplitLineSpans(bytes);
    QStringList decoded;
    for (const LineSpan& span : spans)
        decoded << QString::fromUtf8(bytes.sliced(span.Start, span.Length));
    EXPECT_EQ(decoded, SplitLines(QString::fromUtf8(bytes)));
    EXPECT_EQ(decoded, (QStringList{"AT", "", QStringLiteral("été"), "", "x"}));
    EXPECT_TRUE(SplitLineSpans("").empty());
    EXPECT_EQ(ShownReceivedBytes(QByteArray("ab\0cd", 5)), QByteArrayView("ab"));
}

TEST(BlockTail, KeepsTheLastWholeLinesWithinTheLimit)
{
    // Within the limit nothing changes.
    EXPECT_EQ(BlockTail("abc\r\ndef", 8), QByteArray("abc\r\ndef"));
    // The partial line the cut lands in is dropped.
    EXPECT_EQ(BlockTail("line1\r\nline2\r\nline3\r\n", 12), QByteArray("line3\r\n"));
    // A cut right after a break keeps the line that follows it whole.
    EXPECT_EQ(BlockTail("aaaa\nbbbb\n", 5), QByteArray("bbbb\n"));
    // A cut between CR and LF does not start the tail with the LF.
    EXPECT_EQ(BlockTail("aaaa\r\nbb\r\n", 5), QByteArray("bb\r\n"));
    // One long line, with or without a final break, shows its end rather than nothing.
    EXPECT_EQ(BlockTail("0123456789", 4), QByteArray("6789"));
    EXPECT_EQ(BlockTail("0123456789\r\n", 4), QByteArray("89\r\n"));

    // A block of short lines a little over the bound: nearly the whole bound is kept.
    QByteArray block;
    for (int i = 0; block.size() < 5000; ++i)
        block += "+IPD," + QByteArray::number(i) + "\r\n";
    const QByteArray tail = BlockTail(block, 4096);
    EXPECT_LE(tail.size(), 4096);
    EXPECT_GT(tail.size(), 4096 - 16);
    EXPECT_TRUE(block.endsWith(tail));
    EXPECT_TRUE(tail.startsWith("+IPD,"));
}
