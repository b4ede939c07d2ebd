#include "workbench/lines.h"

namespace Workbench {

namespace {

bool IsBreak(char c)
{
    return c == '\r' || c == '\n';
}

// The spans of text split at CR LF, lone CR and lone LF; Text is QStringView or QByteArrayView.
template <class Text> std::vector<LineSpan> Spans(Text text)
{
    std::vector<LineSpan> spans;
    qsizetype start = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char c = char(text[i].unicode() <= 0x7F ? text[i].unicode() : 0);
        if (!IsBreak(c)) continue;
        spans.push_back({start, i - start});
        if (c == '\r' && i + 1 < text.size() && text[i + 1] == QLatin1Char('\n')) ++i;
        start = i + 1;
    }
    if (start < text.size()) spans.push_back({start, text.size() - start});
    return spans;
}

// A byte seen through the same interface as a QChar, so one splitting loop serves both.
struct ByteChar
{
    char Byte;
    char16_t unicode() const { return char16_t(static_cast<unsigned char>(Byte)); }
    bool operator==(QLatin1Char other) const { return Byte == other.toLatin1(); }
};

struct BytesAsChars
{
    QByteArrayView Bytes;
    qsizetype size() const { return Bytes.size(); }
    ByteChar operator[](qsizetype i) const { return {Bytes[i]}; }
};

} // namespace

QStringList SplitLines(QStringView text)
{
    QStringList lines;
    const std::vector<LineSpan> spans = Spans(text);
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

std::vector<LineSpan> SplitLineSpans(QByteArrayView bytes)
{
    return Spans(BytesAsChars{bytes});
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
    return block.sliced(start);
}

} // namespace Workbench
