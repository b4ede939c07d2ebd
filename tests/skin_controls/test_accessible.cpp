// What assistive tools are told about the skinned controls: roles, names from labels and texts,
// values, the parts a control draws itself, and what pressing them does.
#include "skin/suiaccessible.h"
#include "skin/suibutton.h"
#include "skin/suicombobox.h"
#include "skin/suiedit.h"
#include "skin/suiform.h"
#include "skin/suilistbox.h"
#include "skin/suipagecontrol.h"
#include "skin/suiscrollbar.h"
#include "skin/suistatusbar.h"

#include <QAbstractItemView>
#include <QAccessible>
#include <QLabel>
#include <QSignalSpy>
#include <gtest/gtest.h>

namespace {

class SkinAccessibility : public testing::Test
{
protected:
    void SetUp() override { InstallSkinAccessibility(); }

    static QAccessibleInterface* Of(QObject* object)
    {
        return QAccessible::queryAccessibleInterface(object);
    }
    // The child of iface named name, or null.
    static QAccessibleInterface* ChildNamed(QAccessibleInterface* iface, const QString& name)
    {
        for (int i = 0; i < iface->childCount(); ++i)
            if (QAccessibleInterface* child = iface->child(i);
                child && child->text(QAccessible::Name) == name)
                return child;
        return nullptr;
    }

    QWidget Form;
};

TEST_F(SkinAccessibility, EditIsNamedByItsLinkedLabelAndFollowsItsText)
{
    auto* label = new QLabel(QStringLiteral("SSID:"), &Form);
    auto* edit = new TsuiEdit(&Form);
    new QLabel(QStringLiteral("Unrelated:"), &Form);
    QAccessibleInterface* iface = Of(edit);
    EXPECT_EQ(iface->role(), QAccessible::EditableText);
    EXPECT_EQ(iface->text(QAccessible::Name), QString()) << "no label is linked yet";

    label->setBuddy(edit);
    EXPECT_EQ(iface->text(QAccessible::Name), QStringLiteral("SSID:"));
    // The command page renames its labels; the field's name goes with them.
    label->setText(QStringLiteral("&Server Port:"));
    EXPECT_EQ(iface->text(QAccessible::Name), QStringLiteral("Server Port:"));
    edit->setToolTip(QStringLiteral("The access point's name"));
    EXPECT_EQ(iface->text(QAccessible::Description), QStringLiteral("The access point's name"));

    edit->setText(QStringLiteral("home"));
    QAccessibleTextInterface* text = iface->textInterface();
    ASSERT_NE(text, nullptr);
    EXPECT_EQ(text->text(0, text->characterCount()), QStringLiteral("home"));
    iface->editableTextInterface()->insertText(4, QStringLiteral("-net"));
    EXPECT_EQ(edit->text(), QStringLiteral("home-net"));
    // A password field never hands out what was typed.
    edit->setEchoMode(QLineEdit::Password);
    EXPECT_TRUE(iface->state().passwordEdit);
    EXPECT_FALSE(text->text(0, text->characterCount()).contains(QStringLiteral("home")));
    EXPECT_FALSE(iface->text(QAccessible::Value).contains(QStringLiteral("home")));
    // Read-only: no editing through the interface either.
    edit->setReadOnly(true);
    EXPECT_EQ(iface->editableTextInterface(), nullptr);
}

TEST_F(SkinAccessibility, ComboBoxIsNamedByItsLabelWithItsChoiceAsValueAndItsListAsList)
{
    auto* label = new QLabel(QStringLiteral("Baud rate:"), &Form);
    auto* box = new TsuiComboBox(&Form);
    box->SetStyle(TsuiComboBox::csDropDownList);
    box->addItems({QStringLiteral("9600"), QStringLiteral("115200")});
    box->setCurrentIndex(1);
    label->setBuddy(box);

    QAccessibleInterface* iface = Of(box);
    EXPECT_EQ(iface->role(), QAccessible::ComboBox);
    EXPECT_EQ(iface->text(QAccessible::Name), QStringLiteral("Baud rate:"));
    EXPECT_EQ(iface->text(QAccessible::Value), QStringLiteral("115200"));
    // The list's item is the box's choice, whatever the list's own selection says.
    QAccessibleInterface* list = iface->child(0);
    EXPECT_EQ(list->parent(), iface);
    box->setCurrentIndex(0);
    EXPECT_TRUE(list->child(0)->state().selected);
    EXPECT_FALSE(list->child(1)->state().selected);

    // An editable box's edit field is part of the box, named as the box is.
    box->SetStyle(TsuiComboBox::csDropDown);
    ASSERT_EQ(iface->childCount(), 2);
    EXPECT_EQ(iface->child(1)->role(), QAccessible::EditableText);
    EXPECT_EQ(iface->child(1)->text(QAccessible::Name), QStringLiteral("Baud rate:"));
    EXPECT_EQ(iface->child(1)->parent(), iface);
}

TEST_F(SkinAccessibility, PageTabsAreSelectableTabsThatPressLikeAClick)
{
    auto* pages = new TsuiPageControl(&Form);
    for (const char* caption :
         {"Parameter configuration", "Connection configuration", "Contact us"})
        pages->NewPage()->SetCaption(QString::fromLatin1(caption));
    pages->SetActivePageIndex(1);

    QAccessibleInterface* strip = Of(pages->TopPanel());
    EXPECT_EQ(strip->role(), QAccessible::PageTabList);
    ASSERT_EQ(strip->childCount(), 3);
    QAccessibleInterface* contact = strip->child(2);
    EXPECT_EQ(contact->role(), QAccessible::PageTab);
    EXPECT_EQ(contact->text(QAccessible::Name), QStringLiteral("Contact us"));
    EXPECT_EQ(contact->parent(), strip);
    EXPECT_EQ(strip->indexOfChild(contact), 2);
    EXPECT_TRUE(contact->state().selectable);
    EXPECT_TRUE(strip->child(1)->state().selected);
    EXPECT_FALSE(contact->state().selected);

    contact->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
    EXPECT_EQ(pages->ActivePageIndex(), 2);
    EXPECT_TRUE(contact->state().selected);
    // A press asks OnChanging as a click does.
    QObject::connect(pages, &TsuiTab::OnChanging, [](bool* allow) { *allow = false; });
    strip->child(0)->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
    EXPECT_EQ(pages->ActivePageIndex(), 2);
}

TEST_F(SkinAccessibility, ListRowsAreItemsThatFollowTheContent)
{
    auto* label = new QLabel(QStringLiteral("Receive:"), &Form);
    auto* list = new TsuiListBox(&Form);
    label->setBuddy(list);
    list->SetItems({QStringLiteral("OK"), QStringLiteral("ready")});
    QAccessibleInterface* iface = Of(list);
    EXPECT_EQ(iface->role(), QAccessible::List);
    EXPECT_EQ(iface->text(QAccessible::Name), QStringLiteral("Receive:"));
    ASSERT_EQ(iface->childCount(), 2);
    QAccessibleInterface* row = iface->child(1);
    EXPECT_EQ(row->role(), QAccessible::ListItem);
    EXPECT_EQ(row->text(QAccessible::Name), QStringLiteral("ready"));
    const QAccessible::Id oldRow = QAccessible::uniqueId(row);

    // A new block replaces the rows: nothing of the old block is read out any more.
    list->SetItems({QStringLiteral("ERROR")});
    EXPECT_EQ(QAccessible::accessibleInterface(oldRow), nullptr);
    ASSERT_EQ(iface->childCount(), 1);
    EXPECT_EQ(iface->child(0)->text(QAccessible::Name), QStringLiteral("ERROR"));
    EXPECT_EQ(iface->child(1), nullptr);
}

TEST_F(SkinAccessibility, StatusPanelsAreLabelsAndScrollBarsGiveTheirRange)
{
    auto* bar = new TsuiStatusBar(&Form);
    bar->SetStoredPanels({QStringLiteral("100 taLeftJustify"), QStringLiteral("100 taCenter")});
    bar->SetPanelText(0, QStringLiteral("Opened"));
    QAccessibleInterface* status = Of(bar);
    EXPECT_EQ(status->role(), QAccessible::StatusBar);
    ASSERT_EQ(status->childCount(), 2);
    EXPECT_EQ(status->child(0)->role(), QAccessible::StaticText);
    EXPECT_EQ(status->child(0)->text(QAccessible::Name), QStringLiteral("Opened"));
    bar->SetPanelText(0, QStringLiteral("Closed"));
    EXPECT_EQ(status->child(0)->text(QAccessible::Name), QStringLiteral("Closed"));

    auto* scroll = new TsuiScrollBar(&Form);
    scroll->SetMax(40);
    scroll->SetPosition(12);
    QAccessibleInterface* iface = Of(scroll);
    EXPECT_EQ(iface->role(), QAccessible::ScrollBar);
    QAccessibleValueInterface* value = iface->valueInterface();
    ASSERT_NE(value, nullptr);
    EXPECT_EQ(value->currentValue().toInt(), 12);
    EXPECT_EQ(value->maximumValue().toInt(), 40);
    value->setCurrentValue(50);
    EXPECT_EQ(scroll->Position(), 40) << "a tool's value is clamped as any other";
}

TEST_F(SkinAccessibility, ButtonsPressLikeAClickAndTheTitleBarClosesItsWindow)
{
    auto* button = new TsuiButton(&Form);
    button->SetCaption(QStringLiteral("&Open"));
    QSignalSpy clicked(button, &QPushButton::clicked);
    QAccessibleInterface* iface = Of(button);
    EXPECT_EQ(iface->role(), QAccessible::Button);
    EXPECT_EQ(iface->text(QAccessible::Name), QStringLiteral("Open"));
    EXPECT_EQ(
        iface->actionInterface()->keyBindingsForAction(QAccessibleActionInterface::pressAction()),
        QStringList{QStringLiteral("Alt+O")});
    iface->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
    EXPECT_EQ(clicked.count(), 1);
    button->setEnabled(false);
    iface->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
    EXPECT_EQ(clicked.count(), 1) << "a disabled button is not pressed";

    QWidget window;
    auto* frame = new TsuiForm(&window);
    frame->SetCaption(QStringLiteral("Session log"));
    window.resize(300, 200);
    window.show();
    QAccessibleInterface* bar = Of(frame->TitleBar());
    EXPECT_EQ(bar->text(QAccessible::Name), QStringLiteral("Session log"));
    QAccessibleInterface* close = ChildNamed(bar, QStringLiteral("Close"));
    ASSERT_NE(close, nullptr);
    EXPECT_EQ(close->role(), QAccessible::Button);
    EXPECT_TRUE(close->rect().isValid());
    close->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
    EXPECT_FALSE(window.isVisible());
    // The window's children are its controls, not the overlay that draws its border.
    QAccessibleInterface* top = Of(&window);
    EXPECT_EQ(top->role(), QAccessible::Window);
    ASSERT_EQ(top->childCount(), 1);
    EXPECT_EQ(top->child(0)->object(), frame);
}

} // namespace
