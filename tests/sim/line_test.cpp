// What crosses the serial line when the port and the module disagree on its settings.
#include "dialogue.h"
#include "uartframing.h"

#include <gtest/gtest.h>

using namespace esp8266sim;

namespace {
const LineSettings fast{115200, Parity::None};
} // namespace

TEST(MismatchedLine, SamplesTheSendersBitsAtTheReceiversRate)
{
    const std::string text = "AT\r\n\r\nOK\r\n";
    EXPECT_EQ(ReceiveThroughMismatchedLine(text, fast, fast), text);
    EXPECT_EQ(ReceiveThroughMismatchedLine("", fast, {9600, Parity::None}), "");

    // At half the sender's rate every receiver bit spans two sender bits; worked by hand:
    // 0x55 alone reads as all ones; followed by 0x00, the second byte supplies the high half.
    const LineSettings half{9600, Parity::None};
    const LineSettings double_{19200, Parity::None};
    EXPECT_EQ(ReceiveThroughMismatchedLine("\x55", double_, half), "\xFF");
    EXPECT_EQ(ReceiveThroughMismatchedLine(std::string("\x55\0", 2), double_, half), "\x0F");

    // A slow sender's start bit outlasts a fast receiver's whole frame: a framing error, NUL.
    EXPECT_EQ(ReceiveThroughMismatchedLine("\xFF", half, fast), std::string(1, '\0'));

    // Far too fast for the receiver: fewer bytes arrive than were sent, none of them right.
    const std::string garbled = ReceiveThroughMismatchedLine(text, fast, half);
    EXPECT_LT(garbled.size(), text.size());
    EXPECT_EQ(garbled.find("OK"), std::string::npos);
    EXPECT_EQ(ReceiveThroughMismatchedLine(text, fast, half), garbled); // deterministic
}

TEST(MismatchedLine, ParityDisagreementShowsAsErrorBytes)
{
    const LineSettings even{115200, Parity::Even};
    // 'A' has two one bits (even parity bit 0), 'C' three (parity bit 1).
    // A receiver without parity takes the sender's parity bit for the stop bit ...
    EXPECT_EQ(ReceiveThroughMismatchedLine("AC", even, fast), std::string("\0C", 2));
    // ... and one that expects parity takes the stop bit for it.
    EXPECT_EQ(ReceiveThroughMismatchedLine("C", fast, even), "C");
    EXPECT_EQ(ReceiveThroughMismatchedLine("A", fast, even), std::string(1, '\0'));
    EXPECT_NE(ReceiveThroughMismatchedLine("OK\r\n", fast, even), "OK\r\n");
}

TEST(MismatchedLine, ModuleGarblesWhatItSendsAndDoesNotUnderstandWhatItHears)
{
    Dialogue d(QuickOptions());
    // Heard at the wrong rate, a command is lost entirely: no echo, no reply, and no leftover
    // that would spoil the next command once the rates agree.
    d.module.setPortLine(9600);
    EXPECT_EQ(d.send("AT\r\n"), "");
    d.module.setPortLine(115200);
    EXPECT_EQ(d.send("AT\r\n"), "AT\r\r\n\r\nOK\r\n");

    // What the module says while the port runs at another rate arrives garbled.
    d.send("AT+CWJAP=\"esp-test\",\"password123\"\r\n");
    d.module.setPortLine(9600);
    const std::string clear = "WIFI CONNECTED\r\nWIFI GOT IP\r\n\r\nOK\r\n";
    const std::string heard = d.wait(1000);
    EXPECT_EQ(heard, ReceiveThroughMismatchedLine(clear, fast, {9600, Parity::None}));
    EXPECT_NE(heard, clear);

    // The port's parity, where it is known, counts as well; unknown parity is taken as agreed.
    d.module.setPortLine(115200, Parity::Even);
    EXPECT_FALSE(d.module.lineMatches());
    EXPECT_EQ(d.send("AT\r\n"), "");
    d.module.setPortLine(115200, std::nullopt);
    EXPECT_EQ(d.send("AT\r\n"), "AT\r\r\n\r\nOK\r\n");

    // A module set to another rate talks plainly to a port at that rate.
    ModuleOptions slow = QuickOptions();
    slow.line = {9600, Parity::Odd};
    Dialogue s(slow);
    s.module.setPortLine(9600, Parity::Odd);
    EXPECT_EQ(s.send("AT\r\n"), "AT\r\r\n\r\nOK\r\n");
    s.module.setPortLine(115200);
    EXPECT_EQ(s.send("AT\r\n"), "");
}
