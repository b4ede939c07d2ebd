// The status bar's colour and grip, and the link label's colours and clicks.
#include "skin/suipublic.h"
#include "skin/suistatusbar.h"
#include "skin/suiurllabel.h"

#include <QDesktopServices>
#include <QSignalSpy>
#include <QTest>
#include <gtest/gtest.h>

namespace {

QRgb Rgb(const QImage& image, int x, int y)
{
    return image.pixel(x, y) & 0xFFFFFF;
}
QRgb Resolved(TColor colour)
{
    return toQColor(colour).rgb() & 0xFFFFFF;
}

// Stands in for the desktop's browser: records what a click would open.
class UrlRecorder : public QObject
{
    Q_OBJECT
public:
    QList<QUrl> Opened;
public slots:
    void Open(const QUrl& url) { Opened << url; }
};

} // namespace

TEST(SkinStatusBar, PanelColourIsTheColourAndFollowsTheStyle)
{
    TsuiStatusBar bar;
    bar.SetUIStyle(TsuiUIStyle::Protein);
    EXPECT_EQ(bar.property("PanelColor").toInt(), 0xFBFBFB);
    bar.SetUIStyle(TsuiUIStyle::DeepBlue);
    EXPECT_EQ(bar.Color(), TColor(0xE8E8E8));
    bar.setProperty("PanelColor", int(clRed));
    EXPECT_EQ(bar.Color(), clRed);
    bar.setProperty("Color", int(clBlue));
    EXPECT_EQ(bar.property("PanelColor").toInt(), clBlue);
}

TEST(SkinStatusBar, GripOnSizeableWindowsOnly)
{
    QWidget form; // resizable
    form.resize(200, 60);
    TsuiStatusBar bar(&form);
    bar.setGeometry(0, 39, 200, 21);
    bar.SetColor(0xE8E8E8);
    bar.SetStoredPanels({QStringLiteral("100 taLeftJustify"), QStringLiteral("100 taRightJustify")});
    bar.SetPanelText(1, QStringLiteral("MMMMMMMMMM")); // runs under the grip
    EXPECT_EQ(TsuiStatusBar::GripRect(200, 21), TRect(184, 5, 199, 20));
    ASSERT_TRUE(bar.ShowsGrip());

    const QImage face = bar.grab().toImage();
    const QRgb ink = Resolved(clInactiveCaption), fill = 0xE8E8E8;
    // The four diagonals start on row 20 at L + 1, 5, 9, 13 and climb one pixel per column.
    for (int start : {185, 189, 193, 197}) {
        EXPECT_EQ(Rgb(face, start, 20), ink) << start;
        EXPECT_EQ(Rgb(face, start + 1, 19), ink) << start;
    }
    EXPECT_EQ(Rgb(face, 198, 7), ink); // the first line stops one pixel short of (199, 6)
    EXPECT_EQ(Rgb(face, 186, 20), fill);
    // Rows 3 and 4 above the square are filled as well; the text under them is gone.
    for (int y : {3, 4, 5})
        for (int x = 184; x < 199; ++x)
            EXPECT_EQ(Rgb(face, x, y), fill) << x << "," << y;

    // A window with a fixed dialog frame shows no grip.
    form.setProperty("BorderStyle", 3);
    EXPECT_FALSE(bar.ShowsGrip());
    bar.SetPanelText(1, QString());
    const QImage plain = bar.grab().toImage();
    EXPECT_EQ(Rgb(plain, 185, 20), fill);
    EXPECT_EQ(Rgb(plain, 197, 20), fill);
}

TEST(SkinStatusBar, MaximisedWindowKeepsTheSquareButNoLines)
{
    QWidget form;
    TsuiStatusBar bar(&form);
    bar.setGeometry(0, 39, 200, 21);
    form.showMaximized();
    if (!form.isMaximized()) GTEST_SKIP() << "this platform cannot maximise";
    bar.resize(200, 21);
    const QImage face = bar.grab().toImage();
    for (int start : {185, 189, 193, 197})
        EXPECT_EQ(Rgb(face, start, 20), Rgb(face, 150, 20));
}

TEST(SkinURLLabel, HoverColoursAndClicksOpenOnlyRealAddresses)
{
    UrlRecorder recorder;
    for (const char* scheme : {"http", "https", "mailto", "file"})
        QDesktopServices::setUrlHandler(QString::fromLatin1(scheme), &recorder, "Open");

    TsuiURLLabel label;
    label.resize(141, 13);
    label.setText(QStringLiteral("www.quillmesh.example"));
    EXPECT_TRUE(label.font().underline());
    EXPECT_EQ(label.cursor().shape(), Qt::PointingHandCursor);
    QEnterEvent enter(QPointF(5, 5), QPointF(5, 5), QPointF(5, 5));
    QCoreApplication::sendEvent(&label, &enter);
    EXPECT_EQ(label.palette().color(QPalette::WindowText), QColor(255, 0, 0));
    QEvent leave(QEvent::Leave);
    QCoreApplication::sendEvent(&label, &leave);
    EXPECT_EQ(label.palette().color(QPalette::WindowText), QColor(0, 0, 255));

    // A font given as a family and a size, as a stored layout gives it, keeps the underline;
    // only a font that says "not underlined" takes it away.
    QFont stored(QStringLiteral("DejaVu Sans Condensed"));
    stored.setPointSize(8);
    label.setFont(stored);
    EXPECT_TRUE(label.font().underline());
    EXPECT_EQ(label.font().family(), "DejaVu Sans Condensed");
    EXPECT_EQ(label.font().pointSize(), 8);
    QFont plain = stored;
    plain.setUnderline(false);
    label.setFont(plain);
    EXPECT_FALSE(label.font().underline());
    label.setFont(stored);

    QSignalSpy clicks(&label, &TsuiURLLabel::OnClick);
    label.SetURL(QStringLiteral("  "));
    QTest::mouseClick(&label, Qt::LeftButton, {}, {5, 5});
    EXPECT_EQ(clicks.count(), 1);
    EXPECT_TRUE(recorder.Opened.isEmpty());

    label.SetURL(QStringLiteral(" http://www.quillmesh.example/\t"));
    QTest::mouseClick(&label, Qt::LeftButton, {}, {5, 5});
    ASSERT_EQ(recorder.Opened.size(), 1);
    EXPECT_EQ(recorder.Opened.at(0), QUrl(QStringLiteral("http://www.quillmesh.example/")));
    // A bare host name is a web address too.
    EXPECT_EQ(TsuiURLLabel::UrlToOpen(QStringLiteral("www.quillmesh.example")).scheme(), u"http");

    // Local files and programs are never handed to the desktop; the click event still comes.
    label.SetURL(QStringLiteral("file:///bin/sh"));
    QTest::mouseClick(&label, Qt::LeftButton, {}, {5, 5});
    EXPECT_EQ(recorder.Opened.size(), 1);
    EXPECT_EQ(clicks.count(), 3);

    for (const char* scheme : {"http", "https", "mailto", "file"})
        QDesktopServices::unsetUrlHandler(QString::fromLatin1(scheme));
}

#include "test_statusbar_urllabel.moc"
