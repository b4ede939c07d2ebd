// The probe's rate search and queries, driven by a test clock against a scripted line.
#include "workbench/moduleprobe.h"
#include "workbench/ratechange.h"

#include <gtest/gtest.h>

#include <deque>
#include <functional>
#include <map>

using namespace Workbench;

namespace {

// A line with something behind it: Answer decides what comes back for each write at the rate
// the line is set to; the bytes arrive LatencyMs later, as through a USB adapter.
struct ScriptedLine : ProbeLine
{
    int Rate = 0;
    std::int64_t Now = 0;
    int LatencyMs = 16;
    QList<int> RatesSet;
    QList<QByteArray> Writes;
    std::deque<std::pair<std::int64_t, QByteArray>> Pending;
    std::function<QByteArray(int rate, const QByteArray& written)> Answer;

    bool SetRate(int baud) override
    {
        Rate = baud;
        RatesSet.append(baud);
        return true;
    }
    bool Write(const QByteArray& bytes) override
    {
        Writes.append(bytes);
        if (Answer) {
            const QByteArray answer = Answer(Rate, bytes);
            if (!answer.isEmpty()) Pending.emplace_back(Now + LatencyMs, answer);
        }
        return true;
    }
};

// Runs the task to its end; returns the time it took.
std::int64_t Drive(LineTask& task, ScriptedLine& line, std::int64_t limitMs = 60'000)
{
    task.Start(line.Now);
    while (!task.Done() && line.Now < limitMs) {
        std::int64_t next = task.NextDueMs().value_or(limitMs);
        if (!line.Pending.empty()) next = std::min(next, line.Pending.front().first);
        line.Now = std::max(line.Now, next);
        if (!line.Pending.empty() && line.Pending.front().first <= line.Now) {
            const QByteArray bytes = line.Pending.front().second;
            line.Pending.pop_front();
            task.Feed(bytes, line.Now);
        } else {
            task.Advance(line.Now);
        }
    }
    return line.Now;
}

// A module at `rate` with echo on; at other rates it sends garbage, or nothing.
std::function<QByteArray(int, const QByteArray&)> ModuleAt(int rate, bool garbleElsewhere,
                                                            bool echo = true)
{
    static const std::map<QByteArray, QByteArray> answers{
        {"AT+GMR\r\n", "AT version:1.2.0.0(Jul  1 2016 20:04:45)\r\nSDK version:1.5.4.1(39cb9a32)\r\n"
                       "Dec  2 2016 14:21:16\r\n\r\nOK\r\n"},
        {"AT+CWMODE?\r\n", "+CWMODE:1\r\n\r\nOK\r\n"},
        {"AT+CWJAP?\r\n", "+CWJAP:\"esp-test\",\"aa:bb:cc:dd:ee:ff\",6,-52\r\n\r\nOK\r\n"},
        {"AT+CIPSTAMAC?\r\n", "+CIPSTAMAC:\"18:fe:34:00:00:07\"\r\n\r\nOK\r\n"},
        {"AT+CIFSR\r\n", "+CIFSR:STAIP,\"192.168.4.2\"\r\n+CIFSR:STAMAC,\"18:fe:34:00:00:07\"\r\n\r\nOK\r\n"},
    };
    return [=](int at, const QByteArray& written) -> QByteArray {
        if (at != rate) return garbleElsewhere ? QByteArray("\xf8\x00\x9c\xe0", 4) : QByteArray();
        const QByteArray command = written.startsWith("\r\n") ? written.mid(2) : written;
        const QByteArray echoed = echo ? command.chopped(2) + "\r\r\n" : QByteArray();
        if (command == "AT\r\n") return echoed + "\r\nOK\r\n";
        const auto it = answers.find(command);
        return it == answers.end() ? echoed + "\r\nERROR\r\n" : echoed + it->second;
    };
}

TEST(ModuleProbe, FindsTheRateTellsEchoAndReadsTheFactsWithQueriesOnly)
{
    ScriptedLine line;
    line.Answer = ModuleAt(74880, false);
    ModuleProbe probe(line, ProbeRates({}), 9600);
    const std::int64_t took = Drive(probe, line);
    const ProbeResult& r = probe.Result();
    ASSERT_EQ(r.Verdict, ProbeVerdict::Module);
    EXPECT_EQ(r.Baud, 74880);
    EXPECT_TRUE(r.Echo);
    EXPECT_EQ(r.RatesTried, (QList<int>{115200, 9600, 57600, 74880}));
    EXPECT_TRUE(r.RatesHeard.isEmpty());
    // Three silent rates cost their short wait each, no more: the module's own answers and
    // the settling are what remains.
    EXPECT_LT(took, 3 * ProbeTiming{}.SilentRateMs + 6 * 16 + 6 * ProbeTiming{}.QuietMs + 20);
    // The port stays at the rate the module answered at.
    EXPECT_EQ(line.RatesSet.last(), 74880);
    // Each rate gets a line end before its AT; after that only the read-only queries.
    QList<QByteArray> expected{"\r\nAT\r\n", "\r\nAT\r\n", "\r\nAT\r\n", "\r\nAT\r\n"};
    for (const QByteArray& q : ModuleProbe::Queries())
        expected.append(q + "\r\n");
    EXPECT_EQ(line.Writes, expected);

    const ModuleFacts& f = r.Facts;
    EXPECT_EQ(f.Version.At, "1.2.0.0");
    EXPECT_EQ(f.Version.BuildDate, "Dec  2 2016 14:21:16");
    EXPECT_EQ(f.WifiMode, 1);
    EXPECT_EQ(f.AccessPoint.Ssid, "esp-test");
    EXPECT_EQ(f.StationMac, "18:fe:34:00:00:07");
    EXPECT_EQ(f.Addresses.StationIp, "192.168.4.2");
}

TEST(ModuleProbe, GarbageAtAWrongRateEndsItOnceTheLineIsQuiet)
{
    ScriptedLine line;
    line.Answer = ModuleAt(57600, true, false);
    ModuleProbe probe(line, ProbeRates({}), 0, false);
    const std::int64_t garbled = Drive(probe, line);
    ASSERT_EQ(probe.Result().Verdict, ProbeVerdict::Module);
    EXPECT_FALSE(probe.Result().Echo);
    EXPECT_EQ(probe.Result().RatesHeard, (QList<int>{115200, 9600}));
    // Garbage came 16 ms after each AT: each wrong rate ended 30 ms later, not after 100 ms.
    ScriptedLine silent;
    silent.Answer = ModuleAt(57600, false, false);
    ModuleProbe slow(silent, ProbeRates({}), 0, false);
    EXPECT_GE(Drive(slow, silent) - garbled,
              2 * (ProbeTiming{}.SilentRateMs - 16 - ProbeTiming{}.QuietMs));
}

TEST(ModuleProbe, NothingOrOnlyGarbageAtEveryRate)
{
    ScriptedLine quiet;
    ModuleProbe none(quiet, ProbeRates({}), 19200);
    const std::int64_t took = Drive(none, quiet);
    EXPECT_EQ(none.Result().Verdict, ProbeVerdict::NoModule);
    EXPECT_EQ(none.Result().RatesTried.size(), DefaultProbeRates().size());
    EXPECT_LE(took, DefaultProbeRates().size() * ProbeTiming{}.SilentRateMs);
    EXPECT_EQ(quiet.RatesSet.last(), 19200); // back to the rate the port had

    // A loop-back adapter or any chatty device: echo of AT and noise, never an OK.
    ScriptedLine noisy;
    noisy.Answer = [](int, const QByteArray& w) { return w + QByteArray("\x7f\x01zz\r\n"); };
    ModuleProbe other(noisy, ProbeRates({}), 19200);
    Drive(other, noisy);
    EXPECT_EQ(other.Result().Verdict, ProbeVerdict::NotAModule);
    // Two rounds: the first might have met a module that was still starting.
    EXPECT_EQ(other.Result().RatesHeard.size(), 2 * DefaultProbeRates().size());
    EXPECT_FALSE(other.Result().Heard.isEmpty());
    EXPECT_EQ(noisy.RatesSet.last(), 19200);
}

TEST(ModuleProbe, AModuleBootingAsThePortOpensIsFoundOnTheSecondRound)
{
    // Its ROM's report at 74880 is noise at the first rate; what is sent to it in the 500 ms
    // before the firmware listens (at 115200) is lost.
    ScriptedLine line;
    line.Answer = [&](int rate, const QByteArray& w) -> QByteArray {
        if (line.Writes.size() == 1) return QByteArray("\x8e\xf0\x00boot", 7);
        if (line.Now < 500) return {};
        return ModuleAt(115200, false)(rate, w);
    };
    ModuleProbe probe(line, ProbeRates({}), 0, false);
    Drive(probe, line);
    EXPECT_EQ(probe.Result().Verdict, ProbeVerdict::Module);
    EXPECT_EQ(probe.Result().Baud, 115200);
    EXPECT_EQ(probe.Result().RatesTried.size(), DefaultProbeRates().size() + 1);
}

TEST(ModuleProbe, BusyModuleIsAskedAgainOnceItsEarlierCommandIsAnswered)
{
    // The line end ends a half-typed command that takes a while; our AT is refused, then the
    // earlier command's OK comes. That OK is not the answer to AT.
    ScriptedLine line;
    int ats = 0;
    line.Answer = [&](int rate, const QByteArray& w) -> QByteArray {
        if (rate != 115200 || !w.endsWith("AT\r\n")) return {};
        if (++ats == 1) return "busy p...\r\n";
        return "AT\r\r\n\r\nOK\r\n";
    };
    ModuleProbe probe(line, ProbeRates({}), 0, false);
    probe.Start(0);
    line.Now = 16;
    probe.Feed(line.Pending.front().second, 16);
    line.Pending.clear();
    line.Now = 3000;
    probe.Feed("\r\nOK\r\n", 3000); // the earlier command's own answer
    EXPECT_FALSE(probe.Done());
    EXPECT_EQ(line.Writes.size(), 2); // AT again
    Drive(probe, line);
    EXPECT_EQ(probe.Result().Verdict, ProbeVerdict::Module);
    EXPECT_EQ(probe.Result().Baud, 115200);
    EXPECT_TRUE(probe.Result().Echo);
}

TEST(ModuleProbe, RatesGivenFirstEachOnce)
{
    EXPECT_EQ(ProbeRates({9600, 74880, 9600, 0}).mid(0, 4),
              (QList<int>{9600, 74880, 115200, 57600}));
    EXPECT_EQ(ProbeRates({9600, 74880}).size(), DefaultProbeRates().size());
}

TEST(RateChange, MovesTheModuleAndChecksTheNewRate)
{
    ScriptedLine line;
    int moduleRate = 115200;
    const auto module = [&](int at, const QByteArray& w) -> QByteArray {
        QByteArray answer = ModuleAt(moduleRate, false)(at, w);
        if (at == moduleRate && w.startsWith("AT+UART_CUR=")) {
            moduleRate = w.mid(12).split(',').first().toInt();
            return "\r\nOK\r\n";
        }
        return answer;
    };
    line.Answer = module;
    RateChange change(line, ProbeRates({}), 0, 9600, false);
    Drive(change, line);
    EXPECT_EQ(change.Result().Outcome, RateChangeOutcome::Changed);
    EXPECT_EQ(change.Result().From, 115200);
    EXPECT_EQ(line.Rate, 9600);
    EXPECT_TRUE(line.Writes.contains("AT+UART_CUR=9600,8,1,0,0\r\n"));
}

TEST(RateChange, NoAnswerAtTheNewRateGoesBackAndRefusedRatesSendNothing)
{
    // The module takes the command but the line cannot carry the new rate: it is asked to go
    // back, and answers at the old rate again.
    ScriptedLine line;
    int moduleRate = 115200;
    line.Answer = [&](int at, const QByteArray& w) -> QByteArray {
        const QByteArray command = w.startsWith("\r\n") ? w.mid(2) : w;
        if (command.startsWith("AT+UART_CUR=")) {
            moduleRate = command.mid(12).split(',').first().toInt();
            return at == 115200 ? "\r\nOK\r\n" : "";
        }
        if (at == 921600) return {}; // the adapter garbles this rate away
        return ModuleAt(moduleRate, false)(at, w);
    };
    RateChange change(line, ProbeRates({}), 0, 921600, false);
    Drive(change, line);
    EXPECT_EQ(change.Result().Outcome, RateChangeOutcome::WentBack);
    EXPECT_EQ(line.Rate, 115200);
    EXPECT_EQ(moduleRate, 115200);

    ScriptedLine refused;
    refused.Answer = ModuleAt(115200, false);
    RateChange tooFast(refused, ProbeRates({}), 0, 4'700'000, false);
    Drive(tooFast, refused);
    EXPECT_EQ(tooFast.Result().Outcome, RateChangeOutcome::Refused);
    for (const QByteArray& w : refused.Writes)
        EXPECT_FALSE(w.contains("UART")) << w.toStdString();
}

} // namespace
