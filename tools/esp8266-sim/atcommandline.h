#pragma once
// Splitting of one AT command line into its name, its form and its parameters, the way the
// module's firmware reads them.
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace esp8266sim {

// The four shapes a command takes after its name: AT+X, AT+X?, AT+X=?, AT+X=...
enum class CommandForm { Execute, Query, Test, Set };

struct AtParameter
{
    bool quoted = false;
    std::string text; // unescaped contents for quoted parameters
};

struct AtCommandLine
{
    std::string name; // "AT", "ATE0", "AT+CWJAP" ...
    CommandForm form = CommandForm::Execute;
    std::vector<AtParameter> parameters;
};

// Parses one line without its terminator; nullopt when the line is not an AT command or its
// parameters are malformed (unterminated string, dangling backslash, text after a string).
std::optional<AtCommandLine> ParseAtCommandLine(std::string_view line);

// Reads a parameter as a whole decimal number within [low, high]; nullopt otherwise.
std::optional<long> NumberParameter(const AtParameter& parameter, long low, long high);

} // namespace esp8266sim
