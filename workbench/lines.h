#pragma once
// Cutting text into list items, as the Receive and Send logs show it.
#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringList>
#include <QStringView>

#include <vector>

namespace Workbench {

// Splits text at each CR LF pair, lone CR and lone LF. A break at the very end adds no
// empty item; LF followed by CR is two breaks with an empty item between; empty text gives
// no items.
QStringList SplitLines(QStringView text);

// One line of a byte block: where it starts and how many bytes it has, breaks excluded.
struct LineSpan
{
    qsizetype Start = 0;
    qsizetype Length = 0;
};

// The bytes of a framed block that the Receive log shows: those before the first NUL.
QByteArrayView ShownReceivedBytes(QByteArrayView bytes);
// The lines of bytes by the rule of SplitLines, as spans, without decoding anything.
std::vector<LineSpan> SplitLineSpans(QByteArrayView bytes);

// The Receive log items for a framed block: the bytes up to the first NUL, decoded as
// UTF-8 (each invalid sequence shown as U+FFFD), then split by SplitLines.
QStringList SplitReceivedLines(const QByteArray& bytes);

// A block that grew past limit bytes keeps its end: the last limit bytes, starting after the
// first line break in them so that only whole lines remain (unless no line starts in them,
// as in one long line: then the line's last limit bytes).
QByteArray BlockTail(QByteArray block, qsizetype limit);

} // namespace Workbench
