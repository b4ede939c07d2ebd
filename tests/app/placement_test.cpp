// The stored place on a screen too small for it: the window is moved inside the screen's
// available area. This program runs its own application object at scale factor 2 on the
// offscreen platform's 800 x 600 screen, which is 400 x 300 in the window's pixels.
#include "app/forms.h"
#include "app/unit1.h"

#include <QApplication>
#include <QScreen>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

TEST(Placement, KeptOnScreenMovesAsLittleAsItCan)
{
    const QRect screen(0, 0, 1280, 1024);
    // Inside already: unchanged.
    EXPECT_EQ(Forms::KeptOnScreen(QRect(365, 130, 571, 550), screen), QPoint(365, 130));
    // Over the right and bottom edges: pulled back just enough.
    EXPECT_EQ(Forms::KeptOnScreen(QRect(900, 700, 571, 550), screen), QPoint(709, 474));
    // Before the left and top edges of an area that does not start at 0 (a panel on top).
    EXPECT_EQ(Forms::KeptOnScreen(QRect(-50, 0, 571, 550), QRect(0, 32, 1280, 992)),
              QPoint(0, 32));
    // Larger than the area: the top left corner, with the title bar, stays inside.
    EXPECT_EQ(Forms::KeptOnScreen(QRect(365, 130, 571, 550), QRect(10, 20, 400, 300)),
              QPoint(10, 20));
}

TEST(Placement, TheWindowOpensInsideASmallScaledScreen)
{
    QTemporaryDir aliases;
    qputenv("ESP8266WIFI_PORTS", aliases.path().toLocal8Bit());
    TForm1 form(nullptr, false);
    form.show();
    const QRect available = form.screen()->availableGeometry();
    ASSERT_LT(available.width(), 565) << "the screen should be smaller than the window";
    EXPECT_EQ(form.frameGeometry().topLeft(), available.topLeft());

    // A place that fits is kept as stored.
    TForm1 fits(nullptr, false);
    fits.move(available.topLeft() + QPoint(5, 5));
    fits.resize(100, 100);
    fits.setMinimumSize(0, 0);
    fits.setMaximumSize(100, 100);
    fits.show();
    EXPECT_EQ(fits.frameGeometry().topLeft(), available.topLeft() + QPoint(5, 5));
    qunsetenv("ESP8266WIFI_PORTS");
}

} // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    qputenv("QT_SCALE_FACTOR", "2");
    QTemporaryDir settings;
    qputenv("XDG_CONFIG_HOME", settings.path().toLocal8Bit());
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
