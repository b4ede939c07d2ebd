#include "cli/console.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <sys/ioctl.h>
#include <unistd.h>

namespace Cli {
namespace {

int TerminalColumns(std::FILE* file)
{
    winsize size{};
    if (::ioctl(::fileno(file), TIOCGWINSZ, &size) == 0 && size.ws_col > 0) return size.ws_col;
    return 80;
}

QJsonValue TextOrNull(const QString& text)
{
    return text.isEmpty() ? QJsonValue(QJsonValue::Null) : QJsonValue(text);
}

// Text from the module on a terminal: a control character in it (C0, DEL or C1) could move
// the cursor, retitle or clear the screen, so each stands as U+FFFD; line ends and tabs are
// kept where the text is made of lines.
QString Printable(QString text, bool keepLineControls = false)
{
    for (QChar& c : text) {
        const char16_t u = c.unicode();
        if (keepLineControls && (u == '\r' || u == '\n' || u == '\t')) continue;
        if (u < 0x20 || u == 0x7F || (u >= 0x80 && u <= 0x9F)) c = QChar(0xFFFD);
    }
    return text;
}

} // namespace

QByteArray AnswerText(const QByteArray& answer)
{
    return QString::fromUtf8(answer).toUtf8();
}

QByteArray PrefixedLines(const QByteArray& text, const QByteArray& prefix)
{
    QByteArray out;
    qsizetype start = 0;
    while (start < text.size()) {
        qsizetype end = text.indexOf('\n', start);
        end = end < 0 ? text.size() : end + 1;
        out += prefix + text.mid(start, end - start);
        if (!out.endsWith('\n')) out += '\n';
        start = end;
    }
    return out;
}

QByteArray OutcomeJson(const PortOutcome& outcome)
{
    QJsonArray lines;
    for (const LineResult& line : outcome.Lines) {
        QJsonObject entry;
        if (!line.Step.isEmpty()) entry[QStringLiteral("step")] = line.Step;
        entry[QStringLiteral("sent")] = QString::fromUtf8(line.Sent);
        entry[QStringLiteral("answer")] = QString::fromUtf8(line.Answer);
        entry[QStringLiteral("final")] = TextOrNull(line.Final);
        entry[QStringLiteral("ok")] = line.Ok;
        entry[QStringLiteral("timed_out")] = line.TimedOut;
        entry[QStringLiteral("not_kept")] = qint64(line.NotKept);
        lines.append(entry);
    }
    QJsonObject object;
    object[QStringLiteral("port")] = outcome.Target.Name;
    object[QStringLiteral("device")] = QString::fromStdString(outcome.Target.Device);
    object[QStringLiteral("ok")] = outcome.ExitStatus == ExitOk;
    object[QStringLiteral("exit_status")] = outcome.ExitStatus;
    object[QStringLiteral("error")] = TextOrNull(outcome.Error);
    object[QStringLiteral("lines")] = lines;
    return QJsonDocument(object).toJson(QJsonDocument::Compact);
}

Console::Console(std::FILE* out, std::FILE* err, bool progress)
    : OutFile(out), ErrFile(err), ShowProgress(progress)
{
}

Console::~Console()
{
    EndProgress();
}

void Console::Out(const QByteArray& raw)
{
    if (raw.isEmpty()) return;
    EraseProgress();
    const QByteArray bytes = EscapeOut ? Printable(QString::fromUtf8(raw), true).toUtf8() : raw;
    std::fwrite(bytes.constData(), 1, std::size_t(bytes.size()), OutFile);
    std::fflush(OutFile);
    DrawProgress();
}

void Console::Err(const QString& line)
{
    EraseProgress();
    const QByteArray bytes = Printable(line).toUtf8() + '\n';
    std::fwrite(bytes.constData(), 1, std::size_t(bytes.size()), ErrFile);
    std::fflush(ErrFile);
    DrawProgress();
}

void Console::SetProgress(int row, const QString& text)
{
    if (!ShowProgress || row < 0) return;
    while (Rows.size() <= row)
        Rows.append(QString());
    const QString shown = Printable(text);
    if (Rows[row] == shown) return;
    Rows[row] = shown;
    EraseProgress();
    DrawProgress();
}

void Console::EndProgress()
{
    EraseProgress();
    Rows.clear();
    ShowProgress = false;
}

void Console::EraseProgress()
{
    if (!Drawn) return;
    // Back to the first progress line, then clear to the end of the screen.
    std::fprintf(ErrFile, "\r\x1b[%dA\x1b[J", int(Rows.size()));
    std::fflush(ErrFile);
    Drawn = false;
}

void Console::DrawProgress()
{
    if (!ShowProgress || Rows.isEmpty() || Drawn) return;
    // A line that wraps would throw off the count of lines to go back over.
    const int width = std::max(10, TerminalColumns(ErrFile) - 1);
    QByteArray block;
    for (const QString& row : Rows)
        block += (row.size() > width ? row.left(width - 3) + QStringLiteral("...") : row).toUtf8() +
                 '\n';
    std::fwrite(block.constData(), 1, std::size_t(block.size()), ErrFile);
    std::fflush(ErrFile);
    Drawn = true;
}

} // namespace Cli
