#pragma once
// The skinned combo box: Qt's combo box with a flat look painted over it: two border rings, a
// flat drop button with a small arrow, and a one-pixel frame around the dropped list.
#include "framework/trect.h"
#include "skin/suiedit.h"
#include "skin/suiscrollbar.h"

#include <QComboBox>
#include <QPointer>

// Where the skin goes, from the client rectangle and the drop button Qt's style reports.
struct TComboBoxLayout
{
    TRect Client;
    TRect Field;  // the text area of a pick-only box: inside the band, beside the button
    TRect Button; // the style's button, kept inside the two-pixel border band
    int SeparatorX = 0;
    QPoint Arrow;       // top-left corner of the arrow triangle
    bool Valid = false; // false: the style reports no button and the skin is left out
};
TComboBoxLayout ComboBoxLayout(TRect Client, TRect SystemButton, bool RightToLeft);

// The state the skin is painted from.
struct TComboBoxLook
{
    TsuiUIStyle UIStyle = TsuiUIStyle::DeepBlue;
    bool Enabled = true;
    TColor BorderColor = clBlack;
    TColor Color = clWindow;
    TColor ButtonColor = clBtnFace;
    TColor ArrowColor = clBlack;
};

// The down arrow: seven pixels wide at the top, four rows high, its top-left corner at At.
// Disabled: grey over a white copy one pixel right and down.
void DrawComboArrow(QPainter& Canvas, QPoint At, bool Enabled, TColor ArrowColor);
// The two rings, the flat button (or the style's button artwork) and the arrow.
void PaintComboBoxSkin(QPainter& Canvas, const TComboBoxLook& Look, const TComboBoxLayout& Layout);

class TsuiComboBox : public TsuiFieldControl<QComboBox>
{
    Q_OBJECT
    Q_PROPERTY(QObject* FileTheme READ FileTheme WRITE SetFileTheme)
    Q_PROPERTY(TsuiUIStyle UIStyle READ UIStyle WRITE SetUIStyle)
    Q_PROPERTY(TColor BorderColor READ BorderColor WRITE SetBorderColor)
    Q_PROPERTY(TColor ArrowColor READ ArrowColor WRITE SetArrowColor)
    Q_PROPERTY(TColor ButtonColor READ ButtonColor WRITE SetButtonColor)
    Q_PROPERTY(TColor Color READ Color WRITE SetColor)
    Q_PROPERTY(TComboBoxStyle Style READ Style WRITE SetStyle)
    Q_PROPERTY(int ItemHeight MEMBER FItemHeight)
    Q_PROPERTY(int ItemIndex READ ItemIndex WRITE SetItemIndex)
    Q_PROPERTY(int DropDownCount READ DropDownCount WRITE SetDropDownCount)

public:
    // csDropDown: an edit field with a list; csSimple: an edit field, drawn all by Qt;
    // csDropDownList: pick from the list only.
    enum TComboBoxStyle { csDropDown, csSimple, csDropDownList };
    Q_ENUM(TComboBoxStyle)

    explicit TsuiComboBox(QWidget* parent = nullptr);

    TColor ButtonColor() const { return FButtonColor; }
    void SetButtonColor(TColor color);
    TColor ArrowColor() const { return FArrowColor; }
    void SetArrowColor(TColor color);
    TComboBoxStyle Style() const;
    void SetStyle(TComboBoxStyle style);
    int ItemIndex() const { return currentIndex(); }
    // A stored index may name an item that is added later; Loaded applies it.
    void SetItemIndex(int index);
    // Runs what the end of loading does: selects the stored item index.
    Q_INVOKABLE void Loaded();
    // Rows the dropped list shows before it scrolls.
    int DropDownCount() const { return maxVisibleItems(); }
    void SetDropDownCount(int count) { setMaxVisibleItems(count); }

    // The skin's geometry for the current size, style and direction.
    TComboBoxLayout Layout() const;
    // Where the box shows the chosen item's text: the pick-only field's text area, or the
    // editable field's line less the edit's own margins.
    TRect TextRect() const;
    // The width an item's text has in a row of the dropped list, with the list's scroll bar
    // counted while the items outnumber DropDownCount.
    int ListTextWidth() const;
    // The dropped list's scroll bar, drawn in the box's look.
    TsuiSkinnedQtScrollBar* ListScrollBar() const { return FListScrollBar; }
    // The popup shows a BorderColor frame while it is open.
    void showPopup() override;
    // After the list closes the parent repaints, wiping anything the open list left behind.
    void hidePopup() override;

protected:
    QPalette::ColorRole ColorRole() const override { return QPalette::Base; }
    // ArrowColor back to black; border and button colours from the style.
    void UIStyleChanged() override;
    // Qt's own combo box; a pick-only box then shows its text on a flat field in Color.
    void paintEvent(QPaintEvent* event) override;
    void PaintSkin(QPainter& canvas) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void PaintPickOnlyField(QPainter& canvas, TRect field);
    static TRect PickOnlyTextRect(TRect field);
    // Typed text only ever picks an entry: text that names none gives way to the chosen one.
    void TypedTextFinished();

    TColor FButtonColor = clBtnFace;
    TColor FArrowColor = clBlack;
    TComboBoxStyle FStyle = csDropDown;
    int FItemHeight = 13;
    int FStoredItemIndex = -1;
    QPointer<QWidget> FFramedPopup;
    QPointer<TsuiSkinnedQtScrollBar> FListScrollBar;
};
