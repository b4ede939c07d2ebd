#pragma once
// The AT command catalogue of the "Parameter configuration" page and what each command
// asks of the page: its parameter choices, the fields it uses, the field captions and the
// prompt line. Plain data; the window applies it.
#include <QString>
#include <QStringList>
#include <QStringView>
#include <optional>

namespace Workbench {

// Number of entries in the command catalogue (item indexes 0..17 of suiBoxAT_Cmd).
constexpr int CommandCount = 18;

// Catalogue indexes the window and the composition refer to by name.
enum CommandIndex : int {
    CmdAT = 0,
    CmdRST,
    CmdGMR,
    CmdCWMODE,
    CmdCWJAP,
    CmdCWLAP,
    CmdCWQAP,
    CmdCWSAP,
    CmdCWLIF,
    CmdCIPSTATUS,
    CmdCIPSTART,
    CmdCIPSEND,
    CmdCIPCLOSE,
    CmdCIFSR,
    CmdCIPMUX,
    CmdCIPSERVER,
    CmdCIPMODE,
    CmdCIPSTO,
};

// What the page shows for one command: the whole effect of RefreshCommandPanel.
struct CommandPanel
{
    QString Command;           // catalogue text, e.g. "AT+CWMODE"
    QStringList Choices;       // parameter list entries in list order; entry 0 is selected
    int SelectedChoice = -1;   // 0 when there are choices, -1 for an empty list
    bool Edit1Enabled = false; // suiEdit1: password, or the port for AT+CIPSTART
    bool Edit2Enabled = false; // suiEdit2: SSID, or the IP address for AT+CIPSTART
    bool Edit3Enabled = false; // suiEdit3: the user parameter
    std::optional<QString> Label6Caption; // empty optional: Label6 keeps its caption
    QString Label10Caption;               // caption of suiEdit2
    QString Label9Caption;                // caption of suiEdit1
    QString Prompt;                       // the single line that replaces the prompt memo
};

// The 18 item texts of the command catalogue, in catalogue order.
QStringList CommandCatalogue();

// The panel row of a catalogue index; empty for an index outside 0..17, where the refresh
// only empties the parameter list and leaves everything else alone.
std::optional<CommandPanel> CommandPanelFor(int commandIndex);

// The catalogue index of a command named with or without its "AT+" prefix, in any case
// ("CWJAP", "AT+CWJAP", "at+cwjap"); -1 when no entry has that name.
int CommandIndexByName(QStringView name);

// The parameter choice (0-based, as the parameter list counts) of a command, named by its
// 1-based number or by its text in any case, an ASCII comma standing for the full-width one;
// -1 when none matches.
int ChoiceIndexByName(int commandIndex, QStringView choice);

// Prompt line shown while the "Connection configuration" page is active.
QString ConnectionPagePrompt();
// Prompt line shown while the "Contact us" page is active.
QString ContactPagePrompt();

} // namespace Workbench
