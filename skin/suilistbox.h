#pragma once
// The skinned list box: the two-ring border band, owner-drawn rows of a fixed height with their
// own selection and disabled colours, and Qt's vertical scroll bar when the rows overflow.
#include "skin/suiedit.h"
#include "skin/suiscrollbar.h"

#include <QAbstractListModel>
#include <QByteArray>
#include <QFont>
#include <QListView>

#include <vector>

// Everything one list row is painted from, gathered by the list.
struct TListItemLook
{
    QString Text;
    QFont Font;
    TColor Background = clWindow;
    TColor TextColor = clWindowText;
    Qt::Alignment Alignment = Qt::AlignLeft; // AlignLeft, AlignRight or AlignHCenter
    bool RightToLeft = false;                // the 2-pixel gap moves to the right
    bool FocusRect = false;
    bool HasText = true; // false for the empty focused list's placeholder row
};

// Where a row's text goes: the row narrowed by 2 pixels on its leading side.
TRect ListItemTextRect(TRect Item, bool RightToLeft);
// Fills the row, draws its text on one line, vertically centred, & shown as itself; then the
// focus rectangle.
void PaintListItem(QPainter& Canvas, const TListItemLook& Look, TRect Item);

// One row of a list: a stretch of the list's UTF-8 text.
struct TListRowSpan
{
    qsizetype Start = 0;
    qsizetype Length = 0;
};

// The rows of a list box, kept compactly: one UTF-8 buffer and a span per row, decoded only
// when a row is painted or asked for, so a list of a few hundred thousand rows costs about
// its bytes. Rows longer than MaxShownBytes show their start and a mark.
class TsuiListRows : public QAbstractListModel
{
    Q_OBJECT

public:
    // Display text of a row is cut after this many bytes; the bytes stay whole in the list.
    static constexpr qsizetype MaxShownBytes = 1024;

    using QAbstractListModel::QAbstractListModel;

    int rowCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

    // Replaces every row: Text (taken, not copied) cut at Rows.
    void Reset(QByteArray text, std::vector<TListRowSpan> rows);
    void Append(const QStringList& rows);
    // The whole text of a row, however long.
    QString Text(int row) const;
    // What the row shows: its text, cut after MaxShownBytes with "… (N more bytes)".
    QString ShownText(int row) const;
    bool IsEnabled(int row) const;
    void SetEnabled(int row, bool enabled);

private:
    QByteArrayView Bytes(int row) const;

    QByteArray FText;
    std::vector<TListRowSpan> FRows;
    std::vector<bool> FDisabled; // empty while every row is enabled
};

class TsuiListBox : public TsuiFieldControl<QListView>
{
    Q_OBJECT
    Q_PROPERTY(QObject* FileTheme READ FileTheme WRITE SetFileTheme)
    Q_PROPERTY(TsuiUIStyle UIStyle READ UIStyle WRITE SetUIStyle)
    Q_PROPERTY(TColor BorderColor READ BorderColor WRITE SetBorderColor)
    Q_PROPERTY(TColor Color READ Color WRITE SetColor)
    Q_PROPERTY(TColor FontColor READ FontColor WRITE SetFontColor)
    Q_PROPERTY(TAlignment Alignment READ Alignment WRITE SetAlignment)
    Q_PROPERTY(TColor SelectedColor READ SelectedColor WRITE SetSelectedColor)
    Q_PROPERTY(TColor SelectedTextColor READ SelectedTextColor WRITE SetSelectedTextColor)
    Q_PROPERTY(TColor DisabledTextColor READ DisabledTextColor WRITE SetDisabledTextColor)
    Q_PROPERTY(bool ShowFocusRect READ ShowFocusRect WRITE SetShowFocusRect)
    Q_PROPERTY(TListBoxStyle Style READ Style WRITE SetStyle)
    Q_PROPERTY(int ItemHeight READ ItemHeight WRITE SetItemHeight)
    Q_PROPERTY(QStringList Items READ Items WRITE SetItems)
    Q_PROPERTY(TsuiScrollBar* VScrollBar READ VScrollBar WRITE SetVScrollBar)

public:
    // lbStandard rows are drawn by Qt; the owner-drawn ones by the list itself.
    enum TListBoxStyle { lbStandard, lbOwnerDrawFixed, lbOwnerDrawVariable };
    Q_ENUM(TListBoxStyle)
    enum TAlignment { taLeftJustify, taRightJustify, taCenter };
    Q_ENUM(TAlignment)

    explicit TsuiListBox(QWidget* parent = nullptr);

    TAlignment Alignment() const { return FAlignment; }
    void SetAlignment(TAlignment value);
    TColor SelectedColor() const { return FSelectedColor; }
    void SetSelectedColor(TColor value);
    TColor SelectedTextColor() const { return FSelectedTextColor; }
    void SetSelectedTextColor(TColor value);
    TColor DisabledTextColor() const { return FDisabledTextColor; }
    void SetDisabledTextColor(TColor value);
    bool ShowFocusRect() const { return FShowFocusRect; }
    // Repaints only while the list has the focus: no focus rectangle shows otherwise.
    void SetShowFocusRect(bool value);
    TListBoxStyle Style() const { return FStyle; }
    void SetStyle(TListBoxStyle value);

    int ItemHeight() const { return FItemHeight; }
    void SetItemHeight(int height);
    // Every row's text, in order; setting it replaces the whole content.
    QStringList Items() const;
    void SetItems(const QStringList& items);
    // Replaces the content by the rows of a UTF-8 text without building a string per row:
    // the cheap way to show a large block.
    void SetRows(QByteArray text, std::vector<TListRowSpan> rows);
    int count() const { return FRows->rowCount(); }
    void clear() { FRows->Reset({}, {}); }
    void addItem(const QString& text) { FRows->Append({text}); }
    void addItems(const QStringList& texts) { FRows->Append(texts); }
    // The whole text of row Index.
    QString ItemText(int Index) const { return FRows->Text(Index); }
    // What row Index shows: its text, cut with a mark when it is very long.
    QString ShownItemText(int Index) const { return FRows->ShownText(Index); }
    void SetItemEnabled(int Index, bool enabled) { FRows->SetEnabled(Index, enabled); }
    void setCurrentRow(int Index) { setCurrentIndex(FRows->index(Index)); }
    int currentRow() const { return currentIndex().row(); }
    // Where row Index lies in the viewport.
    QRect ItemRect(int Index) const { return visualRect(FRows->index(Index)); }

    // Height of a row of the variable style: one line of the list's font, at most 255; with
    // no width, the text's width.
    int MeasureString(const QString& text, int width) const;
    // How row Index looks in the given state; Index < 0 is the empty focused list's row.
    TListItemLook ItemLook(int Index, bool Selected, bool Focused) const;

    // The file theme reaches the coupled bar too.
    void SetFileTheme(QObject* theme);

    TsuiScrollBar* VScrollBar() const { return FVScrollBar; }
    // Couples a skinned bar (a sibling) over the list's right edge, or uncouples with null.
    void SetVScrollBar(TsuiScrollBar* bar);
    // Where a coupled bar BarWidth wide goes over a list at List (in its parent).
    static TRect ScrollBarPlacement(TRect List, int BarWidth, bool RightToLeft);
    // Places the coupled bar over the list's edge, then mirrors the scroll state.
    void UpdateScrollBarsPos();
    // Copies the list's vertical scroll state into the coupled bar; a list with nothing to
    // scroll hides and disables it.
    void UpdateScrollBars();

public slots:
    // The coupled bar moved: the list scrolls there.
    void OnVScrollBarChange(QObject* Sender);

protected:
    QPalette::ColorRole ColorRole() const override { return QPalette::Base; }
    // Border colour from the style; a coupled bar takes the resolved style.
    void UIStyleChanged() override;
    // Qt paints the rows; an empty list with the focus shows a focus rectangle in row 0's place.
    void paintEvent(QPaintEvent* event) override;

private:
    void SetAndRepaint(TColor& field, TColor value);

    TsuiListRows* FRows;
    TAlignment FAlignment = taLeftJustify;
    TColor FSelectedColor = clHighlight;
    TColor FSelectedTextColor = clHighlightText;
    TColor FDisabledTextColor = clGrayText;
    bool FShowFocusRect = true;
    TListBoxStyle FStyle = lbOwnerDrawFixed;
    int FItemHeight = 13;
    QPointer<TsuiScrollBar> FVScrollBar;
    bool FUpdatingScrollBar = false; // the bar is being written from the list's state
    std::unique_ptr<TsuiScrollAreaWatcher> FWatcher; // last: gone before the list is torn down
};
