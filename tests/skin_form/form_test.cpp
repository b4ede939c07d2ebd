#include "skin/suiform.h"
#include "skin/suipublic.h"
#include "skin/suititlebar.h"

#ifdef SUI_FORM_WITH_APP
#include "app/unit1.h"
#endif

#include <QApplication>
#include <QPainter>
#include <QTest>
#include <gtest/gtest.h>
#include <memory>

namespace {

// A window as the main window is stored: a fixed 565 x 544 client, the skinned frame on it
// with only the control box and the close button.
struct MainWindow
{
    std::unique_ptr<QWidget> window = std::make_unique<QWidget>();
    TsuiForm* form = nullptr;

    explicit MainWindow(QStringList buttons = {"suiControlBox", "suiClose"})
    {
        window->setWindowTitle("ESP_8266WIFI----------Quillmesh");
        QPixmap icon(16, 16);
        icon.fill(Qt::green);
        window->setWindowIcon(QIcon(icon));
        window->setFixedSize(565, 544);
        form = new TsuiForm(window.get());
        form->setGeometry(0, 0, 565, 544); // as the stored layout does
        form->SetTitleBarButtonTypes(buttons);
        form->Loaded();
    }
    TsuiTitleBar* bar() const { return form->TitleBar(); }
};

int IndexOf(const TsuiTitleBar& bar, TsuiTitleBarBtnType type)
{
    return bar.FindVisibleButton(type);
}

} // namespace

TEST(FrameGeometry, MainWindowGetsItsFrameAndTitleBar)
{
    MainWindow m;
    EXPECT_TRUE(m.window->windowFlags() & Qt::FramelessWindowHint);
    EXPECT_EQ(m.window->size(), QSize(571, 549)); // the stored client plus the frame
    EXPECT_EQ(m.form->geometry(), QRect(3, 3, 565, 544));
    EXPECT_EQ(m.bar()->height(), 29);
    EXPECT_EQ(m.form->GetTitleBarHeight(), 32);
    EXPECT_EQ(m.form->FrameOffset(), 2);
    EXPECT_EQ(m.window->minimumSize(), QSize(130, 32));

    const int W = m.bar()->width();
    const TsuiTitleBarLayout layout = m.bar()->Layout(std::nullopt);
    ASSERT_EQ(layout.Buttons.size(), 1u);
    EXPECT_EQ(layout.Buttons[0].Rect, TRect(W - 20, -1, W - 1, 18));
    ASSERT_TRUE(layout.DrawIcon);
    EXPECT_EQ(layout.IconPos, QPoint(3, -1));
    EXPECT_EQ(layout.CaptionPos, QPoint(21, -1));
    EXPECT_EQ(layout.CaptionText, "ESP_8266WIFI----------Quillmesh");
    // The artwork is drawn 2 pixels left and 3 pixels above the bar.
    ASSERT_EQ(layout.Sections.size(), 3u);
    EXPECT_EQ(layout.Sections[0].Dest, TRect(-2, -3, 95, 29));
    EXPECT_EQ(layout.Sections[1].Dest, TRect(W + 2 - 97, -3, W + 2, 29));
    EXPECT_EQ(layout.Sections[2].Dest, TRect(95, -3, W + 2 - 97, 29));
}

TEST(FrameGeometry, ClientAreaFollowsTheBorderWidth)
{
    EXPECT_EQ(FormClientRect(200, 100, 1), TRect(3, 3, 197, 98));
    EXPECT_EQ(FormClientRect(200, 100, 3), TRect(3, 3, 197, 97));
    EXPECT_EQ(FormClientRect(200, 100, 0), TRect(3, 3, 197, 99));

    MainWindow m;
    m.form->SetBorderWidth(3);
    EXPECT_EQ(m.form->geometry(), QRect(3, 3, 565, 543));
}

TEST(FrameGeometry, EveryStyleGivesItsTitleHeightAndMinimumSize)
{
    struct Expect
    {
        TsuiUIStyle style;
        int height, minWidth, rowTop;
    };
    for (auto e :
         {Expect{TsuiUIStyle::DeepBlue, 29, 130, -1}, Expect{TsuiUIStyle::MacOS, 20, 130, 1},
          Expect{TsuiUIStyle::Protein, 20, 130, -1}, Expect{TsuiUIStyle::WinXP, 26, 150, 2},
          Expect{TsuiUIStyle::BlueGlass, 30, 270, 3}}) {
        MainWindow m({"suiControlBox", "suiClose", "suiMax", "suiMin"});
        m.form->SetUIStyle(e.style);
        SCOPED_TRACE(int(e.style));
        EXPECT_EQ(m.bar()->height(), e.height);
        EXPECT_EQ(m.window->minimumWidth(), e.minWidth);
        EXPECT_EQ(m.window->minimumHeight(), e.height + 3);
        const auto layout = m.bar()->Layout(std::nullopt);
        ASSERT_EQ(layout.Buttons.size(), 3u);
        EXPECT_EQ(layout.Buttons[0].Rect.Top, e.rowTop);
        EXPECT_EQ(m.form->BorderWidth(), GetInsideThemeInt(e.style, SuiTheme::FormBorderWidth));
        // The body colour and font colour follow the style.
        EXPECT_EQ(m.form->Color(), GetInsideThemeColor(e.style, SuiTheme::FormColor));
        EXPECT_EQ(m.bar()->FontColor(), e.style == TsuiUIStyle::MacOS ? clBlack : clWhite);
    }
}

TEST(FrameGeometry, StandAloneBarSetsMinimumWidthAndHeightAndCustomKeepsEverything)
{
    QWidget window;
    window.resize(400, 300);
    auto* bar = new TsuiTitleBar(&window);
    EXPECT_FALSE(bar->InForm());
    EXPECT_EQ(bar->height(), 32); // the full picture outside a frame
    EXPECT_EQ(window.minimumSize(), QSize(130, 50));

    bar->Buttons().Items(0)->SetVisible(false);
    bar->SetCustom(true);
    bar->SetUIStyle(TsuiUIStyle::WinXP);
    EXPECT_EQ(bar->height(), 32);
    EXPECT_EQ(bar->Sections().Items(0)->Picture().width(), 97);
    EXPECT_FALSE(bar->Buttons().Items(0)->Visible());
    EXPECT_EQ(bar->FontColor(), clWhite);
}

TEST(TitleSections, LeftRightAndStretchedClientInCollectionOrder)
{
    MainWindow m;
    TsuiTitleBar& bar = *m.bar();
    bar.SetCustom(true);
    auto picture = [](int w) {
        QImage image(w, 32, QImage::Format_RGB32);
        image.fill(Qt::blue);
        return image;
    };
    auto& sections = bar.Sections();
    sections.Clear();
    auto* right = sections.Add();
    right->SetPicture(picture(7));
    right->SetAlign(TsuiTitleBarAlign::suiRight);
    auto* client = sections.Add();
    client->SetPicture(picture(3));
    client->SetAlign(TsuiTitleBarAlign::suiClient);
    auto* left1 = sections.Add();
    left1->SetPicture(picture(10));
    auto* left2 = sections.Add();
    left2->SetPicture(picture(5));
    const int W = bar.width();
    const auto layout = bar.Layout(std::nullopt);
    ASSERT_EQ(layout.Sections.size(), 4u);
    EXPECT_EQ(layout.Sections[0].Dest, TRect(W + 2 - 7, -3, W + 2, 29));
    EXPECT_EQ(layout.Sections[1].Dest, TRect(-2, -3, 8, 29));
    EXPECT_EQ(layout.Sections[2].Dest, TRect(8, -3, 13, 29));
    EXPECT_EQ(layout.Sections[3].Section, 1); // the client section comes last, stretched
    EXPECT_EQ(layout.Sections[3].Dest, TRect(13, -3, W + 2 - 7, 29));
    EXPECT_TRUE(client->Stretch());
}

TEST(TitleCaption, ShortenedWithDotsOnlyWhenItDoesNotFit)
{
    QFont font("DejaVu Sans");
    font.setPixelSize(11);
    font.setBold(true);
    const QFontMetrics metrics(font);
    const QString caption = "ESP_8266WIFI----------Quillmesh";
    const int exact = metrics.horizontalAdvance(caption);
    EXPECT_EQ(ShortenCaption(metrics, caption, exact), caption);
    const QString cut = ShortenCaption(metrics, caption, exact - 1);
    EXPECT_TRUE(cut.endsWith("..."));
    EXPECT_LE(metrics.horizontalAdvance(cut), exact - 1);
    EXPECT_TRUE(caption.startsWith(cut.chopped(3)));
    EXPECT_EQ(ShortenCaption(metrics, caption, 0), "...");

    // In the bar: the space runs from the caption's left to the leftmost right-hand button.
    MainWindow m;
    m.bar()->SetCaptionFont(font);
    m.window->setFixedWidth(21 + exact + 20 + 6);
    m.form->Realign();
    EXPECT_EQ(m.bar()->Layout(std::nullopt).CaptionText, caption);
    m.window->setFixedWidth(21 + exact + 20 + 5);
    m.form->Realign();
    EXPECT_TRUE(m.bar()->Layout(std::nullopt).CaptionText.endsWith("..."));
}

TEST(TitleButtons, HotAndPressedPicturesFollowTheCursor)
{
    MainWindow m;
    TsuiTitleBar& bar = *m.bar();
    const int close = IndexOf(bar, TsuiTitleBarBtnType::suiClose);
    const TsuiTitleBarButton& button = *bar.Buttons().Items(close);
    const int W = bar.width();
    auto at = [&](QPoint p) { return bar.Layout(p); };
    EXPECT_EQ(at(QPoint(W - 20, -1)).HotIndex, close);
    EXPECT_EQ(at(QPoint(W - 1, 18)).HotIndex, close); // right and bottom edges count
    EXPECT_EQ(at(QPoint(W - 21, 5)).HotIndex, -1);
    EXPECT_EQ(at(QPoint(W - 10, 5)).Buttons[0].Picture, &button.PicMouseOn());
    EXPECT_EQ(at(QPoint(200, 5)).Buttons[0].Picture, &button.PicNormal());
    EXPECT_EQ(at(QPoint(5, 5)).HotIndex, IndexOf(bar, TsuiTitleBarBtnType::suiControlBox));
    EXPECT_NE(button.PicNormal(), button.PicMouseOn());
}

TEST(TitleButtons, CloseButtonClosesAndOnlyCloseIsOfferedInTheMainWindowMenu)
{
    MainWindow m;
    m.window->show();
    auto* menu = m.bar()->WindowMenu();
    menu->UpdateItems();
    EXPECT_FALSE(menu->MinimizeItem->isEnabled());
    EXPECT_FALSE(menu->MaximizeItem->isEnabled());
    EXPECT_TRUE(menu->CloseItem->isEnabled());

    const int W = m.bar()->width();
    QTest::mouseClick(m.bar(), Qt::LeftButton, {}, QPoint(W - 10, 8));
    EXPECT_FALSE(m.window->isVisible());

    MainWindow all({"suiControlBox", "suiClose", "suiMax", "suiMin"});
    all.bar()->WindowMenu()->UpdateItems();
    EXPECT_TRUE(all.bar()->WindowMenu()->MinimizeItem->isEnabled());
    EXPECT_TRUE(all.bar()->WindowMenu()->MaximizeItem->isEnabled());
}

TEST(TitleButtons, WindowMenuWritesItemsThatDoNotApplyInGrey)
{
    MainWindow m;
    auto* menu = m.bar()->WindowMenu();
    menu->UpdateItems();
    QFont font = menu->font();
    font.setStyleStrategy(QFont::NoAntialias);
    menu->setFont(font);
    menu->resize(menu->sizeHint());
    const QImage face = menu->grab().toImage().convertToFormat(QImage::Format_RGB32);
    const QRgb text = toQColor(GetInsideThemeColor(TsuiUIStyle::DeepBlue, SuiTheme::MenuFontColor))
                          .rgb() & 0xFFFFFF;
    struct Inks
    {
        int Text = 0, Grey = 0;
    };
    const auto inks = [&](QAction* item) {
        Inks found;
        const QRect r = menu->actionGeometry(item) & face.rect();
        for (int y = r.top(); y <= r.bottom(); ++y)
            for (int x = r.left(); x <= r.right(); ++x) {
                const QRgb c = face.pixel(x, y) & 0xFFFFFF;
                found.Text += c == text;
                found.Grey += c == 0x808080;
            }
        return found;
    };
    for (QAction* idle : {menu->MinimizeItem, menu->MaximizeItem}) {
        SCOPED_TRACE(idle->text().toStdString());
        EXPECT_GT(inks(idle).Grey, 10);
        EXPECT_EQ(inks(idle).Text, 0);
    }
    EXPECT_GT(inks(menu->CloseItem).Text, 10);
    EXPECT_EQ(inks(menu->CloseItem).Grey, 0);
}

TEST(TitleButtons, DoubleClickRules)
{
    MainWindow m;
    m.window->show();
    QTest::mouseDClick(m.bar(), Qt::LeftButton, {}, QPoint(200, 10));
    EXPECT_FALSE(IsSkinnedMaximized(m.window.get())); // no maximise button
    EXPECT_TRUE(m.window->isVisible());
    QTest::mouseDClick(m.bar(), Qt::LeftButton, {}, QPoint(8, 5)); // the icon
    EXPECT_FALSE(m.window->isVisible());

    MainWindow all({"suiControlBox", "suiClose", "suiMax", "suiMin"});
    all.window->show();
    QTest::mouseDClick(all.bar(), Qt::LeftButton, {}, QPoint(200, 10));
    EXPECT_TRUE(IsSkinnedMaximized(all.window.get()));
}

TEST(TitleButtons, RefusedMaximiseKeepsStateAndPictureAllowedOneCoversTheWorkArea)
{
    MainWindow m({"suiControlBox", "suiClose", "suiMax", "suiMin"});
    m.window->show();
    TsuiTitleBar& bar = *m.bar();
    const int max = IndexOf(bar, TsuiTitleBarBtnType::suiMax);
    const QImage before = bar.Buttons().Items(max)->PicNormal();
    const QRect bounds = m.window->geometry();
    int asked = 0;
    m.form->OnTitleBarMaxBtnClick() = [&](QObject*, bool& allow) {
        ++asked;
        allow = false;
    };
    bar.DoClick(max);
    EXPECT_EQ(asked, 1);
    EXPECT_FALSE(IsSkinnedMaximized(m.window.get()));
    EXPECT_EQ(m.window->geometry(), bounds);
    EXPECT_EQ(bar.Buttons().Items(max)->PicNormal(), before);

    m.form->OnTitleBarMaxBtnClick() = nullptr;
    bar.DoClick(max);
    EXPECT_TRUE(IsSkinnedMaximized(m.window.get()));
    EXPECT_EQ(TRect::fromQRect(m.window->geometry()),
              MaximizedBounds(GetWorkAreaRect(m.window.get())));
    QImage restore;
    GetInsideThemeBitmap(TsuiUIStyle::DeepBlue, SuiTheme::TitleButtonImage, restore, 18, 10);
    EXPECT_EQ(bar.Buttons().Items(max)->PicNormal(), restore);
    // A maximised window does not start a move from its caption.
    QTest::mousePress(&bar, Qt::LeftButton, {}, QPoint(200, 10));
    QTest::mouseMove(&bar, QPoint(260, 40));
    EXPECT_EQ(TRect::fromQRect(m.window->geometry()),
              MaximizedBounds(GetWorkAreaRect(m.window.get())));
    QTest::mouseRelease(&bar, Qt::LeftButton, {}, QPoint(260, 40));

    bar.DoClick(max);
    EXPECT_FALSE(IsSkinnedMaximized(m.window.get()));
    EXPECT_EQ(m.window->geometry(), bounds);
    EXPECT_EQ(bar.Buttons().Items(max)->PicNormal(), before);
}

TEST(TitleButtons, MinimiseCanBeRefused)
{
    MainWindow m({"suiControlBox", "suiClose", "suiMax", "suiMin"});
    m.window->show();
    bool allowIt = false;
    m.form->OnTitleBarMinBtnClick() = [&](QObject* sender, bool& allow) {
        EXPECT_EQ(sender, m.bar());
        allow = allowIt;
    };
    const int min = IndexOf(*m.bar(), TsuiTitleBarBtnType::suiMin);
    m.bar()->DoClick(min);
    EXPECT_FALSE(m.window->isMinimized());
    allowIt = true;
    m.bar()->DoClick(min);
    EXPECT_TRUE(m.window->isMinimized());
}

TEST(TitleErrors, SecondControlBoxSecondClientSectionAndFrameAsFormPanelAreRefused)
{
    MainWindow m;
    auto& buttons = m.bar()->Buttons();
    auto* extra = buttons.Add();
    try {
        extra->SetButtonType(TsuiTitleBarBtnType::suiControlBox);
        ADD_FAILURE() << "no error";
    } catch (const EsuiError& e) {
        EXPECT_STREQ(e.what(),
                     "Sorry, only one button's ButtonType property can be \"suiControlBox\"");
    }
    EXPECT_EQ(extra->ButtonType(), TsuiTitleBarBtnType::suiCustom);

    auto& sections = m.bar()->Sections();
    auto* section = sections.Add();
    try {
        section->SetAlign(TsuiTitleBarAlign::suiClient);
        ADD_FAILURE() << "no error";
    } catch (const EsuiError& e) {
        EXPECT_STREQ(e.what(), "Sorry, only one section's Align property can be \"suiClient\"");
    }
    EXPECT_EQ(section->Align(), TsuiTitleBarAlign::suiLeft);

    try {
        m.form->SetFormPanel(m.form);
        ADD_FAILURE() << "no error";
    } catch (const EsuiError& e) {
        EXPECT_STREQ(e.what(), "Sorry, you can't select the Form assign to FormPanel property");
    }
    EXPECT_EQ(m.form->FormPanel(), nullptr);
    auto* panel = new QWidget(m.form);
    m.form->SetFormPanel(panel);
    EXPECT_EQ(panel->geometry(), QRect(0, 29, 565, 544 - 29));
}

TEST(FrameRegion, RoundedTopCornersAndSquareBottom)
{
    const QRegion square = FormRegion(100, 80, 0, 0);
    EXPECT_EQ(square, QRegion(0, 0, 100, 80));
    EXPECT_EQ(FormRegion(100, 80, 0, -1), square);

    const QRegion round = FormRegion(100, 80, 11, 0);
    EXPECT_FALSE(round.contains(QPoint(0, 0)));
    EXPECT_FALSE(round.contains(QPoint(99, 0)));
    EXPECT_FALSE(round.contains(QPoint(0, 1)));
    EXPECT_TRUE(round.contains(QPoint(5, 0)));
    EXPECT_TRUE(round.contains(QPoint(0, 6)));
    EXPECT_TRUE(round.contains(QPoint(0, 79)));
    EXPECT_TRUE(round.contains(QPoint(99, 79)));
    EXPECT_TRUE(round.contains(QPoint(50, 40)));

    // BlueGlass rounds the window; the corner is cut out of the window's mask.
    MainWindow m;
    m.form->SetUIStyle(TsuiUIStyle::BlueGlass);
    EXPECT_EQ(m.form->RoundCorner(), 11);
    EXPECT_FALSE(m.window->mask().contains(QPoint(0, 0)));
    EXPECT_TRUE(m.window->mask().contains(QPoint(0, 40)));
    m.form->SetTitleBarVisible(false);
    EXPECT_EQ(m.form->RoundCorner(), 0);
    EXPECT_TRUE(m.window->mask().isEmpty()); // square again
}

TEST(FramePainting, BorderGapsAndTheTopEdgeOfTheTitleArtwork)
{
    MainWindow m;
    const QImage shot = m.window->grab().toImage();
    const int W = shot.width(), H = shot.height();
    ASSERT_EQ(QSize(W, H), QSize(571, 549));
    const QRgb black = qRgb(0, 0, 0), body = qRgb(0xE8, 0xE8, 0xE8);
    EXPECT_EQ(shot.pixel(0, 200), black);
    EXPECT_EQ(shot.pixel(W - 1, 200), black);
    EXPECT_EQ(shot.pixel(200, H - 1), black);
    EXPECT_EQ(shot.pixel(1, 200), body); // gap beside the client area
    EXPECT_EQ(shot.pixel(W - 2, 200), body);
    EXPECT_EQ(shot.pixel(200, H - 2), body); // gap below it
    QImage left;
    ASSERT_TRUE(GetInsideThemeBitmap(TsuiUIStyle::DeepBlue, SuiTheme::TitleLeftImage, left));
    EXPECT_EQ(shot.pixel(5, 1), left.pixel(5, 1));   // top rows: L at x = 0
    EXPECT_EQ(shot.pixel(1, 20), left.pixel(0, 20)); // left end column beside the bar
    EXPECT_EQ(shot.pixel(3 + 10, 3 + 20), left.pixel(10 + 2, 20 + 3)); // the bar itself
}

TEST(FrameBehaviour, InactiveCaptionAltSpaceAndRemoval)
{
    MainWindow m;
    m.window->show();
    m.bar()->SetFormActive(false);
    m.form->SetInactiveCaptionColor(clRed);
    QImage shot = m.bar()->grab().toImage();
    bool red = false;
    for (int x = 21; x < 120; ++x)
        for (int y = 0; y < 12; ++y)
            red |= shot.pixel(x, y) == qRgb(255, 0, 0);
    EXPECT_TRUE(red);

    QTest::keyClick(m.form, Qt::Key_Space, Qt::AltModifier);
    EXPECT_TRUE(m.bar()->WindowMenu()->isVisible());
    m.bar()->WindowMenu()->hide();

    // A second frame on the same window stays a plain panel.
    auto* second = new TsuiForm(m.window.get());
    EXPECT_FALSE(second->TakesOverFrame());
    delete second;
    delete m.form;
    QApplication::processEvents();
    EXPECT_FALSE(m.window->windowFlags() & Qt::FramelessWindowHint);
}

TEST(FrameBehaviour, DraggingTheCaptionMovesTheWindow)
{
    MainWindow m;
    m.window->move(100, 100);
    m.window->show();
    QTest::mousePress(m.bar(), Qt::LeftButton, {}, QPoint(200, 10));
    QTest::mouseMove(m.bar(), QPoint(230, 30));
    QTest::mouseRelease(m.bar(), Qt::LeftButton, {}, QPoint(230, 30));
    EXPECT_NE(m.window->pos(), QPoint(100, 100));
}

// Pictures for the documentation: SUI_FORM_SHOTS=<folder> writes the main window's frame in
// DeepBlue and the five title bars one above the other.
TEST(FrameScreenshots, WrittenOnRequest)
{
    const QString folder = qEnvironmentVariable("SUI_FORM_SHOTS");
    if (folder.isEmpty()) GTEST_SKIP() << "set SUI_FORM_SHOTS to write the pictures";
#ifdef SUI_FORM_WITH_APP
    TForm1 form(nullptr, false);
    // The stored layout's two buttons: the control box (shown as the icon) and close.
    form.suiForm1->SetTitleBarButtonTypes({"suiControlBox", "suiClose"});
    form.show();
    ASSERT_TRUE(form.grab().save(folder + "/screenshot-frame-deepblue.png"));
#else
    MainWindow m;
    m.window->show();
    ASSERT_TRUE(m.window->grab().save(folder + "/screenshot-frame-deepblue.png"));
#endif

    std::vector<QImage> bars;
    int height = 0;
    for (auto style : {TsuiUIStyle::DeepBlue, TsuiUIStyle::MacOS, TsuiUIStyle::WinXP,
                       TsuiUIStyle::Protein, TsuiUIStyle::BlueGlass}) {
        MainWindow s({"suiControlBox", "suiClose", "suiMax", "suiMin"});
        s.window->setFixedSize(400, 90);
        s.form->SetUIStyle(style);
        s.window->show();
        bars.push_back(s.window->grab().toImage());
        height += bars.back().height() + 6;
    }
    QImage sheet(400, height, QImage::Format_RGB32);
    sheet.fill(Qt::white);
    QPainter painter(&sheet);
    int y = 0;
    for (const QImage& bar : bars) {
        painter.drawImage(0, y, bar);
        y += bar.height() + 6;
    }
    painter.end();
    ASSERT_TRUE(sheet.save(folder + "/screenshot-frame-styles.png"));
}
