#include "workbench/linetask.h"

namespace Workbench {

LineQuery::LineQuery(ProbeLine& line)
    : Engine([&line](const QByteArray& bytes) { return line.Write(bytes); })
{
    Engine.OnAnswerComplete = [this](const ExchangeAnswer& answer) {
        Answered = answer;
        Complete = true;
    };
}

bool LineQuery::Send(const QByteArray& command, std::int64_t nowMs)
{
    Engine.Reset();
    Answered = {};
    Complete = false;
    bool written = false;
    Engine.SendCommand(command, nowMs, 0, [&written](bool ok) { written = ok; });
    return written;
}

bool LineQuery::Feed(QByteArrayView bytes, std::int64_t nowMs)
{
    if (!Complete) Engine.Receive(bytes, nowMs);
    return Complete;
}

} // namespace Workbench
