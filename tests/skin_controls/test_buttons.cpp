// The skinned buttons: frames from the style strip, caption looks, auto-repeat, keyboard,
// default and cancel keys, accelerators.
#include "skin/suibutton.h"
#include "skin/suipublic.h"

#include <QLineEdit>
#include <QSignalSpy>
#include <QTest>
#include <gtest/gtest.h>

namespace {

QImage Grab(QWidget& w)
{
    return w.grab().toImage().convertToFormat(QImage::Format_RGB32);
}

QImage StripFrame(TsuiUIStyle style, int index)
{
    QImage frame;
    EXPECT_TRUE(GetInsideThemeBitmap(style, SuiTheme::ButtonImage, frame, 3, index));
    return frame.convertToFormat(QImage::Format_RGB32);
}

// Pixels of a rectangle of a and b (given at their own origins) are equal.
bool SameBlock(const QImage& a, QPoint atA, const QImage& b, QPoint atB, QSize size)
{
    for (int y = 0; y < size.height(); ++y)
        for (int x = 0; x < size.width(); ++x)
            if (a.pixel(atA + QPoint(x, y)) != b.pixel(atB + QPoint(x, y))) return false;
    return true;
}

QFont CrispFont()
{
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPixelSize(11);
    font.setStyleStrategy(QFont::NoAntialias);
    return font;
}

// A window with buttons on it, shown and active so focus and shortcuts work as for a user.
struct Window : QWidget
{
    Window()
    {
        resize(300, 200);
        setProperty("Color", int(clBtnFace));
    }
    void ShowActive()
    {
        show();
        activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(this));
    }
};

} // namespace

TEST(SkinButtonFrame, CornersKeepTheirSizeOnStretchedButtons)
{
    struct Case
    {
        TsuiUIStyle Style;
        int W, H;
    };
    for (const Case c : {Case{TsuiUIStyle::Protein, 73, 26}, Case{TsuiUIStyle::DeepBlue, 80, 18}}) {
        Window window;
        TsuiButton button(&window);
        button.SetUIStyle(c.Style);
        button.resize(c.W, c.H);
        const QImage face = Grab(button);
        const QImage frame = StripFrame(c.Style, 1);
        ASSERT_EQ(frame.size(), QSize(74, 21));
        // Top-left corner: half the frame, capped by half the button; the bottom-right one is a
        // pixel smaller each way.
        const int tlW = std::min(37, c.W / 2), tlH = std::min(10, c.H / 2);
        const int brW = std::min(36, c.W / 2 - 1), brH = std::min(9, c.H / 2 - 1);
        EXPECT_TRUE(SameBlock(face, {0, 0}, frame, {0, 0}, {tlW, tlH})) << c.W;
        EXPECT_TRUE(
            SameBlock(face, {c.W - brW, c.H - brH}, frame, {74 - brW, 21 - brH}, {brW, brH}))
            << c.W;
        EXPECT_TRUE(SameBlock(face, {0, c.H - brH}, frame, {0, 21 - brH}, {tlW, brH})) << c.W;
    }
}

TEST(SkinButtonFrame, StateChoosesTheFrame)
{
    EXPECT_EQ(ButtonFrameIndex(true, false, false), 1);
    EXPECT_EQ(ButtonFrameIndex(true, false, true), 2);
    EXPECT_EQ(ButtonFrameIndex(true, true, true), 3);
    EXPECT_EQ(ButtonFrameIndex(false, true, true), 1);

    Window window;
    TsuiButton button(&window);
    button.SetUIStyle(TsuiUIStyle::DeepBlue);
    button.resize(74, 21);
    ASSERT_TRUE(
        SameBlock(Grab(button), {0, 0}, StripFrame(TsuiUIStyle::DeepBlue, 1), {0, 0}, {37, 10}));
    QEnterEvent enter(QPointF(5, 5), QPointF(5, 5), QPointF(5, 5));
    QCoreApplication::sendEvent(&button, &enter);
    EXPECT_TRUE(
        SameBlock(Grab(button), {0, 0}, StripFrame(TsuiUIStyle::DeepBlue, 2), {0, 0}, {37, 10}));
    QTest::mousePress(&button, Qt::LeftButton, {}, {5, 5});
    EXPECT_TRUE(
        SameBlock(Grab(button), {0, 0}, StripFrame(TsuiUIStyle::DeepBlue, 3), {0, 0}, {37, 10}));
}

TEST(SkinButtonFrame, AutoSizeIsOneFrameOfTheStrip)
{
    Window window;
    TsuiButton button(&window);
    button.SetUIStyle(TsuiUIStyle::DeepBlue);
    button.SetAutoSize(true);
    EXPECT_EQ(button.size(), QSize(74, 21));
    button.SetUIStyle(TsuiUIStyle::WinXP);
    button.SetAutoSize(true);
    EXPECT_EQ(button.size(), QSize(18, 21));
}

TEST(SkinButtonCaption, DisabledCaptionIsGreyOverAWhiteShadow)
{
    Window window;
    TsuiButton button(&window);
    button.SetUIStyle(TsuiUIStyle::DeepBlue);
    button.resize(80, 27);
    button.setFont(CrispFont());
    button.setEnabled(false);
    const QImage bare = Grab(button);
    button.SetCaption(QStringLiteral("Open"));
    const QImage captioned = Grab(button);

    int grey = 0, white = 0;
    for (int y = 0; y < bare.height(); ++y)
        for (int x = 0; x < bare.width(); ++x) {
            if (bare.pixel(x, y) == captioned.pixel(x, y)) continue;
            const QRgb p = captioned.pixel(x, y) & 0xFFFFFF;
            ASSERT_TRUE(p == 0x808080 || p == 0xFFFFFF) << x << "," << y << " " << std::hex << p;
            if (p == 0x808080) {
                ++grey;
                // Every grey pixel has its white copy (or more grey) one pixel right and down.
                const QRgb shadow = captioned.pixel(x + 1, y + 1) & 0xFFFFFF;
                EXPECT_TRUE(shadow == 0xFFFFFF || shadow == 0x808080) << x << "," << y;
            } else {
                ++white;
            }
        }
    EXPECT_GT(grey, 10);
    EXPECT_GT(white, 5);
    // The frame is the normal one: the corner shows frame 1.
    EXPECT_TRUE(SameBlock(captioned, {0, 0}, StripFrame(TsuiUIStyle::DeepBlue, 1), {0, 0}, {5, 5}));
}

TEST(SkinButtonCaption, BlankCaptionDrawsNothingAndLongCaptionWraps)
{
    Window window;
    TsuiButton button(&window);
    button.resize(60, 60);
    button.setFont(CrispFont());
    const QImage bare = Grab(button);
    button.SetCaption(QStringLiteral("   "));
    EXPECT_EQ(Grab(button), bare);

    button.SetCaption(QStringLiteral("Configuration mode"));
    const QImage wrapped = Grab(button);
    int top = 60, bottom = -1;
    for (int y = 0; y < 60; ++y)
        for (int x = 0; x < 60; ++x)
            if (wrapped.pixel(x, y) != bare.pixel(x, y)) {
                top = std::min(top, y);
                bottom = std::max(bottom, y);
            }
    const int lineHeight = QFontMetrics(button.font()).height();
    EXPECT_GT(bottom - top + 1, lineHeight); // more than one line
    // The block is centred vertically (within a pixel of rounding).
    EXPECT_LE(std::abs((top + bottom + 1) / 2 - 30), lineHeight / 2 + 1);
}

TEST(SkinButtonCaption, MacOSShowsFocusAsBoldCaptionOthersAsDottedRectangle)
{
    Window window;
    window.ShowActive();
    TsuiButton button(&window);
    button.SetCaption(QStringLiteral("Send"));
    button.setFont(CrispFont());
    button.resize(80, 27);
    button.show();

    button.SetUIStyle(TsuiUIStyle::DeepBlue);
    EXPECT_FALSE(button.Transparent());
    const QImage plain = Grab(button);
    button.setFocus();
    ASSERT_TRUE(button.hasFocus());
    const QImage focused = Grab(button);
    EXPECT_NE(plain.pixel(2, 2), focused.pixel(2, 2)); // a dot of the focus rectangle
    EXPECT_EQ(plain.pixel(3, 2), focused.pixel(3, 2)); // the gap between two dots

    button.SetUIStyle(TsuiUIStyle::MacOS);
    EXPECT_TRUE(button.Transparent());
    auto darkPixels = [](const QImage& image) {
        int n = 0;
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x)
                n += qGray(image.pixel(x, y)) < 40;
        return n;
    };
    const QImage boldFace = Grab(button);
    button.clearFocus();
    const QImage normalFace = Grab(button);
    EXPECT_GT(darkPixels(boldFace), darkPixels(normalFace));
}

TEST(SkinButtonGlyph, TwoImageGlyphShowsTheSecondWhileDisabled)
{
    Window window;
    TsuiButton button(&window);
    button.resize(80, 27);
    QImage glyph(32, 16, QImage::Format_RGB32);
    glyph.fill(Qt::white); // the top-left pixel's colour is see-through
    for (int y = 4; y < 12; ++y)
        for (int x = 4; x < 12; ++x) {
            glyph.setPixel(x, y, qRgb(255, 0, 0));
            glyph.setPixel(x + 16, y, qRgb(0, 255, 0));
        }
    button.SetGlyph(glyph);
    auto count = [](const QImage& image, QRgb colour) {
        int n = 0;
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x)
                n += (image.pixel(x, y) & 0xFFFFFF) == colour;
        return n;
    };
    const QImage enabled = Grab(button);
    EXPECT_EQ(count(enabled, 0xFF0000), 64);
    EXPECT_EQ(count(enabled, 0x00FF00), 0);
    button.setEnabled(false);
    const QImage disabled = Grab(button);
    EXPECT_EQ(count(disabled, 0xFF0000), 0);
    EXPECT_EQ(count(disabled, 0x00FF00), 64);
    // No caption: the 16-pixel glyph is centred, (80 - (0 + 16 + 4)) div 2 = 30.
    EXPECT_EQ(disabled.pixel(30 + 4, (27 - 16) / 2 + 4) & 0xFFFFFF, 0x00FF00u);
}

TEST(SkinArrowButton, TriangleIsCentredAndCaptionNeverDrawn)
{
    Window window;
    TsuiArrowButton button(&window);
    button.resize(20, 16);
    button.SetCaption(QStringLiteral("XXXX"));
    button.SetArrow(TsuiArrowButton::suiUp);
    const QImage up = Grab(button);
    // x0 = 7, y0 = 6: apex (10, 6), base from (7, 9) to (13, 9).
    EXPECT_EQ(up.pixel(10, 6) & 0xFFFFFF, 0u);
    EXPECT_EQ(up.pixel(8, 9) & 0xFFFFFF, 0u);
    EXPECT_EQ(up.pixel(12, 9) & 0xFFFFFF, 0u);
    button.SetArrow(TsuiArrowButton::suiDown);
    const QImage down = Grab(button);
    EXPECT_EQ(down.pixel(10, 9) & 0xFFFFFF, 0u);
    EXPECT_EQ(down.pixel(8, 6) & 0xFFFFFF, 0u);
    EXPECT_NE(down.pixel(10, 5) & 0xFFFFFF, 0u);
    // The caption would darken the middle rows well beyond the triangle.
    button.SetCaption(QString());
    EXPECT_EQ(Grab(button), down);
}

// ---------------------------------------------------------------------------------------------

TEST(SkinButtonMouse, HeldButtonRepeatsEveryIntervalAndClicksOnceAtRelease)
{
    Window window;
    TsuiButton button(&window);
    QSignalSpy repeats(&button, &TsuiCustomButton::OnMouseContinuouslyDown);
    QSignalSpy clicks(&button, &QPushButton::clicked);

    QTest::mousePress(&button, Qt::LeftButton, {}, {10, 10});
    QTimer* timer = button.RepeatTimer();
    ASSERT_NE(timer, nullptr);
    EXPECT_TRUE(timer->isActive());
    EXPECT_EQ(timer->interval(), 100);
    EXPECT_FALSE(timer->isSingleShot());
    EXPECT_EQ(repeats.count(), 0); // nothing at the press itself
    // 350 ms of holding: the timer fires at 100, 200 and 300 ms.
    for (int elapsed = 100; elapsed <= 350; elapsed += 100)
        QMetaObject::invokeMethod(timer, "timeout", Qt::DirectConnection);
    EXPECT_EQ(repeats.count(), 3);
    EXPECT_EQ(repeats.at(0).at(0).value<QObject*>(), &button);
    QTest::mouseRelease(&button, Qt::LeftButton, {}, {10, 10});
    EXPECT_EQ(clicks.count(), 1);
    EXPECT_EQ(button.RepeatTimer(), nullptr);
    EXPECT_FALSE(button.MouseDown());
}

TEST(SkinButtonMouse, QuickClickAndZeroIntervalNeverRepeat)
{
    Window window;
    TsuiButton button(&window);
    QSignalSpy repeats(&button, &TsuiCustomButton::OnMouseContinuouslyDown);
    QSignalSpy clicks(&button, &QPushButton::clicked);
    QTest::mouseClick(&button, Qt::LeftButton, {}, {10, 10});
    EXPECT_EQ(clicks.count(), 1);
    EXPECT_EQ(button.RepeatTimer(), nullptr);

    button.SetMouseContinuouslyDownInterval(0);
    QTest::mousePress(&button, Qt::LeftButton, {}, {10, 10});
    ASSERT_NE(button.RepeatTimer(), nullptr);
    EXPECT_FALSE(button.RepeatTimer()->isActive()); // a 0 ms timer would fire on every pass
    QCoreApplication::processEvents();
    QTest::mouseRelease(&button, Qt::LeftButton, {}, {10, 10});
    EXPECT_EQ(repeats.count(), 0);
    EXPECT_EQ(clicks.count(), 2);
}

TEST(SkinButtonMouse, DraggingOutRestoresTheLookAndReleasingOutsideDoesNotClick)
{
    Window window;
    TsuiButton button(&window);
    button.resize(80, 27);
    QSignalSpy clicks(&button, &QPushButton::clicked);
    QSignalSpy repeats(&button, &TsuiCustomButton::OnMouseContinuouslyDown);
    const QImage normal = Grab(button);
    QTest::mousePress(&button, Qt::LeftButton, {}, {10, 10});
    EXPECT_TRUE(button.MouseDown());
    QMouseEvent move(QEvent::MouseMove, QPointF(120, 10), QPointF(120, 10), Qt::NoButton,
                     Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(&button, &move);
    EXPECT_FALSE(button.MouseDown());
    EXPECT_EQ(Grab(button), normal);
    QTest::mouseRelease(&button, Qt::LeftButton, {}, {120, 10});
    EXPECT_EQ(clicks.count(), 0);
    // The repeat ends with the press even when no pointer-leave arrives.
    EXPECT_EQ(button.RepeatTimer(), nullptr);
    EXPECT_EQ(repeats.count(), 0);

    // Leaving the button ends hover and press and raises OnMouseExit.
    QSignalSpy exits(&button, &TsuiCustomButton::OnMouseExit);
    QTest::mousePress(&button, Qt::LeftButton, {}, {10, 10});
    QEvent leave(QEvent::Leave);
    QCoreApplication::sendEvent(&button, &leave);
    EXPECT_EQ(exits.count(), 1);
    EXPECT_EQ(button.RepeatTimer(), nullptr);
    EXPECT_FALSE(button.MouseDown());
}

TEST(SkinButtonMouse, DoubleClickClicksTwice)
{
    Window window;
    TsuiButton button(&window);
    QSignalSpy clicks(&button, &QPushButton::clicked);
    // What a double click delivers: press, release, double-click press, release.
    const QPointF at(10, 10);
    for (QEvent::Type type : {QEvent::MouseButtonPress, QEvent::MouseButtonRelease,
                              QEvent::MouseButtonDblClick, QEvent::MouseButtonRelease}) {
        const bool down = type != QEvent::MouseButtonRelease;
        QMouseEvent event(type, at, at, Qt::LeftButton, down ? Qt::LeftButton : Qt::NoButton,
                          Qt::NoModifier);
        QCoreApplication::sendEvent(&button, &event);
    }
    EXPECT_EQ(clicks.count(), 2);
}

// ---------------------------------------------------------------------------------------------

TEST(SkinButtonKeyboard, HeldSpaceShowsPressedAndClicksOnlyAtRelease)
{
    Window window;
    TsuiButton button(&window);
    QSignalSpy clicks(&button, &QPushButton::clicked);
    QTest::keyPress(&button, Qt::Key_Space);
    EXPECT_TRUE(button.MouseDown());
    // A held key repeats press and release pairs; they do not click.
    QKeyEvent repeatUp(QEvent::KeyRelease, Qt::Key_Space, Qt::NoModifier, QStringLiteral(" "),
                       true);
    QKeyEvent repeatDown(QEvent::KeyPress, Qt::Key_Space, Qt::NoModifier, QStringLiteral(" "),
                         true);
    for (int i = 0; i < 3; ++i) {
        QCoreApplication::sendEvent(&button, &repeatUp);
        QCoreApplication::sendEvent(&button, &repeatDown);
    }
    EXPECT_EQ(clicks.count(), 0);
    EXPECT_TRUE(button.MouseDown());
    QTest::keyRelease(&button, Qt::Key_Space);
    EXPECT_EQ(clicks.count(), 1);
    EXPECT_FALSE(button.MouseDown());
    EXPECT_EQ(button.RepeatTimer(), nullptr); // keys never auto-repeat the event
}

TEST(SkinButtonKeyboard, EnterClicksAtKeyDownCtrlEnterAtKeyUp)
{
    Window window;
    window.ShowActive();
    TsuiButton button(&window);
    button.show();
    button.setFocus();
    ASSERT_TRUE(button.Active());
    QSignalSpy clicks(&button, &QPushButton::clicked);
    QTest::keyPress(&button, Qt::Key_Return);
    EXPECT_EQ(clicks.count(), 1);
    QTest::keyRelease(&button, Qt::Key_Return);
    EXPECT_EQ(clicks.count(), 1);

    QTest::keyPress(&button, Qt::Key_Return, Qt::ControlModifier);
    EXPECT_EQ(clicks.count(), 1);
    EXPECT_TRUE(button.MouseDown());
    QTest::keyRelease(&button, Qt::Key_Return, Qt::ControlModifier);
    EXPECT_EQ(clicks.count(), 2);
}

TEST(SkinButtonKeyboard, HeldEnterIsOneClickWithOrWithoutCtrl)
{
    Window window;
    window.ShowActive();
    TsuiButton button(&window);
    button.show();
    button.setFocus();
    QSignalSpy clicks(&button, &QPushButton::clicked);
    // Holding the key: the real press, auto-repeated release and press pairs, the real release.
    const auto hold = [&](Qt::KeyboardModifiers modifiers) {
        QTest::keyPress(&button, Qt::Key_Return, modifiers);
        for (int i = 0; i < 3; ++i) {
            QKeyEvent up(QEvent::KeyRelease, Qt::Key_Return, modifiers, QStringLiteral("\r"), true);
            QKeyEvent down(QEvent::KeyPress, Qt::Key_Return, modifiers, QStringLiteral("\r"), true);
            QCoreApplication::sendEvent(&button, &up);
            QCoreApplication::sendEvent(&button, &down);
        }
        QTest::keyRelease(&button, Qt::Key_Return, modifiers);
    };
    hold(Qt::NoModifier); // clicked at key-down, nothing at key-up
    EXPECT_EQ(clicks.count(), 1);
    EXPECT_FALSE(button.MouseDown());
    hold(Qt::ControlModifier); // clicked at key-up only
    EXPECT_EQ(clicks.count(), 2);
    EXPECT_FALSE(button.MouseDown());
}

TEST(SkinButtonKeyboard, DefaultAndCancelButtonsAnswerEnterAndEscFromAnEdit)
{
    Window window;
    window.ShowActive();
    QLineEdit edit(&window);
    TsuiButton ok(&window), cancel(&window), other(&window);
    ok.SetDefault(true);
    cancel.SetCancel(true);
    edit.show();
    ok.show();
    cancel.show();
    other.show();
    edit.setFocus();
    ASSERT_TRUE(edit.hasFocus());
    EXPECT_TRUE(ok.Active());
    EXPECT_FALSE(cancel.Active());

    QSignalSpy okClicks(&ok, &QPushButton::clicked);
    QSignalSpy cancelClicks(&cancel, &QPushButton::clicked);
    QSignalSpy otherClicks(&other, &QPushButton::clicked);
    QTest::keyClick(&edit, Qt::Key_Return);
    EXPECT_EQ(okClicks.count(), 1);
    QTest::keyClick(&edit, Qt::Key_Escape);
    EXPECT_EQ(cancelClicks.count(), 1);
    QTest::keyClick(&edit, Qt::Key_Return, Qt::ControlModifier);
    QTest::keyClick(&edit, Qt::Key_Escape, Qt::ShiftModifier);
    EXPECT_EQ(okClicks.count(), 1);
    EXPECT_EQ(cancelClicks.count(), 1);

    // A focused skinned button takes Enter for itself; the default button stands aside.
    other.setFocus();
    EXPECT_TRUE(other.Active());
    EXPECT_FALSE(ok.Active());
    QTest::keyClick(&other, Qt::Key_Return);
    EXPECT_EQ(otherClicks.count(), 1);
    EXPECT_EQ(okClicks.count(), 1);
    edit.setFocus();
    EXPECT_TRUE(ok.Active());
}

TEST(SkinButtonKeyboard, AcceleratorWithAltFromAnywherePlainLetterOnlyFromAButton)
{
    Window window;
    window.ShowActive();
    QLineEdit edit(&window);
    TsuiButton open(&window), other(&window);
    open.SetCaption(QStringLiteral("&Open"));
    other.SetCaption(QStringLiteral("Other"));
    for (QWidget* w : {static_cast<QWidget*>(&edit), static_cast<QWidget*>(&open),
                       static_cast<QWidget*>(&other)})
        w->show();
    EXPECT_EQ(open.Accelerator(), QChar(u'O'));
    QSignalSpy clicks(&open, &QPushButton::clicked);

    edit.setFocus();
    QTest::keyClick(&edit, Qt::Key_O, Qt::AltModifier);
    EXPECT_EQ(clicks.count(), 1);
    QTest::keyClick(&edit, Qt::Key_O);
    EXPECT_EQ(clicks.count(), 1);
    EXPECT_EQ(edit.text(), QStringLiteral("o"));

    other.setFocus();
    QTest::keyClick(&other, Qt::Key_O, Qt::NoModifier);
    EXPECT_EQ(clicks.count(), 2);

    open.setEnabled(false);
    QTest::keyClick(&edit, Qt::Key_O, Qt::AltModifier);
    EXPECT_EQ(clicks.count(), 2);
}

// ---------------------------------------------------------------------------------------------

TEST(SkinImageButton, PicturesFallBackToNormalAndAutoSizeFollowsIt)
{
    Window window;
    TsuiImageButton button(&window);
    EXPECT_EQ(button.UIStyle(), TsuiUIStyle::FromThemeFile);
    button.SetTabStop(false);
    QImage normal(16, 16, QImage::Format_RGB32), hot(16, 16, QImage::Format_RGB32);
    normal.fill(qRgb(10, 20, 30));
    hot.fill(qRgb(200, 100, 50));
    button.SetAutoSize(true);
    button.SetPicNormal(normal);
    button.SetPicMouseOn(hot);
    EXPECT_EQ(button.size(), QSize(16, 16));
    EXPECT_EQ(Grab(button).pixel(8, 8), normal.pixel(0, 0));
    QEnterEvent enter(QPointF(5, 5), QPointF(5, 5), QPointF(5, 5));
    QCoreApplication::sendEvent(&button, &enter);
    EXPECT_EQ(Grab(button).pixel(8, 8), hot.pixel(0, 0));
    QTest::mousePress(&button, Qt::LeftButton, {}, {5, 5}); // no pressed picture: normal
    EXPECT_EQ(Grab(button).pixel(8, 8), normal.pixel(0, 0));
    EXPECT_FALSE(button.hasFocus()); // TabStop False: a press does not take the focus
    ASSERT_NE(button.RepeatTimer(), nullptr);
    QTest::mouseRelease(&button, Qt::LeftButton, {}, {5, 5});
}

// Every skinned control, not only the fields, leaves a destroyed file theme for DeepBlue.
TEST(SkinButtonTheme, DestroyedFileThemeTurnsTheButtonDeepBlue)
{
    TsuiButton button;
    button.SetUIStyle(TsuiUIStyle::Protein);
    auto* theme = new TsuiFileTheme;
    button.SetFileTheme(theme);
    EXPECT_EQ(button.FileTheme(), theme);
    EXPECT_EQ(button.UIStyle(), TsuiUIStyle::Protein);
    delete theme;
    EXPECT_EQ(button.FileTheme(), nullptr);
    EXPECT_EQ(button.UIStyle(), TsuiUIStyle::DeepBlue);
}
