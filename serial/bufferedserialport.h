#pragma once

#include "serial/serialport.h"

#include <QByteArray>
#include <QObject>
#include <QPointer>

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>

namespace serial {

// The port the main window owns: received bytes collect in ReceiveBuffer until the window's
// tick frames a block by silence and takes them.
class BufferedSerialPort : public SerialPort
{
public:
    // When the buffer holds this much, it is handed on at once and reading pauses until the
    // window has taken it: memory stays bounded and no byte is dropped.
    static constexpr std::size_t ReceiveBufferLimit = std::size_t{4} << 20;

    BufferedSerialPort();
    explicit BufferedSerialPort(std::unique_ptr<serial::SerialBackend> backend);
    ~BufferedSerialPort() override;

    // Appends one byte, sets ReceivedFlag and restarts IdleTicks.
    void OnByteReceived(char byte) override;
    // Where PostNotify sends its event; message is a type from QEvent::registerEventType.
    void SetNotifyTarget(QObject* window, int message);
    // Two more events for the same target, 0 for none: receiveStarted is posted once when a
    // byte arrives while ReceivedFlag is clear (so a window can tick only while a block is
    // being collected), portLost once when the reader finds the device hung up or failing.
    void SetActivityEvents(int receiveStarted, int portLost);
    // Steady-clock milliseconds (SteadyNowMs) of the last received byte; -1 before any.
    // Cheap to read from any thread: stamped once per read, not per byte.
    std::int64_t LastReceivedMs() const { return LastReceived.load(std::memory_order_relaxed); }
    // The clock LastReceivedMs uses: milliseconds of std::chrono::steady_clock.
    static std::int64_t SteadyNowMs();
    // Returns every byte received so far, NUL bytes included, and empties the buffer.
    std::string TakeReceived();
    // The same as bytes that can be handed on without a copy (the buffer itself).
    QByteArray TakeReceivedBytes();
    // Number of bytes waiting to be taken.
    std::size_t PendingBytes();
    // Posts the notification event to the target, if one is set and still alive.
    void PostNotify();

    // Guards ReceiveBuffer, IdleTicks and ReceivedFlag; a leaf lock.
    std::mutex ReceiveLock;
    std::uint32_t IdleTicks = 0;   // ticks since the last byte, while ReceivedFlag is set
    std::uint8_t ReceivedFlag = 0; // 1 from a byte's arrival until a block is framed

protected:
    void OnBytesReceived(const char* data, std::size_t size) override;
    void OnStopRequested() override;
    void OnDeviceLost() override;

private:
    // Posts the event type held in the given member to the target, if both are set.
    void Post(int BufferedSerialPort::*type);
    QByteArray ReceiveBuffer;
    std::condition_variable BufferTaken;
    std::mutex NotifyLock;
    QPointer<QObject> NotifyWindow;
    int NotifyMessage = 0;
    int ReceiveStartedEvent = 0;
    int PortLostEvent = 0;
    std::atomic<std::int64_t> LastReceived{-1};
};

} // namespace serial
