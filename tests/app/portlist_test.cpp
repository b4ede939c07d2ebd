// The port list: which ports it offers, the tooltips that say which device each is, and the
// reasons it gives (once on standard error) when nothing can be opened or an open fails.
#include "appfixture.h"

#include "../serial/posix/holdingchild.h"
#include "serial/serialbackend.h"

#include <QFile>
#include <QTemporaryFile>
#include <cstdio>
#include <unistd.h>

namespace {

// Gathers what the program writes to standard error while it lives.
class StderrCapture
{
public:
    StderrCapture()
    {
        File.open();
        std::fflush(stderr);
        Saved = ::dup(2);
        ::dup2(File.handle(), 2);
    }
    ~StderrCapture() { Restore(); }
    QString Text()
    {
        std::fflush(stderr);
        QFile read(File.fileName());
        read.open(QIODevice::ReadOnly);
        return QString::fromLocal8Bit(read.readAll());
    }
    void Restore()
    {
        if (Saved < 0) return;
        std::fflush(stderr);
        ::dup2(Saved, 2);
        ::close(Saved);
        Saved = -1;
    }

private:
    QTemporaryFile File;
    int Saved = -1;
};

QStringList Items(TsuiComboBox* list)
{
    QStringList items;
    for (int i = 0; i < list->count(); ++i)
        items << list->itemText(i);
    return items;
}

using PortListTest = AppTest;

} // namespace

TEST_F(PortListTest, OffersOnlyFreePortsEachNamingItsDevice)
{
    RawLine one(AliasFolder.path(), 1), two(AliasFolder.path(), 2), three(AliasFolder.path(), 3);
    HoldingChild holder(serial::DeviceName(2));
    ASSERT_TRUE(holder.Holding);
    TForm1& form = Form();
    TsuiComboBox* list = form.suiComboBox_PcPort;
    EXPECT_TRUE(Items(list).contains("COM1"));
    EXPECT_FALSE(Items(list).contains("COM2")) << "held by another program";
    ASSERT_TRUE(Items(list).contains("COM3"));

    // The test holds each line's master side: it is the far end, which the tip names.
    const QString tip3 = "COM3: " + QString::fromStdString(serial::DeviceName(3)) +
                         QStringLiteral("\nPseudo-terminal served by app_tests, PID %1")
                             .arg(QCoreApplication::applicationPid());
    const int index3 = list->findText("COM3");
    EXPECT_EQ(list->itemData(index3, Qt::ToolTipRole).toString(), tip3);
    list->setCurrentIndex(index3);
    EXPECT_EQ(list->toolTip(), tip3);

    // The program lets go: a refresh lists the port and keeps the user's choice.
    holder.Stop();
    form.RefreshPortList();
    EXPECT_TRUE(Items(list).contains("COM2"));
    EXPECT_EQ(list->currentText(), "COM3");
    EXPECT_EQ(list->toolTip(), tip3);

    // The port this window holds open stays listed.
    ClickOpen();
    ASSERT_TRUE(form.Port->IsOpen());
    form.RefreshPortList();
    EXPECT_EQ(list->currentText(), "COM3");
}

TEST_F(PortListTest, AFailedOpenTellsWhyOnceWhileTheStatusBarKeepsItsWords)
{
    RawLine one(AliasFolder.path(), 1);
    TForm1& form = Form();
    ASSERT_EQ(form.suiComboBox_PcPort->currentText(), "COM1");
    const QString item = form.suiComboBox_PcPort->toolTip();

    HoldingChild holder(serial::DeviceName(1), "minicom");
    ASSERT_TRUE(holder.Holding);
    StderrCapture err;
    ClickOpen();
    ASSERT_FALSE(form.Port->IsOpen());
    EXPECT_EQ(form.suiStatusBar1->PanelText(0), "Closed");
    EXPECT_EQ(form.suiStatusBar1->PanelText(1), " ");
    const QString why = "held by another program: PID " + QString::number(holder.Pid) +
                        " (minicom)";
    EXPECT_TRUE(form.suiComboBox_PcPort->toolTip().contains(why))
        << form.suiComboBox_PcPort->toolTip().toStdString();
    ClickOpen(); // the same reason again is not written again
    EXPECT_EQ(err.Text().count(why), 1) << err.Text().toStdString();

    // Once the port is free the open succeeds and the tooltip is the item's again.
    holder.Stop();
    ClickOpen();
    EXPECT_TRUE(form.Port->IsOpen());
    EXPECT_EQ(form.suiComboBox_PcPort->toolTip(), item);
}

TEST_F(PortListTest, AnEmptyListCarriesTheReasons)
{
    // COM1's alias names an adapter that is not plugged in.
    ASSERT_EQ(::symlink("/dev/ttyUSB-unplugged", (AliasFolder.path() + "/com1").toLocal8Bit()),
              0);
    StderrCapture err;
    TForm1& form = Form();
    if (form.suiComboBox_PcPort->count() != 0)
        GTEST_SKIP() << "this machine has a free serial port of its own";
    const QString reasons = "No port can be opened now:\n"
                            "COM1 (/dev/ttyUSB-unplugged): gone: /dev/ttyUSB-unplugged is not "
                            "there";
    EXPECT_TRUE(form.suiComboBox_PcPort->toolTip().startsWith(reasons))
        << form.suiComboBox_PcPort->toolTip().toStdString();
    ClickOpen(); // asks for port 0: the reasons stay those of the scan
    EXPECT_FALSE(form.Port->IsOpen());
    EXPECT_TRUE(form.suiComboBox_PcPort->toolTip().startsWith(reasons));
    form.RefreshPortList();
    EXPECT_EQ(err.Text().count("No port can be opened now"), 1) << err.Text().toStdString();
}
