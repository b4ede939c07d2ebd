// Noticing devices that come and go, and finding a lost device again.
#include "serial/portidentity.h"
#include "serial/portwatcher.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QThread>
#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>
#include <set>
#include <vector>
#include <unistd.h>

namespace {

// Runs the event loop until done() or timeoutMs; whether done() came true.
bool RunEventsUntil(const std::function<bool()>& done, int timeoutMs)
{
    QDeadlineTimer deadline(timeoutMs);
    while (!done()) {
        if (deadline.hasExpired()) return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        QThread::msleep(2);
    }
    return true;
}

void Touch(const QString& path)
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
}

TEST(PortWatcher, ReportsABurstOnceAndFollowsAFolderThatAppearsLater)
{
    QTemporaryDir root;
    ASSERT_TRUE(root.isValid());
    const QString aliases = root.path() + "/config/ports";
    serial::PortWatcher watcher({aliases});
    int reports = 0;
    QObject::connect(&watcher, &serial::PortWatcher::CandidatesMayHaveChanged, [&] { ++reports; });
    EXPECT_EQ(watcher.WatchedFolders(), QStringList{root.path()});

    // Nothing changes: nothing is reported.
    RunEventsUntil([] { return false; }, serial::PortWatcher::SettleMs + 200);
    EXPECT_EQ(reports, 0);

    ASSERT_TRUE(QDir().mkpath(aliases));
    ASSERT_TRUE(RunEventsUntil([&] { return reports == 1; }, 2000));
    EXPECT_EQ(watcher.WatchedFolders(), QStringList{aliases});

    // Several aliases at once, as a module and its twin start: one report.
    QElapsedTimer clock;
    clock.start();
    for (int n = 1; n <= 5; ++n)
        Touch(aliases + QStringLiteral("/com%1").arg(n));
    ASSERT_TRUE(RunEventsUntil([&] { return reports == 2; }, 2000));
    EXPECT_GE(clock.elapsed(), serial::PortWatcher::SettleMs - 50);
    RunEventsUntil([] { return false; }, serial::PortWatcher::SettleMs + 200);
    EXPECT_EQ(reports, 2);

    // The folders go away: the watch falls back to the root and still sees them return.
    ASSERT_TRUE(QDir(root.path() + "/config").removeRecursively());
    EXPECT_TRUE(RunEventsUntil(
        [&] { return reports >= 3 && watcher.WatchedFolders() == QStringList{root.path()}; },
        2000));
    const int beforeReturn = reports;
    ASSERT_TRUE(QDir().mkpath(aliases));
    ASSERT_TRUE(RunEventsUntil([&] { return reports > beforeReturn; }, 2000));
    EXPECT_EQ(watcher.WatchedFolders(), QStringList{aliases});
}

TEST(PortWatcher, ASteadyStreamOfChangesCannotHoldTheReportBack)
{
    QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid());
    serial::PortWatcher watcher({folder.path()});
    QElapsedTimer clock;
    std::vector<qint64> reports;
    QObject::connect(&watcher, &serial::PortWatcher::CandidatesMayHaveChanged,
                     [&] { reports.push_back(clock.elapsed()); });

    // A change every 50 ms for five settle times, as a device that keeps flapping would make.
    constexpr int StreamMs = 5 * serial::PortWatcher::SettleMs;
    clock.start();
    for (int n = 0; clock.elapsed() < StreamMs; ++n) {
        Touch(folder.path() + QStringLiteral("/node%1").arg(n));
        RunEventsUntil([] { return false; }, 50);
    }
    // Reported while the stream still ran, and again as it went on.
    ASSERT_GE(reports.size(), 2u) << "a watcher that waits for quiet never reports a flapping device";
    EXPECT_LT(reports.front(), StreamMs - serial::PortWatcher::SettleMs);
}

// The alias folder points at a temporary directory for one test.
class ReturnedDevice : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(Folder.isValid());
        const char* saved = std::getenv("ESP8266WIFI_PORTS");
        if (saved) Saved = saved;
        ::setenv("ESP8266WIFI_PORTS", Folder.path().toLocal8Bit().constData(), 1);
    }
    void TearDown() override
    {
        Saved.empty() ? (void)::unsetenv("ESP8266WIFI_PORTS")
                      : (void)::setenv("ESP8266WIFI_PORTS", Saved.c_str(), 1);
    }
    void Alias(unsigned n, const std::string& target)
    {
        const std::string alias = Folder.path().toStdString() + "/com" + std::to_string(n);
        ::unlink(alias.c_str());
        ASSERT_EQ(::symlink(target.c_str(), alias.c_str()), 0);
    }

    QTemporaryDir Folder;
    std::string Saved;
    std::set<std::string> Present;
    std::function<bool(const std::string&)> CanOpen = [this](const std::string& device) {
        return Present.count(device) > 0;
    };
};

TEST_F(ReturnedDevice, FollowsTheComAliasThenTheNodeThenTheUsbSerialNumber)
{
    const serial::PortIdentity viaAlias{1, "/dev/pts/7", "A5069RR4"};
    const std::vector<serial::UsbSerialDevice> usb = {{"/dev/ttyUSB0", "OTHER"},
                                              {"/dev/ttyUSB1", "A5069RR4"}};
    Alias(1, "/dev/pts/9");
    EXPECT_EQ(serial::FindReturnedDevice(viaAlias, usb, CanOpen), "") << "nothing can be opened yet";

    // The alias now names another terminal: the COM number wins over the old node.
    Present = {"/dev/pts/9", "/dev/pts/7", "/dev/ttyUSB1"};
    EXPECT_EQ(serial::FindReturnedDevice(viaAlias, usb, CanOpen), "/dev/pts/9");

    // Opened by its node: the same node, else the adapter with the same serial number.
    const serial::PortIdentity viaNode{0, "/dev/ttyUSB0", "A5069RR4"};
    Present = {"/dev/ttyUSB0", "/dev/ttyUSB1"};
    EXPECT_EQ(serial::FindReturnedDevice(viaNode, usb, CanOpen), "/dev/ttyUSB0");
    Present = {"/dev/ttyUSB1"};
    EXPECT_EQ(serial::FindReturnedDevice(viaNode, usb, CanOpen), "/dev/ttyUSB1");
    Present = {"/dev/ttyUSB2"};
    EXPECT_EQ(serial::FindReturnedDevice(viaNode, {{"/dev/ttyUSB2", "A5069RR4"}}, CanOpen),
              "/dev/ttyUSB2");
}

TEST_F(ReturnedDevice, AnAdapterWithoutSerialNumberIsNeverTakenForAnother)
{
    Present = {"/dev/ttyUSB3"};
    const std::vector<serial::UsbSerialDevice> usb = {{"/dev/ttyUSB3", ""}};
    EXPECT_EQ(serial::FindReturnedDevice({0, "/dev/ttyUSB0", ""}, usb, CanOpen), "");
    // A held adapter with the right number is not offered either.
    EXPECT_EQ(serial::FindReturnedDevice({0, "/dev/ttyUSB0", "X1"}, {{"/dev/ttyUSB4", "X1"}}, CanOpen), "");
}

} // namespace
