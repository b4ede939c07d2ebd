#include "workbench/lines.h"

namespace Workbench {

namespace {

bool IsBreak(char c)
{
    return c == '\r' || c == '\n';
}

} // namespace

QStringList SplitLines(QStringView text)
{
    QStringList lines;
    const auto spans = Detail::LineSpansOf<LineSpan>(text.utf16(), text.size());
    lines.reserve(qsizetype(spans.size()));
    for (const LineSpan& span : spans)
        lines.append(text.mid(span.Start, span.Length).toString());
    return lines;
}

QByteArrayView ShownReceivedBytes(QByteArrayView bytes)
{
    const qsizetype nul = bytes.indexOf('\0');
    return nul < 0 ? bytes : bytes.first(nul);
}

QStringList SplitReceivedLines(const QByteArray& bytes)
{
    // CR and LF never occur inside a UTF-8 sequence, so splitting the bytes first and decoding
    // each line gives the same lines as decoding the whole block, at a line's cost in memory.
    const QByteArrayView shown = ShownReceivedBytes(bytes);
    QStringList lines;
    const std::vector<LineSpan> spans = SplitLineSpans(shown);
    lines.reserve(qsizetype(spans.size()));
    for (const LineSpan& span : spans)
        lines.append(QString::fromUtf8(shown.sliced(span.Start, span.Length)));
    return lines;
}

QByteArray BlockTail(QByteArray block, qsizetype limit)
{
    if (limit < 0 || block.size() <= limit) return block;
    qsizetype start = block.size() - limit;
    // Unless the tail starts right after a break, skip the partial line it starts in.
    if (!IsBreak(block[start - 1])) {
        qsizetype i = start;
        while (i < block.size() && !IsBreak(block[i]))
            ++i;
        if (i < block.size() && block[i] == '\r' && i + 1 < block.size() && block[i + 1] == '\n')
            ++i;
        // A tail whose only break ends it is one long line: its end is shown, cut.
        if (i + 1 < block.size()) start = i + 1;
    } else if (block[start - 1] == '\r' && block[start] == '\n') {
        ++start; // the break is CR LF and the tail would begin with its LF
    }
    block.remove(0, start);
    return block;
}

QByteArray JoinBlockTail(QByteArray earlier, QByteArray part, qsizetype limit)
{
    if (part.size() >= limit || earlier.isEmpty()) return BlockTail(std::move(part), limit);
    earlier.append(part);
    return BlockTail(std::move(earlier), limit);
}

} // namespace Workbench
