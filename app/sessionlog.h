#pragma once
// The session log window: every byte sent and received on the port with its time and
// direction, as text or as hex + ASCII, a free command line with a history, saving, and a
// transcript file that follows the session. It is fed from the port's own data path, not from
// the framed blocks, so the main window's panes and framing are untouched by it.
#include "workbench/exchange.h"
#include "workbench/sessionrecord.h"
#include "workbench/sessiontranscript.h"

#include <QByteArray>
#include <QStringList>
#include <QTimer>
#include <QWidget>
#include "skin/suithemes.h"

#include <cstdint>
#include <deque>
#include <functional>

class QLabel;
class TForm1;
class TsuiButton;
class TsuiComboBox;
class TsuiEdit;
class TSessionLineEdit;
class TsuiForm;
class TsuiListBox;
class TsuiScrollBar;
class TsuiTabControl;

class TSessionLogForm : public QWidget
{
    Q_OBJECT

public:
    // Writes bytes to the port; false when nothing went out.
    using Writer = std::function<bool(const QByteArray& bytes)>;
    enum TView { TextView, HexView };
    // Line endings of the free line, in the order of its list.
    enum TLineEnding { EndCrLf, EndCr, EndLf, EndNone };

    static constexpr int HistoryLimit = 200;
    // Bytes taken from the feed per turn of the event loop, so a burst never holds the
    // window thread for long.
    static constexpr std::size_t BatchBytes = 64 * 1024;

    // lookSource is the main window's frame, whose look this window follows.
    TSessionLogForm(TsuiForm* lookSource, Writer write,
                    Workbench::SessionFeed::Clock clock = Workbench::SessionNow,
                    QWidget* parent = nullptr);
    ~TSessionLogForm() override;

    // A row of the session's own in the view and a line "# <time> <text>" in the transcript,
    // in order with the port's bytes: the port opened, closed or lost, a step that failed.
    void AddMark(const QString& text);
    // Where the port's threads leave what they saw.
    Workbench::SessionFeed& Feed() { return FFeed; }
    const Workbench::SessionRecord& Record() const { return FRecord; }

    // Shows the window in front with the keyboard focus on the command line.
    void OpenWindow();
    // Sends a typed line as Enter does: "+++" alone after the quiet guard, without a line end;
    // anything else as UTF-8 with the chosen line end. The line joins the history (and the
    // history file, unless it carries a password).
    void SendLine(const QString& text);
    // Writes what the port's exchange has due now (what its timer does).
    void SendPending();
    // Whether a "+++" waits in the exchange's outbox.
    bool EscapeWaiting() const { return FExchange->Engine().EscapeWaiting(); }
    // The exchange's timer: its next write that is due.
    QTimer& GuardTimer() { return FExchange->Timer(); }
    // Writes through the port's exchange, whose one outbox orders the window's writes and
    // these; exchange must outlive this window. Without it the window has an exchange of its own.
    void ShareExchange(Workbench::ExchangeDriver& exchange);
    // The port closed: what waits for the guard is dropped, never written to the next port.
    void DropPending();

    // Saves the session held as a timestamped text log, or the received bytes as they came;
    // false (with the reason in StatusText) when the file cannot be written.
    bool SaveText(const QString& path);
    bool SaveRaw(const QString& path);
    // Appends the transcript of everything from now on to path, flushed per batch.
    bool StartTranscript(const QString& path);
    void StopTranscript();
    bool TranscriptOn() const { return Transcript.IsOpen(); }
    QString TranscriptError() const { return Transcript.ErrorText(); }
    // Why the transcript's file cannot be written now ("" while it is): told once on standard
    // error, in the status line and by TranscriptProblemChanged; retried every RetryMs.
    QString TranscriptProblem() const;
    static constexpr int TranscriptRetryMs = 1000;
    QTimer& TranscriptRetryTimer() { return FTranscriptRetry; }

    void SetView(TView view);
    void SetLineEnding(TLineEnding ending);
    TLineEnding LineEnding() const;
    // Moves the view so that row is its first visible row; scrolling to the end follows again.
    void ScrollTo(int position);
    // Whether the view follows new data (it does unless the user has scrolled up).
    bool Following() const { return FFollowing; }
    // Rows of the current view (with the drop mark) and the texts now shown.
    int RowCount() const;
    QStringList VisibleRows() const;
    QString StatusText() const;

    // Selection of rows, as a click does: alone, with Shift from the last clicked row, with
    // Ctrl one more or one less. row counts as RowCount does; the drop mark is not selectable.
    void ClickRow(int row, Qt::KeyboardModifiers modifiers);
    void SelectAll();
    int SelectedRowCount() const;
    // The selected rows as shown (times, marks, escapes), or as the transcript writes them.
    QString SelectedText(bool asTranscript) const;
    // Ctrl+C (as shown) and Ctrl+Shift+C (as transcript lines).
    void CopySelection(bool asTranscript);
    // Ctrl+F shows the find line; Enter or F3 goes to the next row holding its text (in the
    // hex view: its bytes, hex pairs or text), Shift+Enter or Shift+F3 to the one before.
    // False when no row holds it. The row found is selected and scrolled to.
    void OpenFind();
    bool FindNext(bool forward);
    // The first character column shown: long rows scroll sideways.
    void ScrollColumns(int columns);
    int FirstColumn() const { return FColumn; }
    // The smallest client size at which no control overlaps another.
    static constexpr int MinimumWidth = 500;
    static constexpr int MinimumHeight = 240;

    TsuiForm* Frame = nullptr;
    TsuiTabControl* ViewTabs = nullptr;
    TsuiListBox* ViewList = nullptr;
    TsuiScrollBar* ViewBar = nullptr;
    TsuiScrollBar* ViewColumnBar = nullptr;
    TsuiEdit* FindLine = nullptr;
    TSessionLineEdit* CommandLine = nullptr;
    TsuiComboBox* LineEndingBox = nullptr;
    TsuiButton* SaveTextButton = nullptr;
    TsuiButton* SaveRawButton = nullptr;
    TsuiButton* ClearButton = nullptr;
    TsuiButton* LogButton = nullptr;
    QLabel* StatusLabel = nullptr;

signals:
    void TranscriptProblemChanged(const QString& problem);

public slots:
    // Takes one batch from the feed into the record, the guard and the transcript.
    void Drain();
    void ApplyLook(TsuiUIStyle style);

protected:
    bool event(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    void BuildControls();
    void PlaceControls();
    void DrainAll();
    void Absorb(const std::vector<Workbench::SessionChunk>& chunks);
    void RefreshView();
    void ScrollBy(int rows);
    int VisibleRowCount() const;
    QString RowText(int row) const;
    // A row's number for good (not moved by dropped lines) and back; -1 for the drop mark.
    std::int64_t AbsoluteRow(int row) const;
    int RowOfAbsolute(std::uint64_t absolute) const;
    bool IsSelected(std::uint64_t absolute) const;
    // Marks the shown rows that are selected.
    void ShowSelection();
    int VisibleColumns() const;
    void ScrollToShow(int row);
    int MarkRows() const;
    std::uint64_t RowBase() const;
    void RecallHistory(int step);
    void RememberLine(const QString& text);
    void SetStatus(const QString& text);
    // Says in the status what the first queued write waits for.
    void ShowWaiting();
    void ToggleTranscript();
    // Tells of a transcript that started or stopped failing.
    void ShowTranscriptState();
    void AskAndSave(bool raw);
    // Writes the whole file or leaves it as it was; says which in the status.
    bool SaveFile(const QString& path, const QByteArray& bytes);

    Workbench::SessionFeed::Clock Clock;
    Workbench::SessionFeed FFeed;
    Workbench::SessionRecord FRecord;
    Workbench::SessionTranscriptFile Transcript;
    Writer Write;
    Workbench::ExchangeDriver FOwnExchange;
    Workbench::ExchangeDriver* FExchange = &FOwnExchange;
    QTimer FTranscriptRetry;
    QString FTranscriptProblem; // as last told
    int DrainEvent = 0;
    TView ViewShown = TextView;
    bool FFollowing = true;
    bool PlacingBar = false; // the view sets the bar; its change is not a scroll
    std::uint64_t TopRow = 0; // absolute number of the first row shown while not following
    QStringList Shown;
    int FShownFrom = 0; // the row the first shown one is
    // Selected rows by absolute number: sorted, disjoint, half-open ranges.
    std::vector<std::pair<std::uint64_t, std::uint64_t>> FSelection;
    std::uint64_t FAnchor = 0;
    int FColumn = 0;
    QStringList History;
    int HistoryIndex = 0;
    QString Draft;
    QString Status;
};

namespace serial {
class SerialPort;
}
// The open port as its marks name it: "COM1 /dev/ttyUSB0 115200 8N1".
QString PortMarkText(const serial::SerialPort& port);
// Why the port's reader stopped, for the mark "lost (...)".
QString PortLossText(const serial::SerialPort& port);

// Builds the main window's session log: the port's tap, Ctrl+L and the window menu's entry.
TSessionLogForm* AttachSessionLog(TForm1& form);
