#pragma once
// The session record: every byte sent and received on the port, in order, with the time it
// went out or came in. Plain data and functions on QtCore, shared by the log window and any
// program without one: the feed that the port's threads append to, the bounded record the
// views read, and the formatters of the transcript, the text view and the hex view.
#include <QByteArray>
#include <QString>
#include <QTimeZone>

#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <vector>

namespace Workbench {

// Sent and Received carry the port's bytes; a Mark is a note of the session's own (the port
// opened, closed or lost) whose bytes are its UTF-8 text: always a row of its own.
enum class SessionDirection : std::uint8_t { Sent, Received, Mark };

// The two clocks a chunk is stamped with: the steady one for intervals, the wall clock
// (milliseconds since the epoch) for what the user reads.
struct SessionTime
{
    std::int64_t SteadyMs = 0;
    std::int64_t WallMs = 0;
};

// The clocks of this machine.
SessionTime SessionNow();

// Bytes that went one way at one moment.
struct SessionChunk
{
    SessionDirection Direction = SessionDirection::Received;
    SessionTime Time;
    QByteArray Bytes;
};

// Where the port's threads leave chunks for the thread that owns the record. Append is safe on
// any thread; the wake-up runs only when the queue goes from empty to non-empty, so a consumer
// is woken once per batch, never per byte.
class SessionFeed
{
public:
    using Clock = std::function<SessionTime()>;

    explicit SessionFeed(std::function<void()> wake, Clock clock = SessionNow);

    // Stamps the bytes with the clock now and queues them; a chunk of the same direction in
    // the same millisecond joins the one before it (a mark never joins).
    void Append(SessionDirection direction, const char* data, std::size_t size);
    // Takes queued chunks in order, whole, until at least maxBytes are taken (all by default).
    std::vector<SessionChunk> Take(std::size_t maxBytes = SIZE_MAX);
    // Bytes still queued.
    std::size_t PendingBytes();

private:
    std::mutex Lock; // a leaf: the wake-up runs after it is released
    std::deque<SessionChunk> Pending;
    std::size_t PendingSize = 0;
    std::function<void()> Wake;
    Clock Now;
};

// One row of the text view: a line as it came, the direction and the time of its first byte.
struct SessionLine
{
    SessionDirection Direction = SessionDirection::Received;
    SessionTime Time;
    QByteArray Bytes;
};

// One row of the hex view: up to 16 bytes of one direction; Offset counts that direction's
// bytes since the record began.
struct SessionHexRow
{
    SessionDirection Direction = SessionDirection::Received;
    SessionTime Time;
    std::uint64_t Offset = 0;
    QByteArray Bytes;
};

// The bounded record the views read. Lines end after LF, where the direction changes, after a
// pause of PauseMs or more, and after MaxLineBytes (never inside a UTF-8 sequence); each mark
// is a line and a hex row of its own. When the record holds more lines than
// its bound, or more bytes than its byte bound, the oldest lines are dropped and counted.
class SessionRecord
{
public:
    static constexpr std::size_t DefaultMaxLines = 100000;
    static constexpr std::size_t DefaultMaxBytes = std::size_t{8} << 20;
    static constexpr std::size_t MaxLineBytes = 256;
    static constexpr int HexRowBytes = 16;
    // A gap this long within a line starts a new row: "+++" and what follows it stay apart.
    static constexpr std::int64_t PauseMs = 100;

    explicit SessionRecord(std::size_t maxLines = DefaultMaxLines,
                           std::size_t maxBytes = DefaultMaxBytes);

    void Append(const SessionChunk& chunk);
    // Forgets every line; offsets go on counting.
    void Clear();
    // A new bound (at least one line); the oldest lines go at once if it is exceeded.
    void SetMaxLines(std::size_t maxLines);
    std::size_t MaxLines() const { return FMaxLines; }

    std::size_t LineCount() const { return LineStarts.size(); }
    // Lines the bound has dropped since the record began or was last cleared.
    std::uint64_t DroppedLines() const { return FDroppedLines; }
    // Lines gone from the front for any reason: line index + LineBase() names a line for good.
    std::uint64_t LineBase() const { return FLineBase; }
    SessionLine Line(std::size_t index) const;

    std::size_t HexRowCount() const;
    // Hex rows before the first one still held.
    std::uint64_t DroppedHexRows() const;
    SessionHexRow HexRow(std::size_t index) const;

    // The next line (forward) or the one before (backward) around line from whose text as the
    // view shows it contains text, ignoring case; the search wraps round and ends at from
    // itself. from = NoRow starts at the first line (or, backward, the last). NoRow: none.
    static constexpr std::size_t NoRow = SIZE_MAX;
    std::size_t FindLine(const QString& text, std::size_t from, bool forward) const;
    // The same for hex rows: the row where a run of bytes (of one direction, across rows)
    // matching bytes starts.
    std::size_t FindHexRow(const QByteArray& bytes, std::size_t from, bool forward) const;

    // The chunks still held, in order, the first cut to the bytes still held.
    std::vector<SessionChunk> Chunks() const;
    // Bytes of one direction seen since the record began, held or not.
    std::uint64_t BytesSeen(SessionDirection direction) const
    {
        return DirectionBytes[std::size_t(direction)];
    }
    // Bytes held, including a rough cost per chunk: what the byte bound limits.
    std::size_t StoredBytes() const { return FStoredBytes; }

private:
    struct Stored
    {
        SessionDirection Direction;
        SessionTime Time;
        std::uint64_t Position; // of the first byte, counted over the whole session
        QByteArray Bytes;
    };
    // A stretch of one direction's bytes with no byte of the other in between.
    struct Run
    {
        SessionDirection Direction;
        std::uint64_t Position;
        std::uint64_t Offset; // of its first byte in its direction's bytes
        std::uint64_t Length;
        std::uint64_t RowsBefore; // hex rows of all earlier runs
    };
    static std::uint64_t RowsOf(std::uint64_t offset, std::uint64_t length);
    const Stored& ChunkAt(std::uint64_t position) const;
    QByteArray BytesAt(std::uint64_t position, std::uint64_t length) const;
    // The part of the first run still held.
    Run FirstHeldRun() const;
    void DropOldestLine();
    void Enforce();
    // Calls visit(index, bytes) for lines first to last (exclusive) until it returns true.
    template <class Visit> bool ForEachLine(std::size_t first, std::size_t last, Visit visit) const;

    std::size_t FMaxLines;
    std::size_t MaxBytes;
    std::deque<Stored> FChunks;
    std::deque<std::uint64_t> LineStarts;
    std::deque<Run> Runs;
    std::uint64_t FirstPosition = 0; // the oldest byte held
    std::uint64_t EndPosition = 0;
    std::uint64_t DirectionBytes[3] = {0, 0, 0};
    std::uint64_t HexRowsEnd = 0; // hex rows of every byte so far
    std::uint64_t FDroppedLines = 0;
    std::uint64_t FLineBase = 0;
    std::size_t FStoredBytes = 0;
    // The line being written: it grows until a line end, a turn of direction or its length.
    bool LineOpen = false;
    std::size_t OpenLength = 0;
    SessionDirection LastDirection = SessionDirection::Received;
    std::int64_t LastSteadyMs = 0;
    std::uint8_t LastByte = 0;
};

// One line of the transcript: ISO 8601 local time with milliseconds and the zone's offset,
// '>' for sent or '<' for received, and the bytes with \r, \n, \t, \\ and every other byte
// outside printable ASCII written \xNN; ends in LF. A mark's line starts with "# " before the
// time, so no reader takes it for data: "# <time> <text>".
QByteArray TranscriptLine(SessionDirection direction, std::int64_t wallMs, const QByteArray& bytes,
                          const QTimeZone& zone = QTimeZone::systemTimeZone());
// The transcript of chunks: one line for each line break within a chunk and for the rest of
// each chunk, so nothing waits for a line to end before it is written.
QByteArray TranscriptOf(const std::vector<SessionChunk>& chunks,
                        const QTimeZone& zone = QTimeZone::systemTimeZone());
// The received bytes of chunks, in order: the session's raw input.
QByteArray ReceivedBytesOf(const std::vector<SessionChunk>& chunks);

// A line for the text view: UTF-8 decoded (U+FFFD for invalid bytes), control bytes shown as
// the transcript writes them (\r, \n, \t, \\, else \xNN), and so is every character that is
// invisible or reorders text (C1 controls, zero widths, direction marks and overrides, the
// byte order mark, separators, noncharacters): what arrived is what one sees, in order.
QString SessionTextOf(const QByteArray& bytes);
// What a search of the hex view looks for: hex byte pairs ("41 54", "0d0a") as those bytes,
// anything else as its UTF-8 text.
QByteArray HexQueryBytes(const QString& query);
// A hex row: offset, 16 hex columns, and the bytes as ASCII with '.' for the rest.
QString SessionHexText(std::uint64_t offset, const QByteArray& bytes);
// The time a row shows: local hours to milliseconds, in this machine's zone or in zone.
QString SessionClockText(std::int64_t wallMs);
QString SessionClockText(std::int64_t wallMs, const QTimeZone& zone);
// The direction mark of transcripts and views.
inline char DirectionMark(SessionDirection direction)
{
    switch (direction) {
    case SessionDirection::Sent: return '>';
    case SessionDirection::Received: return '<';
    case SessionDirection::Mark: break;
    }
    return '#';
}

} // namespace Workbench
