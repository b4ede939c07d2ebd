// esp8266at without a module: help for each subcommand, usage errors, the catalogue listing,
// and the port list.
#include "clifixture.h"

#include <unistd.h>

using namespace clitest;

namespace {

class Usage : public CliTest
{
};

} // namespace

TEST_F(Usage, EverySubcommandHasHelpBothWays)
{
    for (const char* sub : {"ports", "send", "command", "connect"}) {
        const RunResult asked = Run({"help", sub});
        const RunResult flag = Run({sub, "--help"});
        EXPECT_EQ(asked.exitStatus, 0) << sub;
        EXPECT_EQ(flag.exitStatus, 0) << sub;
        EXPECT_EQ(asked.out, flag.out) << sub;
        EXPECT_TRUE(asked.out.starts_with(std::string("Usage: esp8266at ") + sub)) << asked.out;
    }
    const RunResult top = Run({"--help"});
    EXPECT_EQ(top.exitStatus, 0);
    for (const char* word : {"ports", "send", "command", "connect", "64  bad usage"})
        EXPECT_NE(top.out.find(word), std::string::npos) << word;
    EXPECT_EQ(Run({"--version"}).out.substr(0, 10), "esp8266at ");
}

TEST_F(Usage, BadUsageExitsSixtyFourWithAHint)
{
    const std::vector<std::pair<QStringList, std::string>> cases{
        {{}, "esp8266at --help"},
        {{"frobnicate"}, "esp8266at --help"},
        {{"send"}, "esp8266at send --help"},
        {{"send", "--baud", "fast", "AT"}, "esp8266at send --help"},
        {{"send", "--parity", "mark", "AT"}, "esp8266at send --help"},
        {{"send", "--timeout", "0", "AT"}, "esp8266at send --help"},
        {{"send", "--bogus", "AT"}, "esp8266at send --help"},
        {{"send", "-p"}, "esp8266at send --help"},
        {{"send", "AT\r\nAT+RST"}, "esp8266at send --help"},
        {{"connect", "--ssid", "x"}, "esp8266at connect --help"},
        {{"connect", "--ssid", "x", "--server", "127.0.0.1"}, "esp8266at connect --help"},
        {{"connect", "--ssid", "x", "--server", "host:99999"}, "esp8266at connect --help"},
        {{"command", "NOSUCH"}, "esp8266at command --help"},
        {{"command", "CWMODE", "9"}, "esp8266at command --help"},
        {{"command", "GMR", "1"}, "esp8266at command --help"},
        {{"command", "CWMODE", "--ssid", "x"}, "esp8266at command --help"},
        {{"command", "CWJAP", "1", "--ssid", "x"}, "esp8266at command --help"},
        {{"command", "CIPSTART", "--ssid", "x"}, "esp8266at command --help"},
        {{"help", "nosuch"}, "esp8266at --help"},
    };
    for (const auto& [args, hint] : cases) {
        const RunResult r = Run(args);
        const std::string what = args.join(' ').toStdString();
        EXPECT_EQ(r.exitStatus, 64) << what;
        EXPECT_TRUE(r.err.starts_with("esp8266at: ")) << what << ": " << r.err;
        EXPECT_NE(r.err.find("Try '" + hint + "'"), std::string::npos) << what << ": " << r.err;
        EXPECT_EQ(r.out, "") << what;
    }
    // The message says which choice does use the field.
    const RunResult query = Run({"command", "CWJAP", "1", "--ssid", "x"});
    EXPECT_NE(query.err.find("choice 2 (Username"), std::string::npos) << query.err;
}

TEST_F(Usage, SeveralPortsWithoutAChoiceIsAUsageError)
{
    StartModule(1);
    StartModule(2);
    const RunResult r = Run({"send", "AT"});
    EXPECT_EQ(r.exitStatus, 64);
    EXPECT_NE(r.err.find("COM1, COM2"), std::string::npos) << r.err;
}

TEST_F(Usage, CommandListShowsTheCatalogueAndWhatEachChoiceSends)
{
    const RunResult r = Run({"command", "--list"});
    EXPECT_EQ(r.exitStatus, 0);
    for (const char* text : {"AT+CIPSERVER --param", "AT+CIPSTART --ip --remote-port",
                             "AT+CWJAP --ssid --password",
                             "2  Username\xEF\xBC\x8CPassword         ->  "
                             "AT+CWJAP=\"<ssid>\",\"<password>\"",
                             "3  Set AP Model", "->  AT+CWMODE=2", "AT+CIPSTO"})
        EXPECT_NE(r.out.find(text), std::string::npos) << text << " in\n" << r.out;
}

TEST_F(Usage, PortsListsEachPortWithWhetherItCanBeOpened)
{
    auto& free = StartModule(1);
    auto& held = StartModule(2);
    const pid_t holder = Hold(held.slavePath());
    const RunResult plain = Run({"ports"});
    EXPECT_EQ(plain.exitStatus, 0);
    EXPECT_NE(plain.out.find("COM1  " + free.slavePath()), std::string::npos) << plain.out;
    EXPECT_NE(plain.out.find("available"), std::string::npos) << plain.out;

    const RunResult json = Run({"ports", "--json"});
    EXPECT_EQ(json.exitStatus, 0);
    QMap<QString, QJsonObject> byPort;
    for (const QJsonObject& o : json.JsonLines())
        byPort[o["port"].toString()] = o;
    ASSERT_TRUE(byPort.contains("COM1") && byPort.contains("COM2")) << json.out;
    EXPECT_EQ(byPort["COM1"]["device"].toString().toStdString(), free.slavePath());
    EXPECT_TRUE(byPort["COM1"]["openable"].toBool());
    EXPECT_TRUE(byPort["COM1"]["reason"].isNull());
    EXPECT_FALSE(byPort["COM2"]["openable"].toBool());
    EXPECT_EQ(byPort["COM2"]["problem"].toString(), "held");
    EXPECT_TRUE(byPort["COM2"]["reason"].toString().startsWith("held by another program"));
    EXPECT_EQ(byPort["COM2"]["holders"][0]["pid"].toInteger(), holder);

    // "all" is the ports that can be opened: the held one is left out.
    const RunResult all = Run({"send", "-p", "all", "--json", "AT"});
    EXPECT_EQ(all.exitStatus, 0) << all.err;
    QStringList ports;
    for (const QJsonObject& o : all.JsonLines())
        ports.append(o["port"].toString());
    EXPECT_TRUE(ports.contains("COM1")) << all.out;
    EXPECT_FALSE(ports.contains("COM2")) << all.out;
}
