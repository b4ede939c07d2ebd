#include "workbench/replies.h"

#include <QByteArray>

#include <array>
#include <utility>

namespace Workbench {
namespace {

constexpr std::array<std::pair<FinalResult, const char*>, 9> finalLines{{
    {FinalResult::Ok, "OK"},
    {FinalResult::Error, "ERROR"},
    {FinalResult::Fail, "FAIL"},
    {FinalResult::SendOk, "SEND OK"},
    {FinalResult::SendFail, "SEND FAIL"},
    {FinalResult::AlreadyConnected, "ALREADY CONNECTED"},
    {FinalResult::Prompt, ">"},
    {FinalResult::Ready, "ready"},
    {FinalResult::Busy, "busy p..."},
}};

QByteArrayView withoutLineEnd(QByteArrayView line)
{
    while (!line.isEmpty() && (line.back() == '\r' || line.back() == '\n'))
        line.chop(1);
    return line;
}

} // namespace

FinalResult FinalResultOfLine(QByteArrayView line)
{
    line = withoutLineEnd(line);
    for (const auto& [result, text] : finalLines)
        if (result != FinalResult::Prompt && result != FinalResult::Busy &&
            line == QByteArrayView(text))
            return result;
    return FinalResult::None;
}

QString FinalResultText(FinalResult result)
{
    for (const auto& [r, text] : finalLines)
        if (r == result) return QString::fromLatin1(text);
    return {};
}

bool FinalResultSucceeded(FinalResult result, bool restartCommand)
{
    switch (result) {
    case FinalResult::Ok:
    case FinalResult::SendOk:
    case FinalResult::Prompt:
        return true;
    case FinalResult::Ready:
        return restartCommand;
    case FinalResult::None:
    case FinalResult::Error:
    case FinalResult::Fail:
    case FinalResult::SendFail:
    case FinalResult::AlreadyConnected:
    case FinalResult::Busy:
        return false;
    }
    return false;
}

bool IsRestartCommand(QByteArrayView command)
{
    const QByteArray name = command.toByteArray().trimmed().toUpper();
    return name == "AT+RST" || name == "AT+RESTORE";
}

} // namespace Workbench
