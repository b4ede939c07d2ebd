#include "workbench/catalogue.h"

#include <array>

namespace Workbench {
namespace {

// The full-width comma (U+FF0C) that two of the page's texts use.
#define FULLWIDTH_COMMA "\xEF\xBC\x8C"

enum Field : unsigned { None = 0, Edit1 = 1, Edit2 = 2, Edit3 = 4 };

struct CommandRow
{
    const char* Command;
    std::array<const char*, 4> Choices; // unused entries stay null
    unsigned Fields;
    const char* Prompt;
};

const std::array<CommandRow, CommandCount> commandRows{{
    {"AT", {}, None, "AT Test AT Start"},
    {"AT+RST", {}, None, "AT+RST Restart Module"},
    {"AT+GMR", {}, None, "AT+GMR Check the version information"},
    {"AT+CWMODE",
     {"Read Module Model", "Set STATION Model", "Set AP Model", "Set AP+STATION Model"},
     None,
     "AT+CWMODE  select WIFI Application mode"},
    {"AT+CWJAP",
     {"Query join AP", "Username" FULLWIDTH_COMMA "Password"},
     Edit2 | Edit1,
     "AT+CWJAP  join AP"},
    {"AT+CWLAP", {}, None, "AT+CWLAP available list of AP"},
    {"AT+CWQAP", {}, None, "AT+CWQAP  disconnect AP"},
    {"AT+CWSAP", {"Read AP Parameter"}, None, "AT+ CWSAP Set AP Model Parameter"},
    {"AT+CWLIF", {}, None, "AT+ CWLIF check connected device's IP"},
    {"AT+CIPSTATUS", {}, None, "AT+ CIPSTATUS  connect state"},
    {"AT+CIPSTART", {"TCP", "UDP"}, Edit2 | Edit1, "AT+CIPSTART  Set TCP Connect or Set UDP port"},
    {"AT+CIPSEND", {"Test order", "Entry SeriaNet model"}, None, "AT+CIPSEND Send data"},
    {"AT+CIPCLOSE", {"Test order", "Close all connections"}, None, "AT+CIPCLOSE  Close TCP or UDP"},
    {"AT+CIFSR",
     {"Test order", "Access to the local IP"},
     None,
     "AT+CIFSR  Access to the local IP Address"},
    {"AT+CIPMUX",
     {"Check the connection", "Single Connection mode", "Multiple Connection mode"},
     None,
     "AT+ CIPMUX  Start Multi connection"},
    {"AT+CIPSERVER",
     {"Close server Model", "Start server Model"},
     Edit3,
     "AT+ CIPSERVER The configuration for the server"},
    {"AT+CIPMODE",
     {"Query Model", "Non SeriaNet Model", "SeriaNet Model"},
     None,
     "AT+ CIPMODE Set Module Transmission mode"},
    {"AT+CIPSTO",
     {"The query timeout", "Set the timeout"},
     Edit3,
     "AT+ CIPSTO Set the Server timeout"},
}};

} // namespace

QStringList CommandCatalogue()
{
    QStringList items;
    for (const CommandRow& row : commandRows)
        items.append(QString::fromUtf8(row.Command));
    return items;
}

std::optional<CommandPanel> CommandPanelFor(int commandIndex)
{
    if (commandIndex < 0 || commandIndex >= CommandCount) return std::nullopt;
    const CommandRow& row = commandRows[std::size_t(commandIndex)];

    CommandPanel panel;
    panel.Command = QString::fromUtf8(row.Command);
    for (const char* choice : row.Choices)
        if (choice) panel.Choices.append(QString::fromUtf8(choice));
    panel.SelectedChoice = panel.Choices.isEmpty() ? -1 : 0;
    panel.Edit1Enabled = row.Fields & Edit1;
    panel.Edit2Enabled = row.Fields & Edit2;
    panel.Edit3Enabled = row.Fields & Edit3;
    // AT+CIPSTART borrows the SSID and password fields for the remote address and port and
    // leaves the user-parameter caption alone; every other command sets all three.
    if (commandIndex == CmdCIPSTART) {
        panel.Label10Caption = QStringLiteral("IP :");
        panel.Label9Caption = QStringLiteral("Port :");
    } else {
        panel.Label6Caption = QStringLiteral("User paramete:");
        panel.Label10Caption = QStringLiteral("SSID:");
        panel.Label9Caption = QStringLiteral("PWD:");
    }
    panel.Prompt = QString::fromUtf8(row.Prompt);
    return panel;
}

int CommandIndexByName(QStringView name)
{
    const QString wanted = name.trimmed().toString().toUpper();
    const QString bare = wanted.startsWith(QLatin1String("AT+")) ? wanted.mid(3) : wanted;
    if (bare.isEmpty()) return -1;
    for (int k = 0; k < CommandCount; ++k) {
        const QString command = QString::fromLatin1(commandRows[std::size_t(k)].Command);
        if (command == wanted || command == QLatin1String("AT+") + bare) return k;
    }
    return -1;
}

int ChoiceIndexByName(int commandIndex, QStringView choice)
{
    const auto panel = CommandPanelFor(commandIndex);
    if (!panel) return -1;
    const QString wanted = choice.trimmed().toString();
    bool isNumber = false;
    const int number = wanted.toInt(&isNumber);
    if (isNumber) return number >= 1 && number <= panel->Choices.size() ? number - 1 : -1;
    // The full-width comma is hard to type; an ASCII comma stands for it.
    const auto folded = [](QString text) {
        return text.replace(QChar(0xFF0C), QLatin1Char(',')).toCaseFolded();
    };
    for (int p = 0; p < panel->Choices.size(); ++p)
        if (folded(panel->Choices[p]) == folded(wanted)) return p;
    return -1;
}

QString ConnectionPagePrompt()
{
    return QString::fromUtf8("Before enter Connection configuration" FULLWIDTH_COMMA
                             "Set SSID,PWD,Server IP Address and port");
}

QString ContactPagePrompt()
{
    return QStringLiteral("Contact us");
}

} // namespace Workbench
