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
    QString at;        // "1.2.0.0", "2.2.0.0-dev"; "" when there is no "AT version:" line
    QString atDetail;  // what the AT line holds in brackets: a date, or hash, chip and date
    QString sdk;       // "1.5.4.1(39cb9a32)", "v4.0.1-193-ge7ac221b4"
    QString buildDate; // "Dec  2 2016 14:21:16": the compile time, else the bare date line
    QString bin;       // ESP-AT's "Bin version:" text
    int major = -1;    // of `at`; -1 without one
    int minor = -1;
    QStringList lines; // every line of the answer but the echo and the final line, as sent

    // 1 for AT 1.x, 2 for ESP-AT 2.x or later, 0 for older or unlabelled firmware.
    int Generation() const;
    bool Known() const { return !lines.isEmpty(); }
};

// The access point AT+CWJAP? names.
struct JoinedAccessPoint
{
    bool answered = false; // the query was answered with OK
    bool joined = false;   // false for "No AP"
    QString ssid;
    QString bssid;
    std::optional<int> channel;
    std::optional<int> rssi;
};

// The addresses of AT+CIFSR (station and soft access point).
struct InterfaceAddresses
{
    QString stationIp; // "0.0.0.0" until an address is assigned
    QString stationMac;
    QString softApIp;
    QString softApMac;
};

// Everything the probe gathers about one module.
struct ModuleFacts
{
    FirmwareVersion version;
    std::optional<int> wifiMode; // 1 station, 2 soft access point, 3 both
    JoinedAccessPoint accessPoint;
    QString stationMac; // from AT+CIPSTAMAC?, else from AT+CIFSR
    InterfaceAddresses addresses;
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
    QByteArray command; // with CR LF; empty when refused
    QString name;       // "AT+UART_CUR"
    bool stored = false; // the rate survives a restart
    QString refusal;     // why the rate is refused; empty when it is not
};

// AT+UART_CUR (or AT+UART_DEF when save) on AT 1.1 and later and on ESP-AT; AT+CIOBAUD on
// older firmware, which has only that (and keeps the rate). Rates outside what the
// generation takes are refused: 110 to 4608000 (1.x), 80 to 4500000 (ESP-AT on the ESP8266),
// 9600 to 921600 (AT+CIOBAUD).
RateCommand RateCommandFor(const FirmwareVersion& version, int baud, bool save);

} // namespace Workbench
