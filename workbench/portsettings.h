#pragma once
// The Open/Close button's reading of the port and baud-rate texts, and the port list texts.
#include <QString>
#include <QStringView>
#include <cstdint>

namespace Workbench {

// Converts text as atol does: leading blanks, an optional sign, then decimal digits up to
// the first other character; no digits give 0. Out-of-range values saturate to the 32-bit
// limits instead of being undefined.
std::int32_t LeadingInteger(QStringView text);

// The port number of a port list text: everything after the first 'M' (the whole text
// when there is none) read by LeadingInteger; "COM12" gives 12, "" gives 0.
std::int32_t PortNumberFromText(QStringView text);

// The baud rate of a baud-rate list text, read by LeadingInteger.
std::int32_t BaudRateFromText(QStringView text);

// The port list text for a port number: "COM" and the number without leading zeros.
QString PortListText(int portNumber);

} // namespace Workbench
