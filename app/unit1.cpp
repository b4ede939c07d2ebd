#include "app/unit1.h"

#include "app/sessionlog.h"
#include "serial/portnames.h"
#include "workbench/framing.h"
#include "workbench/portsettings.h"
#include "workbench/statustexts.h"

#include <QLocale>
#include <QMetaMethod>
#include <QTime>
#include <algorithm>
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
// The highest port number the start-up scan probes.
constexpr unsigned LastScannedPort = 255;

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
    SessionLog = AttachSessionLog(*this);
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
        Port->SetTrafficTap({});
        Port->SetNotifyTarget(nullptr, 0);
        Port->Close();
    }
}

void TForm1::BindHandlers()
{
    connect(suiButton_OpenPort, &QPushButton::clicked, this, &TForm1::suiButton_OpenPortClick);
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
    for (unsigned n = 1; n <= LastScannedPort; ++n) {
        if (!SerialPort::ProbePort(n)) continue;
        suiComboBox_PcPort->addItem(Workbench::PortListText(int(n)));
        // The list shows which device a COM number stands for.
        suiComboBox_PcPort->setItemData(suiComboBox_PcPort->count() - 1,
                                        QString::fromStdString(DeviceName(n)), Qt::ToolTipRole);
    }
    if (suiComboBox_PcPort->count() > 0) suiComboBox_PcPort->setCurrentIndex(0);
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
    }
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
