#pragma once
// What screen readers and other assistive tools see of the skinned controls, through Qt's own
// accessibility framework: one factory gives every Tsui class, and the Qt parts a skinned
// control is built from (a combo box's edit field and dropped list), an interface with its role,
// name, state, value and actions. Controls it does not know by class get one from the Qt class
// they build on, so a new skinned control is named by the same rules without being listed here.
#include <QAccessible>
#include <QString>
#include <QVariant>

class QWidget;

// Installs the factory, once; a skinned window's frame calls it, so every skinned window has it.
void InstallSkinAccessibility();
// The factory: an interface for object when it is a skinned control or a Qt part of one, else
// null (Qt's own interface then serves it).
QAccessibleInterface* SkinAccessibleFactory(const QString& className, QObject* object);

// The text of the label the form links to field (a QLabel beside it whose buddy it is), with
// mnemonic marks removed; empty when no label names it.
QString LinkedLabelText(const QWidget* field);
// A text as a name: "&" marks removed, "&&" read as "&".
QString StripMnemonic(const QString& text);

// Tells assistive tools that part index of control (a tab, a status panel, a row) has the
// focus, or a new name; and that control's value changed. Nothing happens while no tool listens.
void AnnounceFocusedPart(QWidget* control, int index);
void AnnouncePartNameChanged(QWidget* control, int index);
void AnnounceValueChanged(QWidget* control, const QVariant& value);
