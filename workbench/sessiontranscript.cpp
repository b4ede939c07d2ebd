#include "workbench/sessiontranscript.h"

namespace Workbench {

bool SessionTranscriptFile::Open(const QString& path)
{
    Close();
    auto file = std::make_unique<QFile>(path);
    // Unbuffered: each write below is one write(2) on a descriptor opened with O_APPEND.
    if (!file->open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::Unbuffered)) {
        FErrorText = file->errorString();
        return false;
    }
    FErrorText.clear();
    File = std::move(file);
    return true;
}

void SessionTranscriptFile::Close()
{
    if (File) File->close();
    File.reset();
}

bool SessionTranscriptFile::Append(const std::vector<SessionChunk>& chunks)
{
    if (!IsOpen()) return false;
    const QByteArray text = TranscriptOf(chunks);
    qsizetype done = 0;
    while (done < text.size()) {
        const qint64 n = File->write(text.constData() + done, text.size() - done);
        if (n <= 0) {
            FErrorText = File->errorString();
            Close();
            return false;
        }
        done += qsizetype(n);
    }
    return true;
}

} // namespace Workbench
