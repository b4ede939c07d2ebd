#pragma once
// A window holding the main window's page control (545 x 137, DeepBlue, three pages), with
// every event of the control and its pages written to one log.
#include "skin/suipagecontrol.h"

#include <QStringList>
#include <QTest>
#include <gtest/gtest.h>

inline const QStringList MainTabCaptions{QStringLiteral("Parameter configuration"),
                                         QStringLiteral("Connection configuration"),
                                         QStringLiteral("Contact us")};

inline QFont TabFont()
{
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPointSize(8);
    return font;
}

// The middle of tab i as drawn at the last layout.
inline QPoint TabCentre(const TsuiTabControlTopPanel& strip, int index)
{
    for (const TsuiTabBox& box : strip.Layout().Boxes)
        if (box.Index == index)
            return {(box.Rect.Left + box.Rect.Right) / 2, (box.Rect.Top + box.Rect.Bottom) / 2};
    ADD_FAILURE() << "tab " << index << " is not drawn";
    return {};
}

class PagesFixture : public testing::Test
{
protected:
    void SetUp() override
    {
        window.resize(565, 544);
        pages = new TsuiPageControl(&window);
        pages->setGeometry(8, 179, 545, 137);
        pages->setFont(TabFont());
        pages->SetUIStyle(TsuiUIStyle::DeepBlue);
        pages->SetColor(0xE8E8E8);
        for (int i = 0; i < 3; ++i) {
            sheet[i] = new TsuiTabSheet(pages);
            sheet[i]->setObjectName(QStringLiteral("suiTabSheet%1").arg(i + 1));
            sheet[i]->SetCaption(MainTabCaptions.at(i));
        }
        pages->SetActivePage(sheet[1]);
        Listen();
        window.show();
        window.activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
        // An activated window focuses its first tab stop, here the strip; start without it.
        Strip().clearFocus();
        log.clear();
    }

    void Listen()
    {
        QObject::connect(pages, &TsuiTab::OnChanging, [this](bool* allow) {
            log << QStringLiteral("changing");
            *allow = allowChange;
        });
        QObject::connect(pages, &TsuiTab::OnTabActive,
                         [this](int i) { log << QStringLiteral("tabactive %1").arg(i); });
        QObject::connect(pages, &TsuiTab::OnChange, [this] { log << QStringLiteral("change"); });
        for (int i = 0; i < 3; ++i) {
            QObject::connect(sheet[i], &TsuiTabSheet::OnShow,
                             [this, i] { log << QStringLiteral("show %1").arg(i); });
            QObject::connect(sheet[i], &TsuiTabSheet::OnHide,
                             [this, i] { log << QStringLiteral("hide %1").arg(i); });
        }
    }

    TsuiTabControlTopPanel& Strip() const { return *pages->TopPanel(); }
    void ClickTab(int index)
    {
        QTest::mouseClick(&Strip(), Qt::LeftButton, {}, TabCentre(Strip(), index));
    }

    QWidget window;
    TsuiPageControl* pages = nullptr;
    TsuiTabSheet* sheet[3] = {};
    QStringList log;
    bool allowChange = true;
};
