#include "workbench/linetaskrunner.h"

#include <QCoreApplication>
#include <QEvent>

namespace Workbench {
namespace {

QEvent::Type ReceivedEvent()
{
    static const auto type = QEvent::Type(QEvent::registerEventType());
    return type;
}

QEvent::Type LostEvent()
{
    static const auto type = QEvent::Type(QEvent::registerEventType());
    return type;
}

} // namespace

void LineTaskRunner::NotifyingPort::OnBytesReceived(const char* data, std::size_t size)
{
    serial::BufferedSerialPort::OnBytesReceived(data, size);
    PostNotify();
}

LineTaskRunner::LineTaskRunner(unsigned portNumber, std::string device, QObject* parent)
    : QObject(parent), PortNumber(portNumber), Device(std::move(device))
{
    Wake.setSingleShot(true);
    Wake.setTimerType(Qt::PreciseTimer);
    connect(&Wake, &QTimer::timeout, this, [this] {
        if (!Task || Task->Done()) return;
        Task->Advance(NowMs());
        AfterStep();
    });
    Port.SetNotifyTarget(this, ReceivedEvent());
    Port.SetActivityEvents(0, LostEvent());
}

LineTaskRunner::~LineTaskRunner()
{
    // The reader thread posts to this object; it ends before the object goes.
    Port.Close();
}

void LineTaskRunner::Start(int openRate, TaskFactory factory)
{
    Clock.start();
    Ended = false;
    OpenFailure.clear();
    const bool opened = PortNumber > 0 ? Port.Open(PortNumber, openRate, 0)
                                       : Port.OpenDevice(Device, openRate, 0);
    if (!opened) {
        OpenFailure = QString::fromStdString(Port.LastError().Message);
        Port.Close();
        Ended = true;
        emit Finished();
        return;
    }
    Task = factory(*this, Port.RateFoundAtOpen);
    Task->Start(NowMs());
    AfterStep();
}

void LineTaskRunner::Cancel()
{
    Wake.stop();
    Ended = true;
    Port.Close();
}

bool LineTaskRunner::SetRate(int baud)
{
    if (!Port.Reconfigure(baud, 0)) return false;
    // What came before the change was sent at the old rate.
    Port.TakeReceived();
    return true;
}

bool LineTaskRunner::Write(const QByteArray& bytes)
{
    return Port.Write(bytes.constData(), unsigned(bytes.size()));
}

bool LineTaskRunner::event(QEvent* e)
{
    if (e->type() == ReceivedEvent()) {
        const QByteArray bytes = Port.TakeReceivedBytes();
        if (Task && !Task->Done() && !Ended && !bytes.isEmpty()) {
            Task->Feed(bytes, NowMs());
            AfterStep();
        }
        return true;
    }
    if (e->type() == LostEvent()) {
        if (Task && !Task->Done() && !Ended) {
            Task->Fail(QStringLiteral("the port was lost: %1")
                           .arg(QString::fromStdString(Port.LastError().Message)));
            AfterStep();
        }
        return true;
    }
    return QObject::event(e);
}

void LineTaskRunner::AfterStep()
{
    if (Ended || !Task) return;
    const QString progress = Task->ProgressText();
    if (progress != LastProgress) {
        LastProgress = progress;
        emit ProgressChanged();
    }
    if (Task->Done()) {
        Wake.stop();
        Ended = true;
        // The device keeps the rate the task left it at.
        Port.Close();
        emit Finished();
        return;
    }
    Reschedule();
}

void LineTaskRunner::Reschedule()
{
    const auto due = Task->NextDueMs();
    if (!due) {
        Wake.stop();
        return;
    }
    Wake.start(int(std::max<std::int64_t>(0, *due - NowMs())));
}

} // namespace Workbench
