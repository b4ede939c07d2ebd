#include "fieldpixels.h"
#include "skin/suicombobox.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QProxyStyle>
#include <QStyleOptionComplex>
#include <gtest/gtest.h>
#include <memory>

namespace {

// A style whose drop button is where the classic system puts it in a 21-pixel box:
// (left, 2, left + 17, 19), two pixels in from the right edge.
class ClassicButtonStyle : public QProxyStyle
{
public:
    ClassicButtonStyle() : QProxyStyle(QStringLiteral("fusion")) {}
    QRect subControlRect(ComplexControl control, const QStyleOptionComplex* option, SubControl sub,
                         const QWidget* widget) const override
    {
        if (control == CC_ComboBox && sub == SC_ComboBoxArrow)
            return QRect(option->rect.width() - 19, 2, 17, 17);
        return QProxyStyle::subControlRect(control, option, sub, widget);
    }
};

struct ComboFixture : testing::Test
{
    ClassicButtonStyle style;
    std::unique_ptr<TsuiComboBox> box = std::make_unique<TsuiComboBox>();

    void Make(TsuiUIStyle uiStyle, TsuiComboBox::TComboBoxStyle comboStyle, int width = 63)
    {
        box->setStyle(&style);
        box->setProperty("UIStyle", QVariant::fromValue(uiStyle));
        box->SetStyle(comboStyle);
        box->addItems({"NO", "ODD", "EVEN"});
        box->resize(width, 21);
    }
    // The arrow's top-left corner with the classic button: left + 5, row 8.
    QPoint Arrow() const { return {box->width() - 19 + 5, 8}; }
};

// The four rows of the arrow, seven, five, three and one pixels wide.
void ExpectArrow(const QImage& image, QPoint at, unsigned colour, unsigned background)
{
    for (int row = 0; row < 4; ++row) {
        for (int x = at.x() + row; x < at.x() + 7 - row; ++x)
            EXPECT_EQ(Px(image, x, at.y() + row), colour) << "row " << row << " x " << x;
        EXPECT_EQ(Px(image, at.x() + row - 1, at.y() + row), background) << "row " << row;
    }
    EXPECT_EQ(Px(image, at.x() + 3, at.y() + 4), background) << "the arrow is four rows high";
    EXPECT_EQ(Px(image, at.x() + 3, at.y() - 1), background);
}

} // namespace

TEST(ComboBoxLayout, ArrowSitsHalfTheButtonHeightFromTheTopOfTheControl)
{
    const TComboBoxLayout layout = ComboBoxLayout({0, 0, 133, 21}, {114, 2, 131, 19}, false);
    ASSERT_TRUE(layout.Valid);
    EXPECT_EQ(layout.Button, TRect(114, 2, 131, 19));
    EXPECT_EQ(layout.Arrow, QPoint(119, 8));
    EXPECT_EQ(layout.SeparatorX, 114);
    EXPECT_EQ(layout.Field, TRect(2, 2, 114, 19));

    // A button lower in a taller box: B.Top is still not added to the row.
    EXPECT_EQ(ComboBoxLayout({0, 0, 60, 40}, {40, 10, 57, 31}, false).Arrow, QPoint(45, 10));
    // Odd widths: the division truncates.
    EXPECT_EQ(ComboBoxLayout({0, 0, 60, 21}, {40, 2, 58, 19}, false).Arrow, QPoint(46, 8));
}

TEST(ComboBoxLayout, ButtonStaysInsideTheBorderBandAndMirrorsForRightToLeft)
{
    // Qt's styles let the button run to the widget's edge; the rings keep the outer band.
    const TComboBoxLayout full = ComboBoxLayout({0, 0, 63, 21}, {42, 0, 63, 21}, false);
    EXPECT_EQ(full.Button, TRect(42, 2, 61, 19));

    const TComboBoxLayout rtl = ComboBoxLayout({0, 0, 63, 21}, {2, 2, 19, 19}, true);
    EXPECT_EQ(rtl.SeparatorX, 19);
    EXPECT_EQ(rtl.Field, TRect(19, 2, 61, 19));

    EXPECT_FALSE(ComboBoxLayout({0, 0, 63, 21}, {}, false).Valid);
    EXPECT_FALSE(ComboBoxLayout({0, 0, 3, 3}, {0, 0, 3, 3}, false).Valid);
}

TEST_F(ComboFixture, DeepBlueBoxPaintsRingsFlatButtonSeparatorAndArrow)
{
    Make(TsuiUIStyle::DeepBlue, TsuiComboBox::csDropDown, 133);
    box->SetColor(clInactiveCaption);
    const QImage image = Grab(*box);
    const unsigned border = Rgb(clBlack), field = Rgb(clInactiveCaption);
    const unsigned button = Rgb(0xE8E8E8);

    // Outer ring in BorderColor, inner ring in Color, all the way round.
    for (int x : {0, 60, 132}) {
        EXPECT_EQ(Px(image, x, 0), border) << x;
        EXPECT_EQ(Px(image, x, 20), border) << x;
    }
    EXPECT_EQ(Px(image, 0, 10), border);
    EXPECT_EQ(Px(image, 132, 10), border);
    EXPECT_EQ(Px(image, 1, 1), field);
    EXPECT_EQ(Px(image, 1, 10), field);
    EXPECT_EQ(Px(image, 131, 19), field);
    EXPECT_EQ(Px(image, 60, 19), field);

    // The separator runs from one row above the button to one row below it.
    for (int y = 1; y <= 19; ++y)
        EXPECT_EQ(Px(image, 114, y), border) << y;
    EXPECT_EQ(Px(image, 115, 2), button);
    EXPECT_EQ(Px(image, 130, 18), button);
    ExpectArrow(image, {119, 8}, border, button);
}

TEST_F(ComboFixture, DisablingGreysTheArrowOverAWhiteShadowAndEnablingRestoresIt)
{
    Make(TsuiUIStyle::Protein, TsuiComboBox::csDropDownList);
    box->SetArrowColor(clBlue);
    const QPoint a = Arrow();
    const unsigned button = Rgb(0xFBFBFB);

    box->setEnabled(false);
    QImage image = Grab(*box);
    ExpectArrow(image, a, Rgb(clGray), button);
    // The shadow shows to the right of each row and below the tip.
    for (int row = 0; row < 4; ++row)
        EXPECT_EQ(Px(image, a.x() + 7 - row, a.y() + 1 + row), Rgb(clWhite)) << row;
    EXPECT_EQ(Px(image, a.x() + 4, a.y() + 4), Rgb(clWhite));
    EXPECT_EQ(Px(image, a.x() + 7, a.y()), button) << "the shadow starts one row down";

    box->setEnabled(true);
    image = Grab(*box);
    ExpectArrow(image, a, Rgb(clBlue), button);
    EXPECT_EQ(Px(image, a.x() + 7, a.y() + 1), button);
}

TEST_F(ComboFixture, StoredColoursWinAtLoadButALaterStyleOverwritesAll)
{
    // A stored form sets UIStyle first, then the colours.
    Make(TsuiUIStyle::Protein, TsuiComboBox::csDropDownList);
    box->setProperty("BorderColor", clRed);
    box->setProperty("ArrowColor", clRed);
    box->setProperty("ButtonColor", clYellow);
    EXPECT_EQ(box->BorderColor(), clRed);
    EXPECT_EQ(box->ArrowColor(), clRed);
    ExpectArrow(Grab(*box), Arrow(), Rgb(clRed), Rgb(clYellow));

    box->setProperty("UIStyle", QVariant::fromValue(TsuiUIStyle::WinXP));
    EXPECT_EQ(box->ArrowColor(), clBlack);
    EXPECT_EQ(box->BorderColor(), TColor(6842472));
    EXPECT_EQ(box->ButtonColor(), TColor(14609391));
    // FromThemeFile without a theme reads DeepBlue.
    box->SetUIStyle(TsuiUIStyle::FromThemeFile);
    EXPECT_EQ(box->BorderColor(), clBlack);
    EXPECT_EQ(box->ButtonColor(), TColor(15263976));
}

TEST_F(ComboFixture, WinXPShowsOnlyItsButtonArtworkAndMacOSDrawsTheArrowOverIt)
{
    QImage art;
    ASSERT_TRUE(LoadSkinBitmap(QStringLiteral("WINXP_COMBOBOX_BUTTON"), art));
    ASSERT_EQ(art.size(), QSize(16, 18));
    Make(TsuiUIStyle::WinXP, TsuiComboBox::csDropDownList);
    box->SetArrowColor(clRed);
    QImage image = Grab(*box);
    // The 17x17 button shows the 16x18 artwork stretched: its corners land on B's corners.
    const int left = box->width() - 19;
    EXPECT_EQ(Px(image, left, 2), art.pixel(0, 0) & 0xFFFFFFu);
    EXPECT_EQ(Px(image, left + 16, 18), art.pixel(15, 17) & 0xFFFFFFu);
    int red = 0;
    for (int y = 2; y < 19; ++y)
        for (int x = left; x < left + 17; ++x)
            red += Px(image, x, y) == Rgb(clRed);
    EXPECT_EQ(red, 0) << "no arrow is drawn over the WinXP artwork";

    ASSERT_TRUE(LoadSkinBitmap(QStringLiteral("MACOS_COMBOBOX_BUTTON"), art));
    ASSERT_EQ(art.size(), QSize(16, 17));
    box->SetUIStyle(TsuiUIStyle::MacOS);
    box->SetArrowColor(clRed);
    image = Grab(*box);
    EXPECT_EQ(Px(image, left, 2), art.pixel(0, 0) & 0xFFFFFFu);
    for (int x = 0; x < 7; ++x)
        EXPECT_EQ(Px(image, Arrow().x() + x, 8), Rgb(clRed)) << x;
}

TEST_F(ComboFixture, SimpleStyleIsLeftToQt)
{
    Make(TsuiUIStyle::DeepBlue, TsuiComboBox::csSimple);
    box->SetBorderColor(clRed);
    box->SetArrowColor(clRed);
    const QImage image = Grab(*box);
    int red = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            red += Px(image, x, y) == Rgb(clRed);
    EXPECT_EQ(red, 0);
    EXPECT_EQ(box->Style(), TsuiComboBox::csSimple);
    EXPECT_TRUE(box->isEditable());
}

TEST_F(ComboFixture, DestroyingTheFileThemeTurnsTheBoxDeepBlue)
{
    Make(TsuiUIStyle::WinXP, TsuiComboBox::csDropDown);
    auto* theme = new TsuiFileTheme;
    box->setProperty("FileTheme", QVariant::fromValue<QObject*>(theme));
    box->SetUIStyle(TsuiUIStyle::FromThemeFile);
    box->SetBorderColor(clRed);
    box->SetButtonColor(clRed);
    delete theme;
    EXPECT_EQ(box->FileTheme(), nullptr);
    EXPECT_EQ(box->UIStyle(), TsuiUIStyle::DeepBlue);
    EXPECT_EQ(box->BorderColor(), clBlack);
    EXPECT_EQ(box->ButtonColor(), TColor(0xE8E8E8));
}

TEST_F(ComboFixture, DroppedListIsFramedInBorderColourUntilItCloses)
{
    QWidget parent;
    parent.resize(200, 200);
    Make(TsuiUIStyle::DeepBlue, TsuiComboBox::csDropDownList);
    box->setParent(&parent);
    box->SetBorderColor(clRed);
    parent.show();
    box->showPopup();
    QApplication::processEvents();
    QWidget* popup = box->view()->window();
    ASSERT_NE(popup, &parent);
    ASSERT_TRUE(popup->isVisible());
    const QImage image = Grab(*popup);
    const int w = image.width(), h = image.height();
    for (const QPoint p :
         {QPoint(0, 0), QPoint(w - 1, 0), QPoint(0, h - 1), QPoint(w - 1, h - 1), QPoint(w / 2, 0),
          QPoint(w / 2, h - 1), QPoint(0, h / 2), QPoint(w - 1, h / 2)})
        EXPECT_EQ(Px(image, p.x(), p.y()), Rgb(clRed)) << p.x() << "," << p.y();
    EXPECT_NE(Px(image, w / 2, h / 2), Rgb(clRed));
    box->hidePopup();
    EXPECT_FALSE(popup->isVisible());
    box->setParent(nullptr);
}
