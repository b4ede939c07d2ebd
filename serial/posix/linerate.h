#pragma once
// Line rates in bit/s beyond the termios speed constants: the ESP8266's boot ROM talks at
// 74880, which has no B-constant. Linux takes any rate through its second termios interface;
// elsewhere only the constants are offered.

namespace serial::posix {

// Whether this system can set a rate that has no speed constant.
bool FreeLineRates();
// Sets both directions of the open terminal fd to baud; false (errno set) when refused.
bool SetLineRate(int fd, int baud);
// The output rate the terminal fd is set to, in bit/s; 0 when it cannot be told.
int LineRate(int fd);

} // namespace serial::posix
