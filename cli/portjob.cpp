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

// What a step's answer may add after the answer itself: the tail kept is bounded too.
constexpr qsizetype TailKept = 64 * 1024;
// A command the module refused as busy is sent again at most this often.
constexpr int BusyRetryLimit = 2;

QEvent::Type ReceiveEventType()
{
    static const auto type = QEvent::Type(QEvent::registerEventType());
    return type;
}

QEvent::Type PortLostEventType()
{
    static const auto type = QEvent::Type(QEvent::registerEventType());
    return type;
}


bool IsEscape(const Step& step)
{
    return step.Command == Workbench::ExitCommand;
}

// The command without its line end and its parameters.
QString CommandName(const QByteArray& command)
{
    QByteArray name = command.trimmed();
    const qsizetype eq = name.indexOf('=');
    if (eq >= 0) name.truncate(eq);
    return QString::fromUtf8(name);
}

QString Seconds(int ms)
{
    return ms % 1000 == 0 ? QString::number(ms / 1000) : QString::number(ms / 1000.0, 'g', 4);
}

} // namespace

QString StepLabel(const Step& step)
{
    const QString command = CommandName(step.Command);
    return step.Name.isEmpty() ? command : QStringLiteral("%1 (%2)").arg(step.Name, command);
}

void NotifyingPort::OnBytesReceived(const char* data, std::size_t size)
{
    serial::BufferedSerialPort::OnBytesReceived(data, size);
    if (!Posted.exchange(true)) PostNotify();
}

PortJob::PortJob(PortTarget target, int baud, int parity, QList<Step> steps, QObject* parent)
    : QObject(parent), Baud(baud), Parity(parity), Steps(std::move(steps)),
      Exchange([this](const QByteArray& bytes) {
          return Port.Write(bytes.constData(), unsigned(bytes.size()));
      })
{
    Result.Target = std::move(target);
    for (QTimer* timer : {&GuardTimer, &AddressTimer, &LingerTimer}) {
        timer->setSingleShot(true);
        timer->setTimerType(Qt::PreciseTimer);
    }
    connect(&GuardTimer, &QTimer::timeout, this, [this] {
        if (State != Stage::GuardAfter) return;
        Result.Lines[Current].Ok = true;
        CompleteStep();
    });
    connect(&AddressTimer, &QTimer::timeout, this, &PortJob::OnAddressDeadline);
    connect(&LingerTimer, &QTimer::timeout, this, &PortJob::FinishLingering);
    Workbench::Exchange& engine = Exchange.Engine();
    engine.OnAnswerComplete = [this](const Workbench::ExchangeAnswer& a) { OnAnswer(a); };
    engine.OnPortLost = [this] { OnPortLost(); };
    Port.SetNotifyTarget(this, ReceiveEventType());
    Port.SetActivityEvents(0, PortLostEventType());
}

PortJob::~PortJob()
{
    // The reader thread posts to this object; it ends before the object goes.
    Port.Close();
}

void PortJob::Start()
{
    const PortTarget& target = Result.Target;
    const bool opened = target.Number > 0 ? Port.Open(target.Number, Baud, Parity)
                                          : Port.OpenDevice(target.Device, Baud, Parity);
    if (!opened) {
        // A refused setting leaves the device held: release it before asking who holds it.
        const serial::SerialError error = Port.LastError();
        Port.Close();
        const QString reason = OpenFailureReason(target.Device, error);
        Finish(ExitPortError, QStringLiteral("cannot open: %1").arg(reason));
        return;
    }
    // What went on before this program opened the port is unknown (a "+++" right after
    // another run's last command must still find a quiet line), so the open counts as a write.
    Exchange.AssumeWritten();
    StartStep(0);
}

QString PortJob::ProgressText() const
{
    if (State == Stage::Done)
        return Result.ExitStatus == ExitOk ? QStringLiteral("done") : Result.Error;
    if (Current < 0 || Current >= Steps.size()) return QStringLiteral("opening");
    const Step& step = Steps[Current];
    QString text =
        QStringLiteral("%1/%2 %3").arg(Current + 1).arg(Steps.size()).arg(StepLabel(step));
    if (State == Stage::GuardBefore || State == Stage::GuardAfter)
        text += QStringLiteral(": waiting for a quiet line");
    else if (State == Stage::WaitForAddress)
        text += QStringLiteral(": waiting for an address (WIFI GOT IP)");
    else if (!LastLine.isEmpty())
        text += QStringLiteral(": ") + LastLine;
    return text;
}

bool PortJob::event(QEvent* e)
{
    if (e->type() == PortLostEventType()) {
        Exchange.PortLost();
        return true;
    }
    if (e->type() != ReceiveEventType()) return QObject::event(e);
    Port.NoteTaking();
    const QByteArray bytes = Port.TakeReceivedBytes();
    if (!bytes.isEmpty()) OnReceived(bytes);
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
    line.Step = step.Name;
    line.Sent = step.Command;
    Result.Lines.append(line);
    LastLine.clear();
    BusyRetries = 0;
    if (IsEscape(step)) {
        // "+++" has no echo and no answer: it is done a quiet second after it went out. The
        // wait for our own quiet line before it is no part of the step's time.
        State = Stage::GuardBefore;
        Exchange.SendEscape([this](bool written) { OnEscapeWritten(written); });
    } else {
        State = Stage::Answer;
        SendStepCommand();
    }
    emit ProgressChanged();
}

void PortJob::SendStepCommand()
{
    const Step& step = Steps[Current];
    Exchange.SendCommand(step.Command, step.TimeoutMs, [this](bool written) {
        if (written) StepWrittenMs = NowMs();
    });
}

void PortJob::OnEscapeWritten(bool written)
{
    if (State != Stage::GuardBefore) return;
    if (!written) {
        FailStep(ExitPortError, Port.IsOpen() ? QStringLiteral("cannot write to the port: %1")
                                                    .arg(QString::fromStdString(
                                                        Port.LastError().Message))
                                              : LostText());
        return;
    }
    State = Stage::GuardAfter;
    GuardTimer.start(int(Workbench::Exchange::EscapeGuardMs));
    emit ProgressChanged();
}

QString PortJob::LostText() const
{
    return QStringLiteral("the port was lost (%1) during %2")
        .arg(QString::fromStdString(Port.LastError().Message), StepLabel(Steps[Current]));
}

void PortJob::OnPortLost()
{
    if (State == Stage::GuardAfter || State == Stage::WaitForAddress) FailStep(ExitPortError, LostText());
}

void PortJob::OnAnswer(const Workbench::ExchangeAnswer& answer)
{
    if (State != Stage::Answer) return;
    LineResult& line = Result.Lines[Current];
    const Step& step = Steps[Current];
    // Every attempt's answer is shown, a refused one before the one that was taken.
    line.Answer += answer.Bytes;
    line.NotKept += answer.NotKept;
    line.Final = Workbench::FinalResultText(answer.Final);
    if (answer.EndInChunk >= 0 && answer.EndInChunk < ChunkBeingRead.size())
        ChunkBeingRead = ChunkBeingRead.sliced(answer.EndInChunk);
    else
        ChunkBeingRead = {};
    if (answer.PortLost) {
        line.TimedOut = true;
        FailStep(ExitPortError, Port.IsOpen() ? QStringLiteral("cannot write to the port: %1")
                                                    .arg(QString::fromStdString(
                                                        Port.LastError().Message))
                                              : LostText());
        return;
    }
    if (answer.TimedOut) {
        line.TimedOut = true;
        FailStep(ExitNoAnswer, QStringLiteral("no final answer to %1 within %2 s")
                                   .arg(StepLabel(step), Seconds(step.TimeoutMs)));
        return;
    }
    if (answer.Final == Workbench::FinalResult::Busy) {
        // The module's earlier command has now been answered: it is free for this one.
        if (BusyRetries < BusyRetryLimit) {
            ++BusyRetries;
            SendStepCommand();
            return;
        }
        FailStep(ExitFailed,
                 QStringLiteral("%1: the module was busy (busy p...) and did not take it, %2 times")
                     .arg(StepLabel(step))
                     .arg(BusyRetries + 1));
        return;
    }
    if (answer.Final == Workbench::FinalResult::Ready && !answer.EchoSeen && Current == 0 &&
        !BootRetried && !Workbench::IsRestartCommand(step.Command)) {
        // The module was starting as the port opened and lost what was sent meanwhile.
        BootRetried = true;
        SendStepCommand();
        return;
    }
    line.Ok = answer.Succeeded();
    if (line.Ok && step.waitForAddress && !answer.Bytes.contains("WIFI GOT IP")) {
        // The newer firmware answers OK before the address is assigned; the connection
        // waits for it within the join's time.
        State = Stage::WaitForAddress;
        AddressCarry.clear();
        const std::int64_t left = StepWrittenMs + step.TimeoutMs - NowMs();
        AddressTimer.start(int(std::max<std::int64_t>(0, left)));
        emit ProgressChanged();
        return;
    }
    CompleteStep();
}

void PortJob::OnAddressDeadline()
{
    if (State != Stage::WaitForAddress) return;
    Result.Lines[Current].Ok = false;
    Result.Lines[Current].TimedOut = true;
    FailStep(ExitNoAnswer, QStringLiteral("%1 answered OK but no address came (WIFI GOT IP) "
                                          "within %2 s")
                               .arg(StepLabel(Steps[Current]), Seconds(Steps[Current].TimeoutMs)));
}

void PortJob::OnReceived(const QByteArray& bytes)
{
    ChunkBeingRead = bytes;
    const Stage before = State;
    Exchange.Receive(bytes); // may end the step and start the next
    NoteLastLine(bytes);
    // The rest of the chunk after an answer that ended the run is its tail.
    const QByteArrayView rest = before == Stage::Answer ? ChunkBeingRead : QByteArrayView(bytes);
    ChunkBeingRead = {};
    if (State == Stage::WaitForAddress) {
        Result.Lines[Current].Answer += rest.first(std::min<qsizetype>(rest.size(), TailKept));
        const QByteArray seen = AddressCarry + rest.toByteArray();
        if (seen.contains("WIFI GOT IP\r")) {
            AddressTimer.stop();
            CompleteStep();
            return;
        }
        AddressCarry = seen.right(16);
        return;
    }
    if (State == Stage::Linger && !rest.isEmpty()) {
        LineResult& current = Result.Lines[Current];
        const qsizetype take = std::min(rest.size(), TailKept - TailBytes);
        current.Answer += rest.first(take);
        TailBytes += take;
        if (NowMs() - LingerStartMs < LingerCapMs) LingerTimer.start(LingerQuietMs);
    }
}

void PortJob::NoteLastLine(const QByteArray& bytes)
{
    // The progress shows the last line received, but not the echo, which may hold a password.
    if (Current < 0 || Current >= Result.Lines.size()) return;
    const QByteArray echo = Result.Lines[Current].Sent.trimmed();
    const QByteArrayView tail = QByteArrayView(bytes).last(std::min<qsizetype>(bytes.size(), 256));
    QString last;
    const QList<QByteArray> lines = tail.toByteArray().split('\n');
    for (auto it = lines.rbegin(); it != lines.rend() && last.isEmpty(); ++it)
        if (const QByteArray text = it->trimmed(); !text.isEmpty() && text != echo)
            last = QString::fromUtf8(text);
    if (last.isEmpty() || last == LastLine) return;
    LastLine = last;
    emit ProgressChanged();
}

void PortJob::CompleteStep()
{
    const LineResult& line = Result.Lines[Current];
    if (line.Ok) {
        if (Current + 1 < Steps.size()) {
            emit LineDone(Current);
            StartStep(Current + 1);
        } else {
            EndLine(ExitOk, {});
        }
        return;
    }
    const Step& step = Steps[Current];
    QString said = Workbench::AnswerSummary(line.Answer, line.Sent);
    if (line.NotKept > 0) said = QStringLiteral("(%1 bytes not kept) ").arg(line.NotKept) + said;
    if (line.Final == Workbench::FinalResultText(Workbench::FinalResult::Ready))
        FailStep(ExitFailed, QStringLiteral("%1: the module restarted (ready) instead of answering")
                                 .arg(StepLabel(step)));
    else
        FailStep(ExitFailed, QStringLiteral("%1 failed: the module answered %2")
                                 .arg(StepLabel(step), said.isEmpty() ? line.Final : said));
}

void PortJob::FailStep(int exitStatus, const QString& what)
{
    QString error = what;
    if (Steps.size() > 1)
        error = QStringLiteral("step %1 of %2, %3").arg(Current + 1).arg(Steps.size()).arg(error);
    EndLine(exitStatus, error);
}

// The current line is over; its tail is gathered before the run ends.
void PortJob::EndLine(int exitStatus, QString error)
{
    PendingExit = exitStatus;
    PendingError = std::move(error);
    GuardTimer.stop();
    AddressTimer.stop();
    if (!Port.IsOpen()) {
        FinishLingering();
        return;
    }
    State = Stage::Linger;
    TailBytes = 0;
    LingerStartMs = NowMs();
    LingerTimer.start(LingerQuietMs);
}

void PortJob::FinishLingering()
{
    if (Current >= 0 && Current < Result.Lines.size()) emit LineDone(Current);
    Finish(PendingExit, PendingError);
}

void PortJob::Finish(int exitStatus, QString error)
{
    GuardTimer.stop();
    AddressTimer.stop();
    LingerTimer.stop();
    Exchange.Reset();
    Port.Close();
    Result.ExitStatus = exitStatus;
    Result.Error = std::move(error);
    State = Stage::Done;
    emit ProgressChanged();
    emit Finished();
}

} // namespace Cli
