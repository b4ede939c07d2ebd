#include "serial/portnames.h"
#include "serial/portoptions.h"
#include "serial/win32/win32portname.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

namespace fs = std::filesystem;

namespace {

// Points the alias folder at a fresh temporary directory for one test.
class PortNames : public ::testing::Test
{
protected:
    void SetUp() override
    {
        char tmpl[] = "/tmp/serial-names-XXXXXX";
        ASSERT_NE(::mkdtemp(tmpl), nullptr);
        Folder = tmpl;
        Save("ESP8266WIFI_PORTS");
        Save("XDG_CONFIG_HOME");
        Save("HOME");
        Save("ESP8266WIFI_ALIASES_ONLY");
        ::setenv("ESP8266WIFI_PORTS", Folder.c_str(), 1);
        // Names only: no device is opened here, so the table may be looked at.
        ::setenv("ESP8266WIFI_ALIASES_ONLY", "0", 1);
    }
    void TearDown() override
    {
        for (auto& [name, value] : Saved)
            value ? (void)::setenv(name.c_str(), value->c_str(), 1)
                  : (void)::unsetenv(name.c_str());
        fs::remove_all(Folder);
    }
    void Save(const std::string& name)
    {
        const char* v = std::getenv(name.c_str());
        Saved.emplace_back(name, v ? std::optional<std::string>(v) : std::nullopt);
    }
    void WriteFile(const std::string& name, const std::string& text)
    {
        std::ofstream(Folder + "/" + name) << text;
    }

    std::string Folder;
    std::vector<std::pair<std::string, std::optional<std::string>>> Saved;
};

TEST_F(PortNames, DefaultTableCoversFourFamiliesOf32)
{
    EXPECT_EQ(serial::DeviceName(0), "");
    EXPECT_EQ(serial::DeviceName(1), "/dev/ttyS0");
    EXPECT_EQ(serial::DeviceName(9), "/dev/ttyS8");
    EXPECT_EQ(serial::DeviceName(10), "/dev/ttyS9");
    EXPECT_EQ(serial::DeviceName(32), "/dev/ttyS31");
    EXPECT_EQ(serial::DeviceName(33), "/dev/ttyUSB0");
    EXPECT_EQ(serial::DeviceName(64), "/dev/ttyUSB31");
    EXPECT_EQ(serial::DeviceName(65), "/dev/ttyACM0");
    EXPECT_EQ(serial::DeviceName(96), "/dev/ttyACM31");
    EXPECT_EQ(serial::DeviceName(97), "/dev/ttyAMA0");
    EXPECT_EQ(serial::DeviceName(128), "/dev/ttyAMA31");
    EXPECT_EQ(serial::DeviceName(129), "");
    EXPECT_EQ(serial::DeviceName(255), "");
    EXPECT_EQ(serial::DeviceName(4294967295u), "");
}

TEST_F(PortNames, AliasesOverrideTheTableAndReachBeyondIt)
{
    fs::create_symlink("/dev/pts/7", Folder + "/com3");
    fs::create_symlink("ttyFAKE", Folder + "/com200"); // relative to the folder
    WriteFile("com9", "  /dev/ttyUSB5 \r\n/dev/ignored\n");
    WriteFile("com10", "/dev/rfcomm0");
    WriteFile("com11", "\n\n");              // empty: no alias, the table applies
    fs::create_directory(Folder + "/com12"); // not an alias either
    EXPECT_EQ(serial::DeviceName(3), "/dev/pts/7");
    EXPECT_EQ(serial::DeviceName(200), Folder + "/ttyFAKE");
    EXPECT_EQ(serial::DeviceName(9), "/dev/ttyUSB5");
    EXPECT_EQ(serial::DeviceName(10), "/dev/rfcomm0");
    EXPECT_EQ(serial::DeviceName(11), "/dev/ttyS10");
    EXPECT_EQ(serial::DeviceName(12), "/dev/ttyS11");
    EXPECT_EQ(serial::DeviceName(201), "");
    // As in the suite: only the aliases stand for ports.
    ::setenv("ESP8266WIFI_ALIASES_ONLY", "1", 1);
    EXPECT_EQ(serial::DeviceName(3), "/dev/pts/7");
    EXPECT_EQ(serial::DeviceName(11), "");
    EXPECT_EQ(serial::DeviceName(33), "");
}

TEST_F(PortNames, AnOversizedAliasFileIsNotReadWhole)
{
    WriteFile("com5", std::string(1 << 20, 'x'));
    EXPECT_LE(serial::DeviceName(5).size(), 4096u);
}

TEST_F(PortNames, FolderComesFromTheEnvironmentInOrder)
{
    EXPECT_EQ(serial::PortAliasFolder(), Folder);
    ::unsetenv("ESP8266WIFI_PORTS");
    ::setenv("XDG_CONFIG_HOME", "/cfg", 1);
    ::setenv("HOME", "/home/u", 1);
    EXPECT_EQ(serial::PortAliasFolder(), "/cfg/esp8266wifi/ports");
    ::unsetenv("XDG_CONFIG_HOME");
    EXPECT_EQ(serial::PortAliasFolder(), "/home/u/.config/esp8266wifi/ports");
    ::setenv("XDG_CONFIG_HOME", "", 1); // empty counts as unset
    EXPECT_EQ(serial::PortAliasFolder(), "/home/u/.config/esp8266wifi/ports");
}

TEST(Win32PortNames, NinePlainTenAndAboveInTheDeviceNamespace)
{
    EXPECT_EQ(serial::Win32DeviceName(1), "COM1");
    EXPECT_EQ(serial::Win32DeviceName(9), "COM9");
    EXPECT_EQ(serial::Win32DeviceName(10), "\\\\.\\COM10");
    EXPECT_EQ(serial::Win32DeviceName(255), "\\\\.\\COM255");
    EXPECT_EQ(serial::Win32DeviceName(4294967295u).size(), 17u); // the longest name
}

TEST_F(PortNames, NoAliasOrTableEntryReachesBeyondTheLastListedPort)
{
    fs::create_symlink("/dev/pts/9", Folder + "/com255");
    fs::create_symlink("/dev/pts/9", Folder + "/com256");
    EXPECT_EQ(serial::DeviceName(255), "/dev/pts/9");
    EXPECT_EQ(serial::DeviceName(256), "") << "the window's scan and both command lines stop at 255";
}

// The one reading of a port, a baud rate and a parity that both programs' options use.
TEST(PortOptions, ReadsPortsRatesAndParitiesAndRefusesTheRestInOneSetOfWords)
{
    for (auto [text, number] : std::vector<std::pair<const char*, unsigned>>{
             {"COM1", 1}, {"com7", 7}, {"Com255", 255}, {"COM007", 7}})
        EXPECT_EQ(serial::ParsePortName(text).value_or(serial::PortName{}).Number, number) << text;
    EXPECT_EQ(serial::ParsePortName("COM007")->Text(), "COM7");
    for (const char* path : {"/dev/ttyUSB0", "./pty", "\\\\.\\COM300"}) {
        const auto port = serial::ParsePortName(path);
        ASSERT_TRUE(port) << path;
        EXPECT_EQ(port->Number, 0u);
        EXPECT_EQ(port->Text(), path);
    }
    for (const char* bad : {"", "COM", "COM0", "COM256", "COM9999", "COM-1", "COM+1", "COM 1",
                            "COM1 ", "COMX", "tty0", "1"})
        EXPECT_FALSE(serial::ParsePortName(bad)) << bad;
    EXPECT_EQ(serial::BadPortName("COM0"), "unknown port 'COM0' (COM1 to COM255, or a device path)");

    for (int rate : {50, 1200, 9600, 115200, 230400, 921600, 4000000})
        EXPECT_EQ(serial::ParseBaudRate(std::to_string(rate)), rate);
    EXPECT_EQ(serial::ParseBaudRate("0115200"), 115200);
    for (const char* bad : {"", "0", "9601", "74880", "fast", "0x2580", "+9600", "-9600", " 9600",
                            "9600 ", "4000001", "99999999999999999999"})
        EXPECT_FALSE(serial::ParseBaudRate(bad)) << bad;
    const std::string badRate = serial::BadBaudRate("9601");
    EXPECT_TRUE(badRate.starts_with("unknown baud rate '9601' (50, 75, ")) << badRate;
    EXPECT_TRUE(badRate.ends_with(", 115200, 230400, 460800, 500000, 576000, 921600, 1000000, "
                                  "1152000, 1500000, 2000000, 3000000, 4000000)"))
        << badRate;

    for (auto [text, code] : std::vector<std::pair<const char*, int>>{
             {"none", 0}, {"NO", 0}, {"No", 0}, {"NONE", 0}, {"odd", 1}, {"ODD", 1},
             {"even", 2}, {"Even", 2}})
        EXPECT_EQ(serial::ParseParity(text), code) << text;
    for (const char* bad : {"", "n", "mark", "space", "0", "nones", "EVEN "})
        EXPECT_FALSE(serial::ParseParity(bad)) << bad;
    EXPECT_EQ(serial::BadParity("mark"),
              "unknown parity 'mark' (none, odd or even; NO for none; any case)");
}

} // namespace
