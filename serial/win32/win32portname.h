#pragma once

#include <string>

namespace serial {

// Windows device name of COMn: "COM9" opens as is, from COM10 on the name needs the device
// namespace prefix ("\\.\COM10"), which also works for any number.
inline std::string Win32DeviceName(unsigned n)
{
    return (n > 9 ? std::string("\\\\.\\COM") : std::string("COM")) + std::to_string(n);
}

} // namespace serial
