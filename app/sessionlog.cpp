#include "app/sessionlog.h"

#include "app/sessionline.h"
#include "app/unit1.h"
#include "skin/suibutton.h"
#include "skin/suicombobox.h"
#include "skin/suiedit.h"
#include "skin/suiform.h"
#include "skin/suilistbox.h"
#include "skin/suipublic.h"
#include "skin/suiscrollbar.h"
#include "skin/suitabcontrol.h"
#include "workbench/catalogue.h"
#include "workbench/composition.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QMimeData>
#include <QCoreApplication>
#include <QFileDialog>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QLabel>
#include <QLineEdit>
#include <QSaveFile>
#include <QSettings>
#include <QShortcut>
#include <QWheelEvent>

#include <algorithm>
#include <cstdio>
#include <climits>
#include <iterator>

using namespace Workbench;

namespace {

// The event that tells the window a batch is waiting: one per program.
int DrainEventType()
{
    static const int type = QEvent::registerEventType();
    return type;
}

const char* const HistoryKey = "sessionlog/history";
const char* const LineEndingKey = "sessionlog/lineEnding";
const char* const ScrollbackKey = "sessionlog/scrollback";

constexpr int ClientWidth = 760;
constexpr int ClientHeight = 480;
constexpr int Margin = 6;
constexpr int RowHeight = 22;
constexpr int WheelRows = 3;
constexpr int WheelColumns = 8;
constexpr int BarWidth = 16;
constexpr int FindWidth = 220;

QByteArray LineEndingBytes(TSessionLogForm::TLineEnding ending)
{
    switch (ending) {
    case TSessionLogForm::EndCrLf: return QByteArrayLiteral("\r\n");
    case TSessionLogForm::EndCr: return QByteArrayLiteral("\r");
    case TSessionLogForm::EndLf: return QByteArrayLiteral("\n");
    case TSessionLogForm::EndNone: break;
    }
    return {};
}

// Asks the window to take a batch on a later turn of the event loop.
void PostDrain(QObject* window)
{
    QCoreApplication::postEvent(window, new QEvent(QEvent::Type(DrainEventType())));
}

TsuiButton* MakeButton(QWidget* parent, const QString& caption)
{
    auto* button = new TsuiButton(parent);
    button->SetCaption(caption);
    return button;
}

} // namespace

TSessionLogForm::TSessionLogForm(TsuiForm* lookSource, Writer write, SessionFeed::Clock clock,
                                 QWidget* parent)
    : QWidget(parent, Qt::Window), Clock(clock),
      FFeed([this] { PostDrain(this); }, clock),
      Write(std::move(write)), FOwnExchange([this](const QByteArray& bytes) {
          return Write && Write(bytes);
      })
{
    FOwnExchange.NowMs = [this] { return Clock().SteadyMs; };
    QSettings settings;
    FRecord.SetMaxLines(
        std::size_t(std::max(1, settings.value(ScrollbackKey, int(SessionRecord::DefaultMaxLines))
                                    .toInt())));
    History = settings.value(HistoryKey).toStringList();
    HistoryIndex = int(History.size());

    resize(ClientWidth, ClientHeight);
    Frame = new TsuiForm(this);
    Frame->SetCaption(QStringLiteral("Session log"));
    Frame->SetTitleBarButtonTypes(
        {QStringLiteral("suiControlBox"), QStringLiteral("suiClose"), QStringLiteral("suiMax"),
         QStringLiteral("suiMin")});
    BuildControls();
    SetLineEnding(TLineEnding(std::clamp(settings.value(LineEndingKey, 0).toInt(), 0, 3)));
    ApplyLook(lookSource ? lookSource->UIStyle() : TsuiUIStyle::DeepBlue);
    if (lookSource)
        connect(lookSource, &TsuiForm::OnUIStyleApplied, this, &TSessionLogForm::ApplyLook);
    FTranscriptRetry.setInterval(TranscriptRetryMs);
    connect(&FTranscriptRetry, &QTimer::timeout, this, [this] {
        Transcript.Flush();
        ShowTranscriptState();
    });
}

TSessionLogForm::~TSessionLogForm() = default;

void TSessionLogForm::BuildControls()
{
    ViewTabs = new TsuiTabControl(Frame);
    ViewTabs->SetTabs({QStringLiteral("Text"), QStringLiteral("Hex + ASCII")});
    connect(ViewTabs, &TsuiTab::OnTabActive, this,
            [this](int index) { SetView(index == 1 ? HexView : TextView); });

    ViewList = new TsuiListBox(Frame);
    QFont mono(QStringLiteral("DejaVu Sans Mono"));
    mono.setStyleHint(QFont::Monospace);
    mono.setPointSize(9);
    ViewList->setFont(mono);
    ViewList->SetItemHeight(QFontMetrics(mono).height() + 1);
    ViewList->setSelectionMode(QAbstractItemView::NoSelection);
    ViewList->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    ViewList->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    ViewList->setTextElideMode(Qt::ElideNone);
    ViewList->installEventFilter(this);
    ViewList->viewport()->installEventFilter(this);

    ViewBar = new TsuiScrollBar(Frame);
    ViewBar->SetOrientation(suiVertical);
    ViewBar->SetMin(0);
    ViewBar->SetMax(0);
    connect(ViewBar, &TsuiScrollBar::OnChange, this, [this] {
        if (!PlacingBar) ScrollTo(ViewBar->Position());
    });

    ViewColumnBar = new TsuiScrollBar(Frame);
    ViewColumnBar->SetOrientation(suiHorizontal);
    ViewColumnBar->SetMin(0);
    ViewColumnBar->SetMax(0);
    connect(ViewColumnBar, &TsuiScrollBar::OnChange, this, [this] {
        if (!PlacingBar) ScrollColumns(ViewColumnBar->Position() - FColumn);
    });

    FindLine = new TsuiEdit(Frame);
    FindLine->setPlaceholderText(QStringLiteral("Find"));
    FindLine->setToolTip(QStringLiteral(
        "Enter or F3: next row holding the text (in the hex view: hex pairs such as 0D 0A, or "
        "text); Shift+Enter or Shift+F3: the one before; Escape closes"));
    FindLine->hide();
    FindLine->installEventFilter(this);
    auto shortcut = [this](QKeySequence keys, auto slot) {
        auto* key = new QShortcut(keys, this);
        key->setContext(Qt::WindowShortcut);
        connect(key, &QShortcut::activated, this, slot);
    };
    shortcut(QKeySequence::Find, [this] { OpenFind(); });
    shortcut(QKeySequence(Qt::Key_F3), [this] { FindNext(true); });
    shortcut(QKeySequence(Qt::SHIFT | Qt::Key_F3), [this] { FindNext(false); });

    CommandLine = new TSessionLineEdit(Frame);
    CommandLine->SetWords(CommandCatalogue());
    CommandLine->installEventFilter(this);
    CommandLine->setToolTip(QStringLiteral(
        "Enter sends the line as shown; Tab or Right takes the grey completion; Escape clears; "
        "Up and Down recall earlier lines; \"+++\" waits for a quiet line"));

    LineEndingBox = new TsuiComboBox(Frame);
    LineEndingBox->SetStyle(TsuiComboBox::csDropDownList);
    LineEndingBox->addItems(
        {QStringLiteral("CR LF"), QStringLiteral("CR"), QStringLiteral("LF"), QStringLiteral("None")});
    LineEndingBox->setToolTip(QStringLiteral("What ends each line sent"));
    connect(LineEndingBox, &QComboBox::currentIndexChanged, this, [](int index) {
        QSettings().setValue(LineEndingKey, index);
    });

    SaveTextButton = MakeButton(Frame, QStringLiteral("Save log..."));
    SaveTextButton->setToolTip(QStringLiteral("Save the session as a timestamped text log"));
    connect(SaveTextButton, &QPushButton::clicked, this, [this] { AskAndSave(false); });
    SaveRawButton = MakeButton(Frame, QStringLiteral("Save raw..."));
    SaveRawButton->setToolTip(QStringLiteral("Save the received bytes as they came"));
    connect(SaveRawButton, &QPushButton::clicked, this, [this] { AskAndSave(true); });
    ClearButton = MakeButton(Frame, QStringLiteral("Clear"));
    connect(ClearButton, &QPushButton::clicked, this, [this] {
        FRecord.Clear();
        FSelection.clear();
        FFollowing = true;
        RefreshView();
    });
    LogButton = MakeButton(Frame, QStringLiteral("Log to file..."));
    LogButton->setToolTip(
        QStringLiteral("Append a timestamped transcript of the session to a file as it goes"));
    connect(LogButton, &QPushButton::clicked, this, &TSessionLogForm::ToggleTranscript);

    StatusLabel = new QLabel(Frame);
    Frame->installEventFilter(this);
}

void TSessionLogForm::PlaceControls()
{
    const int w = Frame->width();
    const int h = Frame->height();
    const QRect bar = Frame->TitleBar()->geometry();
    const int top = bar.y() + bar.height() + Margin;
    const int inner = w - 2 * Margin;
    const int barWidth = BarWidth;
    const int buttonsTop = h - Margin - 3 - RowHeight;
    const int lineTop = buttonsTop - Margin - RowHeight;

    ViewTabs->setGeometry(Margin, top, inner, 24);
    FindLine->setGeometry(Margin + inner - FindWidth, top + 1, FindWidth, 22);
    FindLine->raise();
    const int listTop = top + 24;
    const int listHeight = std::max(RowHeight, lineTop - Margin - listTop - barWidth);
    ViewList->setGeometry(Margin, listTop, inner - barWidth, listHeight);
    ViewBar->setGeometry(Margin + inner - barWidth, listTop, barWidth, listHeight);
    ViewColumnBar->setGeometry(Margin, listTop + listHeight, inner - barWidth, barWidth);

    const int endingWidth = 80;
    CommandLine->setGeometry(Margin, lineTop, inner - endingWidth - Margin, RowHeight);
    LineEndingBox->setGeometry(Margin + inner - endingWidth, lineTop, endingWidth, RowHeight);

    int x = Margin;
    for (auto [button, width] : {std::pair{SaveTextButton, 84}, std::pair{SaveRawButton, 84},
                                 std::pair{ClearButton, 64}, std::pair{LogButton, 104}}) {
        button->setGeometry(x, buttonsTop, width, RowHeight);
        x += width + Margin;
    }
    StatusLabel->setGeometry(x, buttonsTop, w - Margin - x, RowHeight);
    RefreshView();
}

void TSessionLogForm::ApplyLook(TsuiUIStyle style)
{
    Frame->SetUIStyle(style);
    ContainerApplyUIStyle(Frame, style, nullptr);
    // The look sets the frame's own least size; the controls need more.
    setMinimumSize(std::max(minimumWidth(), MinimumWidth), std::max(minimumHeight(), MinimumHeight));
    QPalette colours = StatusLabel->palette();
    colours.setColor(QPalette::WindowText,
                     toQColor(GetInsideThemeColor(style, SuiTheme::ControlFontColor)));
    StatusLabel->setPalette(colours);
    PlaceControls();
}

void TSessionLogForm::OpenWindow()
{
    show();
    raise();
    activateWindow();
    CommandLine->setFocus(Qt::ActiveWindowFocusReason);
    RefreshView();
}

void TSessionLogForm::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    RefreshView();
}

bool TSessionLogForm::event(QEvent* event)
{
    if (event->type() == DrainEventType()) {
        Drain();
        return true;
    }
    return QWidget::event(event);
}

// ---- the record's intake ----

void TSessionLogForm::AddMark(const QString& text)
{
    const QByteArray bytes = text.toUtf8();
    FFeed.Append(SessionDirection::Mark, bytes.constData(), std::size_t(bytes.size()));
}

void TSessionLogForm::Drain()
{
    std::vector<SessionChunk> chunks = FFeed.Take(BatchBytes);
    // What stays queued is taken on the next turn, after the window has had its own.
    if (FFeed.PendingBytes() > 0) PostDrain(this);
    Absorb(chunks);
}

void TSessionLogForm::DrainAll()
{
    Absorb(FFeed.Take());
}

void TSessionLogForm::Absorb(const std::vector<SessionChunk>& chunks)
{
    if (chunks.empty()) return;
    for (const SessionChunk& chunk : chunks)
        FRecord.Append(chunk);
    if (Transcript.IsOpen()) {
        Transcript.Append(chunks);
        ShowTranscriptState();
    }
    if (isVisible()) RefreshView();
}

// ---- the view ----

int TSessionLogForm::MarkRows() const
{
    return FRecord.DroppedLines() > 0 ? 1 : 0;
}

std::uint64_t TSessionLogForm::RowBase() const
{
    return ViewShown == TextView ? FRecord.LineBase() : FRecord.DroppedHexRows();
}

int TSessionLogForm::RowCount() const
{
    const std::size_t rows = ViewShown == TextView ? FRecord.LineCount() : FRecord.HexRowCount();
    return MarkRows() + int(std::min<std::size_t>(rows, std::size_t(INT_MAX - 1)));
}

int TSessionLogForm::VisibleRowCount() const
{
    return std::max(1, ViewList->viewport()->height() / std::max(1, ViewList->ItemHeight()));
}

QString TSessionLogForm::RowText(int row) const
{
    if (row < MarkRows())
        return QStringLiteral("... %1 earlier lines dropped ...").arg(FRecord.DroppedLines());
    const std::size_t index = std::size_t(row - MarkRows());
    if (ViewShown == TextView) {
        const SessionLine line = FRecord.Line(index);
        return SessionClockText(line.Time.WallMs) + QLatin1Char(' ') +
               QLatin1Char(DirectionMark(line.Direction)) + QLatin1Char(' ') +
               SessionTextOf(line.Bytes);
    }
    const SessionHexRow hex = FRecord.HexRow(index);
    if (hex.Direction == SessionDirection::Mark)
        return SessionClockText(hex.Time.WallMs) + QStringLiteral(" # ") + SessionTextOf(hex.Bytes);
    return SessionClockText(hex.Time.WallMs) + QLatin1Char(' ') +
           QLatin1Char(DirectionMark(hex.Direction)) + QLatin1Char(' ') +
           SessionHexText(hex.Offset, hex.Bytes);
}

void TSessionLogForm::RefreshView()
{
    if (!ViewList) return;
    const int rows = RowCount();
    const int visible = VisibleRowCount();
    const int last = std::max(0, rows - visible);
    // Rows are named by absolute number, so a view scrolled up stays on its lines while the
    // oldest ones are dropped below the bound.
    const auto first = std::int64_t(RowBase()) - MarkRows();
    const int position =
        FFollowing ? last
                   : int(std::clamp<std::int64_t>(std::int64_t(TopRow) - first, 0, last));
    if (!FFollowing) TopRow = std::uint64_t(first + position);

    PlacingBar = true;
    ViewBar->SetMax(last);
    ViewBar->SetPageSize(visible);
    ViewBar->SetPosition(position);
    ViewBar->setEnabled(last > 0);
    ViewBar->SetSliderVisible(last > 0);
    PlacingBar = false;

    QStringList shown;
    int longest = 0;
    for (int row = position; row < std::min(rows, position + visible); ++row) {
        shown.append(RowText(row));
        longest = std::max(longest, int(shown.last().size()));
    }
    const int lastColumn = std::max(0, longest - VisibleColumns() + 1);
    FColumn = std::min(FColumn, lastColumn);
    PlacingBar = true;
    ViewColumnBar->SetMax(lastColumn);
    ViewColumnBar->SetPageSize(VisibleColumns());
    ViewColumnBar->SetPosition(FColumn);
    ViewColumnBar->setEnabled(lastColumn > 0);
    ViewColumnBar->SetSliderVisible(lastColumn > 0);
    PlacingBar = false;
    QStringList cut;
    for (const QString& text : shown)
        cut.append(text.mid(FColumn));
    FShownFrom = position;
    if (shown != Shown || cut != ViewList->Items()) {
        Shown = shown;
        ViewList->SetItems(cut);
    }
    ShowSelection();
}

int TSessionLogForm::VisibleColumns() const
{
    const int advance = std::max(1, ViewList->fontMetrics().horizontalAdvance(QLatin1Char('0')));
    return std::max(1, (ViewList->viewport()->width() - 4) / advance);
}

void TSessionLogForm::ScrollColumns(int columns)
{
    FColumn = std::max(0, FColumn + columns);
    RefreshView();
}

// ---- selection, copying and finding ----

std::int64_t TSessionLogForm::AbsoluteRow(int row) const
{
    if (row < MarkRows() || row >= RowCount()) return -1;
    return std::int64_t(RowBase()) + (row - MarkRows());
}

int TSessionLogForm::RowOfAbsolute(std::uint64_t absolute) const
{
    return int(std::int64_t(absolute) - std::int64_t(RowBase())) + MarkRows();
}

bool TSessionLogForm::IsSelected(std::uint64_t absolute) const
{
    const auto after = std::upper_bound(
        FSelection.begin(), FSelection.end(), absolute,
        [](std::uint64_t row, const auto& range) { return row < range.first; });
    return after != FSelection.begin() && absolute < std::prev(after)->second;
}

void TSessionLogForm::ClickRow(int row, Qt::KeyboardModifiers modifiers)
{
    const std::int64_t absolute = AbsoluteRow(row);
    if (absolute < 0) return;
    const auto at = std::uint64_t(absolute);
    if (modifiers & Qt::ShiftModifier) {
        if (!(modifiers & Qt::ControlModifier)) FSelection.clear();
        const std::uint64_t from = std::min(FAnchor, at), to = std::max(FAnchor, at) + 1;
        // Ranges that meet the new one join it.
        std::uint64_t first = from, last = to;
        std::vector<std::pair<std::uint64_t, std::uint64_t>> kept;
        for (const auto& range : FSelection) {
            if (range.second < first || range.first > last) {
                kept.push_back(range);
            } else {
                first = std::min(first, range.first);
                last = std::max(last, range.second);
            }
        }
        kept.emplace_back(first, last);
        std::sort(kept.begin(), kept.end());
        FSelection = std::move(kept);
    } else if (modifiers & Qt::ControlModifier) {
        std::vector<std::pair<std::uint64_t, std::uint64_t>> kept;
        const bool was = IsSelected(at);
        for (const auto& range : FSelection) {
            if (was && range.first <= at && at < range.second) {
                if (range.first < at) kept.emplace_back(range.first, at);
                if (at + 1 < range.second) kept.emplace_back(at + 1, range.second);
            } else {
                kept.push_back(range);
            }
        }
        if (!was) kept.emplace_back(at, at + 1);
        std::sort(kept.begin(), kept.end());
        FSelection = std::move(kept);
        FAnchor = at;
    } else {
        FSelection = {{at, at + 1}};
        FAnchor = at;
    }
    ShowSelection();
}

void TSessionLogForm::SelectAll()
{
    const std::int64_t first = AbsoluteRow(MarkRows());
    FSelection.clear();
    if (first >= 0)
        FSelection.emplace_back(std::uint64_t(first),
                                std::uint64_t(first) + std::uint64_t(RowCount() - MarkRows()));
    ShowSelection();
}

int TSessionLogForm::SelectedRowCount() const
{
    std::uint64_t count = 0;
    const std::uint64_t first = RowBase(), end = first + std::uint64_t(RowCount() - MarkRows());
    for (const auto& [from, to] : FSelection)
        if (to > first && from < end) count += std::min(to, end) - std::max(from, first);
    return int(count);
}

QString TSessionLogForm::SelectedText(bool asTranscript) const
{
    const std::uint64_t first = RowBase(), end = first + std::uint64_t(RowCount() - MarkRows());
    QByteArray transcript;
    QStringList shown;
    for (const auto& [from, to] : FSelection) {
        for (std::uint64_t a = std::max(from, first); a < std::min(to, end); ++a) {
            const auto index = std::size_t(a - first);
            if (!asTranscript) {
                shown.append(RowText(RowOfAbsolute(a)));
            } else if (ViewShown == TextView) {
                const SessionLine line = FRecord.Line(index);
                transcript += TranscriptLine(line.Direction, line.Time.WallMs, line.Bytes);
            } else {
                const SessionHexRow hex = FRecord.HexRow(index);
                transcript += TranscriptLine(hex.Direction, hex.Time.WallMs, hex.Bytes);
            }
        }
    }
    return asTranscript ? QString::fromLatin1(transcript)
                        : shown.join(QLatin1Char('\n')) + (shown.isEmpty() ? "" : "\n");
}

void TSessionLogForm::CopySelection(bool asTranscript)
{
    DrainAll();
    if (SelectedRowCount() == 0) return;
    QApplication::clipboard()->setText(SelectedText(asTranscript));
    SetStatus(QStringLiteral("Copied %1 rows%2")
                  .arg(SelectedRowCount())
                  .arg(asTranscript ? QStringLiteral(" as transcript lines") : QString()));
}

void TSessionLogForm::ShowSelection()
{
    QItemSelectionModel* model = ViewList->selectionModel();
    if (!model) return;
    QItemSelection selection;
    for (int i = 0; i < ViewList->count(); ++i) {
        const std::int64_t absolute = AbsoluteRow(FShownFrom + i);
        if (absolute >= 0 && IsSelected(std::uint64_t(absolute))) {
            const QModelIndex index = ViewList->model()->index(i, 0);
            selection.select(index, index);
        }
    }
    model->select(selection, QItemSelectionModel::ClearAndSelect);
}

void TSessionLogForm::ScrollToShow(int row)
{
    const int visible = VisibleRowCount();
    const int top = ViewBar->Position();
    if (row < top || row >= top + visible) ScrollTo(std::max(0, row - visible / 2));
    // A row that did not need moving to is still at the end, where following goes on.
}

void TSessionLogForm::OpenFind()
{
    FindLine->show();
    FindLine->raise();
    FindLine->setFocus(Qt::ShortcutFocusReason);
    FindLine->selectAll();
}

bool TSessionLogForm::FindNext(bool forward)
{
    const QString query = FindLine->text();
    if (query.isEmpty()) {
        OpenFind();
        return false;
    }
    DrainAll();
    // From the row last clicked or found, if it is still held.
    const std::int64_t anchorRow = std::int64_t(FAnchor) - std::int64_t(RowBase());
    const std::size_t from =
        !FSelection.empty() && anchorRow >= 0 && anchorRow < RowCount() - MarkRows()
            ? std::size_t(anchorRow)
            : SessionRecord::NoRow;
    const std::size_t found = ViewShown == TextView
                                  ? FRecord.FindLine(query, from, forward)
                                  : FRecord.FindHexRow(HexQueryBytes(query), from, forward);
    if (found == SessionRecord::NoRow) {
        SetStatus(QStringLiteral("Not found: %1").arg(query));
        return false;
    }
    const int row = int(found) + MarkRows();
    ClickRow(row, Qt::NoModifier);
    ScrollToShow(row);
    SetStatus(QStringLiteral("Found in row %1 of %2").arg(found + 1).arg(RowCount() - MarkRows()));
    return true;
}

void TSessionLogForm::ScrollTo(int position)
{
    const int last = std::max(0, RowCount() - VisibleRowCount());
    position = std::clamp(position, 0, last);
    FFollowing = position >= last;
    TopRow = std::uint64_t(std::int64_t(RowBase()) - MarkRows() + position);
    RefreshView();
}

void TSessionLogForm::ScrollBy(int rows)
{
    ScrollTo(ViewBar->Position() + rows);
}

QStringList TSessionLogForm::VisibleRows() const
{
    return Shown;
}

void TSessionLogForm::SetView(TView view)
{
    if (view == ViewShown) return;
    ViewShown = view;
    // Rows of the two views do not correspond one to one: the new one starts at its end.
    FFollowing = true;
    FSelection.clear();
    if (ViewTabs->TabIndex() != int(view)) ViewTabs->SetTabIndex(int(view));
    RefreshView();
}

// ---- the command line ----

void TSessionLogForm::SetLineEnding(TLineEnding ending)
{
    LineEndingBox->setCurrentIndex(int(ending));
}

TSessionLogForm::TLineEnding TSessionLogForm::LineEnding() const
{
    return TLineEnding(std::clamp(LineEndingBox->currentIndex(), 0, 3));
}

void TSessionLogForm::SendLine(const QString& text)
{
    const bool escape = text == QLatin1String(ExitCommand);
    const QByteArray bytes = escape ? QByteArray(ExitCommand)
                                    : text.toUtf8() + LineEndingBytes(LineEnding());
    RememberLine(text);
    CommandLine->clear();
    Draft.clear();
    if (bytes.isEmpty()) return;
    const auto told = [this](bool sent) {
        SetStatus(sent ? QString() : QStringLiteral("Not sent: the port is not open"));
    };
    if (escape)
        FExchange->SendEscape(told);
    else
        FExchange->SendRaw(bytes, told);
    ShowWaiting();
}

void TSessionLogForm::ShareExchange(Workbench::ExchangeDriver& exchange)
{
    FExchange = &exchange;
}

void TSessionLogForm::DropPending()
{
    if (!FExchange->Engine().WritesWaiting()) return;
    FExchange->Reset();
    SetStatus(QStringLiteral("Not sent: the port was closed"));
}

void TSessionLogForm::ShowWaiting()
{
    switch (FExchange->Engine().Waiting(FExchange->NowMs())) {
    case Workbench::Exchange::Wait::QuietBeforeEscape:
        SetStatus(QStringLiteral("Waiting for a quiet line before +++"));
        break;
    case Workbench::Exchange::Wait::QuietAfterEscape:
        SetStatus(QStringLiteral("Waiting for the quiet line after +++"));
        break;
    case Workbench::Exchange::Wait::Nothing:
        break;
    }
}

void TSessionLogForm::SendPending()
{
    FExchange->Advance();
}

void TSessionLogForm::RememberLine(const QString& text)
{
    if (!text.isEmpty() && (History.isEmpty() || History.last() != text)) {
        History.append(text);
        if (History.size() > HistoryLimit) History.remove(0, History.size() - HistoryLimit);
        // A password stays in this session's history, never on disk.
        QStringList kept;
        for (const QString& line : History)
            if (!CarriesPassword(line)) kept.append(line);
        QSettings settings;
        settings.setValue(HistoryKey, kept);
    }
    HistoryIndex = int(History.size());
}

void TSessionLogForm::RecallHistory(int step)
{
    const int count = int(History.size());
    const int index = std::clamp(HistoryIndex + step, 0, count);
    if (index == HistoryIndex) return;
    if (HistoryIndex == count) Draft = CommandLine->text();
    HistoryIndex = index;
    CommandLine->setText(index == count ? Draft : History[index]);
}

bool TSessionLogForm::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == Frame && event->type() == QEvent::Resize) {
        PlaceControls();
        return false;
    }
    if (watched == CommandLine && event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        switch (key->key()) {
        case Qt::Key_Return:
        case Qt::Key_Enter:
            // Exactly what the line shows: an offered completion is not part of it.
            SendLine(CommandLine->text());
            return true;
        case Qt::Key_Up:
            RecallHistory(-1);
            return true;
        case Qt::Key_Down:
            RecallHistory(+1);
            return true;
        case Qt::Key_PageUp:
            ScrollBy(-VisibleRowCount());
            return true;
        case Qt::Key_PageDown:
            ScrollBy(VisibleRowCount());
            return true;
        default:
            return false;
        }
    }
    if (watched == ViewList->viewport() && event->type() == QEvent::Wheel) {
        const auto* wheel = static_cast<QWheelEvent*>(event);
        const QPoint turn = wheel->angleDelta();
        if (turn.x() != 0 || (wheel->modifiers() & Qt::ShiftModifier))
            ScrollColumns(-(turn.x() != 0 ? turn.x() : turn.y()) / 120 * WheelColumns);
        else
            ScrollBy(-turn.y() / 120 * WheelRows);
        return true;
    }
    if (watched == ViewList->viewport() && (event->type() == QEvent::MouseButtonPress ||
                                            event->type() == QEvent::MouseButtonDblClick)) {
        const auto* mouse = static_cast<QMouseEvent*>(event);
        const QModelIndex index = ViewList->indexAt(mouse->position().toPoint());
        if (index.isValid() && mouse->button() == Qt::LeftButton)
            ClickRow(FShownFrom + index.row(), mouse->modifiers());
        ViewList->setFocus(Qt::MouseFocusReason);
        return true;
    }
    if (watched == FindLine && event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) {
            FindNext(!(key->modifiers() & Qt::ShiftModifier));
            return true;
        }
        if (key->key() == Qt::Key_Escape) {
            FindLine->hide();
            ViewList->setFocus(Qt::OtherFocusReason);
            return true;
        }
        return false;
    }
    if (watched == ViewList && event->type() == QEvent::KeyPress) {
        const int page = VisibleRowCount();
        const auto* key = static_cast<QKeyEvent*>(event);
        if (key->matches(QKeySequence::SelectAll)) {
            SelectAll();
            return true;
        }
        if (key->key() == Qt::Key_C && (key->modifiers() & Qt::ControlModifier)) {
            CopySelection(key->modifiers() & Qt::ShiftModifier);
            return true;
        }
        switch (key->key()) {
        case Qt::Key_Left: ScrollColumns(-1); return true;
        case Qt::Key_Right: ScrollColumns(1); return true;
        case Qt::Key_Up: ScrollBy(-1); return true;
        case Qt::Key_Down: ScrollBy(1); return true;
        case Qt::Key_PageUp: ScrollBy(-page); return true;
        case Qt::Key_PageDown: ScrollBy(page); return true;
        case Qt::Key_Home: ScrollTo(0); return true;
        case Qt::Key_End: ScrollTo(INT_MAX); return true;
        default: return false;
        }
    }
    return QWidget::eventFilter(watched, event);
}

// ---- saving and the transcript ----

bool TSessionLogForm::SaveText(const QString& path)
{
    DrainAll();
    return SaveFile(path, TranscriptOf(FRecord.Chunks()));
}

bool TSessionLogForm::SaveRaw(const QString& path)
{
    DrainAll();
    return SaveFile(path, ReceivedBytesOf(FRecord.Chunks()));
}

bool TSessionLogForm::SaveFile(const QString& path, const QByteArray& bytes)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit()) {
        SetStatus(QStringLiteral("Cannot save %1: %2").arg(path, file.errorString()));
        return false;
    }
    SetStatus(QStringLiteral("Saved %1").arg(path));
    return true;
}

void TSessionLogForm::AskAndSave(bool raw)
{
    const QString path = QFileDialog::getSaveFileName(
        this, raw ? QStringLiteral("Save received bytes") : QStringLiteral("Save session log"),
        QString(), raw ? QStringLiteral("Raw bytes (*.bin);;All files (*)")
                       : QStringLiteral("Text log (*.log *.txt);;All files (*)"));
    if (path.isEmpty()) return;
    if (raw)
        SaveRaw(path);
    else
        SaveText(path);
}

bool TSessionLogForm::StartTranscript(const QString& path)
{
    // What the record already holds stays out: the file continues from this moment.
    DrainAll();
    if (!Transcript.Open(path)) {
        SetStatus(QStringLiteral("Cannot log to %1: %2").arg(path, Transcript.ErrorText()));
        return false;
    }
    LogButton->SetCaption(QStringLiteral("Stop logging"));
    SetStatus(QStringLiteral("Logging to %1").arg(path));
    return true;
}

void TSessionLogForm::StopTranscript()
{
    DrainAll();
    Transcript.Close();
    ShowTranscriptState();
    LogButton->SetCaption(QStringLiteral("Log to file..."));
    SetStatus(QString());
}

QString TSessionLogForm::TranscriptProblem() const
{
    return FTranscriptProblem;
}

void TSessionLogForm::ShowTranscriptState()
{
    const QString problem =
        Transcript.Problem().isEmpty()
            ? QString()
            : QStringLiteral("The transcript %1 cannot be written: %2; what follows is kept and "
                             "written when it can be")
                  .arg(Transcript.Path(), Transcript.Problem());
    // Retried while it fails, and only then: an idle window does not wake for it.
    if (problem.isEmpty())
        FTranscriptRetry.stop();
    else if (!FTranscriptRetry.isActive())
        FTranscriptRetry.start();
    if (problem == FTranscriptProblem) return;
    const bool recovered = problem.isEmpty() && Transcript.IsOpen();
    FTranscriptProblem = problem;
    if (!problem.isEmpty()) {
        std::fprintf(stderr, "esp8266wifi: %s\n", problem.toLocal8Bit().constData());
        std::fflush(stderr);
        SetStatus(problem);
    } else if (recovered) {
        SetStatus(QStringLiteral("Logging to %1 again").arg(Transcript.Path()));
    }
    emit TranscriptProblemChanged(problem);
}

void TSessionLogForm::ToggleTranscript()
{
    if (TranscriptOn()) {
        StopTranscript();
        return;
    }
    const QString path = QFileDialog::getSaveFileName(
        this, QStringLiteral("Append transcript to"), QString(),
        QStringLiteral("Text log (*.log *.txt);;All files (*)"), nullptr,
        QFileDialog::DontConfirmOverwrite);
    if (!path.isEmpty()) StartTranscript(path);
}

void TSessionLogForm::SetStatus(const QString& text)
{
    Status = text;
    if (StatusLabel) {
        StatusLabel->setText(text);
        StatusLabel->setToolTip(text);
    }
}

QString TSessionLogForm::StatusText() const
{
    return Status;
}

// ---- the main window's side ----

QString PortMarkText(const serial::SerialPort& port)
{
    static const char parities[] = {'N', 'O', 'E'};
    const QString name = port.PortNumber != 0 ? QStringLiteral("COM%1 ").arg(port.PortNumber)
                                              : QString();
    return QStringLiteral("%1%2 %3 8").arg(name, QString::fromStdString(port.DevicePath))
               .arg(port.BaudRate) +
           QLatin1Char(parities[std::clamp(port.Parity, 0, 2)]) + QLatin1Char('1');
}

QString PortLossText(const serial::SerialPort& port)
{
    const std::string message = port.LastError().Message;
    if (!message.empty()) return QString::fromStdString(message);
    return port.ReaderExitCode() == 6 ? QStringLiteral("the device hung up")
                                      : QStringLiteral("the device stopped answering");
}

TSessionLogForm* AttachSessionLog(TForm1& form)
{
    auto* log = new TSessionLogForm(
        form.suiForm1,
        [&form](const QByteArray& bytes) {
            return form.Port->Write(bytes.constData(), unsigned(bytes.size()));
        },
        SessionNow, &form);
    SessionFeed* feed = &log->Feed();
    form.Port->SetTrafficTap([feed](bool sent, const char* data, std::size_t size) {
        feed->Append(sent ? SessionDirection::Sent : SessionDirection::Received, data, size);
    });
    auto* shortcut = new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_L), &form);
    shortcut->setContext(Qt::WindowShortcut);
    QObject::connect(shortcut, &QShortcut::activated, log, &TSessionLogForm::OpenWindow);
    auto* entry = new QAction(QStringLiteral("Session log\tCtrl+L"), log);
    QObject::connect(entry, &QAction::triggered, log, &TSessionLogForm::OpenWindow);
    form.suiForm1->TitleBar()->WindowMenu()->AddWindowAction(entry);
    return log;
}
