#pragma once
// The skinned multi-line memo: the edit's flat two-pixel border around a plain text area,
// optionally coupled to two skinned scroll bars.
#include "skin/suiedit.h"

#include <QPlainTextEdit>

#include "skin/suiscrollbar.h"

class TsuiMemo : public TsuiFieldControl<QPlainTextEdit>
{
    Q_OBJECT
    Q_PROPERTY(QObject* FileTheme READ FileTheme WRITE SetFileTheme)
    Q_PROPERTY(TsuiUIStyle UIStyle READ UIStyle WRITE SetUIStyle)
    Q_PROPERTY(TColor BorderColor READ BorderColor WRITE SetBorderColor)
    Q_PROPERTY(TColor Color READ Color WRITE SetColor)
    Q_PROPERTY(TColor FontColor READ FontColor WRITE SetFontColor)
    Q_PROPERTY(QString Text READ Text WRITE SetText)
    Q_PROPERTY(QStringList Lines READ Lines WRITE SetLines)
    Q_PROPERTY(TScrollStyle ScrollBars READ ScrollBars WRITE SetScrollBars)
    Q_PROPERTY(TsuiScrollBar* VScrollBar READ VScrollBar WRITE SetVScrollBar)
    Q_PROPERTY(TsuiScrollBar* HScrollBar READ HScrollBar WRITE SetHScrollBar)

public:
    // Which of the memo's own scroll bars exist.
    enum TScrollStyle { ssNone, ssHorizontal, ssVertical, ssBoth };
    Q_ENUM(TScrollStyle)

    explicit TsuiMemo(QWidget* parent = nullptr);

    // The whole content as one text; setting it replaces every line.
    QString Text() const { return toPlainText(); }
    void SetText(const QString& text) { setPlainText(text); }
    QStringList Lines() const;
    void SetLines(const QStringList& lines) { setPlainText(lines.join(u'\n')); }

    TScrollStyle ScrollBars() const { return FScrollBars; }
    // Shows the memo's own bars of those directions (always, as the framework memo does).
    void SetScrollBars(TScrollStyle value);

    // The file theme reaches the coupled bars too.
    void SetFileTheme(QObject* theme);

    TsuiScrollBar* VScrollBar() const { return FVScrollBar; }
    TsuiScrollBar* HScrollBar() const { return FHScrollBar; }
    // Couples a skinned bar (a sibling) over the memo's right edge, or uncouples with null; the
    // memo's own scroll bar of that direction exists exactly while one is coupled.
    void SetVScrollBar(TsuiScrollBar* bar);
    // The same along the bottom edge.
    void SetHScrollBar(TsuiScrollBar* bar);

    // Where coupled bars go around a memo at Memo (in its parent): the vertical bar VWidth wide
    // and the horizontal one HHeight high, each 0 when not coupled.
    struct TBarsPlacement
    {
        bool VVisible = false;
        TRect VBar;
        bool HVisible = false;
        TRect HBar;
    };
    static TBarsPlacement ScrollBarsPlacement(TRect Memo, int VWidth, int HHeight,
                                              bool RightToLeft);
    // Places the coupled bars over the memo's edges, then mirrors the scroll state.
    void UpdateScrollBarsPos();
    // Copies the memo's scroll state (range, position, thumb, availability) into the bars.
    void UpdateScrollBars();
    // The memo's own bars follow what is coupled.
    void UpdateInnerScrollBars();

public slots:
    // A coupled bar moved: the memo scrolls there.
    void OnVScrollBarChange(QObject* Sender);
    void OnHScrollBarChange(QObject* Sender);

protected:
    QPalette::ColorRole ColorRole() const override { return QPalette::Base; }
    // Border colour from the style; the coupled bars take the resolved style.
    void UIStyleChanged() override;

private:
    TScrollStyle FScrollBars = ssNone;
    void CoupleBar(QPointer<TsuiScrollBar>& slot, TsuiScrollBar* bar, bool vertical);
    void ScrollFromBar(QScrollBar& own, const TsuiScrollBar* bar);

    QPointer<TsuiScrollBar> FVScrollBar;
    QPointer<TsuiScrollBar> FHScrollBar;
    bool FUpdatingBars = false;     // the bars are being written from the memo's state
    bool FScrollingFromBar = false; // a bar's change is being passed to the memo
    std::unique_ptr<TsuiScrollAreaWatcher> FWatcher; // last: gone before the memo is torn down
};
