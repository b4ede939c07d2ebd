#include "serial/bufferedserialport.h"

#include <QCoreApplication>
#include <QEvent>

#include <algorithm>
#include <chrono>

namespace serial {

BufferedSerialPort::BufferedSerialPort() = default;

BufferedSerialPort::BufferedSerialPort(std::unique_ptr<serial::SerialBackend> backend)
    : SerialPort(std::move(backend))
{
}

BufferedSerialPort::~BufferedSerialPort()
{
    // The reader calls into this object; it must end before the buffer goes.
    Close();
}

void BufferedSerialPort::OnByteReceived(char byte)
{
    OnBytesReceived(&byte, 1);
}

void BufferedSerialPort::OnBytesReceived(const char* data, std::size_t size)
{
    LastReceived.store(SteadyNowMs(), std::memory_order_relaxed);
    while (size > 0) {
        bool full = false;
        bool started = false;
        {
            std::unique_lock lock(ReceiveLock);
            // Once stopping, the last chunk is kept whole: at most one read beyond the limit.
            const std::size_t room =
                StopRequested() ? size
                                : ReceiveBufferLimit - std::min(std::size_t(ReceiveBuffer.size()),
                                                                ReceiveBufferLimit);
            const std::size_t take = std::min(room, size);
            // A new block gets room for the whole bound at once: reserving touches no memory,
            // and growing later would copy megabytes while the window's tick waits for the lock.
            if (ReceiveBuffer.isEmpty() && ReceiveBuffer.capacity() < qsizetype(ReceiveBufferLimit))
                ReceiveBuffer.reserve(qsizetype(ReceiveBufferLimit));
            ReceiveBuffer.append(data, qsizetype(take));
            data += take;
            size -= take;
            started = ReceivedFlag != 1;
            ReceivedFlag = 1;
            IdleTicks = 0;
            full = std::size_t(ReceiveBuffer.size()) >= ReceiveBufferLimit && !StopRequested();
        }
        // One wake-up per block, not per byte: the window's tick only runs while it has a
        // block to count.
        if (started) Post(&BufferedSerialPort::ReceiveStartedEvent);
        if (!full) continue;
        // Hand the full buffer on now, outside the lock, then wait until it has been taken.
        PostNotify();
        std::unique_lock lock(ReceiveLock);
        BufferTaken.wait(lock, [this] {
            return std::size_t(ReceiveBuffer.size()) < ReceiveBufferLimit || StopRequested();
        });
    }
}

void BufferedSerialPort::OnStopRequested()
{
    // Taking the lock orders this wake-up after a waiter's check of the stop flag.
    std::lock_guard lock(ReceiveLock);
    BufferTaken.notify_all();
}

void BufferedSerialPort::OnDeviceLost()
{
    Post(&BufferedSerialPort::PortLostEvent);
}

void BufferedSerialPort::SetNotifyTarget(QObject* window, int message)
{
    std::lock_guard lock(NotifyLock);
    NotifyWindow = window;
    NotifyMessage = message;
}

void BufferedSerialPort::SetActivityEvents(int receiveStarted, int portLost)
{
    std::lock_guard lock(NotifyLock);
    ReceiveStartedEvent = receiveStarted;
    PortLostEvent = portLost;
}

std::int64_t BufferedSerialPort::SteadyNowMs()
{
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

std::string BufferedSerialPort::TakeReceived()
{
    const QByteArray taken = TakeReceivedBytes();
    return std::string(taken.constData(), std::size_t(taken.size()));
}

QByteArray BufferedSerialPort::TakeReceivedBytes()
{
    QByteArray taken;
    {
        std::lock_guard lock(ReceiveLock);
        taken.swap(ReceiveBuffer);
        BufferTaken.notify_all();
    }
    return taken;
}

std::size_t BufferedSerialPort::PendingBytes()
{
    std::lock_guard lock(ReceiveLock);
    return std::size_t(ReceiveBuffer.size());
}

void BufferedSerialPort::PostNotify()
{
    Post(&BufferedSerialPort::NotifyMessage);
}

void BufferedSerialPort::Post(int BufferedSerialPort::*type)
{
    std::lock_guard lock(NotifyLock);
    QObject* target = NotifyWindow.data();
    if (target && this->*type != 0)
        QCoreApplication::postEvent(target, new QEvent(QEvent::Type(this->*type)));
}

} // namespace serial
