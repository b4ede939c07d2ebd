#include "app/unit1.h"

#include "serial/portinfo.h"
#include "app/identifymodule.h"
#include "app/sessionlog.h"
#include "serial/portnames.h"
#include "serial/portwatcher.h"
#include "skin/suipublic.h"
#include "workbench/catalogue.h"
#include "workbench/framing.h"
#include "workbench/portsettings.h"
#include "workbench/statustexts.h"

#include <QCoreApplication>
#include <QHash>
#include <QLocale>
#include <QMetaMethod>
#include <QPointer>
#include <QScreen>
#include <QSignalBlocker>
#include <QTime>
#include <algorithm>
#include <cstdio>
#include <mutex>

// Resources of a static library must be registered by name, outside any namespace.
static void InitAppResources()
{
    Q_INIT_RESOURCE(app);
}

namespace {

// The receive notification's event type: one per program, like a registered window message.
int ReceiveNotifyMessage()
{
    static const int id = QEvent::registerEventType();
    return id;
}

// The port's two other events: a block has begun, the device has gone.
int ReceiveStartedMessage()
{
    static const int id = QEvent::registerEventType();
    return id;
}

int PortLostMessage()
{
    static const int id = QEvent::registerEventType();
    return id;
}

// Received bytes wait for the exchange.
int ExchangeInboxMessage()
{
    static const int id = QEvent::registerEventType();
    return id;
}
// The port number of a list text. A negative number ("COM-3") names no port; it is asked for
// as port 0, which fails.
unsigned ListedPortNumber(const QString& text)
{
    return unsigned(std::max(0, Workbench::PortNumberFromText(text)));
}

// What the framework does once a stored layout has been read: every component that has a
// Loaded operation runs it, parents before children.
void RunLoadedPass(QObject* root)
{
    const int index = root->metaObject()->indexOfMethod("Loaded()");
    if (index >= 0) root->metaObject()->method(index).invoke(root, Qt::DirectConnection);
    for (QObject* child : root->children())
        RunLoadedPass(child);
}

} // namespace

TForm1::TForm1(QWidget* parent, bool startTimer) : QWidget(parent)
{
    InitAppResources();
    setupUi(this);
    BindHandlers();
    RunLoadedPass(this);
    // A dialog frame cannot be resized by the user; the size is final once the skinned frame
    // has put itself around the stored client area.
    if (FBorderStyle != Forms::bsSizeable && FBorderStyle != Forms::bsSizeToolWin)
        setFixedSize(size());

    ReceiveMessageId = ReceiveNotifyMessage();
    ReceiveStartedEvent = ReceiveStartedMessage();
    PortLostEvent = PortLostMessage();
    Port = std::make_unique<serial::BufferedSerialPort>();
    Port->SetNotifyTarget(this, ReceiveMessageId);
    Port->SetActivityEvents(ReceiveStartedEvent, PortLostEvent);
    Exchange = new Workbench::ExchangeDriver(
        [this](const QByteArray& bytes) {
            return Port->Write(bytes.constData(), unsigned(bytes.size()));
        },
        this);
    Exchange->NowMs = [this] { return NowMs(); };
    Exchange->Engine().OnAnswerComplete = [this](const Workbench::ExchangeAnswer& answer) {
        OnAnswerComplete(answer);
    };
    EscapeTimer = &Exchange->Timer();
    ExchangeEvent = ExchangeInboxMessage();
    SessionLog = AttachSessionLog(*this);
    connect(SessionLog, &TSessionLogForm::TranscriptProblemChanged, this, [this] {
        ShowPortToolTip();
    });
    {
        // The exchange reads what the port receives as it comes, beside the session log.
        Workbench::SessionFeed* feed = &SessionLog->Feed();
        Port->SetTrafficTap([this, feed](bool sent, const char* data, std::size_t size) {
            feed->Append(sent ? Workbench::SessionDirection::Sent
                              : Workbench::SessionDirection::Received,
                         data, size);
            if (!sent) PostToExchange(data, size);
        });
    }
    // The free line and Exit write to one port through one exchange.
    SessionLog->ShareExchange(*Exchange);
    Identifier = AttachModuleIdentifier(*this);
    ConfigStep = 0;

    Timer1 = new QTimer(this);
    Timer1->setTimerType(Qt::PreciseTimer);
    Timer1->setInterval(10);
    connect(Timer1, &QTimer::timeout, this, &TForm1::Timer1Timer);
    // Its first tick finds nothing to count and stops it until a block begins.
    AutoTick = startTimer;
    if (startTimer) Timer1->start();

    SplitPool = new QThreadPool(this);
    SplitPool->setMaxThreadCount(1);
    // The thread ends when idle, so a window at rest keeps no sleeping thread that wakes.
    SplitPool->setExpiryTimeout(1000);

    ReopenDeadline = new QTimer(this);
    ReopenDeadline->setSingleShot(true);
    ReopenDeadline->setInterval(ReopenWindowMs);
    connect(ReopenDeadline, &QTimer::timeout, this, &TForm1::ReopenDeadlinePassed);
    DeviceWatcher = new serial::PortWatcher(this);
    connect(DeviceWatcher, &serial::PortWatcher::CandidatesMayHaveChanged, this,
            &TForm1::OnPortCandidatesChanged);

    FormCreate();
    // After the start-up has filled the port list.
    FitTextsToControls();
}

// Our threads may not outlive main: the port (and its reader) end with the window.
TForm1::~TForm1()
{
    // A splitter still at work posts back to this window: it ends first.
    if (SplitPool) SplitPool->waitForDone();
    if (Port) {
        Port->SetActivityEvents(0, 0);
        Port->SetTrafficTap({});
        Port->SetNotifyTarget(nullptr, 0);
        Port->Close();
    }
    // Before the exchange, which it shares, and after the tap that fed it is gone.
    delete SessionLog;
    SessionLog = nullptr;
}

void TForm1::BindHandlers()
{
    connect(suiButton_OpenPort, &QPushButton::clicked, this, &TForm1::suiButton_OpenPortClick);
    // Another port chosen: the reasons of the last failed open no longer apply to it.
    connect(suiComboBox_PcPort, &QComboBox::currentIndexChanged, this, [this] {
        PortProblems.clear();
        ShowPortToolTip();
    });
    connect(suiBoxAT_Cmd, &QComboBox::activated, this, &TForm1::suiBoxAT_CmdClick);
    connect(suiButton3, &QPushButton::clicked, this, &TForm1::suiButton3Click);
    connect(suiButton4, &QPushButton::clicked, this, &TForm1::suiButton4Click);
    connect(suiButton1, &QPushButton::clicked, this, &TForm1::suiButton1Click);
    connect(suiButton5, &QPushButton::clicked, this, &TForm1::suiButton5Click);
    connect(suiButton2, &QPushButton::clicked, this, &TForm1::suiButton2Click);
    connect(suiTabSheet1, &TsuiTabSheet::OnShow, this, &TForm1::suiTabSheet1Show);
    connect(suiTabSheet2, &TsuiTabSheet::OnShow, this, &TForm1::suiTabSheet2Show);
    connect(suiTabSheet3, &TsuiTabSheet::OnShow, this, &TForm1::suiTabSheet3Show);
}

void TForm1::SetColor(TColor color)
{
    FColor = color;
    QPalette palette = this->palette();
    palette.setColor(QPalette::Window, toQColor(color));
    setPalette(palette);
}

void TForm1::SetBorderStyle(Forms::TFormBorderStyle style)
{
    FBorderStyle = style;
}

void TForm1::FormCreate()
{
    RefreshPortList();
    SetStatusText(QStringLiteral("Closed"), 0);
    suiComboBox_PcPort->setEnabled(true);
    suiComboBox_PcBaudRate->setEnabled(true);
    suiComboBox_PcParity->setEnabled(true);
    suiButton_OpenPort->SetCaption(QStringLiteral("Open"));
    ShowClosedIndicator();
    suiEdit1->setEnabled(false);
    suiEdit2->setEnabled(false);
    suiEdit3->setEnabled(false);
    SetStatusText(Workbench::ShortTimeText(QTime::currentTime()), 2);
}

void TForm1::FitTextsToControls()
{
    // Beside its stored text, a label must hold every caption the command page gives it, and
    // the parameter list every choice of every command.
    QHash<const QWidget*, QStringList> texts;
    for (int k = 0; k < Workbench::CommandCount; ++k) {
        const auto panel = Workbench::CommandPanelFor(k);
        if (panel->Label6Caption) texts[Label6] << *panel->Label6Caption;
        texts[Label9] << panel->Label9Caption;
        texts[Label10] << panel->Label10Caption;
        texts[suiComboBox1] << panel->Choices;
    }
    for (QLabel* label : findChildren<QLabel*>()) {
        if (label->text().isEmpty()) continue; // the lamp pictures
        label->setFont(FontThatFits(label->font(), texts.value(label) << label->text(),
                                    label->contentsRect().width()));
    }
    for (TsuiComboBox* box : findChildren<TsuiComboBox*>()) {
        QStringList items = texts.value(box);
        for (int i = 0; i < box->count(); ++i)
            items << box->itemText(i);
        const int width = std::min(box->TextRect().Width(), box->ListTextWidth());
        box->setFont(FontThatFits(box->font(), items, width));
    }
}

void TForm1::RefreshPortList()
{
    const QString selected = suiComboBox_PcPort->currentText();
    const std::vector<serial::PortCandidate> candidates = serial::ScanPorts();
    std::vector<serial::PortCandidate> problems;
    {
        // Refilling is no choice of the user's: nothing that listens to the list hears it.
        const QSignalBlocker blocker(suiComboBox_PcPort);
        suiComboBox_PcPort->clear();
        for (const serial::PortCandidate& c : candidates) {
            // The port this window holds cannot be opened a second time, but it is still ours.
            const bool ours = Port->IsOpen() && c.Number == Port->PortNumber;
            if (!c.Openable && !ours) {
                problems.push_back(c);
                continue;
            }
            const QString text = Workbench::PortListText(int(c.Number));
            suiComboBox_PcPort->addItem(text);
            QString tip = QString::fromStdString(serial::PortToolTip(c));
            if (Identifier) tip = Identifier->DecoratedToolTip(text, tip);
            suiComboBox_PcPort->setItemData(suiComboBox_PcPort->count() - 1, tip,
                                            Qt::ToolTipRole);
        }
        // The command line's port is listed for this run even when the scan does not list it.
        if (!PinnedPortText.isEmpty() && suiComboBox_PcPort->findText(PinnedPortText) < 0) {
            suiComboBox_PcPort->addItem(PinnedPortText);
            const int item = suiComboBox_PcPort->count() - 1;
            if (!PinnedPortDevice.isEmpty()) {
                suiComboBox_PcPort->setItemData(item, PinnedPortDevice, PortDeviceRole);
                suiComboBox_PcPort->setItemData(item, PinnedPortDevice, Qt::ToolTipRole);
            }
        }
        PortListStale = false;
        const int kept = suiComboBox_PcPort->findText(selected);
        if (kept >= 0)
            suiComboBox_PcPort->setCurrentIndex(kept);
        else if (suiComboBox_PcPort->count() > 0)
            suiComboBox_PcPort->setCurrentIndex(0);
    }
    ScanProblems.clear();
    if (suiComboBox_PcPort->count() == 0) {
        const std::string reasons = serial::PortProblemsText(problems);
        ScanProblems = reasons.empty()
                           ? QStringLiteral("No serial port was found.")
                           : QStringLiteral("No port can be opened now:\n") +
                                 QString::fromStdString(reasons);
    }
    PortProblems.clear();
    if (!ScanProblems.isEmpty()) ReportPortProblems(ScanProblems);
    ShowPortToolTip();
}

void TForm1::AfterIdentify()
{
    if (PortListStale && !Port->IsOpen() && !PortShownOpen) RefreshPortList();
    ShowPortToolTip();
}

void TForm1::ShowPortToolTip()
{
    const int index = suiComboBox_PcPort->currentIndex();
    QString tip = !PortProblems.isEmpty() ? PortProblems
                  : index >= 0 ? suiComboBox_PcPort->itemData(index, Qt::ToolTipRole).toString()
                               : QString();
    // A failing transcript is told beside the port it records.
    if (SessionLog && !SessionLog->TranscriptProblem().isEmpty())
        tip += (tip.isEmpty() ? QString() : QStringLiteral("\n")) + SessionLog->TranscriptProblem();
    suiComboBox_PcPort->setToolTip(tip);
}

void TForm1::ReportPortProblems(const QString& text)
{
    PortProblems = text;
    if (text.isEmpty() || text == ReportedProblems) return;
    ReportedProblems = text;
    std::fprintf(stderr, "esp8266wifi: %s\n", text.toLocal8Bit().constData());
    std::fflush(stderr);
}

QString TForm1::OpenFailureText(unsigned port, const QString& device) const
{
    // With nothing to choose from, the reasons are those of the scan.
    if (port == 0 && device.isEmpty() && !ScanProblems.isEmpty()) return ScanProblems;
    serial::PortCandidate c = device.isEmpty() ? serial::InspectPort(port)
                                               : serial::InspectDevice(device.toStdString());
    if (c.Openable) {
        // The device could be opened again by now; what the open met is the reason.
        c.Openable = false;
        c.Reason = Port->LastError().Message;
    }
    return QString::fromStdString(serial::PortToolTip(c));
}

int TForm1::PortItemForDevice(const std::string& device) const
{
    for (int i = 0; i < suiComboBox_PcPort->count(); ++i) {
        const QString path = suiComboBox_PcPort->itemData(i, PortDeviceRole).toString();
        const std::string itemDevice =
            !path.isEmpty() ? path.toStdString()
                            : serial::DeviceName(ListedPortNumber(suiComboBox_PcPort->itemText(i)));
        if (itemDevice == device) return i;
    }
    return -1;
}

void TForm1::SelectCommandLinePort(const QString& text, const QString& device)
{
    // A path that a listed COM number stands for selects that item.
    int index = device.isEmpty() ? suiComboBox_PcPort->findText(text)
                                 : PortItemForDevice(device.toStdString());
    if (index < 0) {
        PinnedPortText = text;
        PinnedPortDevice = device;
        RefreshPortList();
        index = suiComboBox_PcPort->findText(text);
    }
    suiComboBox_PcPort->setCurrentIndex(index);
}

void TForm1::ApplyUIStyle(TsuiUIStyle style)
{
    suiForm1->SetUIStyle(style);
    // Setters may add or delete controls of their own; walk a guarded copy.
    QList<QPointer<QWidget>> controls;
    for (QWidget* control : suiForm1->findChildren<QWidget*>())
        controls.append(control);
    for (const QPointer<QWidget>& control : controls)
        if (control && IsHasProperty(control, "UIStyle"))
            control->setProperty("UIStyle", QVariant::fromValue(style));
}

void TForm1::SetStatusText(const QString& text, int index)
{
    if (index < 3) suiStatusBar1->SetPanelText(index, text);
}

void TForm1::ShowClosedIndicator()
{
    Image1->setVisible(true);
    Image2->setVisible(false);
}

void TForm1::ShowOpenIndicator()
{
    Image1->setVisible(false);
    Image2->setVisible(true);
}

void TForm1::suiButton_OpenPortClick()
{
    // The user's own Open or Close ends the wait for a lost device, and an identification
    // that holds the device.
    ReopenDeadline->stop();
    if (Identifier) Identifier->Cancel();
    // While the window shows Opened the button reads "Close", so a device that hung up an
    // instant ago is closed, not opened again.
    if (Port->IsOpen() || PortShownOpen) {
        ReleasePort();
        SessionLog->AddMark(QStringLiteral("closed"));
    } else {
        const int baud = Workbench::BaudRateFromText(suiComboBox_PcBaudRate->currentText());
        const int parity = suiComboBox_PcParity->currentIndex();
        const QString device = suiComboBox_PcPort->currentData(PortDeviceRole).toString();
        const unsigned port = ListedPortNumber(suiComboBox_PcPort->currentText());
        if (!device.isEmpty()) {
            // An item that names a device path opens that device, whatever its text.
            Port->OpenDevice(device.toStdString(), baud, parity);
        } else {
            Port->OpenOrReconfigure(port, baud, parity);
        }
        PortProblems.clear();
        if (!Port->IsOpen()) ReportPortProblems(OpenFailureText(port, device));
        else SessionLog->AddMark(QStringLiteral("opened ") + PortMarkText(*Port));
    }
    ShowPortState();
    ShowPortToolTip();
}

void TForm1::ReleasePort()
{
    Port->Close();
    ConfigStep = 0;
    AwaitedStep = 0;
    // Commands given for this port are never written to whichever port opens next.
    SessionLog->DropPending();
    Exchange->Reset();
    {
        std::lock_guard lock(InboxLock);
        ExchangeInbox.clear();
    }
}

void TForm1::OnPortLost()
{
    SessionLog->AddMark(QStringLiteral("lost (%1)").arg(PortLossText(*Port)));
    ReleasePort();
    ShowPortState();
    ReopenDeadline->start();
}

bool TForm1::ReopenPending() const
{
    return ReopenDeadline->isActive();
}

void TForm1::ReopenDeadlinePassed()
{
    ReopenDeadline->stop();
}

void TForm1::OnPortCandidatesChanged()
{
    // The list is locked while the port is open, and a probe would find the port busy anyway.
    if (Port->IsOpen() || PortShownOpen || (Identifier && Identifier->Running())) {
        PortListStale = true;
        return;
    }
    RefreshPortList();
    if (ReopenPending()) TryReopen();
}

void TForm1::TryReopen()
{
    const std::vector<serial::UsbSerialDevice> usb =
        OpenedPort.UsbSerialNumber.empty() ? std::vector<serial::UsbSerialDevice>{} : serial::UsbSerialDevices();
    const std::string device = serial::FindReturnedDevice(OpenedPort, usb, serial::SerialPort::ProbeDevice);
    if (device.empty()) return;
    const int baud = Port->BaudRate;
    const int parity = Port->Parity;
    if (OpenedPort.PortNumber != 0 && device == serial::DeviceName(OpenedPort.PortNumber))
        Port->Open(OpenedPort.PortNumber, baud, parity);
    else
        Port->OpenDevice(device, baud, parity);
    if (!Port->IsOpen()) return; // still settling: the next change tries again
    SessionLog->AddMark(QStringLiteral("reopened ") + PortMarkText(*Port));
    ReopenDeadline->stop();
    // The list shows the port that is open, also when the adapter came back under a new node.
    if (const int item = PortItemForDevice(device); item >= 0)
        suiComboBox_PcPort->setCurrentIndex(item);
    ShowPortState();
}

void TForm1::ShowPortState()
{
    PortShownOpen = Port->IsOpen();
    const bool open = PortShownOpen;
    SetStatusText(open ? QStringLiteral("Opened") : QStringLiteral("Closed"), 0);
    suiComboBox_PcPort->setEnabled(!open);
    suiComboBox_PcBaudRate->setEnabled(!open);
    suiComboBox_PcParity->setEnabled(!open);
    if (!open) SetStatusText(QStringLiteral(" "), 1);
    suiButton_OpenPort->SetCaption(open ? QStringLiteral("Close") : QStringLiteral("Open"));
    if (open) {
        ShowOpenIndicator();
        RefreshCommandPanel();
        OpenedPort = serial::IdentityOfOpenPort(*Port);
    } else {
        ShowClosedIndicator();
        if (PortListStale) RefreshPortList();
    }
}

void TForm1::PostToExchange(const char* data, std::size_t size)
{
    std::lock_guard lock(InboxLock);
    // Only the answer's end matters to the exchange: a window thread that falls behind a
    // flood keeps the newest bytes.
    if (ExchangeInbox.size() + qsizetype(size) > InboxLimit)
        ExchangeInbox.remove(0, std::min(ExchangeInbox.size(), ExchangeInbox.size() + qsizetype(size) - InboxLimit));
    ExchangeInbox.append(data, qsizetype(size));
    if (std::exchange(InboxPosted, true)) return;
    QCoreApplication::postEvent(this, new QEvent(QEvent::Type(ExchangeEvent)));
}

void TForm1::Timer1Timer()
{
    // The exchange learns of a final answer before the tick asks whether the step may run.
    DrainExchangeInbox();
    Workbench::TickAction action;
    bool counting;
    {
        std::lock_guard lock(Port->ReceiveLock);
        action = Workbench::FramingTick(Port->ReceivedFlag, Port->IdleTicks, ConfigStep,
                                        StepAnswered);
        counting = Port->ReceivedFlag == 1;
    }
    // With the flag clear every tick does nothing until the next byte, whose first-byte event
    // starts the timer again: an idle window does not wake up at all.
    if (!counting) Timer1->stop();
    if (action == Workbench::TickAction::RunStepThenPost) RunConfigStep();
    if (action != Workbench::TickAction::None) {
        FramePosted = true;
        Port->PostNotify();
    }
}

bool TForm1::event(QEvent* event)
{
    const int type = event->type();
    // The stored place is kept on the screen the window opens on, whatever its size and scale
    // (the event comes before the window is mapped).
    if (type == QEvent::Show && isWindow() && screen()) {
        const QRect frame = frameGeometry();
        const QPoint place = Forms::KeptOnScreen(frame, screen()->availableGeometry());
        if (place != frame.topLeft()) move(place);
    }
    if (ReceiveMessageId != 0 && type == ReceiveMessageId) {
        OnReceiveNotify();
        return true;
    }
    if (ExchangeEvent != 0 && type == ExchangeEvent) {
        DrainExchangeInbox();
        return true;
    }
    if (ReceiveStartedEvent != 0 && type == ReceiveStartedEvent) {
        if (AutoTick && !Timer1->isActive()) Timer1->start();
        return true;
    }
    if (PortLostEvent != 0 && type == PortLostEvent) {
        // A loss reported for a port the user has since closed (or reopened) is stale.
        if (PortShownOpen && !Port->IsOpen()) OnPortLost();
        return true;
    }
    return QWidget::event(event);
}
