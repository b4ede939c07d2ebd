#include "serial/portoptions.h"

#include <algorithm>
#include <cctype>
#include <charconv>

namespace serial {

namespace {

bool SameWord(std::string_view text, std::string_view word)
{
    return text.size() == word.size() &&
           std::equal(text.begin(), text.end(), word.begin(), [](char a, char b) {
               return std::tolower(static_cast<unsigned char>(a)) == b;
           });
}

// A whole decimal number, digits only; nullopt for anything else or beyond what int holds.
std::optional<int> DecimalNumber(std::string_view text)
{
    if (text.empty() ||
        !std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; }))
        return std::nullopt;
    int value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size()) return std::nullopt;
    return value;
}

std::string Quoted(std::string_view text)
{
    return "'" + std::string(text) + "'";
}

} // namespace

std::string PortName::Text() const
{
    return Number > 0 ? "COM" + std::to_string(Number) : Path;
}

std::optional<PortName> ParsePortName(std::string_view text)
{
    if (text.find_first_of("/\\") != std::string_view::npos) return PortName{0, std::string(text)};
    if (text.size() < 4 || !SameWord(text.substr(0, 3), "com")) return std::nullopt;
    const auto n = DecimalNumber(text.substr(3));
    if (!n || *n < 1 || unsigned(*n) > LastPortNumber) return std::nullopt;
    return PortName{unsigned(*n), {}};
}

std::string BadPortName(std::string_view text)
{
    return "unknown port " + Quoted(text) + " (COM1 to COM" + std::to_string(LastPortNumber) +
           ", or a device path)";
}

const std::vector<int>& SupportedBaudRates()
{
    // The rates a POSIX terminal has a speed for; Windows takes any of them too.
    static const std::vector<int> rates = {
        50,     75,     110,    134,    150,     200,     300,     600,     1200,    1800,
        2400,   4800,   9600,   19200,  38400,   57600,   115200,  230400,  460800,  500000,
        576000, 921600, 1000000, 1152000, 1500000, 2000000, 3000000, 4000000};
    return rates;
}

std::optional<int> ParseBaudRate(std::string_view text)
{
    const auto rate = DecimalNumber(text);
    const std::vector<int>& rates = SupportedBaudRates();
    if (!rate || !std::binary_search(rates.begin(), rates.end(), *rate)) return std::nullopt;
    return rate;
}

std::string BadBaudRate(std::string_view text)
{
    std::string list;
    for (int rate : SupportedBaudRates())
        list += (list.empty() ? "" : ", ") + std::to_string(rate);
    return "unknown baud rate " + Quoted(text) + " (" + list + ")";
}

std::optional<int> ParseParity(std::string_view text)
{
    if (SameWord(text, "none") || SameWord(text, "no")) return 0;
    if (SameWord(text, "odd")) return 1;
    if (SameWord(text, "even")) return 2;
    return std::nullopt;
}

std::string BadParity(std::string_view text)
{
    return "unknown parity " + Quoted(text) + " (none, odd or even; NO for none; any case)";
}

} // namespace serial
