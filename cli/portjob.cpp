#include "cli/portjob.h"

#include "cli/portlist.h"
#include "workbench/composition.h"

#include <QCoreApplication>
#include <QEvent>

namespace Cli {
namespace {

// After the last answer (or a failure) the line may still carry its tail ("CLOSED" after an
// ERROR, the ">" prompt after OK); it is kept until the line has been quiet this long, but no
// longer than the cap, since a module in transparent mode may pass on data without pause.
constexpr int LingerQuietMs = 50;
constexpr int LingerCapMs = 300;

QEvent::Type ReceiveEventType()
{
    static const auto type = QEvent::Type(QEvent::registerEventType());
    return type;
}

bool IsEscape(const Step& step)
{
    return step.command == Workbench::ExitCommand;
}

// The command without its line end and its parameters.
QString CommandName(const QByteArray& command)
{
    QByteArray name = command.trimmed();
    const qsizetype eq = name.indexOf('=');
    if (eq >= 0) name.truncate(eq);
    return QString::fromUtf8(name);
}

// The lines of an answer that say something: neither empty nor the echo of the command.
QString AnswerSummary(const LineResult& line)
{
    const QByteArray echo = line.sent.trimmed();
    QStringList said;
    for (const QByteArray& raw : line.answer.split('\n')) {
        const QByteArray text = raw.trimmed();
        if (text.isEmpty() || text == echo) continue;
        said.append(QString::fromUtf8(text));
    }
    QString summary = said.join(QStringLiteral(" / "));
    if (summary.size() > 200) summary = summary.left(197) + QStringLiteral("...");
    return summary;
}

QString Seconds(int ms)
{
    return ms % 1000 == 0 ? QString::number(ms / 1000) : QString::number(ms / 1000.0, 'g', 4);
}

} // namespace

QString StepLabel(const Step& step)
{
    const QString command = CommandName(step.command);
    return step.name.isEmpty() ? command : QStringLiteral("%1 (%2)").arg(step.name, command);
}

void NotifyingPort::OnBytesReceived(const char* data, std::size_t size)
{
    BufferedSerialPort::OnBytesReceived(data, size);
    PostNotify();
}

PortJob::PortJob(PortTarget target, int baud, int parity, QList<Step> steps, QObject* parent)
    : QObject(parent), Baud(baud), Parity(parity), Steps(std::move(steps))
{
    Result.target = std::move(target);
    for (QTimer* timer : {&Deadline, &GuardTimer, &LingerTimer}) {
        timer->setSingleShot(true);
        timer->setTimerType(Qt::PreciseTimer);
    }
    connect(&Deadline, &QTimer::timeout, this, &PortJob::OnDeadline);
    connect(&GuardTimer, &QTimer::timeout, this, &PortJob::OnGuardTimer);
    connect(&LingerTimer, &QTimer::timeout, this, &PortJob::FinishLingering);
    Port.SetNotifyTarget(this, ReceiveEventType());
}

PortJob::~PortJob()
{
    // The reader thread posts to this object; it ends before the object goes.
    Port.Close();
}

void PortJob::Start()
{
    Clock.start();
    const PortTarget& target = Result.target;
    const bool opened = target.number > 0 ? Port.Open(target.number, Baud, Parity)
                                          : Port.OpenDevice(target.device, Baud, Parity);
    if (!opened) {
        // A refused setting leaves the device held: release it before asking who holds it.
        const serial::SerialError error = Port.LastError();
        Port.Close();
        const QString reason = OpenFailureReason(target.device, error);
        Finish(ExitPortError, QStringLiteral("cannot open: %1").arg(reason));
        return;
    }
    // What went on before this program opened the port is unknown (a "+++" right after
    // another run's last command must still find a quiet line), so the open counts as traffic.
    Guard.NoteTraffic(NowMs());
    StartStep(0);
}

QString PortJob::ProgressText() const
{
    if (State == Stage::Done)
        return Result.exitStatus == ExitOk ? QStringLiteral("done") : Result.error;
    if (Current < 0 || Current >= Steps.size()) return QStringLiteral("opening");
    const Step& step = Steps[Current];
    QString text =
        QStringLiteral("%1/%2 %3").arg(Current + 1).arg(Steps.size()).arg(StepLabel(step));
    if (State == Stage::GuardBefore || State == Stage::GuardAfter)
        text += QStringLiteral(": waiting for a quiet line");
    else if (!LastLine.isEmpty())
        text += QStringLiteral(": ") + LastLine;
    return text;
}

bool PortJob::event(QEvent* e)
{
    if (e->type() != ReceiveEventType()) return QObject::event(e);
    const std::string bytes = Port.TakeReceived();
    if (!bytes.empty()) OnReceived(QByteArray(bytes.data(), qsizetype(bytes.size())));
    return true;
}

void PortJob::StartStep(int index)
{
    Current = index;
    if (index >= Steps.size()) {
        Finish(ExitOk, {});
        return;
    }
    const Step& step = Steps[index];
    LineResult line;
    line.step = step.name;
    line.sent = step.command;
    Result.lines.append(line);
    LastLine.clear();
    Deadline.start(step.timeoutMs);
    if (IsEscape(step)) {
        // "+++" has no echo and no answer: it is done once the line has been quiet after it.
        Reader = Workbench::ReplyReader();
        State = Stage::GuardBefore;
        ArmGuard();
    } else {
        Reader = Workbench::ReplyReader(step.command);
        State = Stage::Answer;
        WriteStep(step.command);
    }
    emit ProgressChanged();
}

void PortJob::WriteStep(const QByteArray& bytes)
{
    Guard.NoteTraffic(NowMs());
    if (Port.Write(bytes.constData(), unsigned(bytes.size()))) return;
    EndLine(ExitPortError, QStringLiteral("cannot write to the port: %1")
                               .arg(QString::fromStdString(Port.LastError().Message)));
}

void PortJob::ArmGuard()
{
    const std::int64_t now = NowMs();
    if (State == Stage::GuardBefore) {
        const std::int64_t wait = Guard.WaitBeforeEscape(now);
        if (wait > 0) {
            GuardTimer.start(int(wait));
            return;
        }
        WriteStep(Workbench::ExitCommand);
        if (State == Stage::Done || State == Stage::Linger) return;
        Guard.NoteEscapeSent(NowMs());
        State = Stage::GuardAfter;
    }
    const std::int64_t wait = Guard.WaitBeforeOtherWrite(NowMs());
    if (wait > 0) {
        GuardTimer.start(int(wait));
        return;
    }
    Result.lines[Current].ok = true;
    Deadline.stop();
    CompleteStep();
}

void PortJob::OnGuardTimer()
{
    if (State == Stage::GuardBefore || State == Stage::GuardAfter) ArmGuard();
}

void PortJob::OnReceived(const QByteArray& bytes)
{
    Guard.NoteTraffic(NowMs());
    if (State == Stage::Linger) {
        Result.lines[Current].answer += bytes;
        if (NowMs() - LingerStartMs < LingerCapMs) LingerTimer.start(LingerQuietMs);
        return;
    }
    if (State != Stage::Answer && State != Stage::GuardBefore && State != Stage::GuardAfter)
        return;
    // "+++" is answered by nothing the reader could end; whatever comes is kept as it is.
    const bool complete = State == Stage::Answer && Reader.Feed(bytes);
    LineResult& current = Result.lines[Current];
    if (State == Stage::Answer)
        current.answer = Reader.Answer();
    else
        current.answer += bytes;
    // The progress shows the last line received, but not the echo, which may hold a password.
    const QByteArray echo = current.sent.trimmed();
    QString last;
    const QList<QByteArray> lines = current.answer.split('\n');
    for (auto it = lines.rbegin(); it != lines.rend() && last.isEmpty(); ++it)
        if (const QByteArray text = it->trimmed(); !text.isEmpty() && text != echo)
            last = QString::fromUtf8(text);
    if (last != LastLine) {
        LastLine = last;
        emit ProgressChanged();
    }
    if (State == Stage::GuardBefore) ArmGuard(); // traffic moves the quiet line further away
    if (complete) {
        Deadline.stop();
        current.final = Workbench::FinalResultText(Reader.Final());
        current.ok = Reader.Succeeded();
        current.answer += Reader.Rest();
        CompleteStep();
    }
}

void PortJob::CompleteStep()
{
    const LineResult& line = Result.lines[Current];
    if (line.ok) {
        if (Current + 1 < Steps.size()) {
            emit LineDone(Current);
            StartStep(Current + 1);
        } else {
            EndLine(ExitOk, {});
        }
        return;
    }
    const Step& step = Steps[Current];
    const QString said = AnswerSummary(line);
    QString error;
    if (Reader.Final() == Workbench::FinalResult::Ready)
        error = QStringLiteral("%1: the module restarted (ready) instead of answering")
                    .arg(StepLabel(step));
    else
        error = QStringLiteral("%1 failed: the module answered %2")
                    .arg(StepLabel(step), said.isEmpty() ? line.final : said);
    if (Steps.size() > 1)
        error = QStringLiteral("step %1 of %2, %3").arg(Current + 1).arg(Steps.size()).arg(error);
    EndLine(ExitFailed, error);
}

void PortJob::OnDeadline()
{
    if (State != Stage::Answer && State != Stage::GuardBefore && State != Stage::GuardAfter)
        return;
    GuardTimer.stop();
    Result.lines[Current].timedOut = true;
    const Step& step = Steps[Current];
    QString error;
    if (!Port.IsOpen())
        error = QStringLiteral("the port was lost (%1) while waiting for %2")
                    .arg(QString::fromStdString(Port.LastError().Message), StepLabel(step));
    else if (IsEscape(step))
        error = QStringLiteral("the line did not go quiet for +++ within %1 s")
                    .arg(Seconds(step.timeoutMs));
    else
        error = QStringLiteral("no final answer to %1 within %2 s")
                    .arg(StepLabel(step), Seconds(step.timeoutMs));
    if (Steps.size() > 1)
        error = QStringLiteral("step %1 of %2, %3").arg(Current + 1).arg(Steps.size()).arg(error);
    EndLine(Port.IsOpen() ? ExitNoAnswer : ExitPortError, error);
}

// The current line is over; its tail is gathered before the run ends.
void PortJob::EndLine(int exitStatus, QString error)
{
    PendingExit = exitStatus;
    PendingError = std::move(error);
    Deadline.stop();
    GuardTimer.stop();
    if (!Port.IsOpen()) {
        FinishLingering();
        return;
    }
    State = Stage::Linger;
    LingerStartMs = NowMs();
    LingerTimer.start(LingerQuietMs);
}

void PortJob::FinishLingering()
{
    if (Current >= 0 && Current < Result.lines.size()) emit LineDone(Current);
    Finish(PendingExit, PendingError);
}

void PortJob::Finish(int exitStatus, QString error)
{
    Deadline.stop();
    GuardTimer.stop();
    LingerTimer.stop();
    Port.Close();
    Result.exitStatus = exitStatus;
    Result.error = std::move(error);
    State = Stage::Done;
    emit ProgressChanged();
    emit Finished();
}

} // namespace Cli
