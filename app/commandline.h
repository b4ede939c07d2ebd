#pragma once
// The program's command line: which port to select (and open), its settings and the look,
// read into plain values before any window exists.
#include "skin/suithemes.h"

#include <QCommandLineParser>
#include <QString>
#include <QStringList>
#include <functional>
#include <optional>

// What the command line asks for.
struct LaunchOptions
{
    QString Error; // why the command line is refused; empty when it can be used

    QString Port;       // "COMn" or a device path; empty when not given
    QString DevicePath; // the device path when the port was named by its path
    std::optional<int> Baud;
    std::optional<int> Parity; // 0 none, 1 odd, 2 even: the parity list's index
    bool Open = false;
    std::optional<TsuiUIStyle> Style;
    QString DemoScreenshot;
    QString LogFile; // where the session transcript is appended; empty for none
};

// The exit status for a command line that cannot be used (BSD's EX_USAGE).
constexpr int UsageExitCode = 64;

// The baud rates the port settings offer, as in the window's list.
const QList<int>& OfferedBaudRates();

// Declares every option of the program on the parser; the one list that help, version and
// parsing share.
void AddLaunchOptions(QCommandLineParser& parser);

// Reads the arguments (the program name first, as in argv). Values are checked here: a style
// that is not one of the five looks (any case) is a usage error, and so is a port, baud rate or
// parity that serial::ParsePortName, ParseBaudRate or ParseParity refuses (in their words), or
// a rate the window's list does not offer.
// Whether the port exists is not asked here (see PortExistenceProblem).
LaunchOptions ParseCommandLine(const QStringList& arguments);

// Takes "--style NAME" (and "--style=NAME", "-style ...") out of argv and returns it as
// arguments for ParseCommandLine: the application object would read it as the name of one of
// Qt's own widget styles.
QStringList TakeStyleArguments(int& argc, char** argv);

// The arguments without the options the application object takes for itself (Qt's
// "-platform NAME", "-display NAME", "-reverse", "-qmljsdebugger=..." and the like, with one dash
// or two): what is left is ours, to be checked before any window system is asked for.
QStringList WithoutQtOptions(const QStringList& arguments);

// Why the chosen port names no device on this machine ("" when it names one): a COMn that no
// alias or table entry stands for, or whose node is missing, or a device path that is missing.
// exists answers for a path; by default the file system does.
QString PortExistenceProblem(const LaunchOptions& options,
                             const std::function<bool(const QString&)>& exists = {});
