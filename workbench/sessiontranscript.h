#pragma once
// The transcript file that follows a session as it goes: opened for appending, one write per
// batch of chunks and no buffering of our own, so what was written survives the program being
// killed (the operating system keeps it; a power cut may still lose the last second or so).
#include "workbench/sessionrecord.h"

#include <QFile>
#include <QString>
#include <memory>
#include <vector>

namespace Workbench {

class SessionTranscriptFile
{
public:
    // Opens path for appending, creating it if needed; false (with ErrorText) when it cannot.
    bool Open(const QString& path);
    void Close();
    bool IsOpen() const { return File && File->isOpen(); }
    QString Path() const { return File ? File->fileName() : QString(); }
    // Appends the transcript lines of chunks in one write; false when the file refused them,
    // after which the file is closed and ErrorText says why.
    bool Append(const std::vector<SessionChunk>& chunks);
    QString ErrorText() const { return FErrorText; }

private:
    std::unique_ptr<QFile> File;
    QString FErrorText;
};

} // namespace Workbench
