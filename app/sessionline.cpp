#include "app/sessionline.h"

#include <QKeyEvent>
#include <QRegularExpression>

QString CompletionOf(const QString& typed, const QStringList& words)
{
    if (typed.isEmpty()) return {};
    for (const QString& word : words)
        if (word.size() > typed.size() && word.startsWith(typed, Qt::CaseInsensitive))
            return word;
    return {};
}

namespace {
// The arguments of a set command, split at commas outside quotes; a backslash escapes the
// next character, as the firmware reads them.
QStringList ArgumentsOf(QStringView text)
{
    QStringList arguments{QString()};
    bool quoted = false;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (c == QLatin1Char('\\') && i + 1 < text.size()) {
            arguments.last() += text[++i];
        } else if (c == QLatin1Char('"')) {
            quoted = !quoted;
        } else if (c == QLatin1Char(',') && !quoted) {
            arguments.append(QString());
        } else {
            arguments.last() += c;
        }
    }
    return arguments;
}
} // namespace

bool CarriesPassword(const QString& line)
{
    static const QRegularExpression setter(QStringLiteral(R"(^\s*AT\+CW(JAP|SAP)(_CUR|_DEF)?=)"),
                                           QRegularExpression::CaseInsensitiveOption);
    const QRegularExpressionMatch match = setter.match(line);
    if (!match.hasMatch()) return false;
    const QStringList arguments = ArgumentsOf(QStringView(line).mid(match.capturedEnd()));
    return arguments.size() >= 2 && !arguments[1].isEmpty();
}

TSessionLineEdit::TSessionLineEdit(QWidget* parent) : TsuiEdit(parent)
{
    // Only what the user types earns an offer; a recalled or cleared line shows none.
    connect(this, &QLineEdit::textEdited, this, &TSessionLineEdit::OfferFor);
    connect(this, &QLineEdit::textChanged, this, [this](const QString& now) {
        if (now != FEdited) Withdraw();
    });
    connect(this, &QLineEdit::cursorPositionChanged, this, [this] {
        if (cursorPosition() != text().size() || hasSelectedText()) Withdraw();
    });
}

void TSessionLineEdit::OfferFor(const QString& typed)
{
    FEdited = typed;
    FWord = cursorPosition() == typed.size() ? CompletionOf(typed, FWords) : QString();
    FOffer = FWord.mid(typed.size());
    update();
}

void TSessionLineEdit::Withdraw()
{
    if (FOffer.isEmpty()) return;
    FWord.clear();
    FOffer.clear();
    update();
}

bool TSessionLineEdit::AcceptOffer()
{
    if (FOffer.isEmpty()) return false;
    const QString word = FWord;
    Withdraw();
    setText(word);
    return true;
}

bool TSessionLineEdit::event(QEvent* event)
{
    // Tab takes an offer; with none it moves the focus on as everywhere else.
    if (event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() == Qt::Key_Tab && key->modifiers() == Qt::NoModifier && AcceptOffer())
            return true;
    }
    return TsuiEdit::event(event);
}

void TSessionLineEdit::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Right && event->modifiers() == Qt::NoModifier &&
        cursorPosition() == text().size() && AcceptOffer())
        return;
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        if (!FOffer.isEmpty())
            Withdraw();
        else
            clear();
        return;
    }
    TsuiEdit::keyPressEvent(event);
}

void TSessionLineEdit::PaintSkin(QPainter& canvas)
{
    TsuiEdit::PaintSkin(canvas);
    if (FOffer.isEmpty()) return;
    const QRect cursor = cursorRect();
    const int x = cursor.center().x() + 1;
    canvas.setFont(font());
    canvas.setPen(toQColor(clGrayText));
    canvas.drawText(QRect(x, cursor.top(), width() - SuiFieldBorderWidth - x, cursor.height()),
                    Qt::AlignLeft | Qt::AlignVCenter, FOffer);
}
