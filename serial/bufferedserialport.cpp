#include "serial/bufferedserialport.h"

#include <QCoreApplication>
#include <QEvent>

#include <algorithm>

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
    while (size > 0) {
        bool full = false;
        {
            std::unique_lock lock(ReceiveLock);
            // Once stopping, the last chunk is kept whole: at most one read beyond the limit.
            const std::size_t room =
                StopRequested()
                    ? size
                    : ReceiveBufferLimit - std::min(ReceiveBuffer.size(), ReceiveBufferLimit);
            const std::size_t take = std::min(room, size);
            ReceiveBuffer.append(data, take);
            data += take;
            size -= take;
            ReceivedFlag = 1;
            IdleTicks = 0;
            full = ReceiveBuffer.size() >= ReceiveBufferLimit && !StopRequested();
        }
        if (!full) continue;
        // Hand the full buffer on now, outside the lock, then wait until it has been taken.
        PostNotify();
        std::unique_lock lock(ReceiveLock);
        BufferTaken.wait(
            lock, [this] { return ReceiveBuffer.size() < ReceiveBufferLimit || StopRequested(); });
    }
}

void BufferedSerialPort::OnStopRequested()
{
    // Taking the lock orders this wake-up after a waiter's check of the stop flag.
    std::lock_guard lock(ReceiveLock);
    BufferTaken.notify_all();
}

void BufferedSerialPort::SetNotifyTarget(QObject* window, int message)
{
    std::lock_guard lock(NotifyLock);
    NotifyWindow = window;
    NotifyMessage = message;
}

std::string BufferedSerialPort::TakeReceived()
{
    std::string taken;
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
    return ReceiveBuffer.size();
}

void BufferedSerialPort::PostNotify()
{
    std::lock_guard lock(NotifyLock);
    if (QObject* target = NotifyWindow.data())
        QCoreApplication::postEvent(target, new QEvent(QEvent::Type(NotifyMessage)));
}
