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
        QByteArray bytes;
        QStringList items;
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
        EXPECT_EQ(SplitReceivedLines(row.bytes), row.items) << row.bytes.toStdString();
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
