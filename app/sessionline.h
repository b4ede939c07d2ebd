#pragma once
// The session log's free command line: an editable line that sends exactly what it shows. A
// catalogue command that completes the typed text is offered after it in grey and becomes part
// of the line only when accepted (Tab, or Right at the end); Escape withdraws the offer, then
// clears the line. Focus changes never touch the text.
#include "skin/suiedit.h"

#include <QStringList>

// The first word that starts with typed (ignoring case) and is longer than it, as the list
// spells it; "" when none does or nothing is typed.
QString CompletionOf(const QString& typed, const QStringList& words);
// Whether a command line carries a password: a join (AT+CWJAP) or soft-AP set-up (AT+CWSAP),
// in any of their forms, whose second argument is not empty. Such a line is kept in the
// session's history but never written to the history file.
bool CarriesPassword(const QString& line);

class TSessionLineEdit : public TsuiEdit
{
    Q_OBJECT

public:
    explicit TSessionLineEdit(QWidget* parent = nullptr);

    // The words offered as completions.
    void SetWords(const QStringList& words) { FWords = words; }
    // What the grey offer would add; "" when none is shown.
    QString Offer() const { return FOffer; }
    // Makes the offer part of the line: the word as the list spells it.
    bool AcceptOffer();

protected:
    bool event(QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void PaintSkin(QPainter& canvas) override;

private:
    void OfferFor(const QString& typed);
    void Withdraw();

    QStringList FWords;
    QString FWord;  // the word offered
    QString FOffer; // what it adds to the text
    QString FEdited; // the text the user's last edit left
};
