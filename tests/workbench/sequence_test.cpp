// The steps of the connection sequence.
#include "workbench/sequence.h"

#include "qtprinters.h"

#include <gtest/gtest.h>

using namespace Workbench;

TEST(ConfigSequence, ClickStartsAtStepOneWithTheJoinCommand)
{
    const SequenceStep start = StartConfigSequence("home", "secret");
    EXPECT_EQ(start.nextConfigStep, 1);
    EXPECT_EQ(start.command, QByteArray("AT+CWJAP=\"home\",\"secret\"\r\n"));
    EXPECT_EQ(StartConfigSequence({}, {}).command, QByteArray("AT+CWJAP=\"\",\"\"\r\n"));
    EXPECT_EQ(StartConfigSequence("a\"b", "c\r\n").command,
              QByteArray("AT+CWJAP=\"a\\\"b\",\"c\"\r\n"));
}

TEST(ConfigSequence, StepsRunInOrderAndEndAtZero)
{
    struct Row
    {
        std::int32_t step;
        std::int32_t next;
        const char* sent;
    };
    const Row rows[] = {
        {1, 2, "AT+CIPSTART=\"TCP\",\"10.0.0.2\",333\r\n"},
        {2, 3, "AT+CIPMODE=1\r\n"},
        {3, 0, "AT+CIPSEND\r\n"},
        {4, 0, "AT+CIPSEND\r\n"}, // "3 or more" ends the sequence
        {INT32_MAX, 0, "AT+CIPSEND\r\n"},
    };
    for (const Row& row : rows) {
        const SequenceStep s = RunConfigStep(row.step, "10.0.0.2", "333");
        EXPECT_EQ(s.nextConfigStep, row.next) << row.step;
        EXPECT_EQ(s.command, QByteArray(row.sent)) << row.step;
    }
    EXPECT_EQ(RunConfigStep(1, {}, {}).command, QByteArray("AT+CIPSTART=\"TCP\",\"\",\r\n"));
    EXPECT_EQ(RunConfigStep(1, "1.2.3.4\r\nAT+RST", "80\n").command,
              QByteArray("AT+CIPSTART=\"TCP\",\"1.2.3.4AT+RST\",80\r\n"));
}

TEST(ConfigSequence, NoSequenceSendsNothing)
{
    for (std::int32_t step : {0, -1, INT32_MIN}) {
        const SequenceStep s = RunConfigStep(step, "10.0.0.2", "333");
        EXPECT_EQ(s.nextConfigStep, 0) << step;
        EXPECT_TRUE(s.command.isEmpty()) << step;
    }
}
