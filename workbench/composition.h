#pragma once
// Turning the Send button's choices into the bytes that go to the module, and the text
// the Send log shows for a command.
#include <QByteArray>
#include <QString>
#include <QStringList>
#include <optional>

namespace Workbench {

// The three free fields of the "Parameter configuration" page, as typed.
struct CommandFields
{
    QString Pwd;  // suiEdit1: password, or the remote port for AT+CIPSTART
    QString Ssid; // suiEdit2: SSID, or the remote IP address for AT+CIPSTART
    QString User; // suiEdit3: the user parameter
};

// The bytes the Send button writes for catalogue index commandIndex and parameter index
// choiceIndex (UTF-8, ending in CR LF); empty when the indexes select nothing to send.
std::optional<QByteArray> ComposeCommand(int commandIndex, int choiceIndex,
                                         const CommandFields& fields);

// Which of the three fields choice choiceIndex of command commandIndex puts into its text.
struct FieldsUsed
{
    bool Pwd = false;
    bool Ssid = false;
    bool User = false;
};
FieldsUsed CommandFieldsUsed(int commandIndex, int choiceIndex);

// Join an access point: AT+CWJAP with the SSID and password quoted.
QByteArray JoinAccessPointCommand(const QString& ssid, const QString& pwd);

// Open a connection: AT+CIPSTART with the protocol and address quoted and the port as typed.
QByteArray StartConnectionCommand(const QString& protocol, const QString& address,
                                  const QString& port);

// A field text placed between quotes: control characters removed, '"', ',' and '\'
// backslash-escaped.
QByteArray QuotedParameter(const QString& field);

// A field text placed without quotes: control characters (C0 and DEL) removed, everything
// else as typed.
QByteArray PlainParameter(const QString& field);

// The three bytes that take the module out of transparent transmission; no line break.
inline constexpr char ExitCommand[] = "+++";

// Prefix of the Send log line.
inline constexpr char SendLogPrefix[] = "Send--> ";

// The items the Send log holds after sending `command`: the prefix joined to the command,
// cut into lines; a command of this program always gives exactly one item.
QStringList SendLogLines(const QByteArray& command);

} // namespace Workbench
