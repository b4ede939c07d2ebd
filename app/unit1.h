#pragma once
// The main window: its controls come from the stored layout; this class only binds them to the
// serial port and to the workbench functions.
#include "app/forms.h"
#include "framework/tcolor.h"
#include "serial/bufferedserialport.h"
#include "ui_form1.h"

#include <QTimer>
#include <QWidget>
#include <cstdint>
#include <memory>

class TSessionLogForm;

class TForm1 : public QWidget, public Ui::TForm1
{
    Q_OBJECT
    Q_PROPERTY(TColor Color READ Color WRITE SetColor)
    Q_PROPERTY(Forms::TFormBorderStyle BorderStyle READ BorderStyle WRITE SetBorderStyle)

public:
    // Builds the window from its layout, creates the port and runs FormCreate. With startTimer
    // false Timer1 stays stopped, so only the caller drives the ticks.
    explicit TForm1(QWidget* parent = nullptr, bool startTimer = true);
    ~TForm1() override;

    TColor Color() const { return FColor; }
    void SetColor(TColor color);
    Forms::TFormBorderStyle BorderStyle() const { return FBorderStyle; }
    void SetBorderStyle(Forms::TFormBorderStyle style);

    // Sets the text of status panel index (0 port state, 1 last exchange, 2 start time);
    // any other index is ignored.
    void SetStatusText(const QString& text, int index);
    void ShowClosedIndicator();
    void ShowOpenIndicator();
    // Adapts the "Parameter configuration" page to the selected command.
    void RefreshCommandPanel();
    // Shows text as the Send log's only line, then writes its bytes to the port.
    void SendCommand(const QByteArray& text);
    // One step of the connection sequence, run by the tick.
    void RunConfigStep();
    // Shows the bytes received since the last block in the Receive list.
    void OnReceiveNotify();

    std::unique_ptr<BufferedSerialPort> Port;
    int ReceiveMessageId = 0;
    std::int32_t ConfigStep = 0;
    QTimer* Timer1 = nullptr;
    // The session log window (Ctrl+L); it records the port's traffic from start-up on.
    TSessionLogForm* SessionLog = nullptr;

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

protected:
    // The message dispatch: the receive notification goes to OnReceiveNotify.
    bool event(QEvent* event) override;

private:
    void BindHandlers();
    // Shows the port's real state: Opened or Closed, from Port->IsOpen() alone.
    void ShowPortState();

    TColor FColor = clBtnFace;
    Forms::TFormBorderStyle FBorderStyle = Forms::bsSizeable;
    bool PortShownOpen = false;
    unsigned TicksSinceHangUpCheck = 0;
};
