// The command panel rows and the caption rule, checked against the page's published table.
#include "workbench/catalogue.h"

#include "qtprinters.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace Workbench;

namespace {

struct PanelRow
{
    int Index;
    const char* Command;
    std::vector<const char*> Choices;
    std::string FieldsOn; // digits of the enabled suiEdit fields
    const char* Prompt;
};

const std::vector<PanelRow> panelTable = {
    {0, "AT", {}, "", "AT Test AT Start"},
    {1, "AT+RST", {}, "", "AT+RST Restart Module"},
    {2, "AT+GMR", {}, "", "AT+GMR Check the version information"},
    {3,
     "AT+CWMODE",
     {"Read Module Model", "Set STATION Model", "Set AP Model", "Set AP+STATION Model"},
     "",
     "AT+CWMODE  select WIFI Application mode"},
    {4, "AT+CWJAP", {"Query join AP", "Username，Password"}, "21", "AT+CWJAP  join AP"},
    {5, "AT+CWLAP", {}, "", "AT+CWLAP available list of AP"},
    {6, "AT+CWQAP", {}, "", "AT+CWQAP  disconnect AP"},
    {7, "AT+CWSAP", {"Read AP Parameter"}, "", "AT+ CWSAP Set AP Model Parameter"},
    {8, "AT+CWLIF", {}, "", "AT+ CWLIF check connected device's IP"},
    {9, "AT+CIPSTATUS", {}, "", "AT+ CIPSTATUS  connect state"},
    {10, "AT+CIPSTART", {"TCP", "UDP"}, "21", "AT+CIPSTART  Set TCP Connect or Set UDP port"},
    {11, "AT+CIPSEND", {"Test order", "Entry SeriaNet model"}, "", "AT+CIPSEND Send data"},
    {12,
     "AT+CIPCLOSE",
     {"Test order", "Close all connections"},
     "",
     "AT+CIPCLOSE  Close TCP or UDP"},
    {13,
     "AT+CIFSR",
     {"Test order", "Access to the local IP"},
     "",
     "AT+CIFSR  Access to the local IP Address"},
    {14,
     "AT+CIPMUX",
     {"Check the connection", "Single Connection mode", "Multiple Connection mode"},
     "",
     "AT+ CIPMUX  Start Multi connection"},
    {15,
     "AT+CIPSERVER",
     {"Close server Model", "Start server Model"},
     "3",
     "AT+ CIPSERVER The configuration for the server"},
    {16,
     "AT+CIPMODE",
     {"Query Model", "Non SeriaNet Model", "SeriaNet Model"},
     "",
     "AT+ CIPMODE Set Module Transmission mode"},
    {17,
     "AT+CIPSTO",
     {"The query timeout", "Set the timeout"},
     "3",
     "AT+ CIPSTO Set the Server timeout"},
};

} // namespace

TEST(CommandCatalogue, ListsTheEighteenCommandsInOrder)
{
    const QStringList catalogue = CommandCatalogue();
    ASSERT_EQ(catalogue.size(), int(panelTable.size()));
    for (const PanelRow& row : panelTable)
        EXPECT_EQ(catalogue[row.Index], QString::fromUtf8(row.Command)) << row.Index;
}

TEST(CommandPanel, EveryRowMatchesThePanelTable)
{
    for (const PanelRow& row : panelTable) {
        SCOPED_TRACE(row.Command);
        const auto panel = CommandPanelFor(row.Index);
        ASSERT_TRUE(panel.has_value());
        EXPECT_EQ(panel->Command, QString::fromUtf8(row.Command));
        QStringList choices;
        for (const char* c : row.Choices)
            choices.append(QString::fromUtf8(c));
        EXPECT_EQ(panel->Choices, choices);
        EXPECT_EQ(panel->SelectedChoice, row.Choices.empty() ? -1 : 0);
        EXPECT_EQ(panel->Edit1Enabled, row.FieldsOn.find('1') != std::string::npos);
        EXPECT_EQ(panel->Edit2Enabled, row.FieldsOn.find('2') != std::string::npos);
        EXPECT_EQ(panel->Edit3Enabled, row.FieldsOn.find('3') != std::string::npos);
        EXPECT_EQ(panel->Prompt, QString::fromUtf8(row.Prompt));
    }
}

TEST(CommandPanel, CaptionRuleRelabelsOnlyForCipStart)
{
    for (int k = 0; k < CommandCount; ++k) {
        SCOPED_TRACE(k);
        const auto panel = CommandPanelFor(k);
        ASSERT_TRUE(panel.has_value());
        if (k == 10) {
            EXPECT_FALSE(panel->Label6Caption.has_value()); // Label6 keeps whatever it shows
            EXPECT_EQ(panel->Label10Caption, "IP :");
            EXPECT_EQ(panel->Label9Caption, "Port :");
        } else {
            EXPECT_EQ(panel->Label6Caption, QString("User paramete:"));
            EXPECT_EQ(panel->Label10Caption, "SSID:");
            EXPECT_EQ(panel->Label9Caption, "PWD:");
        }
    }
}

TEST(CommandPanel, OutOfRangeIndexesGiveNoRow)
{
    for (int k : {-1, -2, 18, 19, 1000, INT_MIN, INT_MAX})
        EXPECT_FALSE(CommandPanelFor(k).has_value()) << k;
}

TEST(PagePrompts, UseTheFullWidthCommaWhereTheTextHasOne)
{
    EXPECT_EQ(ConnectionPagePrompt(), QString::fromUtf8("Before enter Connection configuration，"
                                                        "Set SSID,PWD,Server IP Address and port"));
    EXPECT_EQ(ConnectionPagePrompt().count(QChar(0xFF0C)), 1);
    EXPECT_EQ(CommandPanelFor(4)->Choices[1].count(QChar(0xFF0C)), 1);
    EXPECT_FALSE(CommandPanelFor(4)->Choices[1].contains(QLatin1Char(',')));
    EXPECT_EQ(ContactPagePrompt(), "Contact us");
}

TEST(CommandByName, AcceptsEveryCatalogueNameWithOrWithoutItsPrefixInAnyCase)
{
    const QStringList catalogue = CommandCatalogue();
    for (int k = 0; k < CommandCount; ++k) {
        const QString name = catalogue[k];
        EXPECT_EQ(CommandIndexByName(name), k);
        EXPECT_EQ(CommandIndexByName(name.toLower()), k);
        if (name.startsWith("AT+")) {
            EXPECT_EQ(CommandIndexByName(name.mid(3).toLower()), k);
        }
    }
    EXPECT_EQ(CommandIndexByName(u" cwjap "), CmdCWJAP);
    // "CIPSTA" is not a prefix match for AT+CIPSTART or AT+CIPSTATUS.
    for (const char* unknown : {"", "AT+", "CIPSTA", "AT+CWJAPX", "+CWJAP", "ATCWJAP", "GMR?"})
        EXPECT_EQ(CommandIndexByName(QString::fromLatin1(unknown)), -1) << unknown;
}

TEST(ChoiceByName, TakesTheOneBasedNumberOrTheText)
{
    EXPECT_EQ(ChoiceIndexByName(CmdCWMODE, u"1"), 0);
    EXPECT_EQ(ChoiceIndexByName(CmdCWMODE, u"4"), 3);
    EXPECT_EQ(ChoiceIndexByName(CmdCWMODE, u"set ap model"), 2);
    EXPECT_EQ(ChoiceIndexByName(CmdCIPSTART, u"udp"), 1);
    // The full-width comma may be typed as an ASCII one.
    EXPECT_EQ(ChoiceIndexByName(CmdCWJAP, u"username,password"), 1);
    EXPECT_EQ(ChoiceIndexByName(CmdCWJAP, QString::fromUtf8("Username，Password")), 1);
    for (const char* wrong : {"0", "5", "-1", "", "Set AP", "x"})
        EXPECT_EQ(ChoiceIndexByName(CmdCWMODE, QString::fromLatin1(wrong)), -1) << wrong;
    EXPECT_EQ(ChoiceIndexByName(CmdGMR, u"1"), -1);
    EXPECT_EQ(ChoiceIndexByName(-1, u"1"), -1);
}
