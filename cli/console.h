#pragma once
// Where esp8266at writes: answers and JSON on standard output, messages on standard error,
// and, only when standard error is a terminal, one progress line per port kept at the bottom
// of the screen. Everything is written from one thread in whole lines, so the output of
// several ports never mixes inside a line.
#include "cli/portjob.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <cstdio>

namespace Cli {

// The answer of one line as text: UTF-8, each invalid sequence replaced by U+FFFD.
QByteArray AnswerText(const QByteArray& answer);

// The answer with `prefix` before each of its lines, every line ended.
QByteArray PrefixedLines(const QByteArray& text, const QByteArray& prefix);

// One port's outcome as a single line of JSON (no line end).
QByteArray OutcomeJson(const PortOutcome& outcome);

class Console
{
public:
    // progress: whether to show progress lines at all (the caller checks for a terminal).
    Console(std::FILE* out, std::FILE* err, bool progress);
    ~Console();
    Console(const Console&) = delete;
    Console& operator=(const Console&) = delete;

    // Writes bytes to standard output (whole lines), keeping the progress lines below.
    void Out(const QByteArray& bytes);
    // Whether Out replaces control characters other than CR, LF and TAB by U+FFFD, as
    // messages have them replaced: for a terminal, unless the user asked for the raw bytes.
    void SetEscapeOutput(bool escape) { EscapeOut = escape; }
    // Writes a message line to standard error.
    void Err(const QString& line);
    // Sets the progress line of row `row` (rows are added as needed).
    void SetProgress(int row, const QString& text);
    // Removes the progress lines for good.
    void EndProgress();

private:
    void EraseProgress();
    void DrawProgress();

    std::FILE* OutFile;
    std::FILE* ErrFile;
    bool ShowProgress;
    bool Drawn = false;
    bool EscapeOut = false;
    QStringList Rows;
};

} // namespace Cli
