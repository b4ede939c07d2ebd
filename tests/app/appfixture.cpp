#include "appfixture.h"

#include <mutex>

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QTest>
#include <QThread>
#include <cerrno>
#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <unistd.h>

RawLine::RawLine(const QString& aliasFolder, unsigned com)
{
    Master = ::posix_openpt(O_RDWR | O_NOCTTY);
    if (Master < 0 || ::grantpt(Master) != 0 || ::unlockpt(Master) != 0) {
        ADD_FAILURE() << "no pseudo-terminal";
        return;
    }
    Slave = ::ptsname(Master);
    if (com == 0) return; // reached by its path only
    AliasPath = (aliasFolder + QStringLiteral("/com%1").arg(com)).toStdString();
    ::unlink(AliasPath.c_str());
    if (::symlink(Slave.c_str(), AliasPath.c_str()) != 0) ADD_FAILURE() << "cannot write alias";
}

RawLine::~RawLine()
{
    HangUp();
}

void RawLine::HangUp()
{
    if (Master >= 0) ::close(Master);
    Master = -1;
    if (!AliasPath.empty()) ::unlink(AliasPath.c_str());
    AliasPath.clear();
}

QByteArray RawLine::Read(int count, int timeoutMs)
{
    QByteArray bytes;
    QDeadlineTimer deadline(timeoutMs);
    while (bytes.size() < count && !deadline.hasExpired()) {
        pollfd fd{Master, POLLIN, 0};
        if (::poll(&fd, 1, int(std::max<qint64>(1, deadline.remainingTime()))) <= 0) continue;
        char buffer[256];
        const ssize_t n = ::read(Master, buffer, sizeof buffer);
        if (n > 0)
            bytes.append(buffer, int(n));
        else
            QThread::msleep(5); // the slave side is not open at this moment
    }
    return bytes;
}

QByteArray RawLine::Drain(int quietMs)
{
    QByteArray bytes;
    for (;;) {
        pollfd fd{Master, POLLIN, 0};
        if (::poll(&fd, 1, quietMs) <= 0) return bytes;
        char buffer[256];
        const ssize_t n = ::read(Master, buffer, sizeof buffer);
        if (n <= 0) return bytes;
        bytes.append(buffer, int(n));
    }
}

void RawLine::Write(const QByteArray& bytes)
{
    ASSERT_EQ(::write(Master, bytes.constData(), size_t(bytes.size())), bytes.size());
}

void AppTest::SetUp()
{
    ASSERT_TRUE(AliasFolder.isValid());
    qputenv("ESP8266WIFI_PORTS", AliasFolder.path().toLocal8Bit());
}

void AppTest::TearDown()
{
    Window.reset();
    qunsetenv("ESP8266WIFI_PORTS");
}

TForm1& AppTest::Form()
{
    if (!Window) {
        Window = std::make_unique<TForm1>(nullptr, false);
        Window->show();
    }
    return *Window;
}

bool AppTest::WaitForQuietLine(int quietMs, int timeoutMs)
{
    // A byte since the last tick zeroes IdleTicks; that, not the buffer, tells that the module
    // has answered, since a tick that ran a sequence step may already have taken the first
    // bytes of the answer to the command it sent.
    serial::BufferedSerialPort& port = *Form().Port;
    QDeadlineTimer deadline(timeoutMs);
    QDeadlineTimer quiet(quietMs);
    std::size_t last = 0;
    bool heard = false;
    while (!deadline.hasExpired()) {
        std::size_t pending;
        {
            std::lock_guard lock(port.ReceiveLock);
            heard = heard || (port.ReceivedFlag == 1 && port.IdleTicks == 0);
        }
        pending = port.PendingBytes();
        if (pending != last) {
            last = pending;
            quiet.setRemainingTime(quietMs);
        } else if (heard && quiet.hasExpired()) {
            return true;
        }
        QThread::msleep(5);
    }
    return false;
}

void AppTest::Tick(int n)
{
    for (int i = 0; i < n; ++i)
        Form().Timer1Timer();
    QCoreApplication::sendPostedEvents(&Form());
}

void AppTest::ClickOpen()
{
    QTest::mouseClick(Form().suiButton_OpenPort, Qt::LeftButton);
}

void AppTest::OpenOnRawLine(unsigned com)
{
    if (!Line) Line = std::make_unique<RawLine>(AliasFolder.path(), com);
    TForm1& form = Form();
    // A window made before the line lists it once it looks again.
    if (form.suiComboBox_PcPort->findText(QStringLiteral("COM%1").arg(com)) < 0)
        form.RefreshPortList();
    const int item = form.suiComboBox_PcPort->findText(QStringLiteral("COM%1").arg(com));
    ASSERT_GE(item, 0);
    form.suiComboBox_PcPort->setCurrentIndex(item);
    ClickOpen();
    ASSERT_TRUE(form.Port->IsOpen());
}

bool AppTest::RunEventsUntil(const std::function<bool()>& done, int timeoutMs)
{
    return QTest::qWaitFor(done, timeoutMs);
}

bool AppTest::TickInRealTime(const std::function<bool()>& done, int timeoutMs)
{
    // Like the window's precise timer, ticks keep to a 10 ms grid (200 ticks are 2 s), and a
    // late tick is not made up for by a burst of ticks: a burst would run several sequence
    // steps before the module could answer the first.
    QElapsedTimer clock;
    clock.start();
    qint64 nextTick = 10;
    while (!done()) {
        const qint64 now = clock.elapsed();
        if (now > timeoutMs) return false;
        if (now >= nextTick) {
            Tick(1);
            nextTick += 10;
            if (nextTick <= now) nextTick = now - now % 10 + 10; // missed ticks are skipped
        } else {
            QThread::msleep(1);
        }
    }
    return true;
}
