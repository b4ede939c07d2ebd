#include "atcommandline.h"

#include <gtest/gtest.h>

using namespace esp8266sim;

TEST(AtCommandLine, FormsAndParameters)
{
    auto query = ParseAtCommandLine("AT+CWMODE?");
    ASSERT_TRUE(query);
    EXPECT_EQ(query->name, "AT+CWMODE");
    EXPECT_EQ(query->form, CommandForm::Query);

    auto test = ParseAtCommandLine("AT+CIPSEND=?");
    ASSERT_TRUE(test);
    EXPECT_EQ(test->form, CommandForm::Test);

    auto start = ParseAtCommandLine("AT+CIPSTART=\"UDP\",\"10.0.0.2\",333");
    ASSERT_TRUE(start);
    EXPECT_EQ(start->form, CommandForm::Set);
    ASSERT_EQ(start->parameters.size(), 3u);
    EXPECT_TRUE(start->parameters[0].quoted);
    EXPECT_EQ(start->parameters[1].text, "10.0.0.2");
    EXPECT_FALSE(start->parameters[2].quoted);
    EXPECT_EQ(NumberParameter(start->parameters[2], 1, 65535), 333);

    auto echoOff = ParseAtCommandLine("ATE0");
    ASSERT_TRUE(echoOff);
    EXPECT_EQ(echoOff->name, "ATE0");
    EXPECT_EQ(echoOff->form, CommandForm::Execute);

    // An empty value is still a parameter: "AT+CIPSTO=" has one, and it is not a number.
    auto empty = ParseAtCommandLine("AT+CIPSTO=");
    ASSERT_TRUE(empty);
    ASSERT_EQ(empty->parameters.size(), 1u);
    EXPECT_FALSE(NumberParameter(empty->parameters[0], 0, 7200));
}

TEST(AtCommandLine, BackslashEscapesInQuotedText)
{
    auto join = ParseAtCommandLine(R"(AT+CWJAP="my \"net\"\, 2","a\\b,c")");
    ASSERT_TRUE(join);
    ASSERT_EQ(join->parameters.size(), 2u);
    EXPECT_EQ(join->parameters[0].text, "my \"net\", 2");
    EXPECT_EQ(join->parameters[1].text, "a\\b,c"); // a plain comma inside quotes is text too
}

TEST(AtCommandLine, RejectsMalformedLines)
{
    for (const char* line : {"at", "AT+CWJAP=\"open", "AT+CWJAP=\"abc\\", "AT+CWJAP=\"a\"b,\"c\"",
                             "AT+CWMODE?x", "AT+CWMODE=1\"2\"", "XAT", "A"})
        EXPECT_FALSE(ParseAtCommandLine(line)) << line;
}

TEST(AtCommandLine, NumbersAreWholeAndInRange)
{
    const auto number = [](const char* text, long low, long high) {
        return NumberParameter(AtParameter{false, text}, low, high);
    };
    EXPECT_EQ(number("7200", 0, 7200), 7200);
    EXPECT_FALSE(number("7201", 0, 7200));
    EXPECT_FALSE(number("-1", 0, 10));
    EXPECT_FALSE(number("1 ", 0, 10));
    EXPECT_FALSE(number("99999999999999999999", 0, 10)); // no overflow into range
    EXPECT_FALSE(NumberParameter(AtParameter{true, "1"}, 0, 10));
}
