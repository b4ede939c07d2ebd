#include "skin/suiaccessible.h"

#include "skin/suibutton.h"
#include "skin/suicombobox.h"
#include "skin/suiedit.h"
#include "skin/suiform.h"
#include "skin/suigroupbox.h"
#include "skin/suiimagepanel.h"
#include "skin/suilistbox.h"
#include "skin/suimemo.h"
#include "skin/suipagecontrol.h"
#include "skin/suiscrollbar.h"
#include "skin/suistatusbar.h"
#include "skin/suitabcontrol.h"
#include "skin/suititlebar.h"
#include "skin/suiurllabel.h"

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QAbstractSlider>
#include <QAccessibleWidget>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPointer>
#include <QRadioButton>
#include <QTextCursor>
#include <QWindow>
#include <algorithm>
#include <memory>
#include <vector>

QString StripMnemonic(const QString& text)
{
    QString name;
    name.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text.at(i) == u'&') {
            if (i + 1 < text.size() && text.at(i + 1) == u'&')
                name += u'&';
            else
                continue;
            ++i;
            continue;
        }
        name += text.at(i);
    }
    return name;
}

QString LinkedLabelText(const QWidget* field)
{
    if (!field || !field->parentWidget()) return {};
    for (QObject* sibling : field->parentWidget()->children()) {
        const auto* label = qobject_cast<QLabel*>(sibling);
        if (label && label->buddy() == field) return StripMnemonic(label->text());
    }
    return {};
}

void AnnounceFocusedPart(QWidget* control, int index)
{
    if (!QAccessible::isActive() || !control || index < 0) return;
    QAccessibleEvent event(control, QAccessible::Focus);
    event.setChild(index);
    QAccessible::updateAccessibility(&event);
}

void AnnouncePartNameChanged(QWidget* control, int index)
{
    if (!QAccessible::isActive() || !control || index < 0) return;
    QAccessibleEvent event(control, QAccessible::NameChanged);
    event.setChild(index);
    QAccessible::updateAccessibility(&event);
}

void AnnounceValueChanged(QWidget* control, const QVariant& value)
{
    if (!QAccessible::isActive() || !control) return;
    QAccessibleValueChangeEvent event(control, value);
    QAccessible::updateAccessibility(&event);
}

namespace {

QString CaptionProperty(const QObject* object)
{
    const QVariant caption = object->property("Caption");
    return caption.canConvert<QString>() ? StripMnemonic(caption.toString()) : QString();
}

QRect ToScreen(const QWidget* widget, QRect local)
{
    return local.isValid() ? QRect(widget->mapToGlobal(local.topLeft()), local.size()) : QRect();
}

// ---------------------------------------------------------------------------------------------
// Parts: the pieces a control draws itself (tabs, title bar buttons, status panels, rows), each
// a child interface without an object of its own. The control's interface describes them; the
// part interfaces are made on demand, kept while the control's parts stay the same, and freed
// with it.

class TsuiAccessibleParts
{
public:
    virtual ~TsuiAccessibleParts() { ForgetParts(); }

    virtual int PartCount() const = 0;
    virtual QAccessible::Role PartRole(int index) const = 0;
    virtual QString PartText(int index, QAccessible::Text text) const = 0;
    // In the control's coordinates.
    virtual QRect PartRect(int index) const = 0;
    virtual QAccessible::State PartState(int index) const = 0;
    virtual QStringList PartActions(int) const { return {}; }
    virtual void DoPartAction(int, const QString&) {}
    virtual QWidget* PartOwner() const = 0;

    QAccessibleInterface* Part(int index) const;
    int IndexOfPart(const QAccessibleInterface* part) const
    {
        for (size_t i = 0; i < FIds.size(); ++i)
            if (FIds[i] && QAccessible::accessibleInterface(FIds[i]) == part) return int(i);
        return -1;
    }
    // The parts changed (rows replaced, tabs renamed): interfaces handed out before are gone.
    void ForgetParts()
    {
        const std::vector<QAccessible::Id> ids = std::move(FIds);
        FIds.clear();
        for (QAccessible::Id id : ids)
            if (id) QAccessible::deleteAccessibleInterface(id);
    }

private:
    mutable std::vector<QAccessible::Id> FIds; // by part index; 0 not made yet
};

class TsuiAccessiblePart : public QAccessibleInterface, public QAccessibleActionInterface
{
public:
    TsuiAccessiblePart(QWidget* owner, int index) : FOwner(owner), FIndex(index) {}

    bool isValid() const override { return Parts() != nullptr; }
    QObject* object() const override { return nullptr; }
    QWindow* window() const override { return FOwner ? FOwner->window()->windowHandle() : nullptr; }
    QAccessibleInterface* parent() const override
    {
        return FOwner ? QAccessible::queryAccessibleInterface(FOwner) : nullptr;
    }
    QAccessibleInterface* child(int) const override { return nullptr; }
    int childCount() const override { return 0; }
    int indexOfChild(const QAccessibleInterface*) const override { return -1; }
    QAccessibleInterface* childAt(int, int) const override { return nullptr; }
    QAccessibleInterface* focusChild() const override { return nullptr; }
    QString text(QAccessible::Text t) const override
    {
        const TsuiAccessibleParts* parts = Parts();
        return parts ? parts->PartText(FIndex, t) : QString();
    }
    void setText(QAccessible::Text, const QString&) override {}
    QRect rect() const override
    {
        const TsuiAccessibleParts* parts = Parts();
        return parts ? ToScreen(FOwner, parts->PartRect(FIndex)) : QRect();
    }
    QAccessible::Role role() const override
    {
        const TsuiAccessibleParts* parts = Parts();
        return parts ? parts->PartRole(FIndex) : QAccessible::NoRole;
    }
    QAccessible::State state() const override
    {
        const TsuiAccessibleParts* parts = Parts();
        QAccessible::State state;
        if (!parts) {
            state.invalid = true;
            return state;
        }
        state = parts->PartState(FIndex);
        if (!FOwner->isEnabled()) state.disabled = true;
        if (!FOwner->isVisible()) state.invisible = true;
        return state;
    }
    void* interface_cast(QAccessible::InterfaceType type) override
    {
        if (type == QAccessible::ActionInterface)
            return static_cast<QAccessibleActionInterface*>(this);
        return nullptr;
    }
    QStringList actionNames() const override
    {
        const TsuiAccessibleParts* parts = Parts();
        return parts ? parts->PartActions(FIndex) : QStringList();
    }
    void doAction(const QString& name) override
    {
        if (TsuiAccessibleParts* parts = Parts(); parts && actionNames().contains(name))
            parts->DoPartAction(FIndex, name);
    }
    QStringList keyBindingsForAction(const QString&) const override { return {}; }

private:
    TsuiAccessibleParts* Parts() const
    {
        if (!FOwner) return nullptr;
        auto* parts =
            dynamic_cast<TsuiAccessibleParts*>(QAccessible::queryAccessibleInterface(FOwner));
        return parts && FIndex < parts->PartCount() ? parts : nullptr;
    }

    QPointer<QWidget> FOwner;
    int FIndex;
};

QAccessibleInterface* TsuiAccessibleParts::Part(int index) const
{
    if (index < 0 || index >= PartCount()) return nullptr;
    if (FIds.size() <= size_t(index)) FIds.resize(size_t(index) + 1, 0);
    if (!FIds[size_t(index)])
        FIds[size_t(index)] =
            QAccessible::registerAccessibleInterface(new TsuiAccessiblePart(PartOwner(), index));
    return QAccessible::accessibleInterface(FIds[size_t(index)]);
}

// ---------------------------------------------------------------------------------------------
// The base of every skinned control's interface. The name is, in this order: the name a program
// set, the control's own text (caption), the label the form links to it, its tooltip, and the
// caption of the panel or window around it; a tooltip not used as the name is the description.

class TsuiAccessibleControl : public QAccessibleWidget
{
public:
    TsuiAccessibleControl(QWidget* widget, QAccessible::Role role) : QAccessibleWidget(widget, role)
    {
    }

    // A Qt part of a skinned control (a combo box's edit field) carries that control's name.
    void SetNamedBy(QWidget* owner) { FNamedBy = owner; }

    QString text(QAccessible::Text t) const override
    {
        switch (t) {
        case QAccessible::Name:
            return Name();
        case QAccessible::Description: {
            const QString description = widget()->accessibleDescription();
            if (!description.isEmpty()) return description;
            const QString tip = widget()->toolTip();
            return tip == Name() ? QString() : tip;
        }
        case QAccessible::Value:
            return Value();
        default:
            return QAccessibleWidget::text(t);
        }
    }
    QAccessibleInterface* parent() const override
    {
        if (FNamedBy) return QAccessible::queryAccessibleInterface(FNamedBy);
        return QAccessibleWidget::parent();
    }

protected:
    // The control's own text that names it; empty for fields, whose text is their value.
    virtual QString OwnText() const { return CaptionProperty(widget()); }
    virtual QString Value() const { return {}; }

    QString Name() const
    {
        if (FNamedBy)
            if (QAccessibleInterface* owner = QAccessible::queryAccessibleInterface(FNamedBy))
                return owner->text(QAccessible::Name);
        for (const QString& name : {widget()->accessibleName(), OwnText(),
                                    LinkedLabelText(widget()), widget()->toolTip()})
            if (!name.trimmed().isEmpty()) return name;
        return EnclosingCaption();
    }

private:
    // A control without a label of its own is named by the panel, group box or skinned window
    // it sits in (the session log's view is the session log).
    QString EnclosingCaption() const
    {
        const QWidget* parent = widget()->parentWidget();
        if (qobject_cast<const TsuiPanel*>(parent) ||
            qobject_cast<const TsuiCustomGroupBox*>(parent) ||
            qobject_cast<const TsuiForm*>(parent))
            return CaptionProperty(parent);
        return {};
    }

    QPointer<QWidget> FNamedBy;
};

// A container or any other skinned control without a role of its own.
class TsuiAccessibleGeneric : public TsuiAccessibleControl
{
public:
    using TsuiAccessibleControl::TsuiAccessibleControl;
};

// A label, named by its text.
class TsuiAccessibleLabel : public TsuiAccessibleControl
{
public:
    explicit TsuiAccessibleLabel(QWidget* widget)
        : TsuiAccessibleControl(widget, QAccessible::StaticText)
    {
    }

protected:
    QString OwnText() const override
    {
        return StripMnemonic(static_cast<QLabel*>(widget())->text());
    }
};

// The link label: pressed, it opens its address.
class TsuiAccessibleLink : public TsuiAccessibleLabel
{
public:
    explicit TsuiAccessibleLink(TsuiURLLabel* label) : TsuiAccessibleLabel(label) {}

    QAccessible::Role role() const override { return QAccessible::Link; }
    QString text(QAccessible::Text t) const override
    {
        const QString text = TsuiAccessibleLabel::text(t);
        if (t == QAccessible::Description && text.isEmpty()) {
            const QString url = static_cast<TsuiURLLabel*>(widget())->URL();
            return url == Name() ? QString() : url;
        }
        return text;
    }
    QAccessible::State state() const override
    {
        QAccessible::State state = TsuiAccessibleLabel::state();
        state.linked = true;
        return state;
    }
    QStringList actionNames() const override
    {
        return QStringList{pressAction()} + TsuiAccessibleLabel::actionNames();
    }
    void doAction(const QString& name) override
    {
        if (name == pressAction())
            static_cast<TsuiURLLabel*>(widget())->Click();
        else
            TsuiAccessibleLabel::doAction(name);
    }
};

// Push buttons, check boxes and radio buttons; pressing clicks them as the mouse does.
class TsuiAccessibleButton : public TsuiAccessibleControl
{
public:
    explicit TsuiAccessibleButton(QAbstractButton* button)
        : TsuiAccessibleControl(button, RoleOf(button))
    {
    }

    QAccessible::State state() const override
    {
        QAccessible::State state = TsuiAccessibleControl::state();
        const QAbstractButton* b = button();
        const auto* skinned = qobject_cast<const TsuiCustomButton*>(b);
        state.pressed = b->isDown() || (skinned && skinned->MouseDown());
        if (b->isCheckable()) {
            state.checkable = true;
            state.checked = b->isChecked();
        }
        if (skinned && skinned->Default()) state.defaultButton = true;
        return state;
    }
    QStringList actionNames() const override
    {
        QStringList names{pressAction()};
        if (button()->isCheckable()) names << toggleAction();
        return names + TsuiAccessibleControl::actionNames();
    }
    void doAction(const QString& name) override
    {
        if (!widget()->isEnabled()) return;
        if (name == pressAction() || name == toggleAction()) {
            if (auto* skinned = qobject_cast<TsuiCustomButton*>(button()))
                skinned->Click();
            else
                button()->click();
            return;
        }
        TsuiAccessibleControl::doAction(name);
    }
    QStringList keyBindingsForAction(const QString& name) const override
    {
        if (name == pressAction())
            if (auto* skinned = qobject_cast<const TsuiCustomButton*>(button()))
                if (const QChar key = skinned->Accelerator(); !key.isNull())
                    return {QStringLiteral("Alt+") + key.toUpper()};
        return TsuiAccessibleControl::keyBindingsForAction(name);
    }

protected:
    QString OwnText() const override { return StripMnemonic(button()->text()); }

private:
    static QAccessible::Role RoleOf(const QAbstractButton* button)
    {
        if (qobject_cast<const QCheckBox*>(button)) return QAccessible::CheckBox;
        if (qobject_cast<const QRadioButton*>(button)) return QAccessible::RadioButton;
        return QAccessible::Button;
    }
    QAbstractButton* button() const { return static_cast<QAbstractButton*>(widget()); }
};

// The one-line edit and the memo: the text with its cursor and selection, editable unless
// read-only. A password field gives only its mask.
class TsuiAccessibleTextField : public TsuiAccessibleControl,
                                public QAccessibleTextInterface,
                                public QAccessibleEditableTextInterface
{
public:
    explicit TsuiAccessibleTextField(QWidget* field)
        : TsuiAccessibleControl(field, QAccessible::EditableText)
    {
    }

    QAccessible::State state() const override
    {
        QAccessible::State state = TsuiAccessibleControl::state();
        state.editable = !ReadOnly();
        state.readOnly = ReadOnly();
        state.selectableText = true;
        if (Plain()) state.multiLine = true;
        if (const QLineEdit* edit = Line())
            state.passwordEdit = edit->echoMode() != QLineEdit::Normal;
        return state;
    }
    // Its text is its content, not something to walk into.
    int childCount() const override { return 0; }
    QAccessibleInterface* child(int) const override { return nullptr; }
    int indexOfChild(const QAccessibleInterface*) const override { return -1; }
    QAccessibleInterface* childAt(int, int) const override { return nullptr; }
    void* interface_cast(QAccessible::InterfaceType type) override
    {
        if (type == QAccessible::TextInterface) return static_cast<QAccessibleTextInterface*>(this);
        if (type == QAccessible::EditableTextInterface && !ReadOnly())
            return static_cast<QAccessibleEditableTextInterface*>(this);
        return TsuiAccessibleControl::interface_cast(type);
    }

    // QAccessibleTextInterface
    void selection(int selectionIndex, int* startOffset, int* endOffset) const override
    {
        *startOffset = *endOffset = 0;
        if (selectionIndex != 0) return;
        if (const QLineEdit* edit = Line()) {
            if (!edit->hasSelectedText()) return;
            *startOffset = edit->selectionStart();
            *endOffset = edit->selectionEnd();
        } else if (const QPlainTextEdit* memo = Plain()) {
            const QTextCursor cursor = memo->textCursor();
            *startOffset = cursor.selectionStart();
            *endOffset = cursor.selectionEnd();
        }
    }
    int selectionCount() const override
    {
        if (const QLineEdit* edit = Line()) return edit->hasSelectedText() ? 1 : 0;
        return Plain()->textCursor().hasSelection() ? 1 : 0;
    }
    void addSelection(int startOffset, int endOffset) override
    {
        setSelection(0, startOffset, endOffset);
    }
    void removeSelection(int selectionIndex) override
    {
        if (selectionIndex != 0) return;
        if (QLineEdit* edit = Line())
            edit->deselect();
        else if (QPlainTextEdit* memo = Plain()) {
            QTextCursor cursor = memo->textCursor();
            cursor.clearSelection();
            memo->setTextCursor(cursor);
        }
    }
    void setSelection(int selectionIndex, int startOffset, int endOffset) override
    {
        if (selectionIndex != 0) return;
        startOffset = Clamped(startOffset);
        endOffset = Clamped(endOffset);
        if (QLineEdit* edit = Line())
            edit->setSelection(startOffset, endOffset - startOffset);
        else if (QPlainTextEdit* memo = Plain()) {
            QTextCursor cursor = memo->textCursor();
            cursor.setPosition(startOffset);
            cursor.setPosition(endOffset, QTextCursor::KeepAnchor);
            memo->setTextCursor(cursor);
        }
    }
    int cursorPosition() const override
    {
        if (const QLineEdit* edit = Line()) return edit->cursorPosition();
        return Plain()->textCursor().position();
    }
    void setCursorPosition(int position) override
    {
        position = Clamped(position);
        if (QLineEdit* edit = Line())
            edit->setCursorPosition(position);
        else if (QPlainTextEdit* memo = Plain()) {
            QTextCursor cursor = memo->textCursor();
            cursor.setPosition(position);
            memo->setTextCursor(cursor);
        }
    }
    QString text(int startOffset, int endOffset) const override
    {
        startOffset = Clamped(startOffset);
        endOffset = Clamped(endOffset);
        return endOffset > startOffset ? Content().mid(startOffset, endOffset - startOffset)
                                       : QString();
    }
    int characterCount() const override { return int(Content().size()); }
    QRect characterRect(int offset) const override
    {
        offset = Clamped(offset);
        const QFontMetrics metrics = widget()->fontMetrics();
        const QString content = Content();
        const int width =
            offset < content.size() ? metrics.horizontalAdvance(content.at(offset)) : 1;
        if (const QLineEdit* edit = Line()) {
            // Where the text starts inside the field; a scrolled field is not accounted for.
            const QRect area = edit->contentsRect().marginsRemoved(edit->textMargins());
            const int x = area.left() + 2 + metrics.horizontalAdvance(content.left(offset));
            const int y = area.top() + (area.height() - metrics.height()) / 2;
            return ToScreen(edit, QRect(x, y, width, metrics.height()));
        }
        const QPlainTextEdit* memo = Plain();
        QTextCursor cursor(memo->document());
        cursor.setPosition(offset);
        const QRect at = memo->cursorRect(cursor);
        return ToScreen(memo->viewport(), QRect(at.topLeft(), QSize(width, at.height())));
    }
    int offsetAtPoint(const QPoint& point) const override
    {
        if (QLineEdit* edit = Line()) return edit->cursorPositionAt(edit->mapFromGlobal(point));
        const QPlainTextEdit* memo = Plain();
        return memo->cursorForPosition(memo->viewport()->mapFromGlobal(point)).position();
    }
    void scrollToSubstring(int startIndex, int) override
    {
        setCursorPosition(startIndex);
        if (QPlainTextEdit* memo = Plain()) memo->ensureCursorVisible();
    }
    QString attributes(int offset, int* startOffset, int* endOffset) const override
    {
        *startOffset = *endOffset = offset;
        return {};
    }

    // QAccessibleEditableTextInterface
    void deleteText(int startOffset, int endOffset) override
    {
        replaceText(startOffset, endOffset, {});
    }
    void insertText(int offset, const QString& text) override { replaceText(offset, offset, text); }
    void replaceText(int startOffset, int endOffset, const QString& text) override
    {
        if (ReadOnly()) return;
        startOffset = Clamped(startOffset);
        endOffset = std::max(startOffset, Clamped(endOffset));
        if (QLineEdit* edit = Line()) {
            edit->setSelection(startOffset, endOffset - startOffset);
            edit->insert(text);
        } else if (QPlainTextEdit* memo = Plain()) {
            QTextCursor cursor = memo->textCursor();
            cursor.setPosition(startOffset);
            cursor.setPosition(endOffset, QTextCursor::KeepAnchor);
            cursor.insertText(text);
        }
    }

protected:
    QString OwnText() const override { return {}; }
    QString Value() const override { return Content(); }

private:
    QLineEdit* Line() const { return qobject_cast<QLineEdit*>(widget()); }
    QPlainTextEdit* Plain() const { return qobject_cast<QPlainTextEdit*>(widget()); }
    bool ReadOnly() const { return Line() ? Line()->isReadOnly() : Plain()->isReadOnly(); }
    // What the field shows: a password field's mask, never its text.
    QString Content() const { return Line() ? Line()->displayText() : Plain()->toPlainText(); }
    int Clamped(int offset) const { return std::clamp(offset, 0, characterCount()); }
};

// A list of rows: the list box, and a combo box's dropped list. Each row is a list item named
// by its text.
class TsuiAccessibleList : public TsuiAccessibleControl, public TsuiAccessibleParts
{
public:
    explicit TsuiAccessibleList(QAbstractItemView* view, QComboBox* combo = nullptr)
        : TsuiAccessibleControl(view, QAccessible::List), FCombo(combo)
    {
        if (combo) SetNamedBy(combo);
        Watch(view->model());
    }

    int childCount() const override { return PartCount(); }
    QAccessibleInterface* child(int index) const override { return Part(index); }
    int indexOfChild(const QAccessibleInterface* child) const override
    {
        return IndexOfPart(child);
    }
    QAccessibleInterface* childAt(int x, int y) const override
    {
        const QModelIndex index = view()->indexAt(view()->viewport()->mapFromGlobal(QPoint(x, y)));
        return index.isValid() ? Part(index.row()) : nullptr;
    }
    QAccessibleInterface* focusChild() const override
    {
        return view()->hasFocus() ? Part(view()->currentIndex().row()) : nullptr;
    }

    int PartCount() const override
    {
        const QAbstractItemModel* model = Model();
        return model ? model->rowCount(view()->rootIndex()) : 0;
    }
    QAccessible::Role PartRole(int) const override { return QAccessible::ListItem; }
    QString PartText(int index, QAccessible::Text text) const override
    {
        if (text != QAccessible::Name) return {};
        return Row(index).data(Qt::DisplayRole).toString();
    }
    QRect PartRect(int index) const override
    {
        const QRect row = view()->visualRect(Row(index));
        return row.translated(view()->viewport()->mapTo(view(), QPoint(0, 0)));
    }
    QAccessible::State PartState(int index) const override
    {
        QAccessible::State state;
        const QModelIndex row = Row(index);
        state.selectable = true;
        state.focusable = true;
        state.selected =
            FCombo ? FCombo->currentIndex() == index
                   : view()->selectionModel() && view()->selectionModel()->isSelected(row);
        state.focused = view()->hasFocus() && view()->currentIndex() == row;
        if (!(row.flags() & Qt::ItemIsEnabled)) state.disabled = true;
        if (!view()->viewport()->rect().intersects(view()->visualRect(row))) state.offscreen = true;
        return state;
    }
    QWidget* PartOwner() const override { return view(); }

private:
    QAbstractItemView* view() const { return static_cast<QAbstractItemView*>(widget()); }
    const QAbstractItemModel* Model() const { return view()->model(); }
    QModelIndex Row(int index) const
    {
        const auto* list = qobject_cast<const QListView*>(view());
        const int column = list ? list->modelColumn() : 0;
        return Model() ? Model()->index(index, column, view()->rootIndex()) : QModelIndex();
    }
    void Watch(QAbstractItemModel* model)
    {
        if (!model) return;
        FWatcher = std::make_unique<QObject>();
        const auto forget = [this] { ForgetParts(); };
        QObject::connect(model, &QAbstractItemModel::modelReset, FWatcher.get(), forget);
        QObject::connect(model, &QAbstractItemModel::layoutChanged, FWatcher.get(), forget);
        QObject::connect(model, &QAbstractItemModel::rowsInserted, FWatcher.get(), forget);
        QObject::connect(model, &QAbstractItemModel::rowsRemoved, FWatcher.get(), forget);
        QObject::connect(model, &QAbstractItemModel::rowsMoved, FWatcher.get(), forget);
    }

    QPointer<QComboBox> FCombo;
    std::unique_ptr<QObject> FWatcher; // ends the connections with the interface
};

// The combo box: named by its label, its chosen item is its value, its dropped list and (when
// editable) its edit field are its children.
class TsuiAccessibleComboBox : public TsuiAccessibleControl
{
public:
    explicit TsuiAccessibleComboBox(QComboBox* combo)
        : TsuiAccessibleControl(combo, QAccessible::ComboBox)
    {
    }

    int childCount() const override { return combo()->isEditable() ? 2 : 1; }
    QAccessibleInterface* child(int index) const override
    {
        if (index == 0) return QAccessible::queryAccessibleInterface(combo()->view());
        if (index == 1 && combo()->isEditable())
            return QAccessible::queryAccessibleInterface(combo()->lineEdit());
        return nullptr;
    }
    int indexOfChild(const QAccessibleInterface* child) const override
    {
        for (int i = 0; i < childCount(); ++i)
            if (this->child(i) == child) return i;
        return -1;
    }
    QAccessibleInterface* childAt(int, int) const override { return nullptr; }
    QAccessibleInterface* focusChild() const override
    {
        if (combo()->isEditable() && combo()->lineEdit()->hasFocus()) return child(1);
        return nullptr;
    }
    QAccessible::State state() const override
    {
        QAccessible::State state = TsuiAccessibleControl::state();
        state.hasPopup = true;
        const bool open = combo()->view()->isVisible();
        state.expandable = true;
        state.expanded = open;
        state.collapsed = !open;
        state.editable = combo()->isEditable();
        return state;
    }
    QStringList actionNames() const override
    {
        return QStringList{showMenuAction(), pressAction()} + TsuiAccessibleControl::actionNames();
    }
    void doAction(const QString& name) override
    {
        if (name == showMenuAction() || name == pressAction()) {
            if (combo()->view()->isVisible())
                combo()->hidePopup();
            else
                combo()->showPopup();
            return;
        }
        TsuiAccessibleControl::doAction(name);
    }

protected:
    QString OwnText() const override { return {}; }
    QString Value() const override { return combo()->currentText(); }

private:
    QComboBox* combo() const { return static_cast<QComboBox*>(widget()); }
};

// Value, range and steps of a scroll bar; the skinned bar or a Qt bar drawn as one.
class TsuiAccessibleScrollBar : public TsuiAccessibleControl, public QAccessibleValueInterface
{
public:
    explicit TsuiAccessibleScrollBar(QWidget* bar)
        : TsuiAccessibleControl(bar, QAccessible::ScrollBar)
    {
    }

    int childCount() const override { return 0; }
    QAccessibleInterface* child(int) const override { return nullptr; }
    int indexOfChild(const QAccessibleInterface*) const override { return -1; }
    QAccessibleInterface* childAt(int, int) const override { return nullptr; }
    void* interface_cast(QAccessible::InterfaceType type) override
    {
        if (type == QAccessible::ValueInterface)
            return static_cast<QAccessibleValueInterface*>(this);
        return TsuiAccessibleControl::interface_cast(type);
    }

    QVariant currentValue() const override
    {
        if (const TsuiScrollBar* bar = Skinned()) return bar->Position();
        return Slider()->value();
    }
    void setCurrentValue(const QVariant& value) override
    {
        if (TsuiScrollBar* bar = Skinned())
            bar->SetPosition(value.toInt());
        else
            Slider()->setValue(value.toInt());
    }
    QVariant maximumValue() const override
    {
        return Skinned() ? Skinned()->Max() : Slider()->maximum();
    }
    QVariant minimumValue() const override
    {
        return Skinned() ? Skinned()->Min() : Slider()->minimum();
    }
    QVariant minimumStepSize() const override
    {
        return Skinned() ? Skinned()->SmallChange() : Slider()->singleStep();
    }

protected:
    QString OwnText() const override
    {
        // A bar coupled to a list or memo carries that field's name; a free one says which
        // way it scrolls.
        if (QWidget* owner = CoupledOwner())
            if (QAccessibleInterface* iface = QAccessible::queryAccessibleInterface(owner))
                if (const QString name = iface->text(QAccessible::Name); !name.isEmpty())
                    return name;
        if (const QString label = LinkedLabelText(widget()); !label.isEmpty()) return label;
        if (!widget()->toolTip().isEmpty()) return widget()->toolTip();
        const bool vertical = Skinned() ? Skinned()->Orientation() == suiVertical
                                        : Slider()->orientation() == Qt::Vertical;
        return vertical ? QStringLiteral("Vertical scroll bar")
                        : QStringLiteral("Horizontal scroll bar");
    }
    QString Value() const override { return currentValue().toString(); }

private:
    TsuiScrollBar* Skinned() const { return qobject_cast<TsuiScrollBar*>(widget()); }
    QAbstractSlider* Slider() const { return static_cast<QAbstractSlider*>(widget()); }
    QWidget* CoupledOwner() const
    {
        const TsuiScrollBar* bar = Skinned();
        if (!bar || !bar->parentWidget()) return nullptr;
        for (QObject* sibling : bar->parentWidget()->children()) {
            if (auto* list = qobject_cast<TsuiListBox*>(sibling); list && list->VScrollBar() == bar)
                return list;
            if (auto* memo = qobject_cast<TsuiMemo*>(sibling);
                memo && (memo->VScrollBar() == bar || memo->HScrollBar() == bar))
                return memo;
        }
        return nullptr;
    }
};

// The tab strip: a page tab list whose tabs are selected by pressing them, as a click does.
class TsuiAccessibleTabStrip : public TsuiAccessibleControl, public TsuiAccessibleParts
{
public:
    explicit TsuiAccessibleTabStrip(TsuiTabControlTopPanel* strip)
        : TsuiAccessibleControl(strip, QAccessible::PageTabList)
    {
    }

    int childCount() const override { return PartCount(); }
    QAccessibleInterface* child(int index) const override { return Part(index); }
    int indexOfChild(const QAccessibleInterface* child) const override
    {
        return IndexOfPart(child);
    }
    QAccessibleInterface* focusChild() const override
    {
        return strip()->hasFocus() ? Part(strip()->TabIndex()) : nullptr;
    }

    int PartCount() const override { return int(strip()->Tabs().size()); }
    QAccessible::Role PartRole(int) const override { return QAccessible::PageTab; }
    QString PartText(int index, QAccessible::Text text) const override
    {
        return text == QAccessible::Name ? StripMnemonic(strip()->Tabs().value(index)) : QString();
    }
    QRect PartRect(int index) const override
    {
        for (const TsuiTabBox& box : strip()->Layout().Boxes)
            if (box.Index == index) return box.Rect.toQRect();
        return {};
    }
    QAccessible::State PartState(int index) const override
    {
        QAccessible::State state;
        state.selectable = true;
        state.focusable = strip()->focusPolicy() != Qt::NoFocus;
        state.selected = index == strip()->TabIndex();
        state.focused = state.selected && strip()->hasFocus();
        if (!strip()->TabVisibleAt(index))
            state.invisible = true;
        else if (PartRect(index).isNull())
            state.offscreen = true;
        return state;
    }
    QStringList PartActions(int) const override
    {
        return {QAccessibleActionInterface::pressAction()};
    }
    void DoPartAction(int index, const QString&) override
    {
        if (strip()->isEnabled()) strip()->ClickTab(index);
    }
    QWidget* PartOwner() const override { return strip(); }

protected:
    QString OwnText() const override { return {}; }

private:
    TsuiTabControlTopPanel* strip() const { return static_cast<TsuiTabControlTopPanel*>(widget()); }
};

// The title bar: its caption, its buttons, and the window menu.
class TsuiAccessibleTitleBar : public TsuiAccessibleControl, public TsuiAccessibleParts
{
public:
    // A pane: Linux's bridge would show the title bar role as a text field.
    explicit TsuiAccessibleTitleBar(TsuiTitleBar* bar)
        : TsuiAccessibleControl(bar, QAccessible::Pane)
    {
    }

    int childCount() const override { return PartCount() + 1; }
    QAccessibleInterface* child(int index) const override
    {
        if (index == PartCount()) return QAccessible::queryAccessibleInterface(bar()->WindowMenu());
        return Part(index);
    }
    int indexOfChild(const QAccessibleInterface* child) const override
    {
        if (child && child->object() == bar()->WindowMenu()) return PartCount();
        return IndexOfPart(child);
    }

    int PartCount() const override { return int(Buttons().size()); }
    QAccessible::Role PartRole(int index) const override
    {
        return Type(index) == TsuiTitleBarBtnType::suiControlBox ? QAccessible::ButtonMenu
                                                                 : QAccessible::Button;
    }
    QString PartText(int index, QAccessible::Text text) const override
    {
        if (text != QAccessible::Name) return {};
        const TsuiTitleBarPopupMenu* menu = bar()->WindowMenu();
        switch (Type(index)) {
        case TsuiTitleBarBtnType::suiClose:
            return StripMnemonic(menu->CloseItem->text());
        case TsuiTitleBarBtnType::suiMin:
            return StripMnemonic(menu->MinimizeItem->text());
        case TsuiTitleBarBtnType::suiMax: {
            // The item reads "Maximize/Restore"; the button does one of the two.
            const QStringList both = StripMnemonic(menu->MaximizeItem->text()).split(u'/');
            return IsSkinnedMaximized(bar()->window()) ? both.value(1, both.first()) : both.first();
        }
        case TsuiTitleBarBtnType::suiControlBox:
            return menu->accessibleName();
        case TsuiTitleBarBtnType::suiHelp:
            return QStringLiteral("Help");
        case TsuiTitleBarBtnType::suiCustom:
            break;
        }
        return QStringLiteral("Button %1").arg(index + 1);
    }
    QRect PartRect(int index) const override { return Buttons().at(size_t(index)).Rect.toQRect(); }
    QAccessible::State PartState(int index) const override
    {
        QAccessible::State state;
        if (Type(index) == TsuiTitleBarBtnType::suiControlBox) state.hasPopup = true;
        state.hotTracked = bar()->HotIndex() == Buttons().at(size_t(index)).Index;
        return state;
    }
    QStringList PartActions(int index) const override
    {
        if (Type(index) == TsuiTitleBarBtnType::suiControlBox)
            return {QAccessibleActionInterface::showMenuAction(),
                    QAccessibleActionInterface::pressAction()};
        return {QAccessibleActionInterface::pressAction()};
    }
    void DoPartAction(int index, const QString&) override
    {
        bar()->DoClick(Buttons().at(size_t(index)).Index);
    }
    QWidget* PartOwner() const override { return bar(); }

protected:
    QString OwnText() const override { return bar()->Caption(); }

private:
    TsuiTitleBar* bar() const { return static_cast<TsuiTitleBar*>(widget()); }
    // The drawn buttons, the control box first, then the row from the right.
    std::vector<TsuiTitleBarLayout::Button> Buttons() const
    {
        const TsuiTitleBarLayout layout = bar()->Layout(std::nullopt);
        std::vector<TsuiTitleBarLayout::Button> buttons;
        if (layout.ControlBox) buttons.push_back(*layout.ControlBox);
        buttons.insert(buttons.end(), layout.Buttons.begin(), layout.Buttons.end());
        return buttons;
    }
    TsuiTitleBarBtnType Type(int index) const
    {
        return bar()->Buttons().Items(Buttons().at(size_t(index)).Index)->ButtonType();
    }
};

// The status bar: its panels are labels with their texts.
class TsuiAccessibleStatusBar : public TsuiAccessibleControl, public TsuiAccessibleParts
{
public:
    explicit TsuiAccessibleStatusBar(TsuiStatusBar* bar)
        : TsuiAccessibleControl(bar, QAccessible::StatusBar)
    {
    }

    int childCount() const override { return PartCount(); }
    QAccessibleInterface* child(int index) const override { return Part(index); }
    int indexOfChild(const QAccessibleInterface* child) const override
    {
        return IndexOfPart(child);
    }

    int PartCount() const override { return bar()->PanelCount(); }
    QAccessible::Role PartRole(int) const override { return QAccessible::StaticText; }
    QString PartText(int index, QAccessible::Text text) const override
    {
        return text == QAccessible::Name ? bar()->PanelText(index) : QString();
    }
    QRect PartRect(int index) const override { return bar()->PanelRect(index); }
    QAccessible::State PartState(int) const override { return {}; }
    QWidget* PartOwner() const override { return bar(); }

protected:
    // What the panels say, as one text.
    QString OwnText() const override
    {
        QStringList texts;
        for (int i = 0; i < bar()->PanelCount(); ++i)
            if (!bar()->PanelText(i).trimmed().isEmpty()) texts << bar()->PanelText(i).trimmed();
        return texts.join(u' ');
    }

private:
    TsuiStatusBar* bar() const { return static_cast<TsuiStatusBar*>(widget()); }
};

// A window framed by the skin: a frame for assistive tools, whose children are its controls
// (the overlay that paints the skinned border is no control).
class TsuiAccessibleWindow : public QAccessibleWidget
{
public:
    explicit TsuiAccessibleWindow(QWidget* window) : QAccessibleWidget(window, QAccessible::Window)
    {
    }

    int childCount() const override { return int(Controls().size()); }
    QAccessibleInterface* child(int index) const override
    {
        const QList<QWidget*> controls = Controls();
        return index >= 0 && index < controls.size()
                   ? QAccessible::queryAccessibleInterface(controls.at(index))
                   : nullptr;
    }
    int indexOfChild(const QAccessibleInterface* child) const override
    {
        return child ? int(Controls().indexOf(qobject_cast<QWidget*>(child->object()))) : -1;
    }

private:
    QList<QWidget*> Controls() const
    {
        QList<QWidget*> controls;
        for (QObject* o : widget()->children()) {
            auto* w = qobject_cast<QWidget*>(o);
            if (w && !w->isWindow() && !qobject_cast<QMenu*>(w) &&
                w->objectName() != QLatin1String("suiFormFrame"))
                controls << w;
        }
        return controls;
    }
};

// The skinned combo box that a Qt widget is the edit field or dropped list of, else null. Asked
// while the combo box is still putting them in place, so by parentage alone: the edit field is
// the box's child, the list its child at first and then its popup's.
QComboBox* SkinnedComboOf(QWidget* widget)
{
    QWidget* parent = widget->parentWidget();
    if (!parent) return nullptr;
    if (qobject_cast<QLineEdit*>(widget)) return qobject_cast<TsuiComboBox*>(parent);
    if (!qobject_cast<QAbstractItemView*>(widget)) return nullptr;
    if (auto* combo = qobject_cast<TsuiComboBox*>(parent)) return combo;
    return parent->isWindow() ? qobject_cast<TsuiComboBox*>(parent->parentWidget()) : nullptr;
}

QAccessibleInterface* ForSkinnedControl(QWidget* w)
{
    // Qt's menu interface already names and presses every item.
    if (qobject_cast<QMenu*>(w)) return nullptr;
    if (auto* bar = qobject_cast<TsuiTitleBar*>(w)) return new TsuiAccessibleTitleBar(bar);
    if (auto* strip = qobject_cast<TsuiTabControlTopPanel*>(w))
        return new TsuiAccessibleTabStrip(strip);
    if (auto* bar = qobject_cast<TsuiStatusBar*>(w)) return new TsuiAccessibleStatusBar(bar);
    if (qobject_cast<TsuiScrollBar*>(w) || qobject_cast<QAbstractSlider*>(w))
        return new TsuiAccessibleScrollBar(w);
    if (auto* combo = qobject_cast<QComboBox*>(w)) return new TsuiAccessibleComboBox(combo);
    if (qobject_cast<QLineEdit*>(w) || qobject_cast<QPlainTextEdit*>(w))
        return new TsuiAccessibleTextField(w);
    if (auto* view = qobject_cast<QAbstractItemView*>(w)) return new TsuiAccessibleList(view);
    if (auto* button = qobject_cast<QAbstractButton*>(w)) return new TsuiAccessibleButton(button);
    if (auto* link = qobject_cast<TsuiURLLabel*>(w)) return new TsuiAccessibleLink(link);
    if (qobject_cast<QLabel*>(w)) return new TsuiAccessibleLabel(w);
    if (qobject_cast<TsuiCustomGroupBox*>(w) || qobject_cast<TsuiPanel*>(w))
        return new TsuiAccessibleGeneric(w, QAccessible::Grouping);
    // Pages, the frame, the channel of a scroll bar and whatever comes next: panes named by
    // their captions.
    return new TsuiAccessibleGeneric(w, QAccessible::Pane);
}

} // namespace

QAccessibleInterface* SkinAccessibleFactory(const QString& className, QObject* object)
{
    auto* widget = qobject_cast<QWidget*>(object);
    if (!widget) return nullptr;
    if (className.startsWith(QLatin1String("Tsui"))) return ForSkinnedControl(widget);
    if (widget->isWindow() && widget->findChild<TsuiForm*>(QString(), Qt::FindDirectChildrenOnly))
        return new TsuiAccessibleWindow(widget);
    if (QComboBox* combo = SkinnedComboOf(widget)) {
        if (auto* view = qobject_cast<QAbstractItemView*>(widget))
            return new TsuiAccessibleList(view, combo);
        auto* field = new TsuiAccessibleTextField(widget);
        field->SetNamedBy(combo);
        return field;
    }
    return nullptr;
}

void InstallSkinAccessibility()
{
    static bool installed = false;
    if (installed) return;
    installed = true;
    QAccessible::installFactory(&SkinAccessibleFactory);
}
