#include "workbench/sequence.h"

#include "workbench/composition.h"

namespace Workbench {

SequenceStep StartConfigSequence(const QString& ssid, const QString& pwd)
{
    return {1, JoinAccessPointCommand(ssid, pwd)};
}

SequenceStep RunConfigStep(std::int32_t configStep, const QString& serverIp,
                           const QString& serverPort)
{
    if (configStep <= 0) return {0, {}};
    if (configStep == 1)
        return {2, StartConnectionCommand(QStringLiteral("TCP"), serverIp, serverPort)};
    if (configStep == 2) return {3, QByteArrayLiteral("AT+CIPMODE=1\r\n")};
    return {0, QByteArrayLiteral("AT+CIPSEND\r\n")};
}

QString SequenceStepName(std::int32_t configStep)
{
    switch (configStep) {
    case 0:
        return QStringLiteral("join");
    case 1:
        return QStringLiteral("TCP connection");
    case 2:
        return QStringLiteral("transparent mode");
    default:
        return QStringLiteral("start sending");
    }
}

} // namespace Workbench
