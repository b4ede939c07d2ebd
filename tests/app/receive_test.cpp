// The receive path under load and the window's timers: a tick that runs only while a block is
// being collected, blocks beyond the buffer's bound, and the quiet line around Exit's "+++".
#include "appfixture.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QTest>
#include <QThread>

#include <atomic>
#include <thread>


namespace {

class ReceiveTest : public AppTest
{
protected:
    // COM1 is a raw line, registered before any window scans the ports.
    void SetUp() override
    {
        AppTest::SetUp();
        Line = std::make_unique<RawLine>(AliasFolder.path(), 1);
    }
    void OpenOnRawLine(TForm1& form)
    {
        ASSERT_EQ(form.suiComboBox_PcPort->currentText(), "COM1");
        QTest::mouseClick(form.suiButton_OpenPort, Qt::LeftButton);
        ASSERT_TRUE(form.Port->IsOpen());
    }
    // Delivers posted events and timers until done() or timeoutMs.
    template <class Done> bool RunLoopUntil(Done done, int timeoutMs = 5000)
    {
        QDeadlineTimer deadline(timeoutMs);
        while (!done() && !deadline.hasExpired()) {
            QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
            QThread::msleep(1);
        }
        return done();
    }

    std::unique_ptr<RawLine> Line;
};

TEST_F(ReceiveTest, TheTickRunsOnlyWhileABlockIsCollected)
{
    TForm1 form(nullptr, true);
    form.show();
    OpenOnRawLine(form);
    // Its first tick finds nothing to count.
    ASSERT_TRUE(RunLoopUntil([&] { return !form.Timer1->isActive(); }, 1000));

    Line->Write("OK\r\n");
    ASSERT_TRUE(RunLoopUntil([&] { return form.Timer1->isActive(); }))
        << "the first byte of a block starts the tick";
    ASSERT_TRUE(RunLoopUntil([&] { return form.suiListBox1->count() == 1; }));
    EXPECT_EQ(form.suiListBox1->Items(), QStringList{"OK"});
    EXPECT_FALSE(form.Timer1->isActive()) << "framed: nothing left to count";

    // While a sequence step is due the tick keeps running past the short gap.
    form.ConfigStep = 1;
    Line->Write("WIFI GOT IP\r\n");
    ASSERT_TRUE(RunLoopUntil([&] { return form.Timer1->isActive(); }));
    QTest::qWait(400);
    EXPECT_TRUE(form.Timer1->isActive());
    EXPECT_EQ(form.suiListBox1->Items(), QStringList{"OK"});
}

TEST_F(ReceiveTest, AnEmptyTakeLeavesThePaneAndTheStatusAsTheyWere)
{
    TForm1& form = Form();
    OpenOnRawLine(form);
    Line->Write("ready\r\n");
    ASSERT_TRUE(WaitForQuietLine());
    Tick(20);
    ASSERT_EQ(form.suiListBox1->Items(), QStringList{"ready"});
    form.SetStatusText(QStringLiteral("marker"), 1);
    // A sequence step with no reply since the last block posts an empty block.
    form.ConfigStep = 2;
    {
        std::lock_guard lock(form.Port->ReceiveLock);
        form.Port->ReceivedFlag = 1;
        form.Port->IdleTicks = 300;
    }
    Tick(1);
    EXPECT_EQ(form.ConfigStep, 3);
    EXPECT_EQ(form.suiListBox1->Items(), QStringList{"ready"});
    EXPECT_EQ(form.suiStatusBar1->PanelText(1), "marker");
}

// Lines without a quiet gap, total bytes long; the last line is marked.
QByteArray LinesOf(qsizetype total)
{
    QByteArray bytes;
    bytes.reserve(total);
    for (int i = 0; bytes.size() < total - 32; ++i)
        bytes += "+IPD,0,20:line " + QByteArray::number(i).rightJustified(8, '0') + "\r\n";
    bytes += QByteArray(total - bytes.size() - 6, 'z') + " end\r\n";
    return bytes;
}

TEST_F(ReceiveTest, ABlockBeyondTheBufferShowsItsLastFourMebibytesOfWholeLines)
{
    TForm1& form = Form();
    OpenOnRawLine(form);
    const qsizetype limit = qsizetype(serial::BufferedSerialPort::ReceiveBufferLimit);
    for (const qsizetype total : {limit, limit + 100, 2 * limit + 5000}) {
        const QByteArray bytes = LinesOf(total);
        std::atomic<bool> written{false};
        std::thread peer([&] {
            Line->Write(bytes);
            written = true;
        });
        // The reader hands the full buffer over at the bound; the window takes it meanwhile,
        // as its event loop would, until the line has been quiet for a while.
        QDeadlineTimer deadline(20000), quiet(200);
        std::size_t last = 0;
        while (!deadline.hasExpired() && !(written && quiet.hasExpired())) {
            QCoreApplication::sendPostedEvents(&form);
            const std::size_t pending = form.Port->PendingBytes();
            if (pending != last || !written) quiet.setRemainingTime(200);
            last = pending;
            QThread::msleep(2);
        }
        peer.join();
        ASSERT_TRUE(written);
        Tick(20);
        Tick(1); // the empty block a later tick could frame changes nothing
        // A block this large is split off the window thread and shown when that is done.
        ASSERT_TRUE(RunLoopUntil([&] { return !form.ReceivedBlockPending(); }));
        const QStringList items = form.suiListBox1->Items();
        ASSERT_FALSE(items.isEmpty()) << total;
        EXPECT_TRUE(items.last().endsWith(" end")) << total;
        EXPECT_TRUE(items.first().startsWith("+IPD,0,20:line ")) << "whole lines only";
        // All but at most one line's worth of the bound is shown.
        qsizetype shown = 0;
        for (const QString& item : items)
            shown += item.size() + 2;
        EXPECT_LE(shown, limit);
        EXPECT_GT(shown, std::min(total, limit) - 64) << total;
        EXPECT_EQ(form.suiStatusBar1->PanelText(1), "Successful");
        form.suiListBox1->clear();
    }
}

class EscapeTest : public ReceiveTest
{
protected:
    void SetUp() override
    {
        ReceiveTest::SetUp();
        TForm1& form = Form();
        Now = serial::BufferedSerialPort::SteadyNowMs();
        form.NowMs = [this] { return Now; };
        OpenOnRawLine(form);
        form.suiPageControl1->SetActivePage(form.suiTabSheet1);
    }
    void ClickExit() { QTest::mouseClick(Form().suiButton2, Qt::LeftButton); }
    void ClickSend() { QTest::mouseClick(Form().suiButton3, Qt::LeftButton); }

    std::int64_t Now = 0;
};

TEST_F(EscapeTest, PlusesWaitForAQuietSecondAfterTheLastWrite)
{
    TForm1& form = Form();
    ClickSend(); // "AT"
    ASSERT_EQ(Line->Read(4), QByteArray("AT\r\n"));
    Now += 300;
    ClickExit();
    EXPECT_TRUE(form.EscapePending());
    EXPECT_TRUE(form.EscapeTimer->isActive());
    EXPECT_EQ(form.EscapeTimer->interval(), 700);
    EXPECT_EQ(Line->Drain(50), QByteArray());
    EXPECT_EQ(form.suiListBox2->Items(), QStringList{"Send--> AT"});

    ClickExit(); // a second press while one waits adds nothing
    Now += 700;
    form.EscapeTimerTimer();
    EXPECT_FALSE(form.EscapePending());
    EXPECT_EQ(Line->Read(3), QByteArray("+++"));
    EXPECT_EQ(Line->Drain(50), QByteArray());
    EXPECT_EQ(form.suiListBox2->Items(), QStringList{"Send--> +++"});
}

TEST_F(EscapeTest, WhatTheModuleSendsDoesNotHoldThePlusesBack)
{
    TForm1& form = Form();
    // The firmware needs a pause in our own sending only: a server may keep sending.
    Line->Write("data from the server");
    ASSERT_TRUE(WaitForQuietLine());
    Now = form.Port->LastReceivedMs() + 400;
    ClickExit();
    EXPECT_FALSE(form.EscapePending());
    EXPECT_EQ(Line->Read(3), QByteArray("+++"));
}

TEST_F(EscapeTest, ASendInTheSecondAfterThePlusesIsHeldNotDropped)
{
    TForm1& form = Form();
    ClickExit(); // a fresh line: the escape goes at once
    ASSERT_EQ(Line->Read(3), QByteArray("+++"));
    Now += 200;
    ClickSend();
    EXPECT_EQ(Line->Drain(50), QByteArray()) << "nothing may follow the pluses for a second";
    EXPECT_EQ(form.suiListBox2->Items(), QStringList{"Send--> +++"});
    EXPECT_TRUE(form.EscapeTimer->isActive());
    EXPECT_EQ(form.EscapeTimer->interval(), 800);
    Now += 800;
    form.EscapeTimerTimer();
    EXPECT_EQ(Line->Read(4), QByteArray("AT\r\n"));
    EXPECT_EQ(form.suiListBox2->Items(), QStringList{"Send--> AT"});
    EXPECT_FALSE(form.EscapeTimer->isActive());

    // Really waiting: the single-shot timer delivers the escape by itself.
    form.NowMs = &serial::BufferedSerialPort::SteadyNowMs;
    ClickExit();
    ASSERT_TRUE(form.EscapePending());
    ASSERT_TRUE(RunLoopUntil([&] { return !form.EscapePending(); }, 3000));
    EXPECT_EQ(Line->Read(3), QByteArray("+++"));
}

} // namespace
