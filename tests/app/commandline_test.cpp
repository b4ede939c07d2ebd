// Reading the program's command line into plain values, without a window.
// The simulated module comes first: Qt defines emit as a macro.
#include "simulatedmodule.h"

#include "app/commandline.h"
#include "cli/options.h"

#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <unistd.h>

namespace {

LaunchOptions Parse(QStringList arguments)
{
    arguments.prepend(QStringLiteral("esp8266wifi"));
    return ParseCommandLine(arguments);
}

TEST(CommandLine, ReadsPortSettingsOpenAndLookInAnyCase)
{
    const LaunchOptions options = Parse(
        {"--port", "com7", "--baud", "9600", "--parity", "even", "--open", "--style", "bluEGlass"});
    EXPECT_EQ(options.Error, "");
    EXPECT_EQ(options.Port, "COM7");
    EXPECT_EQ(options.DevicePath, "");
    EXPECT_EQ(options.Baud, 9600);
    EXPECT_EQ(options.Parity, 2);
    EXPECT_TRUE(options.Open);
    EXPECT_EQ(options.Style, TsuiUIStyle::BlueGlass);

    const LaunchOptions bare = Parse({});
    EXPECT_EQ(bare.Error, "");
    EXPECT_TRUE(bare.Port.isEmpty());
    EXPECT_FALSE(bare.Baud || bare.Parity || bare.Style || bare.Open);

    const LaunchOptions path = Parse({"--port=/dev/ttyUSB3", "--style=macos", "--parity", "NO"});
    EXPECT_EQ(path.Port, "/dev/ttyUSB3");
    EXPECT_EQ(path.DevicePath, "/dev/ttyUSB3");
    EXPECT_EQ(path.Style, TsuiUIStyle::MacOS);
    EXPECT_EQ(path.Parity, 0);
    EXPECT_EQ(Parse({"--port", "COM255"}).Port, "COM255");
    EXPECT_EQ(Parse({"--port", "COM07"}).Port, "COM7");
    EXPECT_EQ(Parse({"--parity", "none"}).Parity, 0);
}

TEST(CommandLine, RefusesValuesItCannotUseAndSaysWhich)
{
    const std::vector<std::pair<QStringList, QString>> refused = {
        {{"--style", "Aqua"}, "Aqua"},
        {{"--style", "FromThemeFile"}, "FromThemeFile"},
        {{"--baud", "9601"}, "9601"},
        {{"--baud", "fast"}, "fast"},
        {{"--baud", "0x2580"}, "0x2580"},
        {{"--parity", "MARK"}, "MARK"},
        {{"--port", "tty0"}, "tty0"},
        {{"--port", "COM0"}, "COM0"},
        {{"--port", "COM256"}, "COM256"},
        {{"--baud", "230400"}, "230400 is not in the window's list (1200, 2400, 4800, 9600, "
                               "19200, 38400, 57600, 115200); esp8266at can use it"},
        {{"--port", ""}, "''"},
        {{"--frobnicate"}, "frobnicate"},
        {{"stray"}, "stray"},
        {{"--baud"}, "baud"},
    };
    for (const auto& [arguments, named] : refused) {
        const LaunchOptions options = Parse(arguments);
        EXPECT_TRUE(options.Error.contains(named)) << arguments.join(' ').toStdString() << ": "
                                                   << options.Error.toStdString();
    }
    // The message lists the looks to choose from.
    EXPECT_TRUE(Parse({"--style", "x"}).Error.contains("MacOS, WinXP, DeepBlue, Protein, BlueGlass"));
}

// The window and esp8266at read the port and its line settings with one parser, so a value one
// refuses the other refuses in the same words.
TEST(CommandLine, RefusesPortsRatesAndParitiesInTheWordsOfEsp8266at)
{
    const std::vector<std::pair<const char*, QString>> bad = {
        {"--port", "COM0"},  {"--port", "COM256"}, {"--port", "tty0"},  {"--port", "COM1x"},
        {"--baud", "9601"},  {"--baud", "fast"},   {"--baud", "-9600"}, {"--parity", "mark"},
        {"--parity", "N"},
    };
    for (const auto& [option, value] : bad) {
        const QString window = Parse({option, value}).Error;
        const Cli::ParseResult cli = Cli::ParseArguments({"send", option, value, "AT"});
        EXPECT_FALSE(window.isEmpty()) << option << " " << value.toStdString();
        EXPECT_EQ(window, cli.Error) << option << " " << value.toStdString();
    }
    // And what one takes, the other takes.
    const Cli::ParseResult cli =
        Cli::ParseArguments({"send", "--parity", "NO", "-p", "com7", "--baud", "9600", "AT"});
    ASSERT_TRUE(cli.Options) << cli.Error.toStdString();
    const LaunchOptions window = Parse({"--parity", "NO", "--port", "com7", "--baud", "9600"});
    EXPECT_EQ(window.Parity, cli.Options->Parity);
    EXPECT_EQ(window.Baud, cli.Options->Baud);
}

TEST(CommandLine, APortMustNameADeviceThatExists)
{
    QTemporaryDir aliases;
    ASSERT_TRUE(aliases.isValid());
    qputenv("ESP8266WIFI_PORTS", aliases.path().toLocal8Bit());
    const QString node = aliases.path() + "/node";
    ASSERT_EQ(::symlink(node.toLocal8Bit().constData(),
                        (aliases.path() + "/com200").toLocal8Bit().constData()),
              0);
    QStringList present;
    const auto exists = [&](const QString& path) { return present.contains(path); };

    EXPECT_EQ(PortExistenceProblem(Parse({}), exists), "");
    EXPECT_TRUE(PortExistenceProblem(Parse({"--port", "COM201"}), exists).contains("COM201"));
    EXPECT_TRUE(PortExistenceProblem(Parse({"--port", "COM200"}), exists).contains(node));
    EXPECT_TRUE(PortExistenceProblem(Parse({"--port", "/dev/ttyACM9"}), exists).contains("ttyACM9"));
    present = {node, "/dev/ttyACM9"};
    EXPECT_EQ(PortExistenceProblem(Parse({"--port", "COM200"}), exists), "");
    EXPECT_EQ(PortExistenceProblem(Parse({"--port", "/dev/ttyACM9"}), exists), "");
    qunsetenv("ESP8266WIFI_PORTS");
}

TEST(CommandLine, TheStyleOptionIsKeptFromTheApplicationObject)
{
    QByteArrayList words = {"esp8266wifi", "--style", "WinXP", "-platform", "offscreen",
                            "--style=protein", "--open", "-style"};
    std::vector<char*> argv;
    for (QByteArray& word : words)
        argv.push_back(word.data());
    argv.push_back(nullptr);
    int argc = int(words.size());
    const QStringList taken = TakeStyleArguments(argc, argv.data());
    EXPECT_EQ(taken, QStringList({"--style", "WinXP", "--style", "protein", "--style"}));
    ASSERT_EQ(argc, 4);
    EXPECT_STREQ(argv[1], "-platform");
    EXPECT_STREQ(argv[3], "--open");
    EXPECT_EQ(argv[4], nullptr);
}

// Qt's own options go to the application object, with their values; ours stay, in order.
TEST(CommandLine, LeavesQtsOwnOptionsToTheApplicationObject)
{
    EXPECT_EQ(WithoutQtOptions({"esp8266wifi", "-platform", "wayland", "--port", "COM3",
                                "--display=:1", "-reverse", "--qwindowgeometry", "10x10+0+0",
                                "-qmljsdebugger=port:1234", "--open", "--bogus"}),
              QStringList({"esp8266wifi", "--port", "COM3", "--open", "--bogus"}));
    // A value that looks like an option is still the option's value.
    EXPECT_EQ(WithoutQtOptions({"esp8266wifi", "-title", "--open"}), QStringList{"esp8266wifi"});
}

} // namespace

namespace {

struct ProgramRun
{
    int status = -1;
    QString out;
    QString err;
};

// The program itself, with no display at all unless platform is given.
ProgramRun RunProgram(const QStringList& arguments, const QString& platform = {})
{
    QProcess program;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.remove("DISPLAY");
    environment.remove("WAYLAND_DISPLAY");
    environment.remove("QT_QPA_PLATFORM");
    if (!platform.isEmpty()) environment.insert("QT_QPA_PLATFORM", platform);
    program.setProcessEnvironment(environment);
    program.start(QStringLiteral(ESP8266WIFI_PROGRAM), arguments);
    if (!program.waitForFinished(20000)) return {};
    return {program.exitCode(), QString::fromLocal8Bit(program.readAllStandardOutput()),
            QString::fromLocal8Bit(program.readAllStandardError())};
}

TEST(Program, AnswersHelpAndVersionWithoutADisplayAndRefusesBadValuesAsUsage)
{
    const ProgramRun version = RunProgram({"--version"});
    EXPECT_EQ(version.status, 0);
    EXPECT_TRUE(version.out.contains("esp8266wifi")) << version.out.toStdString();
    const ProgramRun help = RunProgram({"--help"});
    EXPECT_EQ(help.status, 0);
    for (const char* option : {"--port", "--baud", "--parity", "--open", "--style", "--version"})
        EXPECT_TRUE(help.out.contains(option)) << option;

    // --help-all names the options of a widget application, not only the core's.
    const ProgramRun helpAll = RunProgram({"--help-all"});
    EXPECT_EQ(helpAll.status, 0);
    for (const char* option : {"--platform <", "--qwindowgeometry", "--reverse", "--style <NAME>"})
        EXPECT_TRUE(helpAll.out.contains(option)) << option;

    // Usage errors are found before any window system is asked for: with no display at all,
    // and with Qt's own options among ours.
    QTemporaryDir aliases;
    qputenv("ESP8266WIFI_PORTS", aliases.path().toLocal8Bit());
    const std::vector<std::pair<QStringList, QString>> usage = {
        {{"--style", "Aqua"}, "unknown style 'Aqua'"},
        {{"--bogus"}, "bogus"},
        {{"--help", "--bogus"}, "bogus"},
        {{"--baud", "7"}, "baud rate '7'"},
        {{"-platform", "xcb", "--port", "COM250"}, "unknown port 'COM250'"},
        {{"--port", "/dev/no-such-adapter"}, "/dev/no-such-adapter"},
    };
    for (const auto& [arguments, message] : usage) {
        const ProgramRun run = RunProgram(arguments);
        EXPECT_EQ(run.status, UsageExitCode) << arguments.join(' ').toStdString();
        EXPECT_TRUE(run.err.contains(message)) << run.err.toStdString();
    }
    EXPECT_EQ(RunProgram({"--bogus"}, "offscreen").status, UsageExitCode);
    qunsetenv("ESP8266WIFI_PORTS");
}

TEST(Program, OpensTheNamedPortWithParityNone)
{
    QTemporaryDir aliases;
    ASSERT_TRUE(aliases.isValid());
    esp8266sim::SimulatedModule::Options options;
    options.com = 1;
    options.aliasFolder = aliases.path().toStdString();
    std::string error;
    const auto module = esp8266sim::SimulatedModule::start(options, &error);
    ASSERT_NE(module, nullptr) << error;
    qputenv("ESP8266WIFI_PORTS", aliases.path().toLocal8Bit());
    // The picture is taken once the module's answer is shown: exit 0 means it opened and replied.
    const ProgramRun run = RunProgram({"--parity", "none", "--port", "COM1", "--demo-screenshot",
                                       aliases.path() + "/window.png"},
                                      "offscreen");
    qunsetenv("ESP8266WIFI_PORTS");
    EXPECT_EQ(run.status, 0) << run.err.toStdString();
}

} // namespace
