#pragma once
// Line rates in bit/s beyond the termios speed constants: the ESP8266's boot ROM talks at
// 74880, which has no B-constant. Linux takes any rate through its second termios interface;
// elsewhere only the constants are offered.

namespace serial::posix {

// Whether this system can set a rate that has no speed constant.
bool FreeLineRates();
// The rates without a speed constant that the serial link offers: only the ESP8266's boot
// ROM rate, 74880, so an odd rate typed by mistake is still refused as before.
inline bool OfferedFreeRate(int baud)
{
    return baud == 74880 && FreeLineRates();
}
// Sets both directions of the open terminal fd to baud; false (errno set) when refused.
bool SetLineRate(int fd, int baud);
// The output rate the terminal fd is set to, in bit/s; 0 when it cannot be told.
int LineRate(int fd);

} // namespace serial::posix
