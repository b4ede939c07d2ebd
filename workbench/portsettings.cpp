#include "workbench/portsettings.h"

#include <limits>

namespace Workbench {

std::int32_t LeadingInteger(QStringView text)
{
    qsizetype i = 0;
    // The blanks isspace() accepts in the C locale.
    auto isBlank = [](QChar c) {
        return c == u' ' || c == u'\t' || c == u'\n' || c == u'\v' || c == u'\f' || c == u'\r';
    };
    while (i < text.size() && isBlank(text[i]))
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == u'+' || text[i] == u'-')) {
        negative = text[i] == u'-';
        ++i;
    }
    // Accumulate as a negative number so that the lowest value fits, then saturate.
    constexpr std::int64_t lowest = std::numeric_limits<std::int32_t>::min();
    std::int64_t value = 0;
    for (; i < text.size() && text[i] >= u'0' && text[i] <= u'9'; ++i) {
        value = value * 10 - (text[i].unicode() - u'0');
        if (value < lowest - 1)
            value = lowest - 1; // already out of range; keep the loop's arithmetic bounded
    }
    if (!negative) value = -value;
    if (value > std::numeric_limits<std::int32_t>::max())
        return std::numeric_limits<std::int32_t>::max();
    if (value < lowest) return std::numeric_limits<std::int32_t>::min();
    return std::int32_t(value);
}

std::int32_t PortNumberFromText(QStringView text)
{
    const qsizetype m = text.indexOf(u'M');
    return LeadingInteger(m < 0 ? text : text.mid(m + 1));
}

std::int32_t BaudRateFromText(QStringView text)
{
    return LeadingInteger(text);
}

QString PortListText(int portNumber)
{
    return QStringLiteral("COM") + QString::number(portNumber);
}

} // namespace Workbench
