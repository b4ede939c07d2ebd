#include "app/unit1.h"

#include "serial/portinfo.h"
#include "workbench/framing.h"
#include "workbench/portsettings.h"
#include "workbench/statustexts.h"

#include <QLocale>
#include <QMetaMethod>
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

// Quiet ticks between two looks at whether an open port has hung up (about 100 ms).
constexpr unsigned HangUpCheckTicks = 10;
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
    Port = std::make_unique<BufferedSerialPort>();
    Port->SetNotifyTarget(this, ReceiveMessageId);
    ConfigStep = 0;

    Timer1 = new QTimer(this);
    Timer1->setTimerType(Qt::PreciseTimer);
    Timer1->setInterval(10);
    connect(Timer1, &QTimer::timeout, this, &TForm1::Timer1Timer);
    if (startTimer) Timer1->start();

    FormCreate();
}

// Our threads may not outlive main: the port (and its reader) end with the window.
TForm1::~TForm1()
{
    if (Port) {
        Port->SetNotifyTarget(nullptr, 0);
        Port->Close();
    }
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
            suiComboBox_PcPort->addItem(Workbench::PortListText(int(c.Number)));
            suiComboBox_PcPort->setItemData(suiComboBox_PcPort->count() - 1,
                                            QString::fromStdString(serial::PortToolTip(c)),
                                            Qt::ToolTipRole);
        }
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

void TForm1::ShowPortToolTip()
{
    if (!PortProblems.isEmpty()) {
        suiComboBox_PcPort->setToolTip(PortProblems);
        return;
    }
    const int index = suiComboBox_PcPort->currentIndex();
    suiComboBox_PcPort->setToolTip(
        index >= 0 ? suiComboBox_PcPort->itemData(index, Qt::ToolTipRole).toString() : QString());
}

void TForm1::ReportPortProblems(const QString& text)
{
    PortProblems = text;
    if (text.isEmpty() || text == ReportedProblems) return;
    ReportedProblems = text;
    std::fprintf(stderr, "esp8266wifi: %s\n", text.toLocal8Bit().constData());
    std::fflush(stderr);
}

QString TForm1::OpenFailureText(unsigned port) const
{
    // With nothing to choose from, the reasons are those of the scan.
    if (port == 0 && !ScanProblems.isEmpty()) return ScanProblems;
    serial::PortCandidate c = serial::InspectPort(port);
    if (c.Openable) {
        // The device could be opened again by now; what the open met is the reason.
        c.Openable = false;
        c.Reason = Port->LastError().Message;
    }
    return QString::fromStdString(serial::PortToolTip(c));
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
    if (Port->IsOpen()) {
        Port->Close();
    } else {
        // A negative number ("COM-3") names no port; it is asked for as port 0, which fails.
        const auto port =
            unsigned(std::max(0, Workbench::PortNumberFromText(suiComboBox_PcPort->currentText())));
        const int baud = Workbench::BaudRateFromText(suiComboBox_PcBaudRate->currentText());
        Port->OpenOrReconfigure(port, baud, suiComboBox_PcParity->currentIndex());
        PortProblems.clear();
        if (!Port->IsOpen()) ReportPortProblems(OpenFailureText(port));
    }
    ShowPortState();
    ShowPortToolTip();
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
    } else {
        ShowClosedIndicator();
    }
}

void TForm1::Timer1Timer()
{
    // An adapter pulled out while open: release the device and show the Closed state.
    if (++TicksSinceHangUpCheck >= HangUpCheckTicks) {
        TicksSinceHangUpCheck = 0;
        if (PortShownOpen && !Port->IsOpen()) {
            Port->Close();
            ShowPortState();
        }
    }

    Workbench::TickAction action;
    {
        std::lock_guard lock(Port->ReceiveLock);
        action = Workbench::FramingTick(Port->ReceivedFlag, Port->IdleTicks, ConfigStep);
    }
    if (action == Workbench::TickAction::RunStepThenPost) RunConfigStep();
    if (action != Workbench::TickAction::None) Port->PostNotify();
}

bool TForm1::event(QEvent* event)
{
    if (ReceiveMessageId != 0 && event->type() == ReceiveMessageId) {
        OnReceiveNotify();
        return true;
    }
    return QWidget::event(event);
}
