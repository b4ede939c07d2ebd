// The final result lines that end an answer.
#include "workbench/replies.h"

#include "qtprinters.h"

#include <gtest/gtest.h>

using namespace Workbench;

TEST(FinalResult, LinesAndTexts)
{
    for (FinalResult r : {FinalResult::Ok, FinalResult::Error, FinalResult::Fail,
                          FinalResult::SendOk, FinalResult::SendFail, FinalResult::Ready,
                          FinalResult::AlreadyConnected})
        EXPECT_EQ(FinalResultOfLine(FinalResultText(r).toLatin1() + "\r\n"), r);
    for (const char* line : {"", "ok", "OK!", "READY", "busy p...", ">", "SEND", "ERROR: x"})
        EXPECT_EQ(FinalResultOfLine(line), FinalResult::None) << line;
    EXPECT_EQ(FinalResultText(FinalResult::None), QString());
}
