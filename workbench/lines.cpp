#include "workbench/lines.h"

namespace Workbench {

QStringList SplitLines(QStringView text)
{
    QStringList lines;
    qsizetype start = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (c != QLatin1Char('\r') && c != QLatin1Char('\n')) continue;
        lines.append(text.mid(start, i - start).toString());
        if (c == QLatin1Char('\r') && i + 1 < text.size() && text[i + 1] == QLatin1Char('\n')) ++i;
        start = i + 1;
    }
    if (start < text.size()) lines.append(text.mid(start).toString());
    return lines;
}

QStringList SplitReceivedLines(const QByteArray& bytes)
{
    const qsizetype nul = bytes.indexOf('\0');
    const QByteArrayView shown = nul < 0 ? QByteArrayView(bytes) : QByteArrayView(bytes).first(nul);
    return SplitLines(QString::fromUtf8(shown));
}

} // namespace Workbench
