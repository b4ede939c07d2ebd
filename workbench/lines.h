#pragma once
// Cutting text into list items, as the Receive and Send logs show it.
#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringList>
#include <QStringView>

#include <algorithm>
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

namespace Detail {
// Where the lines of text lie by the rule of SplitLines; Char is char or char16_t. The spans
// are counted first so that the vector is allocated once, and pages are not touched twice.
template <class Span, class Char> std::vector<Span> LineSpansOf(const Char* text, qsizetype size)
{
    const auto isBreak = [](Char c) { return c == Char('\r') || c == Char('\n'); };
    std::vector<Span> spans;
    spans.reserve(std::size_t(std::count_if(text, text + size, isBreak)) + 1);
    qsizetype start = 0;
    for (qsizetype i = 0; i < size; ++i) {
        if (!isBreak(text[i])) continue;
        spans.push_back(Span{start, i - start});
        if (text[i] == Char('\r') && i + 1 < size && text[i + 1] == Char('\n')) ++i;
        start = i + 1;
    }
    if (start < size) spans.push_back(Span{start, size - start});
    return spans;
}
} // namespace Detail

// The bytes of a framed block that the Receive log shows: those before the first NUL.
QByteArrayView ShownReceivedBytes(QByteArrayView bytes);
// The lines of bytes by the rule of SplitLines, as spans of any {Start, Length} type, without
// decoding anything.
template <class Span = LineSpan> std::vector<Span> SplitLineSpans(QByteArrayView bytes)
{
    return Detail::LineSpansOf<Span>(bytes.data(), bytes.size());
}

// The Receive log items for a framed block: the bytes up to the first NUL, decoded as
// UTF-8 (each invalid sequence shown as U+FFFD), then split by SplitLines.
QStringList SplitReceivedLines(const QByteArray& bytes);

// A block that grew past limit bytes keeps its end: the last limit bytes, starting after the
// first line break in them so that only whole lines remain (unless no line starts in them,
// as in one long line: then the line's last limit bytes). The front is dropped in place.
QByteArray BlockTail(QByteArray block, qsizetype limit);
// The end of a block shown in parts: earlier (the parts so far) followed by part, cut by
// BlockTail. A part that fills the limit by itself makes earlier irrelevant; otherwise the
// part is appended to earlier in place, so no fresh copy of the block is made.
QByteArray JoinBlockTail(QByteArray earlier, QByteArray part, qsizetype limit);

} // namespace Workbench
