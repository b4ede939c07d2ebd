#include "workbench/sessionrecord.h"

#include <QDateTime>
#include <QRegularExpression>

#include <algorithm>
#include <climits>
#include <cstdio>
#include <chrono>

namespace Workbench {

namespace {
// What the byte bound charges for each chunk beyond its bytes: its header and allocation.
constexpr std::size_t ChunkCost = 64;
// A chunk joined by later bytes of the same millisecond grows at most to this.
constexpr qsizetype MaxJoinedChunk = 64 * 1024;

bool IsUtf8Continuation(std::uint8_t byte)
{
    return (byte & 0xC0) == 0x80;
}

std::size_t DirectionIndex(SessionDirection direction)
{
    return std::size_t(direction);
}

// How the transcript and the text view write a byte (or character) that is not printable ASCII,
// and the backslash: \r, \n, \t, \\, else \xNN; nullptr for one that stands for itself.
const char* EscapeOf(unsigned c, char (&hex)[5])
{
    switch (c) {
    case '\r': return "\\r";
    case '\n': return "\\n";
    case '\t': return "\\t";
    case '\\': return "\\\\";
    default: break;
    }
    if (c >= 0x20 && c < 0x7F) return nullptr;
    static const char digits[] = "0123456789ABCDEF";
    hex[0] = '\\';
    hex[1] = 'x';
    hex[2] = digits[(c >> 4) & 15];
    hex[3] = digits[c & 15];
    hex[4] = 0;
    return hex;
}
} // namespace

SessionTime SessionNow()
{
    using namespace std::chrono;
    return {duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count(),
            duration_cast<milliseconds>(system_clock::now().time_since_epoch()).count()};
}

// ---- the feed ----

SessionFeed::SessionFeed(std::function<void()> wake, Clock clock)
    : Wake(std::move(wake)), Now(std::move(clock))
{
}

void SessionFeed::Append(SessionDirection direction, const char* data, std::size_t size)
{
    if (size == 0) return;
    bool wasEmpty;
    {
        std::lock_guard lock(Lock);
        wasEmpty = Pending.empty();
        const SessionTime now = Now();
        if (!wasEmpty && direction != SessionDirection::Mark &&
            Pending.back().Direction == direction &&
            Pending.back().Time.WallMs == now.WallMs &&
            Pending.back().Bytes.size() < MaxJoinedChunk) {
            Pending.back().Bytes.append(data, qsizetype(size));
        } else {
            Pending.push_back({direction, now, QByteArray(data, qsizetype(size))});
        }
        PendingSize += size;
    }
    if (wasEmpty && Wake) Wake();
}

std::vector<SessionChunk> SessionFeed::Take(std::size_t maxBytes)
{
    std::vector<SessionChunk> taken;
    std::lock_guard lock(Lock);
    std::size_t bytes = 0;
    while (!Pending.empty() && bytes < maxBytes) {
        bytes += std::size_t(Pending.front().Bytes.size());
        taken.push_back(std::move(Pending.front()));
        Pending.pop_front();
    }
    PendingSize -= bytes;
    return taken;
}

std::size_t SessionFeed::PendingBytes()
{
    std::lock_guard lock(Lock);
    return PendingSize;
}

// ---- the record ----

SessionRecord::SessionRecord(std::size_t maxLines, std::size_t maxBytes)
    : FMaxLines(std::max<std::size_t>(1, maxLines)), MaxBytes(maxBytes)
{
}

std::uint64_t SessionRecord::RowsOf(std::uint64_t offset, std::uint64_t length)
{
    if (length == 0) return 0;
    return (offset + length - 1) / HexRowBytes - offset / HexRowBytes + 1;
}

void SessionRecord::Append(const SessionChunk& chunk)
{
    const auto* data = reinterpret_cast<const std::uint8_t*>(chunk.Bytes.constData());
    const std::size_t size = std::size_t(chunk.Bytes.size());
    if (size == 0) return;
    const std::uint64_t position = EndPosition;
    const std::size_t d = DirectionIndex(chunk.Direction);

    const bool mark = chunk.Direction == SessionDirection::Mark;
    const bool apart = chunk.Direction != LastDirection || mark ||
                       chunk.Time.SteadyMs - LastSteadyMs >= PauseMs;
    if (LineOpen && apart) LineOpen = false;
    for (std::size_t i = 0; i < size; ++i) {
        const std::uint8_t byte = data[i];
        const bool full = !mark && OpenLength >= MaxLineBytes &&
                          (!IsUtf8Continuation(byte) || OpenLength >= MaxLineBytes + 3);
        if (!LineOpen || (LastByte == '\n' && !mark) || full) {
            LineStarts.push_back(position + i);
            OpenLength = 0;
            LineOpen = true;
        }
        ++OpenLength;
        LastByte = byte;
    }
    LastDirection = chunk.Direction;
    LastSteadyMs = chunk.Time.SteadyMs;
    // A mark stays one line: what comes after it starts a new one.
    if (mark) LineOpen = false;

    if (Runs.empty() || apart)
        Runs.push_back({chunk.Direction, position, DirectionBytes[d], 0, HexRowsEnd});
    Run& run = Runs.back();
    run.Length += size;
    HexRowsEnd = run.RowsBefore + (mark ? 1 : RowsOf(run.Offset, run.Length));

    FChunks.push_back({chunk.Direction, chunk.Time, position, chunk.Bytes});
    FStoredBytes += size + ChunkCost;
    DirectionBytes[d] += size;
    EndPosition += size;
    Enforce();
}

void SessionRecord::Clear()
{
    FLineBase += LineStarts.size();
    LineStarts.clear();
    FChunks.clear();
    Runs.clear();
    FirstPosition = EndPosition;
    FStoredBytes = 0;
    FDroppedLines = 0;
    LineOpen = false;
}

void SessionRecord::SetMaxLines(std::size_t maxLines)
{
    FMaxLines = std::max<std::size_t>(1, maxLines);
    Enforce();
}

void SessionRecord::Enforce()
{
    while (LineStarts.size() > FMaxLines || (FStoredBytes > MaxBytes && LineStarts.size() > 1))
        DropOldestLine();
}

void SessionRecord::DropOldestLine()
{
    LineStarts.pop_front();
    ++FDroppedLines;
    ++FLineBase;
    FirstPosition = LineStarts.empty() ? EndPosition : LineStarts.front();
    while (!FChunks.empty() &&
           FChunks.front().Position + std::uint64_t(FChunks.front().Bytes.size()) <=
               FirstPosition) {
        FStoredBytes -= std::size_t(FChunks.front().Bytes.size()) + ChunkCost;
        FChunks.pop_front();
    }
    while (!Runs.empty() && Runs.front().Position + Runs.front().Length <= FirstPosition)
        Runs.pop_front();
}

const SessionRecord::Stored& SessionRecord::ChunkAt(std::uint64_t position) const
{
    auto after = std::upper_bound(
        FChunks.begin(), FChunks.end(), position,
        [](std::uint64_t p, const Stored& chunk) { return p < chunk.Position; });
    return *std::prev(after);
}

QByteArray SessionRecord::BytesAt(std::uint64_t position, std::uint64_t length) const
{
    QByteArray bytes;
    bytes.reserve(qsizetype(length));
    auto it = std::upper_bound(
        FChunks.begin(), FChunks.end(), position,
        [](std::uint64_t p, const Stored& chunk) { return p < chunk.Position; });
    for (--it; length > 0 && it != FChunks.end(); ++it) {
        const std::uint64_t from = position - it->Position;
        const std::uint64_t take =
            std::min<std::uint64_t>(length, std::uint64_t(it->Bytes.size()) - from);
        bytes.append(it->Bytes.constData() + from, qsizetype(take));
        position += take;
        length -= take;
    }
    return bytes;
}

SessionLine SessionRecord::Line(std::size_t index) const
{
    const std::uint64_t start = LineStarts.at(index);
    const std::uint64_t end = index + 1 < LineStarts.size() ? LineStarts[index + 1] : EndPosition;
    const Stored& chunk = ChunkAt(start);
    return {chunk.Direction, chunk.Time, BytesAt(start, end - start)};
}

SessionRecord::Run SessionRecord::FirstHeldRun() const
{
    Run run = Runs.front();
    if (run.Position < FirstPosition) {
        const std::uint64_t cut = FirstPosition - run.Position;
        run.RowsBefore += (run.Offset + cut) / HexRowBytes - run.Offset / HexRowBytes;
        run.Position += cut;
        run.Offset += cut;
        run.Length -= cut;
    }
    return run;
}

std::uint64_t SessionRecord::DroppedHexRows() const
{
    return Runs.empty() ? HexRowsEnd : FirstHeldRun().RowsBefore;
}

std::size_t SessionRecord::HexRowCount() const
{
    return std::size_t(HexRowsEnd - DroppedHexRows());
}

SessionHexRow SessionRecord::HexRow(std::size_t index) const
{
    const std::uint64_t row = DroppedHexRows() + index;
    auto after = std::upper_bound(Runs.begin(), Runs.end(), row, [](std::uint64_t r, const Run& run) {
        return r < run.RowsBefore;
    });
    Run run = *std::prev(after);
    if (std::prev(after) == Runs.begin()) run = FirstHeldRun();
    if (run.Direction == SessionDirection::Mark)
        return {run.Direction, ChunkAt(run.Position).Time, run.Offset,
                BytesAt(run.Position, run.Length)};
    const std::uint64_t aligned = (run.Offset / HexRowBytes + (row - run.RowsBefore)) * HexRowBytes;
    const std::uint64_t begin = std::max(run.Offset, aligned);
    const std::uint64_t end = std::min(run.Offset + run.Length, aligned + HexRowBytes);
    const std::uint64_t position = run.Position + (begin - run.Offset);
    return {run.Direction, ChunkAt(position).Time, begin, BytesAt(position, end - begin)};
}

namespace {
bool IsAscii(QByteArrayView bytes)
{
    for (const char c : bytes)
        if (std::uint8_t(c) >= 0x80) return false;
    return true;
}
} // namespace

template <class Visit>
bool SessionRecord::ForEachLine(std::size_t first, std::size_t last, Visit visit) const
{
    if (first >= last) return false;
    // One walk along the chunks: no search and, for a line within one chunk, no copy.
    auto chunk = std::upper_bound(FChunks.begin(), FChunks.end(), LineStarts[first],
                                  [](std::uint64_t p, const Stored& c) { return p < c.Position; });
    --chunk;
    for (std::size_t index = first; index < last; ++index) {
        const std::uint64_t start = LineStarts[index];
        const std::uint64_t end = index + 1 < LineStarts.size() ? LineStarts[index + 1] : EndPosition;
        while (chunk->Position + std::uint64_t(chunk->Bytes.size()) <= start) ++chunk;
        const std::uint64_t from = start - chunk->Position;
        const bool within = end <= chunk->Position + std::uint64_t(chunk->Bytes.size());
        const QByteArray joined = within ? QByteArray() : BytesAt(start, end - start);
        const QByteArrayView bytes = within ? QByteArrayView(chunk->Bytes).sliced(
                                                  qsizetype(from), qsizetype(end - start))
                                            : QByteArrayView(joined);
        if (visit(index, bytes)) return true;
    }
    return false;
}

std::size_t SessionRecord::FindLine(const QString& text, std::size_t from, bool forward) const
{
    const std::size_t count = LineCount();
    if (text.isEmpty() || count == 0) return NoRow;
    // Most lines show as they are: those are searched as bytes, the rest as the view shows them.
    QByteArray folded;
    bool asciiText = true;
    for (const QChar c : text) {
        asciiText = asciiText && c.unicode() < 0x80;
        folded += char(c.toLower().unicode());
    }
    const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? char(c + 32) : c; };
    std::vector<char> shown;
    char hex[5];
    const auto holds = [&](QByteArrayView bytes) {
        if (!IsAscii(bytes)) return SessionTextOf(bytes.toByteArray()).contains(text, Qt::CaseInsensitive);
        if (!asciiText) return false;
        // An ASCII line shows byte by byte as the transcript writes it.
        shown.resize(std::size_t(bytes.size()) * 4);
        char* end = shown.data();
        for (const char c : bytes) {
            if (const char* escaped = EscapeOf(std::uint8_t(c), hex)) {
                while (*escaped) *end++ = *escaped++;
            } else {
                *end++ = lower(c);
            }
        }
        return std::search(shown.data(), end, folded.begin(), folded.end(),
                           [&](char a, char b) { return lower(a) == b; }) != end;
    };
    std::size_t found = NoRow;
    const auto first = [&](std::size_t index, QByteArrayView bytes) {
        if (!holds(bytes)) return false;
        found = index;
        return true;
    };
    const auto latest = [&](std::size_t index, QByteArrayView bytes) {
        if (holds(bytes)) found = index;
        return false;
    };
    if (from >= count) from = forward ? count - 1 : 0;
    if (forward) {
        if (!ForEachLine(from + 1, count, first)) ForEachLine(0, from + 1, first);
    } else {
        ForEachLine(0, from, latest);
        if (found == NoRow) ForEachLine(from, count, latest);
    }
    return found;
}

std::size_t SessionRecord::FindHexRow(const QByteArray& bytes, std::size_t from, bool forward) const
{
    if (bytes.isEmpty() || Runs.empty()) return NoRow;
    // Every row where a match starts, in order: one pass over the bytes held.
    std::vector<std::size_t> rows;
    const std::uint64_t dropped = DroppedHexRows();
    for (std::size_t r = 0; r < Runs.size(); ++r) {
        const Run run = r == 0 ? FirstHeldRun() : Runs[r];
        const QByteArray held = BytesAt(run.Position, run.Length);
        for (qsizetype at = held.indexOf(bytes); at >= 0; at = held.indexOf(bytes, at + 1)) {
            const std::uint64_t row =
                run.Direction == SessionDirection::Mark
                    ? run.RowsBefore
                    : run.RowsBefore + (run.Offset + std::uint64_t(at)) / HexRowBytes -
                          run.Offset / HexRowBytes;
            if (rows.empty() || rows.back() != row - dropped) rows.push_back(std::size_t(row - dropped));
        }
    }
    if (rows.empty()) return NoRow;
    if (from >= HexRowCount()) return forward ? rows.front() : rows.back();
    if (forward) {
        const auto next = std::upper_bound(rows.begin(), rows.end(), from);
        return next != rows.end() ? *next : rows.front();
    }
    const auto next = std::lower_bound(rows.begin(), rows.end(), from);
    return next != rows.begin() ? *std::prev(next) : rows.back();
}

std::vector<SessionChunk> SessionRecord::Chunks() const
{
    std::vector<SessionChunk> chunks;
    chunks.reserve(FChunks.size());
    for (const Stored& stored : FChunks) {
        const qsizetype cut = qsizetype(FirstPosition > stored.Position
                                            ? FirstPosition - stored.Position
                                            : 0);
        chunks.push_back({stored.Direction, stored.Time, stored.Bytes.mid(cut)});
    }
    return chunks;
}

// ---- formatters ----

QByteArray TranscriptLine(SessionDirection direction, std::int64_t wallMs, const QByteArray& bytes,
                          const QTimeZone& zone)
{
    const QDateTime time = QDateTime::fromMSecsSinceEpoch(wallMs, zone);
    const int offset = time.offsetFromUtc();
    const int minutes = std::abs(offset) / 60;
    QByteArray line = direction == SessionDirection::Mark ? QByteArrayLiteral("# ") : QByteArray();
    line += time.toString(QStringLiteral("yyyy-MM-ddTHH:mm:ss.zzz")).toLatin1();
    line += offset < 0 ? '-' : '+';
    line += QByteArray::number(minutes / 60).rightJustified(2, '0') + ':' +
            QByteArray::number(minutes % 60).rightJustified(2, '0');
    line += ' ';
    if (direction != SessionDirection::Mark) {
        line += DirectionMark(direction);
        line += ' ';
    }
    char hex[5];
    for (const char c : bytes) {
        if (const char* escaped = EscapeOf(std::uint8_t(c), hex))
            line += escaped;
        else
            line += c;
    }
    line += '\n';
    return line;
}

QByteArray TranscriptOf(const std::vector<SessionChunk>& chunks, const QTimeZone& zone)
{
    QByteArray text;
    for (const SessionChunk& chunk : chunks) {
        qsizetype from = 0;
        while (from < chunk.Bytes.size()) {
            // A mark is one line whatever it holds.
            const qsizetype lf = chunk.Direction == SessionDirection::Mark
                                     ? -1
                                     : chunk.Bytes.indexOf('\n', from);
            const qsizetype to = lf < 0 ? chunk.Bytes.size() : lf + 1;
            text += TranscriptLine(chunk.Direction, chunk.Time.WallMs,
                                   chunk.Bytes.mid(from, to - from), zone);
            from = to;
        }
    }
    return text;
}

QByteArray ReceivedBytesOf(const std::vector<SessionChunk>& chunks)
{
    QByteArray bytes;
    for (const SessionChunk& chunk : chunks)
        if (chunk.Direction == SessionDirection::Received) bytes += chunk.Bytes;
    return bytes;
}

namespace {
// A character the eye cannot see or that reorders the text around it: controls (C0, C1),
// format characters (zero widths, direction marks, embeddings, overrides and isolates, the
// byte order mark), line and paragraph separators, and noncharacters.
bool HidesOrReorders(char32_t c)
{
    switch (QChar::category(c)) {
    case QChar::Other_Control:
    case QChar::Other_Format:
    case QChar::Separator_Line:
    case QChar::Separator_Paragraph: return true;
    default: return QChar::isNonCharacter(c);
    }
}
} // namespace

QString SessionTextOf(const QByteArray& bytes)
{
    // A byte order mark at the start is a character that came, not one for the decoder to drop.
    const bool bom = bytes.startsWith("\xEF\xBB\xBF");
    const QString decoded = bom ? QChar(0xFEFF) + QString::fromUtf8(bytes.mid(3))
                                : QString::fromUtf8(bytes);
    QString text;
    text.reserve(decoded.size() + 8);
    char hex[5];
    for (qsizetype i = 0; i < decoded.size(); ++i) {
        const QChar c = decoded[i];
        if (c.unicode() < 0x80) {
            if (const char* escaped = EscapeOf(c.unicode(), hex))
                text += QLatin1String(escaped);
            else
                text += c;
            continue;
        }
        const bool pair = c.isHighSurrogate() && i + 1 < decoded.size() &&
                          decoded[i + 1].isLowSurrogate();
        const char32_t code = pair ? QChar::surrogateToUcs4(c, decoded[i + 1]) : c.unicode();
        if (HidesOrReorders(code)) {
            // Written as the transcript writes its bytes.
            for (const char byte : QStringView(decoded).mid(i, pair ? 2 : 1).toUtf8())
                text += QLatin1String(EscapeOf(std::uint8_t(byte), hex));
        } else {
            text += c;
            if (pair) text += decoded[i + 1];
        }
        if (pair) ++i;
    }
    return text;
}

QByteArray HexQueryBytes(const QString& query)
{
    static const QRegularExpression pairs(QStringLiteral(R"(^\s*([0-9A-Fa-f]{2}\s*)+$)"));
    if (!pairs.match(query).hasMatch()) return query.toUtf8();
    return QByteArray::fromHex(query.toLatin1());
}

QString SessionHexText(std::uint64_t offset, const QByteArray& bytes)
{
    QString text = QStringLiteral("%1 ").arg(offset, 8, 16, QLatin1Char('0')).toUpper();
    QString ascii;
    for (int i = 0; i < SessionRecord::HexRowBytes; ++i) {
        if (i % 8 == 0) text += QLatin1Char(' ');
        if (i < bytes.size()) {
            const auto byte = std::uint8_t(bytes[i]);
            text += QStringLiteral("%1 ").arg(byte, 2, 16, QLatin1Char('0')).toUpper();
            ascii += byte >= 0x20 && byte < 0x7F ? QChar(byte) : QLatin1Char('.');
        } else {
            text += QStringLiteral("   ");
        }
    }
    return text + QLatin1Char('|') + ascii + QLatin1Char('|');
}

QString SessionClockText(std::int64_t wallMs)
{
    // The zone's offset changes at most every quarter of an hour (of UTC): asking the system
    // once per quarter keeps a screenful or a copy of 100,000 rows cheap.
    constexpr std::int64_t Quarter = 15 * 60 * 1000;
    thread_local std::int64_t cachedQuarter = INT64_MIN;
    thread_local std::int64_t offsetMs = 0;
    const std::int64_t quarter = wallMs >= 0 ? wallMs / Quarter : (wallMs - Quarter + 1) / Quarter;
    if (quarter != cachedQuarter) {
        offsetMs = std::int64_t(QDateTime::fromMSecsSinceEpoch(wallMs).offsetFromUtc()) * 1000;
        cachedQuarter = quarter;
    }
    constexpr std::int64_t Day = 24 * 3600 * 1000;
    const std::int64_t ms = ((wallMs + offsetMs) % Day + Day) % Day;
    char text[13];
    std::snprintf(text, sizeof text, "%02d:%02d:%02d.%03d", int(ms / 3600000), int(ms / 60000 % 60),
                  int(ms / 1000 % 60), int(ms % 1000));
    return QString::fromLatin1(text, 12);
}

QString SessionClockText(std::int64_t wallMs, const QTimeZone& zone)
{
    return QDateTime::fromMSecsSinceEpoch(wallMs, zone).toString(QStringLiteral("HH:mm:ss.zzz"));
}

} // namespace Workbench
