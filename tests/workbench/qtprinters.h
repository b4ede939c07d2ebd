#pragma once
// Readable failure messages for the Qt value types the workbench tests compare.
#include <QByteArray>
#include <QString>
#include <QStringList>

#include <ostream>

inline void PrintTo(const QByteArray& bytes, std::ostream* os)
{
    *os << '"';
    for (char c : bytes) {
        const auto u = static_cast<unsigned char>(c);
        if (c == '\r')
            *os << "\\r";
        else if (c == '\n')
            *os << "\\n";
        else if (u < 0x20 || u >= 0x7F)
            *os << "\\x" << QByteArray(1, c).toHex().constData();
        else
            *os << c;
    }
    *os << '"';
}

inline void PrintTo(const QString& text, std::ostream* os)
{
    PrintTo(text.toUtf8(), os);
}

inline void PrintTo(const QStringList& items, std::ostream* os)
{
    *os << '{';
    for (qsizetype i = 0; i < items.size(); ++i) {
        if (i) *os << ", ";
        PrintTo(items[i], os);
    }
    *os << '}';
}
