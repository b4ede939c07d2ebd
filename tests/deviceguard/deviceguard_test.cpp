// The guard that keeps the suite off the machine's devices really is in force.
#include "serial/portnames.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <stdlib.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

TEST(DeviceGuard, COMnStandsOnlyForAliasesInTheSuite)
{
    const char* only = std::getenv("ESP8266WIFI_ALIASES_ONLY");
    ASSERT_NE(only, nullptr);
    EXPECT_STREQ(only, "1");
    char folder[] = "/tmp/deviceguard-XXXXXX";
    ASSERT_NE(::mkdtemp(folder), nullptr);
    ::setenv("ESP8266WIFI_PORTS", folder, 1);
    EXPECT_EQ(serial::DeviceName(1), "");  // no /dev/ttyS0
    EXPECT_EQ(serial::DeviceName(33), ""); // no /dev/ttyUSB0
    ::unsetenv("ESP8266WIFI_PORTS");
    ::rmdir(folder);
}

TEST(DeviceGuard, HarmlessNodesAndPseudoTerminalsOpen)
{
    const int null = ::open("/dev/null", O_RDWR);
    EXPECT_GE(null, 0);
    ::close(null);
    const int master = ::posix_openpt(O_RDWR | O_NOCTTY);
    ASSERT_GE(master, 0);
    ASSERT_EQ(::grantpt(master), 0);
    ASSERT_EQ(::unlockpt(master), 0);
    const int slave = ::open(::ptsname(master), O_RDWR | O_NOCTTY);
    EXPECT_GE(slave, 0);
    ::close(slave);
    ::close(master);
}

TEST(DeviceGuardDeathTest, OpeningAMachineDeviceEndsTheTest)
{
    // A node in the test's own folder with the numbers of /dev/ttyS0: the guard looks at what
    // a path leads to, so an alias or a copy of a device node is caught too, before the open.
    char folder[] = "/tmp/deviceguard-XXXXXX";
    ASSERT_NE(::mkdtemp(folder), nullptr);
    const std::string node = std::string(folder) + "/ttyS0";
    if (::mknod(node.c_str(), S_IFCHR | 0600, makedev(4, 64)) != 0) {
        ::rmdir(folder);
        GTEST_SKIP() << "cannot make a device node here (needs CAP_MKNOD)";
    }
    const std::string alias = std::string(folder) + "/com1";
    ::symlink(node.c_str(), alias.c_str());
    EXPECT_DEATH(::open(alias.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK), "device guard: .*com1");
    EXPECT_DEATH(std::fopen(node.c_str(), "r"), "device guard: .*ttyS0");
    std::filesystem::remove_all(folder);
}
