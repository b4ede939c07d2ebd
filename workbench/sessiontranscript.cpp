#include "workbench/sessiontranscript.h"

#include <QFile>

#include <sys/stat.h>

namespace Workbench {

namespace {

class FileOutput : public TranscriptOutput
{
public:
    bool Open(const QString& path) override
    {
        Close();
        auto file = std::make_unique<QFile>(path);
        // Unbuffered: each write is one write(2) on a descriptor opened with O_APPEND.
        if (!file->open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::Unbuffered)) {
            FErrorText = file->errorString();
            return false;
        }
        File = std::move(file);
        return true;
    }
    void Close() override { File.reset(); }
    bool IsOpen() const override { return File != nullptr; }
    qint64 Write(const char* data, qint64 size) override
    {
        const qint64 n = File->write(data, size);
        if (n < 0) FErrorText = File->errorString();
        return n;
    }
    qint64 Size() const override { return File->size(); }
    bool Truncate(qint64 size) override { return File->resize(size); }
    bool StillAtPath() const override
    {
        struct stat open {}, named {};
        if (::fstat(File->handle(), &open) != 0) return true; // nothing better to go by
        if (::stat(QFile::encodeName(File->fileName()).constData(), &named) != 0) return false;
        return open.st_dev == named.st_dev && open.st_ino == named.st_ino;
    }
    QString ErrorText() const override { return FErrorText; }

private:
    std::unique_ptr<QFile> File;
    QString FErrorText;
};

} // namespace

std::unique_ptr<TranscriptOutput> FileTranscriptOutput()
{
    return std::make_unique<FileOutput>();
}

SessionTranscriptFile::SessionTranscriptFile(std::unique_ptr<TranscriptOutput> output,
                                             std::function<SessionTime()> clock)
    : Output(std::move(output)), Clock(std::move(clock))
{
}

bool SessionTranscriptFile::Open(const QString& path)
{
    Close();
    if (!Output->Open(path)) {
        FErrorText = Output->ErrorText();
        return false;
    }
    FOn = true;
    FPath = path;
    FErrorText.clear();
    FProblem.clear();
    return true;
}

void SessionTranscriptFile::Close()
{
    if (FOn) Flush();
    Output->Close();
    FOn = false;
    Waiting.clear();
    FLostLines = 0;
    FProblem.clear();
}

bool SessionTranscriptFile::Append(const std::vector<SessionChunk>& chunks)
{
    if (!FOn) return false;
    Waiting += TranscriptOf(chunks);
    Bound();
    return Flush();
}

void SessionTranscriptFile::Bound()
{
    qsizetype cut = 0;
    while (Waiting.size() - cut > qsizetype(MaxWaitingBytes)) {
        cut = Waiting.indexOf('\n', cut) + 1;
        ++FLostLines;
    }
    Waiting.remove(0, cut);
}

bool SessionTranscriptFile::Flush()
{
    if (!FOn) return false;
    // A file rotated or deleted away is not written on unseen: the path gets a new one.
    if (Output->IsOpen() && !Output->StillAtPath()) Output->Close();
    if (!Output->IsOpen() && !Output->Open(FPath)) {
        Fail(Output->ErrorText());
        return false;
    }
    if (FLostLines > 0) {
        // Said in the file itself, where the gap is.
        const QByteArray note = TranscriptLine(
            SessionDirection::Mark, Clock().WallMs,
            QStringLiteral("%1 lines of the transcript were lost: %2")
                .arg(FLostLines)
                .arg(FProblem.isEmpty() ? QStringLiteral("the file could not be written") : FProblem)
                .toUtf8());
        if (WriteLines(note) < note.size()) return false;
        FLostLines = 0;
    }
    Waiting.remove(0, WriteLines(Waiting));
    if (!Waiting.isEmpty()) return false;
    FProblem.clear();
    FErrorText.clear();
    return true;
}

qsizetype SessionTranscriptFile::WriteLines(const QByteArray& text)
{
    const qint64 start = Output->Size();
    qsizetype done = 0;
    while (done < text.size()) {
        const qint64 n = Output->Write(text.constData() + done, text.size() - done);
        if (n <= 0) break;
        done += qsizetype(n);
    }
    if (done == text.size()) return done;
    // Only whole lines stay in the file: a line cut short is taken back and written again
    // later. Should the file refuse even that, the line is finished from where it stopped.
    const qsizetype whole = done > 0 ? text.lastIndexOf('\n', done - 1) + 1 : 0;
    const bool takenBack = whole == done || Output->Truncate(start + whole);
    Fail(Output->ErrorText());
    return takenBack ? whole : done;
}

void SessionTranscriptFile::Fail(const QString& reason)
{
    FProblem = reason.isEmpty() ? QStringLiteral("the file cannot be written") : reason;
    FErrorText = FProblem;
}

} // namespace Workbench
