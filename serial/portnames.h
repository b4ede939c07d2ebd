#pragma once

#include <string>

// Folder of the com<n> aliases: $ESP8266WIFI_PORTS, else
// ${XDG_CONFIG_HOME:-$HOME/.config}/esp8266wifi/ports.
std::string PortAliasFolder();

// Device node that stands for COMn: the alias com<n> (a symbolic link, or a one-line text file
// holding a path), else the default table (COM1-32 ttyS, 33-64 ttyUSB, 65-96 ttyACM, 97-128
// ttyAMA); "" when no device stands for n, and for n beyond serial::LastPortNumber. With
// ESP8266WIFI_ALIASES_ONLY set (not "0"), as the test suite sets it, only the aliases stand for
// ports.
std::string DeviceName(unsigned n);

// The device the alias com<n> names (a link's target, or the path in a one-line text file);
// "" when there is no such alias.
std::string AliasTarget(unsigned n);
