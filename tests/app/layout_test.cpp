// The window as stored: every control where the layout puts it, with its class, parent, text,
// styles and tab order, and the state the loading pass leaves behind.
#include "appfixture.h"


#include <QLabel>
#include <QMetaProperty>
#include <QTest>
#include <QWindow>

namespace {

struct ControlRow
{
    const char* Name;
    const char* Class;
    const char* Parent;
    int Left, Top, Width, Height;
    const char* Text; // nullptr: the control shows no text of its own
};

// Position and size are relative to the parent's client area. The skinned frame fills the
// stored 565 x 544 client area, inside the 3-pixel border it paints around it.
const ControlRow Layout[] = {
    {"suiForm1", "TsuiForm", "Form1", 3, 3, 565, 544, nullptr},
    {"Label4", "QLabel", "suiForm1", 20, 327, 81, 13, "Receive："},
    {"Label5", "QLabel", "suiForm1", 19, 431, 81, 13, "Send："},
    {"suiGroupBox1", "TsuiGroupBox", "suiForm1", 8, 24, 153, 148, "User"},
    {"Label1", "QLabel", "suiGroupBox1", 12, 47, 57, 19, "Baud rate:"},
    {"Label2", "QLabel", "suiGroupBox1", 12, 76, 49, 21, "Parity:"},
    {"Label3", "QLabel", "suiGroupBox1", 12, 19, 61, 19, "Port number:"},
    {"Image1", "QLabel", "suiGroupBox1", 12, 105, 31, 28, nullptr},
    {"Image2", "QLabel", "suiGroupBox1", 12, 105, 31, 28, nullptr},
    {"suiButton_OpenPort", "TsuiButton", "suiGroupBox1", 61, 106, 73, 26, "Open"},
    {"suiComboBox_PcPort", "TsuiComboBox", "suiGroupBox1", 82, 13, 63, 21, nullptr},
    {"suiComboBox_PcBaudRate", "TsuiComboBox", "suiGroupBox1", 82, 43, 63, 21, "115200"},
    {"suiComboBox_PcParity", "TsuiComboBox", "suiGroupBox1", 82, 73, 63, 21, "NO"},
    {"suiPanel1", "TsuiPanel", "suiForm1", 168, 29, 385, 143, "Prompt function"},
    {"suiMemo2", "TsuiMemo", "suiPanel1", 24, 40, 337, 81, nullptr},
    {"suiListBox1", "TsuiListBox", "suiForm1", 8, 344, 546, 73, nullptr},
    {"suiButton5", "TsuiButton", "suiForm1", 466, 424, 80, 18, "Clear"},
    {"suiListBox2", "TsuiListBox", "suiForm1", 8, 447, 546, 73, nullptr},
    {"suiButton1", "TsuiButton", "suiForm1", 466, 321, 80, 18, "Clear"},
    {"suiStatusBar1", "TsuiStatusBar", "suiForm1", 0, 523, 565, 21, nullptr},
    {"suiPageControl1", "TsuiPageControl", "suiForm1", 8, 179, 545, 137, nullptr},
    {"suiTabSheet1", "TsuiTabSheet", "suiPageControl1", 3, 25, 539, 109, "Parameter configuration"},
    {"Label7", "QLabel", "suiTabSheet1", 8, 16, 81, 13, "ATcommand list:"},
    {"Label8", "QLabel", "suiTabSheet1", 8, 51, 73, 13, "Parameter list:"},
    {"Label9", "QLabel", "suiTabSheet1", 247, 85, 37, 13, "PWD:"},
    {"Label10", "QLabel", "suiTabSheet1", 247, 53, 36, 13, "SSID:"},
    {"Label6", "QLabel", "suiTabSheet1", 8, 85, 76, 13, "User parameter:"},
    {"suiBoxAT_Cmd", "TsuiComboBox", "suiTabSheet1", 91, 11, 133, 21, "AT"},
    {"suiButton3", "TsuiButton", "suiTabSheet1", 438, 78, 80, 26, "Send"},
    {"suiComboBox1", "TsuiComboBox", "suiTabSheet1", 91, 47, 133, 21, nullptr},
    {"suiEdit1", "TsuiEdit", "suiTabSheet1", 291, 80, 121, 23, nullptr},
    {"suiEdit2", "TsuiEdit", "suiTabSheet1", 291, 48, 121, 23, nullptr},
    {"suiEdit3", "TsuiEdit", "suiTabSheet1", 91, 80, 133, 23, nullptr},
    {"suiButton2", "TsuiButton", "suiTabSheet1", 438, 43, 80, 27, "Exit"},
    {"suiTabSheet2", "TsuiTabSheet", "suiPageControl1", 3, 25, 539, 109,
     "Connection configuration"},
    {"Label11", "QLabel", "suiTabSheet2", 10, 30, 36, 13, "SSID:"},
    {"Label12", "QLabel", "suiTabSheet2", 10, 62, 37, 13, "PWD:"},
    {"Label13", "QLabel", "suiTabSheet2", 189, 30, 59, 13, "Server   IP:"},
    {"Label14", "QLabel", "suiTabSheet2", 188, 62, 66, 13, "Server Port:"},
    {"suiEdit4", "TsuiEdit", "suiTabSheet2", 54, 25, 121, 23, nullptr},
    {"suiEdit5", "TsuiEdit", "suiTabSheet2", 54, 57, 121, 23, nullptr},
    {"suiEdit6", "TsuiEdit", "suiTabSheet2", 248, 25, 121, 23, nullptr},
    {"suiEdit7", "TsuiEdit", "suiTabSheet2", 248, 57, 121, 23, nullptr},
    {"suiButton4", "TsuiButton", "suiTabSheet2", 391, 31, 129, 41, "Configuration mode"},
    {"suiTabSheet3", "TsuiTabSheet", "suiPageControl1", 3, 25, 539, 109, "Contact us"},
    {"Label15", "QLabel", "suiTabSheet3", 64, 13, 473, 13, nullptr},
    {"Label16", "QLabel", "suiTabSheet3", 64, 38, 361, 13, nullptr},
    {"Label17", "QLabel", "suiTabSheet3", 64, 65, 361, 13, nullptr},
    {"Label18", "QLabel", "suiTabSheet3", 64, 91, 361, 13, "Web："},
    {"suiURLLabel1", "TsuiURLLabel", "suiTabSheet3", 109, 88, 141, 13, nullptr},
};

// The text a control shows: a caption, a label's text, or a combo box's current text.
QString ShownText(QWidget* widget)
{
    for (const char* property : {"Caption", "text", "currentText"}) {
        const QVariant value = widget->property(property);
        if (value.isValid()) return value.toString();
    }
    return QString();
}

class LayoutTest : public AppTest
{
};

TEST_F(LayoutTest, EveryControlHasItsClassParentGeometryAndText)
{
    TForm1& form = Form();
    EXPECT_EQ(form.objectName(), "Form1");
    for (const ControlRow& row : Layout) {
        SCOPED_TRACE(row.Name);
        auto* widget = form.findChild<QWidget*>(QString::fromLatin1(row.Name));
        ASSERT_NE(widget, nullptr);
        EXPECT_STREQ(widget->metaObject()->className(), row.Class);
        EXPECT_EQ(widget->parentWidget()->objectName(), QString::fromLatin1(row.Parent));
        EXPECT_EQ(widget->geometry(), QRect(row.Left, row.Top, row.Width, row.Height));
        if (row.Text) {
            EXPECT_EQ(ShownText(widget), QString::fromUtf8(row.Text));
        }
    }
    EXPECT_TRUE(form.Label15->text().startsWith(u"Add："));
    EXPECT_TRUE(form.Label16->text().startsWith(u"Tel："));
    EXPECT_TRUE(form.Label17->text().startsWith(u"E-mail: "));
}

TEST_F(LayoutTest, WindowIsAFixedDialogWithItsCaptionAndIcon)
{
    TForm1& form = Form();
    EXPECT_EQ(form.size(), QSize(3 + 565 + 3, 3 + 544 + 2));
    EXPECT_EQ(form.minimumSize(), form.maximumSize());
    EXPECT_EQ(form.windowTitle(), "ESP_8266WIFI----------Quillmesh");
    EXPECT_EQ(form.suiForm1->Caption(), form.windowTitle());
    EXPECT_EQ(form.suiForm1->TitleBarButtonTypes(), (QStringList{"suiControlBox", "suiClose"}));
    EXPECT_FALSE(form.windowIcon().isNull());
    EXPECT_EQ(form.Image1->pixmap().size(), QSize(32, 32));
    EXPECT_EQ(form.Image2->pixmap().size(), QSize(32, 32));
    EXPECT_NE(form.Image1->pixmap().toImage(), form.Image2->pixmap().toImage());
    // The status bar closes the frame at the bottom, over its full width.
    EXPECT_EQ(form.suiStatusBar1->geometry().bottom() + 1, form.suiForm1->height());
    EXPECT_EQ(form.suiStatusBar1->width(), form.suiForm1->width());
    // It opens where the layout places it, even with nobody to place it on the screen.
    EXPECT_EQ(form.frameGeometry().topLeft(), QPoint(365, 130));
    ASSERT_NE(form.windowHandle(), nullptr);
    EXPECT_EQ(form.windowHandle()->framePosition(), QPoint(365, 130));
}

TEST_F(LayoutTest, WebLinkIsDrawnUnderlinedInBothColours)
{
    TForm1& form = Form();
    TsuiURLLabel& link = *form.suiURLLabel1;
    EXPECT_TRUE(link.font().underline());
    EXPECT_EQ(link.font().family(), "DejaVu Sans Condensed");
    EXPECT_EQ(link.cursor().shape(), Qt::PointingHandCursor);
    const int textWidth = QFontMetrics(link.font()).horizontalAdvance(link.text());
    ASSERT_GT(textWidth, 40);
    // Some row below the letters' tops is one unbroken line of the text colour under the text.
    const auto underlined = [&](bool (*ink)(QRgb)) {
        const QImage face = link.grab().toImage().convertToFormat(QImage::Format_RGB32);
        for (int y = face.height() / 2; y < face.height(); ++y) {
            int run = 0;
            for (int x = 0; x < textWidth; ++x)
                run += ink(face.pixel(x, y));
            if (run >= textWidth - 2) return true;
        }
        return false;
    };
    EXPECT_TRUE(underlined([](QRgb c) { return qBlue(c) > 160 && qRed(c) < 96 && qGreen(c) < 96; }));
    QEnterEvent enter(QPointF(5, 5), QPointF(5, 5), QPointF(5, 5));
    QCoreApplication::sendEvent(&link, &enter);
    EXPECT_TRUE(underlined([](QRgb c) { return qRed(c) > 160 && qBlue(c) < 96 && qGreen(c) < 96; }));
}

TEST_F(LayoutTest, StylesColoursAndListsAreStored)
{
    TForm1& form = Form();
    const auto style = [](QWidget* w) { return w->property("UIStyle").value<TsuiUIStyle>(); };
    EXPECT_EQ(style(form.suiForm1), TsuiUIStyle::DeepBlue);
    for (QWidget* w : std::initializer_list<QWidget*>{
             form.suiGroupBox1, form.suiButton_OpenPort, form.suiComboBox_PcPort,
             form.suiComboBox_PcBaudRate, form.suiComboBox_PcParity, form.suiPanel1,
             form.suiStatusBar1})
        EXPECT_EQ(style(w), TsuiUIStyle::Protein) << w->objectName().toStdString();
    for (QWidget* w : std::initializer_list<QWidget*>{
             form.suiMemo2, form.suiListBox1, form.suiListBox2, form.suiButton1, form.suiButton3,
             form.suiPageControl1, form.suiBoxAT_Cmd, form.suiEdit1, form.suiEdit7})
        EXPECT_EQ(style(w), TsuiUIStyle::DeepBlue) << w->objectName().toStdString();

    EXPECT_EQ(form.suiForm1->Color(), RGB(0xE8, 0xE8, 0xE8));
    EXPECT_EQ(form.suiListBox1->Color(), clInactiveCaption);
    EXPECT_EQ(form.suiComboBox_PcPort->Color(), clSkyBlue);
    EXPECT_EQ(form.suiComboBox_PcPort->ButtonColor(), RGB(0xFB, 0xFB, 0xFB));
    EXPECT_EQ(form.suiMemo2->FontColor(), clRed);
    EXPECT_EQ(form.suiListBox2->ItemHeight(), 16);

    EXPECT_EQ(form.suiComboBox_PcBaudRate->count(), 8);
    EXPECT_EQ(form.suiComboBox_PcBaudRate->itemText(0), "1200");
    EXPECT_EQ(form.suiComboBox_PcParity->count(), 3);
    EXPECT_EQ(form.suiComboBox_PcParity->itemText(2), "EVEN");
    EXPECT_FALSE(form.suiComboBox_PcParity->isEditable());
    EXPECT_TRUE(form.suiBoxAT_Cmd->isEditable());
    ASSERT_EQ(form.suiBoxAT_Cmd->count(), 18);
    EXPECT_EQ(form.suiBoxAT_Cmd->itemText(17), "AT+CIPSTO");
    EXPECT_TRUE(form.suiMemo2->isReadOnly());

    ASSERT_EQ(form.suiStatusBar1->PanelCount(), 3);
    EXPECT_EQ(form.suiStatusBar1->Panel(0).Width, 220);
    EXPECT_EQ(form.suiStatusBar1->Panel(1).Alignment, Qt::AlignHCenter);
    EXPECT_EQ(form.suiStatusBar1->Panel(2).Width, 360);
}

TEST_F(LayoutTest, TabOrderFollowsTheStoredOrderWithinEachParent)
{
    TForm1& form = Form();
    const QList<QWidget*> order = {form.suiButton_OpenPort,
                                   form.suiComboBox_PcPort,
                                   form.suiComboBox_PcBaudRate,
                                   form.suiComboBox_PcParity,
                                   form.suiMemo2,
                                   form.suiListBox1,
                                   form.suiButton5,
                                   form.suiListBox2,
                                   form.suiButton1,
                                   form.suiBoxAT_Cmd,
                                   form.suiButton3,
                                   form.suiComboBox1,
                                   form.suiEdit1,
                                   form.suiEdit2,
                                   form.suiEdit3,
                                   form.suiButton2,
                                   form.suiEdit4,
                                   form.suiEdit5,
                                   form.suiEdit6,
                                   form.suiEdit7,
                                   form.suiButton4};
    // Each control's successor in the focus chain (skipping Qt's inner widgets) is the next one.
    for (int i = 0; i + 1 < order.size(); ++i) {
        QWidget* next = order[i]->nextInFocusChain();
        while (next != order[i + 1] && !order.contains(next) && next != order[i])
            next = next->nextInFocusChain();
        EXPECT_EQ(next, order[i + 1]) << order[i]->objectName().toStdString();
    }
}

TEST_F(LayoutTest, TabStripComesFirstInsideThePageControl)
{
    TForm1& form = Form();
    QWidget* strip = form.suiPageControl1->TopPanel();
    // The next control Tab reaches from w (disabled pages and Qt's inner widgets are skipped).
    const auto tabFrom = [](QWidget* w, bool forward) {
        do
            w = forward ? w->nextInFocusChain() : w->previousInFocusChain();
        while (!(w->focusPolicy() & Qt::TabFocus) || !w->isEnabled() || !w->isVisible() ||
               w->focusProxy());
        return w;
    };
    EXPECT_EQ(tabFrom(form.suiButton1, true), strip);
    EXPECT_EQ(tabFrom(strip, true), form.suiEdit4); // the active page's first control
    EXPECT_EQ(tabFrom(form.suiEdit4, false), strip);
    EXPECT_EQ(tabFrom(strip, false), form.suiButton1);
    // Pressing the keys moves the focus the same way.
    form.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&form));
    form.suiButton1->setFocus();
    QTest::keyClick(form.suiButton1, Qt::Key_Tab);
    EXPECT_TRUE(strip->hasFocus());
    QTest::keyClick(strip, Qt::Key_Tab);
    EXPECT_TRUE(form.suiEdit4->hasFocus());
    QTest::keyClick(form.suiEdit4, Qt::Key_Backtab, Qt::ShiftModifier);
    EXPECT_TRUE(strip->hasFocus());
    // Ctrl with Tab, and with Shift too, selects the next page on the focused strip.
    QTest::keyClick(strip, Qt::Key_Backtab, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_EQ(form.suiPageControl1->ActivePage(), form.suiTabSheet3);
    QTest::keyClick(strip, Qt::Key_Tab, Qt::ControlModifier);
    EXPECT_EQ(form.suiPageControl1->ActivePage(), form.suiTabSheet1);
    EXPECT_TRUE(strip->hasFocus());
}

TEST_F(LayoutTest, LoadingShowsTheConnectionPageAndItsPrompt)
{
    TForm1& form = Form();
    EXPECT_EQ(form.suiPageControl1->ActivePage(), form.suiTabSheet2);
    EXPECT_EQ(form.suiPageControl1->TopPanel()->TabIndex(), 1);
    EXPECT_FALSE(form.suiTabSheet1->isEnabled());
    EXPECT_TRUE(form.suiTabSheet2->isEnabled());
    EXPECT_FALSE(form.suiTabSheet3->isEnabled());
    EXPECT_EQ(form.suiMemo2->Lines(),
              QStringList{"Before enter Connection configuration，Set SSID,PWD,Server IP Address "
                          "and port"});
    // The refresh has not run: the stored captions and an empty parameter list remain.
    EXPECT_EQ(form.Label6->text(), "User parameter:");
    EXPECT_EQ(form.suiComboBox1->count(), 0);
    EXPECT_EQ(form.suiComboBox1->currentIndex(), -1);
}

} // namespace
