// What the Send button puts on the line, checked against the published composition table,
// plus the escaping and line-break stripping that keep a field inside its parameter.
#include "workbench/composition.h"

#include "qtprinters.h"

#include <gtest/gtest.h>

#include <vector>

using namespace Workbench;

namespace {

constexpr int notRead = -100; // rows where the parameter list is not consulted

struct ComposeRow
{
    int K;
    int P;
    const char* User;
    const char* Sent;
};

// SSID "net", PWD "pw" throughout; the user field per row.
const std::vector<ComposeRow> composeTable = {
    {0, notRead, "", "AT\r\n"},
    {1, notRead, "", "AT+RST\r\n"},
    {2, notRead, "", "AT+GMR\r\n"},
    {3, 0, "", "AT+CWMODE?\r\n"},
    {3, 1, "", "AT+CWMODE=1\r\n"},
    {3, 2, "", "AT+CWMODE=2\r\n"},
    {3, 3, "", "AT+CWMODE=3\r\n"},
    {4, 0, "", "AT+CWJAP?\r\n"},
    {4, 1, "", "AT+CWJAP=\"net\",\"pw\"\r\n"},
    {5, notRead, "", "AT+CWLAP\r\n"},
    {6, notRead, "", "AT+CWQAP\r\n"},
    {7, notRead, "", "AT+CWSAP?\r\n"},
    {8, notRead, "", "AT+CWLIF\r\n"},
    {9, notRead, "", "AT+CIPSTATUS\r\n"},
    {10, 0, "", "AT+CIPSTART=\"TCP\",\"net\",pw\r\n"},
    {10, 1, "", "AT+CIPSTART=\"UDP\",\"net\",pw\r\n"},
    {11, 0, "", "AT+CIPSEND=?\r\n"},
    {11, 1, "", "AT+CIPSEND\r\n"},
    {12, 0, "", "AT+CIPCLOSE=?\r\n"},
    {12, 1, "", "AT+CIPCLOSE=5\r\n"},
    {13, 0, "", "AT+CIFSR=?\r\n"},
    {13, 1, "", "AT+CIFSR\r\n"},
    {14, 0, "", "AT+CIPMUX?\r\n"},
    {14, 1, "", "AT+CIPMUX=0\r\n"},
    {14, 2, "", "AT+CIPMUX=1\r\n"},
    {15, 0, "", "AT+CIPSERVER=0\r\n"},
    {15, 1, "", "AT+CIPSERVER=1\r\n"},
    {15, 1, "8080", "AT+CIPSERVER=1,8080\r\n"},
    {15, 1, " ", "AT+CIPSERVER=1, \r\n"},
    {16, 0, "", "AT+CIPMODE?\r\n"},
    {16, 1, "", "AT+CIPMODE=0\r\n"},
    {16, 2, "", "AT+CIPMODE=1\r\n"},
    {17, 0, "", "AT+CIPSTO?\r\n"},
    {17, 1, "", "AT+CIPSTO=\r\n"},
    {17, 1, "30", "AT+CIPSTO=30\r\n"},
};

CommandFields fields(const char* user)
{
    return {QStringLiteral("pw"), QStringLiteral("net"), QString::fromUtf8(user)};
}

} // namespace

TEST(ComposeCommand, EveryRowMatchesTheCompositionTable)
{
    for (const ComposeRow& row : composeTable) {
        SCOPED_TRACE(testing::Message() << "k=" << row.K << " p=" << row.P << " user=" << row.User);
        if (row.P == notRead) {
            for (int p : {-1, 0, 1, 7})
                EXPECT_EQ(ComposeCommand(row.K, p, fields(row.User)), QByteArray(row.Sent)) << p;
        } else {
            EXPECT_EQ(ComposeCommand(row.K, row.P, fields(row.User)), QByteArray(row.Sent));
        }
    }
}

TEST(ComposeCommand, IndexesOutsideTheTablesSendNothing)
{
    for (int k : {-1, 18, 1000, INT_MIN})
        EXPECT_FALSE(ComposeCommand(k, 0, fields("")).has_value()) << k;
    // One past the last choice, and "no selection", for every command that reads the list.
    const std::vector<std::pair<int, int>> choiceCounts = {
        {3, 4}, {4, 2}, {10, 2}, {11, 2}, {12, 2}, {13, 2}, {14, 3}, {15, 2}, {16, 3}, {17, 2}};
    for (auto [k, count] : choiceCounts) {
        EXPECT_FALSE(ComposeCommand(k, -1, fields("")).has_value()) << k;
        EXPECT_FALSE(ComposeCommand(k, count, fields("")).has_value()) << k;
        EXPECT_FALSE(ComposeCommand(k, INT_MIN, fields("")).has_value()) << k;
    }
}

TEST(ComposeCommand, EmptyFieldsStillGiveWellFormedCommands)
{
    EXPECT_EQ(ComposeCommand(4, 1, {}), QByteArray("AT+CWJAP=\"\",\"\"\r\n"));
    EXPECT_EQ(ComposeCommand(10, 0, {}), QByteArray("AT+CIPSTART=\"TCP\",\"\",\r\n"));
}

TEST(ComposeCommand, QuotedFieldsEscapeQuoteCommaAndBackslash)
{
    const CommandFields tricky{QStringLiteral("p\"w,\\"), QStringLiteral("a,b\"c\\d"), {}};
    EXPECT_EQ(ComposeCommand(4, 1, tricky),
              QByteArray(R"(AT+CWJAP="a\,b\"c\\d","p\"w\,\\")") + "\r\n");
    // For AT+CIPSTART only the address is quoted; the port goes out as typed.
    EXPECT_EQ(ComposeCommand(10, 1, tricky),
              QByteArray(R"(AT+CIPSTART="UDP","a\,b\"c\\d",p"w,\)") + "\r\n");
    // Numbers and the user parameter are never escaped.
    const CommandFields user{{}, {}, QStringLiteral("80,\"x\\")};
    EXPECT_EQ(ComposeCommand(15, 1, user), QByteArray("AT+CIPSERVER=1,80,\"x\\\r\n"));
    EXPECT_EQ(ComposeCommand(17, 1, user), QByteArray("AT+CIPSTO=80,\"x\\\r\n"));
}

TEST(ComposeCommand, NoFieldCanBreakTheLine)
{
    const QString injected = QStringLiteral("a\r\nAT+RST\rb\nc");
    const CommandFields all{injected, injected, injected};
    for (auto [k, p] : std::vector<std::pair<int, int>>{{4, 1}, {10, 0}, {15, 1}, {17, 1}}) {
        const auto sent = ComposeCommand(k, p, all);
        ASSERT_TRUE(sent.has_value());
        EXPECT_TRUE(sent->endsWith("\r\n"));
        EXPECT_EQ(sent->count('\r'), 1) << sent->toStdString();
        EXPECT_EQ(sent->count('\n'), 1) << sent->toStdString();
        EXPECT_TRUE(sent->contains("aAT+RSTbc")) << sent->toStdString();
    }
    // A user field made only of line breaks carries nothing: no dangling comma.
    EXPECT_EQ(ComposeCommand(15, 1, {{}, {}, QStringLiteral("\r\n")}),
              QByteArray("AT+CIPSERVER=1\r\n"));
}

TEST(ComposeCommand, NoControlCharacterReachesTheLine)
{
    // Every C0 control and DEL, pasted between the letters of each field.
    QString pasted = QStringLiteral("a");
    for (char16_t c = 0; c < 0x20; ++c)
        pasted += QChar(c);
    pasted += QChar(0x7F) + QStringLiteral("b");
    const CommandFields all{pasted, pasted, pasted};
    for (auto [k, p] : std::vector<std::pair<int, int>>{{4, 1}, {10, 0}, {15, 1}, {17, 1}}) {
        const auto sent = ComposeCommand(k, p, all);
        ASSERT_TRUE(sent.has_value());
        const QByteArray body = sent->chopped(2);
        EXPECT_TRUE(sent->endsWith("\r\n"));
        for (char c : body)
            EXPECT_FALSE(static_cast<unsigned char>(c) < 0x20 || c == 0x7F)
                << "control byte " << int(c) << " in " << sent->toStdString();
        EXPECT_TRUE(body.contains("ab")) << sent->toStdString();
    }
    EXPECT_EQ(JoinAccessPointCommand(QStringLiteral("Home\tNet"), QString(QChar(0)) + "pw\x1B"),
              QByteArray("AT+CWJAP=\"HomeNet\",\"pw\"\r\n"));
    // Printable text beyond ASCII, C1 range included, is not a control of the AT line.
    EXPECT_EQ(PlainParameter(QString(QChar(0x85)) + QChar(0xA0)), QByteArray("\xC2\x85\xC2\xA0"));
    // A user field of nothing but controls carries nothing: no dangling comma.
    EXPECT_EQ(ComposeCommand(15, 1, {{}, {}, QStringLiteral("\t\x1B")}),
              QByteArray("AT+CIPSERVER=1\r\n"));
}

TEST(ComposeCommand, NonAsciiFieldsGoOutAsUtf8)
{
    const CommandFields wide{QString::fromUtf8("密码"), QString::fromUtf8("café"), {}};
    EXPECT_EQ(ComposeCommand(4, 1, wide),
              QByteArray("AT+CWJAP=\"caf\xC3\xA9\",\"\xE5\xAF\x86\xE7\xA0\x81\"\r\n"));
}

TEST(SendLog, ShowsOnePrefixedLineWithoutTheLineBreak)
{
    EXPECT_EQ(SendLogLines("AT+CWMODE=2\r\n"), QStringList{"Send--> AT+CWMODE=2"});
    EXPECT_EQ(SendLogLines(ExitCommand), QStringList{"Send--> +++"});
    EXPECT_EQ(QByteArray(ExitCommand), QByteArray("\x2B\x2B\x2B"));
    EXPECT_EQ(SendLogLines(QByteArray("AT+CWJAP=\"caf\xC3\xA9\",\"\"\r\n")),
              QStringList{QString::fromUtf8("Send--> AT+CWJAP=\"café\",\"\"")});
}

TEST(ComposeCommand, TellsWhichFieldsAChoiceUses)
{
    const auto uses = [](int k, int p) {
        const FieldsUsed f = CommandFieldsUsed(k, p);
        return std::string(f.Ssid ? "s" : "") + (f.Pwd ? "p" : "") + (f.User ? "u" : "");
    };
    EXPECT_EQ(uses(4, 0), "");
    EXPECT_EQ(uses(4, 1), "sp");
    EXPECT_EQ(uses(10, 0), "sp");
    EXPECT_EQ(uses(15, 0), "");
    EXPECT_EQ(uses(15, 1), "u");
    EXPECT_EQ(uses(17, 1), "u");
    EXPECT_EQ(uses(0, -1), "");
    EXPECT_EQ(uses(3, -1), ""); // nothing to send, nothing used
}
