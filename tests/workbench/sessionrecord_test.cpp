// The session record and its formatters: transcript escaping byte for byte, the text and hex
// views, lines across chunks, the bound with its drop count, and the feed's batching.
#include "qtprinters.h"
#include "workbench/sessionrecord.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

using namespace Workbench;

namespace {

const QTimeZone Utc = QTimeZone::utc();
// 2026-12-09 20:37:14.005 UTC.
constexpr std::int64_t T0 = 1796848634005;

SessionChunk Chunk(SessionDirection d, const QByteArray& bytes, std::int64_t ms = T0)
{
    return {d, {ms, ms}, bytes};
}
SessionChunk In(const QByteArray& bytes, std::int64_t ms = T0)
{
    return Chunk(SessionDirection::Received, bytes, ms);
}
SessionChunk Out(const QByteArray& bytes, std::int64_t ms = T0)
{
    return Chunk(SessionDirection::Sent, bytes, ms);
}

QStringList Lines(const SessionRecord& record)
{
    QStringList lines;
    for (std::size_t i = 0; i < record.LineCount(); ++i) {
        const SessionLine line = record.Line(i);
        lines << QLatin1Char(DirectionMark(line.Direction)) + SessionTextOf(line.Bytes);
    }
    return lines;
}

TEST(TranscriptTest, EscapesEveryByteThatIsNotPrintableAscii)
{
    const QByteArray bytes("AT\r\n\t\\ \"ok\"~\x00\x01\x1b\x7f\x80\xc3\xa9\xff", 20);
    EXPECT_EQ(TranscriptLine(SessionDirection::Sent, T0, bytes, Utc),
              QByteArray("2026-12-09T20:37:14.005+00:00 > AT\\r\\n\\t\\\\ \"ok\"~"
                         "\\x00\\x01\\x1B\\x7F\\x80\\xC3\\xA9\\xFF\n"));
    EXPECT_EQ(TranscriptLine(SessionDirection::Received, T0, {}, Utc),
              QByteArray("2026-12-09T20:37:14.005+00:00 < \n"));
    // The zone's offset, both signs and half hours.
    EXPECT_EQ(TranscriptLine(SessionDirection::Received, T0, "x", QTimeZone(5 * 3600 + 1800)),
              QByteArray("2026-12-10T02:07:14.005+05:30 < x\n"));
    EXPECT_EQ(TranscriptLine(SessionDirection::Received, T0, "x", QTimeZone(-3 * 3600)),
              QByteArray("2026-12-09T17:37:14.005-03:00 < x\n"));
}

TEST(TranscriptTest, OneLinePerLineBreakAndPerChunkRestEachWithItsChunksTime)
{
    const std::vector<SessionChunk> chunks{Out("AT+GMR\r\n", T0), In("AT+GMR\r\r\nOK", T0 + 12),
                                           In("\r\n", T0 + 20)};
    EXPECT_EQ(TranscriptOf(chunks, Utc),
              QByteArray("2026-12-09T20:37:14.005+00:00 > AT+GMR\\r\\n\n"
                         "2026-12-09T20:37:14.017+00:00 < AT+GMR\\r\\r\\n\n"
                         "2026-12-09T20:37:14.017+00:00 < OK\n"
                         "2026-12-09T20:37:14.025+00:00 < \\r\\n\n"));
    EXPECT_EQ(ReceivedBytesOf(chunks), QByteArray("AT+GMR\r\r\nOK\r\n"));
}

TEST(TextViewTest, ControlBytesShowEscapedAndBadUtf8AsReplacement)
{
    EXPECT_EQ(SessionTextOf(QByteArray("OK\r\n\t\x1b\x7f\\", 8)),
              QStringLiteral("OK\\r\\n\\t\\x1B\\x7F\\\\"));
    EXPECT_EQ(SessionTextOf(QByteArray("\x00", 1)), QStringLiteral("\\x00"));
    EXPECT_EQ(SessionTextOf("caf\xc3\xa9 \xe4\xb8\xad"), QString::fromUtf8("café 中"));
    EXPECT_EQ(SessionTextOf("a\xff" "b"), QString::fromUtf8("a\uFFFDb"));
    EXPECT_EQ(SessionTextOf("end\xc3"), QString::fromUtf8("end\uFFFD"));
    EXPECT_EQ(SessionClockText(T0, Utc), QStringLiteral("20:37:14.005"));
}

TEST(TextViewTest, InvisibleAndReorderingCharactersShowAsTheirBytes)
{
    // A right-to-left override would make "RTL" read "LTR"; NEL would show as a box.
    EXPECT_EQ(SessionTextOf("\xe2\x80\xaeRTL"), QStringLiteral("\\xE2\\x80\\xAERTL"));
    EXPECT_EQ(SessionTextOf("a\xc2\x85" "b"), QStringLiteral("a\\xC2\\x85b"));
    const std::pair<const char*, const char*> hidden[] = {
        {"\xe2\x80\x8b", "\\xE2\\x80\\x8B"},             // zero width space
        {"\xe2\x80\x8f", "\\xE2\\x80\\x8F"},             // right-to-left mark
        {"\xe2\x80\xaa", "\\xE2\\x80\\xAA"},             // left-to-right embedding
        {"\xe2\x81\xa6", "\\xE2\\x81\\xA6"},             // left-to-right isolate
        {"\xe2\x81\xa9", "\\xE2\\x81\\xA9"},             // pop directional isolate
        {"\xe2\x80\xa8", "\\xE2\\x80\\xA8"},             // line separator
        {"\xef\xbb\xbf", "\\xEF\\xBB\\xBF"},             // byte order mark
        {"\xef\xb7\x90", "\\xEF\\xB7\\x90"},             // noncharacter U+FDD0
        {"\xf4\x8f\xbf\xbf", "\\xF4\\x8F\\xBF\\xBF"},    // noncharacter U+10FFFF
        {"\xf3\xa0\x80\x81", "\\xF3\\xA0\\x80\\x81"}};   // language tag
    for (const auto& [bytes, shown] : hidden)
        EXPECT_EQ(SessionTextOf(bytes), QString::fromLatin1(shown)) << shown;
    // Visible text of any script stays as it is, also outside the basic plane.
    EXPECT_EQ(SessionTextOf("\xd7\xa9\xd7\x9c \xf0\x9f\x98\x80 \xc2\xa0"),
              QString::fromUtf8("של 😀 \u00a0"));
}

TEST(SessionRecordTest, LinesEndAfterLfAndWhereTheDirectionTurns)
{
    SessionRecord record;
    record.Append(Out("AT+CWLAP\r\n", T0));
    record.Append(In("AT+CW", T0 + 3));
    record.Append(In("LAP\r\r\n+CWLAP:(3,\"esp\")\r\n\r\nOK\r\n", T0 + 9));
    record.Append(In("> ", T0 + 40));
    record.Append(Out("data", T0 + 50));
    EXPECT_EQ(Lines(record),
              (QStringList{R"(>AT+CWLAP\r\n)", R"(<AT+CWLAP\r\r\n)", R"(<+CWLAP:(3,"esp")\r\n)",
                           R"(<\r\n)", R"(<OK\r\n)", "<> ", ">data"}));
    // A line shows when its first byte came, not when it ended.
    EXPECT_EQ(record.Line(1).Time.WallMs, T0 + 3);
    EXPECT_EQ(record.Line(2).Time.WallMs, T0 + 9);
}

TEST(SessionRecordTest, Utf8SplitAcrossChunksDecodesWholeAndLongLinesBreakBetweenCharacters)
{
    SessionRecord record;
    record.Append(In("caf\xc3"));
    record.Append(In("\xa9 \xe4"));
    record.Append(In("\xb8\xad\n"));
    ASSERT_EQ(record.LineCount(), 1u);
    EXPECT_EQ(SessionTextOf(record.Line(0).Bytes), QString::fromUtf8("café 中\\n"));

    // A run without line breaks is cut at the length bound, but never inside a character.
    SessionRecord longRun;
    const QByteArray head(int(SessionRecord::MaxLineBytes) - 1, 'a');
    longRun.Append(In(head + "\xe4\xb8"));
    longRun.Append(In("\xad" "bc"));
    ASSERT_EQ(longRun.LineCount(), 2u);
    EXPECT_EQ(longRun.Line(0).Bytes, head + "\xe4\xb8\xad");
    EXPECT_EQ(longRun.Line(1).Bytes, QByteArray("bc"));
    // Endless continuation bytes still cannot make a line unbounded.
    SessionRecord junk;
    junk.Append(In(QByteArray(1000, '\x80')));
    EXPECT_EQ(junk.Line(0).Bytes.size(), qsizetype(SessionRecord::MaxLineBytes + 3));
}

TEST(SessionRecordTest, APauseAndAMarkStartRowsOfTheirOwnInBothViews)
{
    SessionRecord record;
    record.Append(Out("+++", T0));
    record.Append(Out("AT\r\n", T0 + 1000)); // the gap one debugs "+++" for
    record.Append(In("O", T0 + 1010));
    record.Append(In("K\r\n", T0 + 1010 + SessionRecord::PauseMs - 1));
    record.Append(Chunk(SessionDirection::Mark, "closed", T0 + 1200));
    record.Append(Chunk(SessionDirection::Mark, "opened COM1", T0 + 1200));
    record.Append(In("ready", T0 + 1200));
    EXPECT_EQ(Lines(record),
              (QStringList{">+++", R"(>AT\r\n)", R"(<OK\r\n)", "#closed", "#opened COM1", "<ready"}));
    EXPECT_EQ(record.Line(1).Time.WallMs, T0 + 1000) << "each row has its own time";

    ASSERT_EQ(record.HexRowCount(), 6u);
    EXPECT_EQ(record.HexRow(0).Bytes, QByteArray("+++"));
    EXPECT_EQ(record.HexRow(1).Offset, 3u);
    EXPECT_EQ(record.HexRow(1).Bytes, QByteArray("AT\r\n"));
    EXPECT_EQ(record.HexRow(3).Direction, SessionDirection::Mark);
    EXPECT_EQ(record.HexRow(3).Bytes, QByteArray("closed"));
    EXPECT_EQ(record.HexRow(4).Bytes, QByteArray("opened COM1"));
    EXPECT_EQ(record.HexRow(5).Bytes, QByteArray("ready"));
    EXPECT_EQ(record.HexRow(5).Offset, 4u) << "marks do not count as received bytes";
    EXPECT_EQ(ReceivedBytesOf(record.Chunks()), QByteArray("OK\r\nready"));

    // A reader of the transcript tells a mark from data by its first character; a mark is
    // one line whatever it holds.
    EXPECT_EQ(TranscriptOf({Chunk(SessionDirection::Mark, "lost (I/O error\nend)", T0)}, Utc),
              QByteArray("# 2026-12-09T20:37:14.005+00:00 lost (I/O error\\nend)\n"));
}

TEST(SessionRecordTest, FindGoesRoundBothWaysInTheTextAsShownAndInBytesAcrossHexRows)
{
    SessionRecord record;
    record.Append(Out("AT+CWLAP\r\n"));
    record.Append(In("+CWLAP:(3,\"Caf\xc3\xa9\",-50)\r\n"));
    record.Append(In("OK\r\n"));
    record.Append(Out("AT+CIFSR\r\n"));
    record.Append(In(QByteArray(18, '.') + "\r\n+IPD\r\n"));
    const std::size_t none = SessionRecord::NoRow;
    EXPECT_EQ(record.FindLine(QStringLiteral("at+c"), none, true), 0u) << "ignoring case";
    EXPECT_EQ(record.FindLine(QStringLiteral("AT+C"), 0, true), 3u);
    EXPECT_EQ(record.FindLine(QStringLiteral("AT+C"), 3, true), 0u) << "round from the end";
    EXPECT_EQ(record.FindLine(QStringLiteral("AT+C"), 0, false), 3u) << "and backward";
    EXPECT_EQ(record.FindLine(QStringLiteral("AT+C"), none, false), 3u);
    EXPECT_EQ(record.FindLine(QString::fromUtf8("café"), none, true), 1u);
    EXPECT_EQ(record.FindLine(QStringLiteral("OK\\r\\n"), none, true), 2u) << "the escapes as shown";
    EXPECT_EQ(record.FindLine(QStringLiteral("ERROR"), none, true), none);

    EXPECT_EQ(HexQueryBytes(QStringLiteral("0d 0A")), QByteArray("\r\n"));
    EXPECT_EQ(HexQueryBytes(QStringLiteral("0d0a")), QByteArray("\r\n"));
    EXPECT_EQ(HexQueryBytes(QStringLiteral("+IPD")), QByteArray("+IPD"));
    // Received: 24 bytes of +CWLAP, 4 of OK, 18 dots; "\r\n" ends the row at 47, "+IPD" starts
    // the next.
    const std::size_t cr = record.FindHexRow(QByteArray(".\r\n+"), none, true);
    ASSERT_NE(cr, none);
    EXPECT_EQ(record.HexRow(cr).Direction, SessionDirection::Received);
    EXPECT_TRUE(record.HexRow(cr).Bytes.endsWith("\r\n")) << "the row where the match starts";
    EXPECT_TRUE(record.HexRow(cr + 1).Bytes.startsWith("+IPD"));
    EXPECT_EQ(record.FindHexRow(HexQueryBytes(QStringLiteral("41 54 2B")), none, true), 0u);
    const std::size_t second = record.FindHexRow("AT+", 0, true);
    EXPECT_EQ(record.HexRow(second).Bytes, QByteArray("AT+CIF")) << "sent offsets 10 to 15";
    EXPECT_EQ(record.FindHexRow("AT+", second, true), 0u);
    EXPECT_EQ(record.FindHexRow("AT+", 0, false), second);
    EXPECT_EQ(record.FindHexRow("nothing", none, true), none);
}

TEST(SessionRecordTest, HexRowsHoldSixteenBytesOfOneDirectionAtAlignedOffsets)
{
    SessionRecord record;
    record.Append(In(QByteArray(20, 'r'), T0));
    record.Append(Out("AT\r\n!", T0 + 1));
    record.Append(In(QByteArray(30, 's'), T0 + 2));
    ASSERT_EQ(record.HexRowCount(), 6u);
    struct Want { SessionDirection d; std::uint64_t offset; int size; };
    const Want want[] = {{SessionDirection::Received, 0, 16}, {SessionDirection::Received, 16, 4},
                         {SessionDirection::Sent, 0, 5},      {SessionDirection::Received, 20, 12},
                         {SessionDirection::Received, 32, 16}, {SessionDirection::Received, 48, 2}};
    for (std::size_t i = 0; i < 6; ++i) {
        const SessionHexRow row = record.HexRow(i);
        EXPECT_EQ(row.Direction, want[i].d) << i;
        EXPECT_EQ(row.Offset, want[i].offset) << i;
        EXPECT_EQ(row.Bytes.size(), want[i].size) << i;
    }
    EXPECT_EQ(record.HexRow(3).Time.WallMs, T0 + 2);
    EXPECT_EQ(SessionHexText(0x1234, QByteArray("AT\r\n\x00\xff", 6)),
              QStringLiteral("00001234  41 54 0D 0A 00 FF ") + QString(31, QLatin1Char(' ')) +
                  QStringLiteral("|AT....|"));
    EXPECT_EQ(SessionHexText(16, QByteArray("0123456789abcdef")),
              QStringLiteral("00000010  30 31 32 33 34 35 36 37  38 39 61 62 63 64 65 66 "
                             "|0123456789abcdef|"));
}

TEST(SessionRecordTest, BoundDropsOldestLinesAndCountsThem)
{
    SessionRecord record(3);
    for (int i = 0; i < 5; ++i)
        record.Append(In(QByteArray::number(i) + "23456789\n", T0 + i));
    EXPECT_EQ(record.LineCount(), 3u);
    EXPECT_EQ(record.DroppedLines(), 2u);
    EXPECT_EQ(record.LineBase(), 2u);
    EXPECT_EQ(record.Line(0).Bytes, QByteArray("223456789\n"));
    EXPECT_EQ(record.Line(0).Time.WallMs, T0 + 2);
    // What is saved starts where the held lines start; hex rows keep their offsets.
    const auto chunks = record.Chunks();
    ASSERT_EQ(chunks.size(), 3u);
    EXPECT_EQ(ReceivedBytesOf(chunks), QByteArray("223456789\n323456789\n423456789\n"));
    EXPECT_EQ(record.HexRow(0).Offset, 20u);
    EXPECT_EQ(record.HexRow(0).Bytes, QByteArray("223456789\n32"));
    EXPECT_EQ(record.HexRowCount() + record.DroppedHexRows(), 4u);

    // Lowering the bound drops at once; clearing forgets the lines but not the offsets.
    record.SetMaxLines(1);
    EXPECT_EQ(record.LineCount(), 1u);
    EXPECT_EQ(record.DroppedLines(), 4u);
    record.Clear();
    EXPECT_EQ(record.LineCount(), 0u);
    EXPECT_EQ(record.HexRowCount(), 0u);
    EXPECT_EQ(record.DroppedLines(), 0u);
    EXPECT_TRUE(record.Chunks().empty());
    record.Append(In("x"));
    EXPECT_EQ(record.HexRow(0).Offset, 50u);
    EXPECT_EQ(record.LineBase(), 5u);
}

TEST(SessionRecordTest, ByteBoundHoldsMemoryWhateverTheLines)
{
    SessionRecord record(SessionRecord::DefaultMaxLines, 64 * 1024);
    const QByteArray block(1024, 'z'); // no line breaks: lines of the length bound
    for (int i = 0; i < 1000; ++i)
        record.Append(In(block, T0 + i));
    EXPECT_LE(record.StoredBytes(), 64u * 1024);
    EXPECT_GT(record.DroppedLines(), 0u);
    EXPECT_EQ(record.Line(record.LineCount() - 1).Time.WallMs, T0 + 999);
    std::size_t held = 0;
    for (std::size_t i = 0; i < record.LineCount(); ++i)
        held += std::size_t(record.Line(i).Bytes.size());
    EXPECT_EQ(held + record.DroppedLines() * SessionRecord::MaxLineBytes, 1000u * 1024);
}

TEST(SessionFeedTest, WakesOncePerBatchJoinsTheSameMillisecondAndTakesInOrder)
{
    int wakes = 0;
    std::int64_t now = T0;
    SessionFeed feed([&] { ++wakes; }, [&] { return SessionTime{now, now}; });
    feed.Append(SessionDirection::Sent, "AT", 2);
    feed.Append(SessionDirection::Sent, "\r\n", 2);
    feed.Append(SessionDirection::Received, "OK", 2);
    now += 1;
    feed.Append(SessionDirection::Received, "\r\n", 2);
    EXPECT_EQ(wakes, 1);
    EXPECT_EQ(feed.PendingBytes(), 8u);

    auto first = feed.Take(3);
    ASSERT_EQ(first.size(), 1u) << "whole chunks until the amount is reached";
    EXPECT_EQ(first[0].Bytes, QByteArray("AT\r\n"));
    auto rest = feed.Take();
    ASSERT_EQ(rest.size(), 2u);
    EXPECT_EQ(rest[1].Time.WallMs, T0 + 1);
    EXPECT_EQ(feed.PendingBytes(), 0u);
    feed.Append(SessionDirection::Received, "x", 1);
    EXPECT_EQ(wakes, 2) << "empty again: the next byte wakes the consumer";
    feed.Append(SessionDirection::Mark, "closed", 6);
    feed.Append(SessionDirection::Mark, "opened", 6);
    EXPECT_EQ(feed.Take().size(), 3u) << "marks of one millisecond stay apart";
}

TEST(SessionFeedTest, ConcurrentWritersKeepEachOnesOrder)
{
    SessionFeed feed([] {});
    auto writer = [&](SessionDirection d, char base) {
        for (int i = 0; i < 20000; ++i) {
            const char c = char(base + i % 10);
            feed.Append(d, &c, 1);
        }
    };
    std::thread a(writer, SessionDirection::Sent, '0');
    std::thread b(writer, SessionDirection::Received, 'a');
    QByteArray sent, received;
    while (sent.size() + received.size() < 40000)
        for (const auto& chunk : feed.Take())
            (chunk.Direction == SessionDirection::Sent ? sent : received) += chunk.Bytes;
    a.join();
    b.join();
    for (int i = 0; i < 20000; ++i) {
        ASSERT_EQ(sent[i], char('0' + i % 10)) << i;
        ASSERT_EQ(received[i], char('a' + i % 10)) << i;
    }
}

} // namespace
