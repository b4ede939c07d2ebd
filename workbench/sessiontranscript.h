#pragma once
// The transcript file that follows a session as it goes: opened for appending, one write per
// batch of chunks and no buffering of our own, so what was written survives the program being
// killed (the operating system keeps it; a power cut may still lose the last second or so).
// It never fails in silence and never leaves half a line: what cannot be written (disk full,
// I/O error, the file gone) is kept, bounded, and written once writing works again; a file
// deleted or renamed away (log rotation) is opened anew at its path.
#include "workbench/sessionrecord.h"

#include <QString>
#include <memory>
#include <vector>

namespace Workbench {

// Where the transcript's bytes go: a file at a path, or a fake in tests.
class TranscriptOutput
{
public:
    virtual ~TranscriptOutput() = default;
    // Opens path for appending, creating it if needed; false (with ErrorText) when it cannot.
    virtual bool Open(const QString& path) = 0;
    virtual void Close() = 0;
    virtual bool IsOpen() const = 0;
    // Writes what it can: the bytes written, or -1 (with ErrorText).
    virtual qint64 Write(const char* data, qint64 size) = 0;
    // The open file's size, and cutting it back to size bytes.
    virtual qint64 Size() const = 0;
    virtual bool Truncate(qint64 size) = 0;
    // Whether the open file is still the one its path names (not deleted or renamed away).
    virtual bool StillAtPath() const = 0;
    virtual QString ErrorText() const = 0;
};

// The file system's own output.
std::unique_ptr<TranscriptOutput> FileTranscriptOutput();

class SessionTranscriptFile
{
public:
    // What waits for a failing file is bounded as the record is.
    static constexpr std::size_t MaxWaitingBytes = SessionRecord::DefaultMaxBytes;

    explicit SessionTranscriptFile(std::unique_ptr<TranscriptOutput> output = FileTranscriptOutput(),
                                   std::function<SessionTime()> clock = SessionNow);
    // Opens path for appending, creating it if needed; false (with ErrorText) when it cannot.
    bool Open(const QString& path);
    // Writes what it still can, then stops.
    void Close();
    // Whether a transcript is being kept, also while its file is failing.
    bool IsOpen() const { return FOn; }
    QString Path() const { return FPath; }
    // Adds the transcript lines of chunks and writes everything waiting in one write; false
    // while the file refuses it (the lines wait, see Problem).
    bool Append(const std::vector<SessionChunk>& chunks);
    // Tries again to write what waits; true when nothing waits any more.
    bool Flush();
    // Why the file cannot be written now; "" while it is written.
    QString Problem() const { return FProblem; }
    // Bytes and lines not written yet, and lines dropped because too much waited.
    std::size_t WaitingBytes() const { return std::size_t(Waiting.size()); }
    std::uint64_t LostLines() const { return FLostLines; }
    // The reason the last Open failed, or the current problem.
    QString ErrorText() const { return FErrorText; }

private:
    void Fail(const QString& reason);
    // Writes text; the bytes of it now in the file, which end with a whole line unless the
    // file could not be cut back.
    qsizetype WriteLines(const QByteArray& text);
    void Bound();

    std::unique_ptr<TranscriptOutput> Output;
    std::function<SessionTime()> Clock;
    bool FOn = false;
    QString FPath;
    QByteArray Waiting; // whole lines not yet in the file
    std::uint64_t FLostLines = 0;
    QString FProblem;
    QString FErrorText;
};

} // namespace Workbench
