#pragma once
// The connection sequence of the "Connection configuration" page: join the access point,
// open a TCP connection, switch to transparent transmission and start sending.
#include <QByteArray>
#include <QString>
#include <cstdint>

namespace Workbench {

// One move of the sequence: the ConfigStep to store and the command to send (empty when
// there is nothing to send).
struct SequenceStep
{
    std::int32_t NextConfigStep = 0;
    QByteArray Command;
};

// A click on "Configuration mode": restarts the sequence at step 1 with the join command,
// whatever step it was at.
SequenceStep StartConfigSequence(const QString& ssid, const QString& pwd);

// The step run by the tick for configStep 1, 2 or 3 (3 or more ends the sequence); the
// server fields are read when the step runs. A configStep of 0 or less is no sequence:
// nothing is sent and the step stays 0.
SequenceStep RunConfigStep(std::int32_t configStep, const QString& serverIp,
                           const QString& serverPort);

// The name of a step for reports, by the ConfigStep that sends it: 0 the join (sent by the
// click), 1 the TCP connection, 2 transparent mode, 3 start sending.
QString SequenceStepName(std::int32_t configStep);

} // namespace Workbench
