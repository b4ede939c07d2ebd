#pragma once

#include <string>

namespace serial {

// Folder of the com<n> aliases: $ESP8266WIFI_PORTS, else
// ${XDG_CONFIG_HOME:-$HOME/.config}/esp8266wifi/ports.
std::string PortAliasFolder();

// The device this platform opens for COMn; "" when none stands for n, and for any n beyond
// serial::LastPortNumber. On POSIX: the alias com<n> (a symbolic link, or a one-line text
// file holding a path), else the default table (COM1-32 ttyS, 33-64 ttyUSB, 65-96 ttyACM,
// 97-128 ttyAMA). On Windows: "COMn", from COM10 on with the device namespace prefix.
std::string DeviceName(unsigned n);

// The device the alias com<n> names (a link's target, or the path in a one-line text file);
// "" when there is no such alias.
std::string AliasTarget(unsigned n);

} // namespace serial
