#include "workbench/statustexts.h"

#include <QRegularExpression>

namespace Workbench {

QString ShortTimeText(const QTime& time, const QLocale& locale)
{
    QString format = locale.timeFormat(QLocale::ShortFormat);
    // Drop the seconds field together with the separator in front of it.
    static const QRegularExpression seconds(QStringLiteral("[^hHmaApPt ]?s{1,2}(\\.z+)?"));
    format.remove(seconds);
    return time.toString(format.trimmed());
}

} // namespace Workbench
