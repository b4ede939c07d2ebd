#pragma once
// The port and its line settings as a person writes them: one reading, and one set of words for
// a value that cannot be used, shared by the window's command line and by esp8266at.
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace serial {

// The highest COM number anything looks at: the scan, the alias folder and the command lines.
constexpr unsigned LastPortNumber = 255;

// A port named by its COM number (Number > 0, Path empty) or by its device path (Number 0).
struct PortName
{
    unsigned Number = 0;
    std::string Path;

    // "COM7" for a COM number, else the path.
    std::string Text() const;
};

// "COM" in any case and a number from 1 to LastPortNumber (leading zeros read as the port
// list's leading-number rule reads them: COM007 is COM7), or a device path: any text holding
// a '/' or a '\'. nullopt for anything else (see BadPortName).
std::optional<PortName> ParsePortName(std::string_view text);
std::string BadPortName(std::string_view text);

// The rates a port can be set to on every platform we build for, ascending.
const std::vector<int>& SupportedBaudRates();
// Decimal digits naming one of SupportedBaudRates(); nullopt otherwise (see BadBaudRate).
std::optional<int> ParseBaudRate(std::string_view text);
std::string BadBaudRate(std::string_view text);

// none, odd or even, or NO (the window's word for none), in any case: the parity code
// 0 none, 1 odd, 2 even. nullopt otherwise (see BadParity).
std::optional<int> ParseParity(std::string_view text);
std::string BadParity(std::string_view text);

} // namespace serial
