#pragma once
// What a receiving UART makes of bytes sent with other line settings than its own.
#include <string>
#include <string_view>

namespace esp8266sim {

enum class Parity { None, Odd, Even };

struct LineSettings
{
    int baud = 115200;
    Parity parity = Parity::None;
    bool operator==(const LineSettings&) const = default;
};

// Sends the bytes back to back as 8-bit frames (start bit, data LSB first, parity bit if any,
// one stop bit) under `sender` settings and samples the line at mid-bit under `receiver`
// settings, resynchronising on each falling edge. Equal settings return the bytes unchanged;
// otherwise the result is the deterministic garbage a real receiver would deliver. A byte with a
// framing or parity error arrives as a NUL byte, as a POSIX terminal reads it by default.
std::string ReceiveThroughMismatchedLine(std::string_view bytes, const LineSettings& sender,
                                         const LineSettings& receiver);

// Name of a parity for command lines and messages: "none", "odd", "even".
const char* ParityName(Parity parity);

} // namespace esp8266sim
