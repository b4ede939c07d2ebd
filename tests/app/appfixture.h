#pragma once
// What the main window's tests share: a private port alias folder, the far end of a port as a
// raw pseudo-terminal, and helpers that wait for bytes and drive the tick.
#include "app/unit1.h"

#include <QByteArray>
#include <QTemporaryDir>
#include <functional>
#include <gtest/gtest.h>
#include <memory>
#include <string>

// The far end of a serial line: a pseudo-terminal whose slave side is registered as com<n>
// (with com 0 it has no alias and is reached by its path).
class RawLine
{
public:
    RawLine(const QString& aliasFolder, unsigned com);
    ~RawLine();
    RawLine(const RawLine&) = delete;
    RawLine& operator=(const RawLine&) = delete;

    // Bytes the port wrote, gathered until `count` have come or timeoutMs has passed.
    QByteArray Read(int count, int timeoutMs = 2000);
    // Whatever else arrives within quietMs.
    QByteArray Drain(int quietMs = 100);
    void Write(const QByteArray& bytes);
    // Pulls the cable: the master side goes away, so the port sees a hang-up.
    void HangUp();
    // The terminal the port opens.
    const std::string& SlavePath() const { return Slave; }

private:
    int Master = -1;
    std::string Slave;
    std::string AliasPath;
};

class AppTest : public ::testing::Test
{
protected:
    void SetUp() override;
    void TearDown() override;

    // The window with Timer1 stopped: only the test drives ticks.
    TForm1& Form();
    // Waits until the module has answered since the last tick and no more bytes have come for
    // quietMs.
    bool WaitForQuietLine(int quietMs = 150, int timeoutMs = 5000);
    // Calls Timer1Timer n times and delivers what the ticks posted.
    void Tick(int n);
    // Opens the selected port with the Open button.
    void ClickOpen();
    // COMn answers through Line, a raw line (made now unless there is one); the window is open
    // on it.
    void OpenOnRawLine(unsigned com = 1);
    // Runs the event loop until done() or timeoutMs (the device watcher reports through it).
    bool RunEventsUntil(const std::function<bool()>& done, int timeoutMs = 3000);
    // Drives the tick at its real rate, at most one every 10 ms, until done() or timeoutMs:
    // for a module that answers in real time.
    bool TickInRealTime(const std::function<bool()>& done, int timeoutMs);

    QTemporaryDir AliasFolder;
    std::unique_ptr<TForm1> Window;
    std::unique_ptr<RawLine> Line;
};
