#pragma once
// The main window: its controls come from the stored layout; this class only binds them to the
// serial port and to the workbench functions.
#include "app/forms.h"
#include "framework/tcolor.h"
#include "serial/bufferedserialport.h"
#include "serial/portidentity.h"
#include "skin/suithemes.h"
#include "ui_form1.h"
#include "workbench/exchange.h"

#include <QByteArray>
#include <QThreadPool>
#include <QTimer>
#include <QWidget>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <vector>

namespace serial {
class PortWatcher;
}

class TSessionLogForm;
class TModuleIdentifier;

class TForm1 : public QWidget, public Ui::TForm1
{
    Q_OBJECT
    Q_PROPERTY(TColor Color READ Color WRITE SetColor)
    Q_PROPERTY(Forms::TFormBorderStyle BorderStyle READ BorderStyle WRITE SetBorderStyle)
    // The window's stored place on the screen; the layout's own geometry keeps only its size.
    Q_PROPERTY(int Left READ Left WRITE SetLeft)
    Q_PROPERTY(int Top READ Top WRITE SetTop)

public:
    // A port item's device path when the item names a device rather than a COM number.
    static constexpr int PortDeviceRole = Qt::UserRole + 1;
    // How long a device that hung up is waited for, to be opened again with the same settings.
    static constexpr int ReopenWindowMs = 30000;
    // How long a step of the connection sequence waits for its final answer: the join, others.
    static constexpr int JoinAnswerMs = 20000;
    static constexpr int StepAnswerMs = 10000;
    // What waits for the exchange at most.
    static constexpr qsizetype InboxLimit = qsizetype{4} << 20;

    // Builds the window from its layout, creates the port and runs FormCreate. With startTimer
    // false Timer1 never starts, so only the caller drives the ticks; otherwise it runs while
    // there is something to count (a block being collected, a sequence step due).
    explicit TForm1(QWidget* parent = nullptr, bool startTimer = true);
    ~TForm1() override;

    TColor Color() const { return FColor; }
    void SetColor(TColor color);
    Forms::TFormBorderStyle BorderStyle() const { return FBorderStyle; }
    void SetBorderStyle(Forms::TFormBorderStyle style);
    int Left() const { return x(); }
    void SetLeft(int left) { move(left, y()); }
    int Top() const { return y(); }
    void SetTop(int top) { move(x(), top); }

    // Sets the text of status panel index (0 port state, 1 last exchange, 2 start time);
    // any other index is ignored.
    void SetStatusText(const QString& text, int index);
    void ShowClosedIndicator();
    void ShowOpenIndicator();
    // Adapts the "Parameter configuration" page to the selected command.
    void RefreshCommandPanel();
    // Shows text as the Send log's only line, then writes its bytes to the port through the
    // port's exchange, whose answer is read (within answerMs when not 0). In the quiet second
    // after a "+++" the command waits in the exchange's outbox and goes out, in order.
    void SendCommand(const QByteArray& text, int answerMs = 0);
    // Exit's "+++": written once we have written nothing for a second (what the module sends
    // meanwhile does not count); a press while one is waiting changes nothing.
    void SendEscape();
    // Whether the rows of the latest received block are still being found (a large block is
    // split on a worker thread and shown when that is done).
    bool ReceivedBlockPending() const { return ShownBlock != LatestBlock; }
    // Whether a "+++" is waiting for a quiet line.
    bool EscapePending() const { return Exchange->Engine().EscapeWaiting(); }
    // One step of the connection sequence, run by the tick.
    void RunConfigStep();
    // Shows the bytes received since the last block in the Receive list.
    void OnReceiveNotify();
    // Fills the port list from one scan of every COMn: the ports that can be opened now (and
    // the one this window holds open), each with a tooltip naming its device. The selected
    // port stays selected while it is listed, and the command line's port is listed for the
    // run. When nothing can be opened, the reasons are the list's tooltip and go to standard
    // error once.
    void RefreshPortList();

    // The open device went away: release it, show the Closed state, end a running sequence and
    // wait ReopenWindowMs for the same device to return.
    void OnPortLost();
    // Whether a lost device is being waited for.
    bool ReopenPending() const;
    // Selects the port the command line names; one the scan did not list (a held COMn, a device
    // path) becomes the list's item for this run.
    void SelectCommandLinePort(const QString& text, const QString& device);
    // Draws the whole window in one look.
    void ApplyUIStyle(TsuiUIStyle style);

    std::unique_ptr<serial::BufferedSerialPort> Port;
    int ReceiveMessageId = 0;
    std::int32_t ConfigStep = 0;
    QTimer* Timer1 = nullptr;
    // The port's exchange: one outbox for Send, Exit, the sequence and the session log's free
    // line, and the reader of the module's final answers.
    Workbench::ExchangeDriver* Exchange = nullptr;
    // The exchange's single-shot timer: the next write or answer time-out that is due.
    QTimer* EscapeTimer = nullptr;
    // Milliseconds on the clock the port stamps received bytes with; tests may move it on.
    std::function<std::int64_t()> NowMs = &serial::BufferedSerialPort::SteadyNowMs;
    serial::PortWatcher* DeviceWatcher = nullptr;
    // Single-shot: runs out ReopenWindowMs after a device was lost.
    QTimer* ReopenDeadline = nullptr;
    // The session log window (Ctrl+L); it records the port's traffic from start-up on.
    TSessionLogForm* SessionLog = nullptr;
    // "Identify module" of the window menu.
    TModuleIdentifier* Identifier = nullptr;
    // An identification has ended: the port list catches up with what changed meanwhile.
    void AfterIdentify();
    // The list's tooltip: the selected item's text, or the reasons of the last failure.
    void ShowPortToolTip();

public slots:
    void FormCreate();
    // The 10 ms tick: frames received blocks by silence and paces the connection sequence.
    void Timer1Timer();
    void suiButton_OpenPortClick();
    void suiBoxAT_CmdClick();
    void suiButton3Click();
    void suiButton4Click();
    void suiButton1Click();
    void suiButton5Click();
    void suiButton2Click();
    void suiTabSheet1Show();
    void suiTabSheet2Show();
    void suiTabSheet3Show();
    // Runs what the exchange has due now (what its timer does).
    void EscapeTimerTimer();
    // Devices may have come or gone: re-fill the closed port's list, reopen a returned device.
    void OnPortCandidatesChanged();
    // The wait for a lost device is over.
    void ReopenDeadlinePassed();

protected:
    // The message dispatch: the receive notification goes to OnReceiveNotify.
    bool event(QEvent* event) override;

private:
    void BindHandlers();
    // Shows the port's real state: Opened or Closed, from Port->IsOpen() alone.
    void ShowPortState();
    // Puts the rows of block serial into the Receive list, unless a later block came since.
    void ShowRows(std::uint64_t serial, QByteArray block, std::vector<TListRowSpan> rows);
    // On the reader thread: keeps received bytes for the exchange and posts one event for them.
    void PostToExchange(const char* data, std::size_t size);
    // Hands what the port received since the last call to the exchange.
    void DrainExchangeInbox();
    // A final answer came (or none in time): paces and ends the connection sequence.
    void OnAnswerComplete(const Workbench::ExchangeAnswer& answer);
    // Gives each label and list whose texts the window face cuts the same face a little smaller.
    void FitTextsToControls();
    // Closes the port; a running connection sequence ends with it.
    void ReleasePort();
    // Opens the lost device again with its settings if it is back.
    void TryReopen();
    // The list item whose device is device, or -1.
    int PortItemForDevice(const std::string& device) const;
    // Makes text the list's tooltip and writes it to standard error unless it was the last
    // text written there.
    void ReportPortProblems(const QString& text);
    // Why the port the user asked for did not open.
    QString OpenFailureText(unsigned port, const QString& device) const;

    TColor FColor = clBtnFace;
    Forms::TFormBorderStyle FBorderStyle = Forms::bsSizeable;
    bool PortShownOpen = false;
    bool AutoTick = true;             // Timer1 starts by itself when a block begins
    int ReceiveStartedEvent = 0;      // the port's first byte of a block
    int PortLostEvent = 0;            // the port's reader found the device gone
    bool FramePosted = false;         // the tick framed a block whose notification is pending
    bool BlockContinues = false;      // the last take was a full buffer handed over
    QByteArray SplitCarry;            // the block so far; touched only by SplitPool's tasks
    int ExchangeEvent = 0;            // bytes wait in ExchangeInbox
    std::mutex InboxLock;             // guards ExchangeInbox and InboxPosted; a leaf lock
    QByteArray ExchangeInbox;         // received bytes on their way to the exchange
    bool InboxPosted = false;
    std::int32_t AwaitedStep = 0;     // the sequence step (1 to 4) whose final answer is awaited
    bool StepAnswered = true;         // the step last sent has its final answer: the next may run
    bool FailedAnswer = false;        // a final answer since the last block said the command failed
    std::uint64_t LatestBlock = 0;    // serial number of the last block received
    std::uint64_t ShownBlock = 0;     // and of the one in the Receive list
    QThreadPool* SplitPool = nullptr; // one thread: large blocks are split in arrival order
    bool PortListStale = false;   // devices changed while the list was locked
    serial::PortIdentity OpenedPort;      // the device last opened, to find it again after a loss
    QString PinnedPortText;       // the command line's port, listed even when the scan misses it
    QString PinnedPortDevice;
    QString ScanProblems;     // why the last scan listed no port; "" when it listed some
    QString PortProblems;     // the reasons the list's tooltip shows instead of the item's
    QString ReportedProblems; // the last text written to standard error
};
