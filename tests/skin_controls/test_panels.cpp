// The group box's line and caption, and the panel with its caption bar, collapse and expand.
#include "skin/suigroupbox.h"
#include "skin/suiimagepanel.h"
#include "skin/suipublic.h"

#include <QSignalSpy>
#include <QTest>
#include <gtest/gtest.h>
#include <stdexcept>

namespace {

QImage Grab(QWidget& w)
{
    return w.grab().toImage().convertToFormat(QImage::Format_RGB32);
}
QRgb Rgb(const QImage& image, int x, int y)
{
    return image.pixel(x, y) & 0xFFFFFF;
}

QFont Font11()
{
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPixelSize(11);
    font.setStyleStrategy(QFont::NoAntialias);
    return font;
}

// Heights the panel passes through until its animation ends, driving the animation's tick.
QList<int> RunAnimation(TsuiPanel& panel)
{
    QList<int> heights;
    for (int guard = 0; panel.Animating() && guard < 100; ++guard) {
        panel.AnimationTimerTimer();
        heights << panel.height();
    }
    return heights;
}

// Whether the 13 x 12 button at At shows frame Frame (1 to 4) of the PANEL_BUTTON strip, pixel
// for pixel.
bool ShowsButtonFrame(const QImage& face, QPoint At, const QImage& strip, int Frame)
{
    for (int y = 0; y < 12; ++y)
        for (int x = 0; x < 13; ++x)
            if (Rgb(face, At.x() + x, At.y() + y) != (strip.pixel((Frame - 1) * 13 + x, y) & 0xFFFFFF))
                return false;
    return true;
}

void MoveTo(QWidget& w, QPoint p)
{
    QMouseEvent move(QEvent::MouseMove, p, p, Qt::NoButton, Qt::NoButton, Qt::NoModifier);
    QCoreApplication::sendEvent(&w, &move);
}

} // namespace

TEST(SkinGroupBox, LineAtHalfTheFontHeightWithAGapForTheCaption)
{
    QWidget parent;
    parent.setProperty("Color", int(0xE8E8E8));
    TsuiGroupBox box(&parent);
    box.SetUIStyle(TsuiUIStyle::Protein);
    box.setGeometry(8, 24, 153, 148);
    box.setFont(Font11());
    box.SetCaption(QStringLiteral("User"));
    EXPECT_EQ(box.Color(), TColor(0xE8E8E8)); // ParentColor
    const QImage face = Grab(box);
    const int cw = QFontMetrics(box.font()).horizontalAdvance(QStringLiteral("User"));
    const QRgb background = 0xE8E8E8, border = 0x000000;
    // Row 6: x 0 to 2, a gap up to and including caption width + 6, then on to the right edge.
    for (int x = 0; x <= 2; ++x)
        EXPECT_EQ(Rgb(face, x, 6), border) << x;
    EXPECT_EQ(Rgb(face, 3, 6), background);
    EXPECT_EQ(Rgb(face, 4, 6), background);
    EXPECT_EQ(Rgb(face, cw + 6, 6), background);
    for (int x = cw + 7; x < 153; ++x)
        EXPECT_EQ(Rgb(face, x, 6), border) << x;
    for (int y = 6; y < 148; ++y) {
        EXPECT_EQ(Rgb(face, 0, y), border) << y;
        EXPECT_EQ(Rgb(face, 152, y), border) << y;
    }
    for (int x = 0; x < 153; ++x)
        EXPECT_EQ(Rgb(face, x, 147), border) << x;
    EXPECT_EQ(Rgb(face, 1, 7), background);
    // The caption stands at (5, 0) in black.
    bool ink = false;
    for (int y = 0; y < 11; ++y)
        for (int x = 5; x < 5 + cw; ++x)
            ink |= Rgb(face, x, y) == 0;
    EXPECT_TRUE(ink);
}

TEST(SkinGroupBox, DisabledCaptionIsGreyAndFontHeightMovesLineAndChildArea)
{
    QWidget parent;
    TsuiGroupBox box(&parent);
    box.resize(150, 100);
    box.setFont(Font11());
    box.SetCaption(QStringLiteral("User"));
    EXPECT_EQ(box.contentsRect().top(), 11 + 5);
    box.setEnabled(false);
    const QImage face = Grab(box);
    int grey = 0, black = 0;
    for (int y = 0; y < 6; ++y)
        for (int x = 5; x < 40; ++x) {
            grey += Rgb(face, x, y) == 0x808080;
            black += Rgb(face, x, y) == 0;
        }
    EXPECT_GT(grey, 5);
    EXPECT_EQ(black, 0);

    QFont big = Font11();
    big.setPixelSize(20);
    box.setFont(big);
    EXPECT_EQ(box.contentsRect().top(), 20 + 5);
    const QImage tall = Grab(box);
    EXPECT_EQ(Rgb(tall, 149, 11), 0u); // the line is now at 20 div 2 + 1
    EXPECT_NE(Rgb(tall, 149, 6), 0u);
}

TEST(SkinGroupBox, StyleGivesBorderAndCaptionColours)
{
    TsuiGroupBox box;
    box.SetUIStyle(TsuiUIStyle::WinXP);
    EXPECT_EQ(box.BorderColor(), TColor(6842472));
    EXPECT_EQ(box.FontColor(), TColor(13583874));
    box.SetUIStyle(TsuiUIStyle::Protein);
    EXPECT_EQ(box.BorderColor(), clBlack);
}

// ---------------------------------------------------------------------------------------------

class SkinPanel : public ::testing::Test
{
protected:
    void SetUp() override
    {
        panel = new TsuiPanel(&parent);
        parent.resize(600, 400);
        panel->SetUIStyle(TsuiUIStyle::Protein);
        panel->setGeometry(168, 29, 385, 143);
        panel->SetBorderColor(clBlack);
        panel->SetColor(0xE8E8E8);
        panel->SetCaption(QStringLiteral("Prompt function"));
        panel->SetCaptionFontColor(clWhite);
    }
    // The middle of the button's hot rectangle.
    QPoint ButtonCentre() const { return {385 - 18 + 6, (21 - 12) / 2 + 6}; }
    void ClickButton()
    {
        MoveTo(*panel, ButtonCentre());
        QTest::mouseRelease(panel, Qt::LeftButton, {}, ButtonCentre());
    }

    QWidget parent;
    TsuiPanel* panel = nullptr;
};

TEST_F(SkinPanel, CollapsesInFifteenPixelStepsAndExpandsBack)
{
    ASSERT_EQ(panel->BarHeight(), 21);
    QSignalSpy pushes(panel, &TsuiPanel::OnPush);
    QSignalSpy pops(panel, &TsuiPanel::OnPop);
    ClickButton();
    ASSERT_TRUE(panel->Animating());
    EXPECT_EQ(RunAnimation(*panel), (QList<int>{128, 113, 98, 83, 68, 53, 38, 23, 21}));
    EXPECT_TRUE(panel->GetPushed());
    EXPECT_EQ(pushes.count(), 1);
    EXPECT_EQ(panel->ExpandedHeight(), 143);

    ClickButton();
    EXPECT_EQ(RunAnimation(*panel), (QList<int>{36, 51, 66, 81, 96, 111, 126, 141, 143}));
    EXPECT_FALSE(panel->GetPushed());
    EXPECT_EQ(pops.count(), 1);
    EXPECT_EQ(panel->AnimationTimer()->isActive(), false);
}

TEST_F(SkinPanel, HeightSetWhileCollapsedIsUsedByTheNextExpand)
{
    panel->Push();
    RunAnimation(*panel);
    panel->SetHeight(80);
    EXPECT_EQ(panel->height(), 21);
    panel->Pop();
    EXPECT_EQ(RunAnimation(*panel), (QList<int>{36, 51, 66, 80}));
}

TEST_F(SkinPanel, PushRefusedForFillingAlignmentsAndButtonHiddenThere)
{
    panel->SetAlign(TsuiCustomPanel::alClient);
    try {
        panel->Push();
        FAIL() << "no error";
    } catch (const std::logic_error& error) {
        EXPECT_STREQ(error.what(), "Can't push when Align is alClient, alLeft or alRight.");
    }
    EXPECT_FALSE(panel->Animating());
    EXPECT_EQ(panel->height(), 143);
    ClickButton();
    EXPECT_FALSE(panel->Animating());

    panel->SetAlign(TsuiCustomPanel::alNone);
    panel->SetShowButton(false);
    ClickButton();
    EXPECT_FALSE(panel->Animating());
    EXPECT_EQ(panel->height(), 143);
}

TEST_F(SkinPanel, PaintsBarCaptionBorderBodyAndHotButton)
{
    panel->setFont(Font11());
    QImage bar, strip;
    ASSERT_TRUE(GetInsideThemeBitmap(TsuiUIStyle::Protein, SuiTheme::SideChannelBarImage, bar));
    ASSERT_TRUE(LoadSkinBitmap(QStringLiteral("PANEL_BUTTON"), strip));
    const QImage face = Grab(*panel);
    EXPECT_EQ(Rgb(face, 0, 60), 0u);
    EXPECT_EQ(Rgb(face, 384, 60), 0u);
    EXPECT_EQ(Rgb(face, 100, 142), 0u);
    EXPECT_EQ(Rgb(face, 100, 60), 0xE8E8E8u);
    EXPECT_EQ(Rgb(face, 200, 2), bar.pixel(0, 2) & 0xFFFFFF);
    int white = 0;
    for (int y = 0; y < 21; ++y)
        for (int x = 10; x < 120; ++x)
            white += Rgb(face, x, y) == 0xFFFFFF;
    EXPECT_GT(white, 20); // the white caption on the bar
    // The four frames differ from one another, so each state can be told apart on the panel.
    for (int a = 1; a <= 4; ++a)
        for (int b = a + 1; b <= 4; ++b)
            ASSERT_NE(strip.copy((a - 1) * 13, 0, 13, 12), strip.copy((b - 1) * 13, 0, 13, 12))
                << a << " " << b;
    // The button frame: drawn at (W - 17, 4); frame 1, then 2 under the pointer.
    const QPoint at(385 - 17, 4);
    EXPECT_TRUE(ShowsButtonFrame(face, at, strip, 1));
    MoveTo(*panel, ButtonCentre());
    EXPECT_TRUE(panel->ButtonHot());
    EXPECT_TRUE(ShowsButtonFrame(Grab(*panel), at, strip, 2));
    MoveTo(*panel, {100, 10});
    EXPECT_FALSE(panel->ButtonHot());
    // Collapsed: frame 3, and 4 under the pointer.
    panel->Push();
    RunAnimation(*panel);
    EXPECT_TRUE(ShowsButtonFrame(Grab(*panel), at, strip, 3));
    MoveTo(*panel, ButtonCentre());
    EXPECT_TRUE(ShowsButtonFrame(Grab(*panel), at, strip, 4));
}

TEST(SkinPanelLayout, ButtonAndCaptionGeometry)
{
    const TsuiPanelLayout layout = TsuiPanel::Layout(385, 21, true);
    ASSERT_TRUE(layout.ButtonHot.has_value());
    EXPECT_EQ(*layout.ButtonHot, TRect(367, 4, 380, 16));
    EXPECT_EQ(layout.ButtonPos, QPoint(368, 4));
    EXPECT_EQ(layout.Bar, TRect(1, 0, 384, 21));
    EXPECT_EQ(TsuiPanel::Layout(100, 20, true).ButtonPos, QPoint(83, 4));
    EXPECT_FALSE(TsuiPanel::Layout(100, 20, false).ButtonHot.has_value());
}
