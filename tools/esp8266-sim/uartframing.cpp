#include "uartframing.h"

#include <bit>
#include <cstdint>

namespace esp8266sim {

namespace {

int frameBits(Parity parity)
{
    return parity == Parity::None ? 10 : 11;
}

int parityBit(unsigned char byte, Parity parity)
{
    const int ones = std::popcount(static_cast<unsigned>(byte));
    return parity == Parity::Even ? (ones & 1) : !(ones & 1);
}

// The sender's line level during its bit number `index` (idle is high).
class SenderLine
{
public:
    SenderLine(std::string_view bytes, Parity parity)
        : bytes(bytes), parity(parity), frame(frameBits(parity))
    {
    }
    std::int64_t totalBits() const { return std::int64_t(bytes.size()) * frame; }
    int level(std::int64_t index) const
    {
        if (index < 0 || index >= totalBits()) return 1;
        const auto byte = static_cast<unsigned char>(bytes[std::size_t(index / frame)]);
        const int pos = int(index % frame);
        if (pos == 0) return 0;
        if (pos <= 8) return (byte >> (pos - 1)) & 1;
        if (pos == 9 && parity != Parity::None) return parityBit(byte, parity);
        return 1;
    }

private:
    std::string_view bytes;
    Parity parity;
    int frame;
};

} // namespace

std::string ReceiveThroughMismatchedLine(std::string_view bytes, const LineSettings& sender,
                                         const LineSettings& receiver)
{
    if (sender == receiver) return std::string(bytes);
    if (sender.baud <= 0 || receiver.baud <= 0) return {};
    // Time unit 1 / (senderBaud * receiverBaud) s keeps every bit edge on an integer.
    const std::int64_t senderBit = receiver.baud;
    const std::int64_t receiverBit = sender.baud;
    const SenderLine line(bytes, sender.parity);
    auto levelAt = [&](std::int64_t t) { return line.level(t / senderBit); };

    std::string received;
    std::int64_t searchFrom = 0;
    const int dataAndParity = frameBits(receiver.parity) - 2;
    for (;;) {
        // Next falling edge at or after searchFrom: a low bit that follows a high one.
        std::int64_t index = (searchFrom + senderBit - 1) / senderBit;
        while (index < line.totalBits() && !(line.level(index) == 0 && line.level(index - 1) == 1))
            ++index;
        if (index >= line.totalBits()) return received;
        const std::int64_t edge = index * senderBit;
        unsigned value = 0;
        for (int bit = 0; bit < 8; ++bit)
            value |= unsigned(levelAt(edge + (bit + 1) * receiverBit + receiverBit / 2)) << bit;
        bool broken = false;
        if (receiver.parity != Parity::None) {
            const std::int64_t paritySample = edge + 9 * receiverBit + receiverBit / 2;
            broken = levelAt(paritySample) !=
                     parityBit(static_cast<unsigned char>(value), receiver.parity);
        }
        const std::int64_t stopSample = edge + (dataAndParity + 1) * receiverBit + receiverBit / 2;
        broken = broken || levelAt(stopSample) == 0;
        received += broken ? '\0' : static_cast<char>(value);
        searchFrom = stopSample;
    }
}

const char* ParityName(Parity parity)
{
    switch (parity) {
    case Parity::Odd:
        return "odd";
    case Parity::Even:
        return "even";
    case Parity::None:
        break;
    }
    return "none";
}

} // namespace esp8266sim
