#pragma once
// What a module says about itself in answer to the read-only queries: AT+GMR (its firmware),
// AT+CWMODE? (Wi-Fi mode), AT+CWJAP? (the access point it is joined to), AT+CIPSTAMAC? and
// AT+CIFSR (addresses). Each parser takes the whole answer as received, echo and final line
// included, and ignores lines it does not know.
#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

#include <optional>

namespace Workbench {

// The firmware as AT+GMR describes it. The AT 1.x layout is "AT version:1.2.0.0(<date>)",
// "SDK version:...", a bare build date and often a maker's line; ESP-AT 2.x has
// "AT version:2.x(<hash> - <chip> - <date>)", "SDK version:...", "compile time(<hash>):<date>"
// and "Bin version:...". Old 0.9 firmware has none of these labels.
struct FirmwareVersion
{
    QString At;        // "1.2.0.0", "2.2.0.0-dev"; "" when there is no "AT version:" line
    QString AtDetail;  // what the AT line holds in brackets: a date, or hash, chip and date
    QString Sdk;       // "1.5.4.1(39cb9a32)", "v4.0.1-193-ge7ac221b4"
    QString BuildDate; // "Dec  2 2016 14:21:16": the compile time, else the bare date line
    QString Bin;       // ESP-AT's "Bin version:" text
    int Major = -1;    // of `at`; -1 without one
    int Minor = -1;
    QStringList Lines; // every line of the answer but the echo and the final line, as sent

    // 1 for AT 1.x, 2 for ESP-AT 2.x or later, 0 for older or unlabelled firmware.
    int Generation() const;
    bool Known() const { return !Lines.isEmpty(); }
};

// The access point AT+CWJAP? names.
struct JoinedAccessPoint
{
    bool Answered = false; // the query was answered with OK
    bool Joined = false;   // false for "No AP"
    QString Ssid;
    QString Bssid;
    std::optional<int> Channel;
    std::optional<int> Rssi;
};

// The addresses of AT+CIFSR (station and soft access point).
struct InterfaceAddresses
{
    QString StationIp; // "0.0.0.0" until an address is assigned
    QString StationMac;
    QString SoftApIp;
    QString SoftApMac;
};

// Everything the probe gathers about one module.
struct ModuleFacts
{
    FirmwareVersion Version;
    std::optional<int> WifiMode; // 1 station, 2 soft access point, 3 both
    JoinedAccessPoint AccessPoint;
    QString StationMac; // from AT+CIPSTAMAC?, else from AT+CIFSR
    InterfaceAddresses Addresses;
};

// The lines of an answer that carry information: not empty, not the echo of `command`, not a
// final result line. CR and LF removed.
QList<QByteArray> InformationLines(const QByteArray& answer, const QByteArray& command);

FirmwareVersion ParseVersion(const QByteArray& answer);
std::optional<int> ParseWifiMode(const QByteArray& answer);
// `ok` says whether the query ended with OK; "No AP" is answered, not joined.
JoinedAccessPoint ParseJoinedAccessPoint(const QByteArray& answer, bool ok);
QString ParseStationMac(const QByteArray& answer);
InterfaceAddresses ParseAddresses(const QByteArray& answer);

// "station", "soft AP", "station + soft AP"; "" for an unknown mode.
QString WifiModeName(std::optional<int> mode);

// How the firmware sets its UART rate, and the rates it takes.
struct RateCommand
{
    QByteArray Command; // with CR LF; empty when refused
    QString Name;       // "AT+UART_CUR"
    bool Stored = false; // the rate survives a restart
    QString Refusal;     // why the rate is refused; empty when it is not
};

// AT+UART_CUR (or AT+UART_DEF when save) on AT 1.1 and later and on ESP-AT; AT+CIOBAUD on
// older firmware, which has only that (and keeps the rate). Rates outside what the
// generation takes are refused: 110 to 4608000 (1.x), 80 to 4500000 (ESP-AT on the ESP8266),
// 9600 to 921600 (AT+CIOBAUD).
RateCommand RateCommandFor(const FirmwareVersion& version, int baud, bool save);

} // namespace Workbench
