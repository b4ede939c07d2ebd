// The steps of the connection sequence.
#include "workbench/sequence.h"

#include "qtprinters.h"

#include <gtest/gtest.h>

using namespace Workbench;

TEST(ConfigSequence, ClickStartsAtStepOneWithTheJoinCommand)
{
    const SequenceStep start = StartConfigSequence("home", "secret");
    EXPECT_EQ(start.NextConfigStep, 1);
    EXPECT_EQ(start.Command, QByteArray("AT+CWJAP=\"home\",\"secret\"\r\n"));
    EXPECT_EQ(StartConfigSequence({}, {}).Command, QByteArray("AT+CWJAP=\"\",\"\"\r\n"));
    EXPECT_EQ(StartConfigSequence("a\"b", "c\r\n").Command,
              QByteArray("AT+CWJAP=\"a\\\"b\",\"c\"\r\n"));
}

TEST(ConfigSequence, StepsRunInOrderAndEndAtZero)
{
    struct Row
    {
        std::int32_t Step;
        std::int32_t Next;
        const char* Sent;
    };
    const Row rows[] = {
        {1, 2, "AT+CIPSTART=\"TCP\",\"10.0.0.2\",333\r\n"},
        {2, 3, "AT+CIPMODE=1\r\n"},
        {3, 0, "AT+CIPSEND\r\n"},
        {4, 0, "AT+CIPSEND\r\n"}, // "3 or more" ends the sequence
        {INT32_MAX, 0, "AT+CIPSEND\r\n"},
    };
    for (const Row& row : rows) {
        const SequenceStep s = RunConfigStep(row.Step, "10.0.0.2", "333");
        EXPECT_EQ(s.NextConfigStep, row.Next) << row.Step;
        EXPECT_EQ(s.Command, QByteArray(row.Sent)) << row.Step;
    }
    EXPECT_EQ(RunConfigStep(1, {}, {}).Command, QByteArray("AT+CIPSTART=\"TCP\",\"\",\r\n"));
    EXPECT_EQ(RunConfigStep(1, "1.2.3.4\r\nAT+RST", "80\n").Command,
              QByteArray("AT+CIPSTART=\"TCP\",\"1.2.3.4AT+RST\",80\r\n"));
}

TEST(ConfigSequence, NoSequenceSendsNothing)
{
    for (std::int32_t step : {0, -1, INT32_MIN}) {
        const SequenceStep s = RunConfigStep(step, "10.0.0.2", "333");
        EXPECT_EQ(s.NextConfigStep, 0) << step;
        EXPECT_TRUE(s.Command.isEmpty()) << step;
    }
}
