// The program: builds the main window and runs the message loop until it closes.
//   esp8266wifi [--port COMn|PATH] [--baud N] [--parity NO|ODD|EVEN] [--open] [--style NAME]
//               [--log FILE] [--demo-screenshot PATH] [--help] [--version]
#include "app/commandline.h"
#include "app/demo.h"
#include "app/sessionlog.h"
#include "app/unit1.h"
#include "process/terminationsignals.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QMessageBox>
#include <cstdio>
#include <vector>

namespace {
// An exception that escapes the window is shown before the program ends with status 1.
void ShowException(const QString& message)
{
    QMessageBox::critical(nullptr, QApplication::applicationName(), message);
}

void Complain(const QString& message)
{
    std::fprintf(stderr, "esp8266wifi: %s\n", qPrintable(message));
}

// Names the program, and so where its settings (the session log's command history) live.
void NameTheProgram()
{
    QCoreApplication::setOrganizationName(QStringLiteral("esp8266wifi"));
    QCoreApplication::setApplicationName(QStringLiteral("esp8266wifi"));
    QCoreApplication::setApplicationVersion(QStringLiteral(ESP_VERSION));
    // The desktop ID: a Wayland compositor finds the desktop entry and icon by it (app_id).
    QGuiApplication::setDesktopFileName(QStringLiteral("org.esp8266wifi.Configurator"));
}

// Whether the arguments ask for help or the version, which need no window.
bool AsksOnlyForText(const QStringList& arguments)
{
    for (const QString& arg : arguments.mid(1))
        if (arg == "--help" || arg == "-h" || arg == "--help-all" || arg == "--version" ||
            arg == "-v" || arg == "-?")
            return true;
    return false;
}

// Help and version. The application object is a widget application on the offscreen
// platform, whatever the display: --help-all then lists the options such an object takes,
// and a build machine without a display gets its answer too.
int AnswerText(int argc, char** argv)
{
    std::vector<char*> args(argv, argv + argc);
    char platformOption[] = "-platform";
    char offscreen[] = "offscreen";
    args.push_back(platformOption); // the last -platform wins
    args.push_back(offscreen);
    args.push_back(nullptr);
    int count = argc + 2;
    QApplication app(count, args.data());
    NameTheProgram();
    QCommandLineParser parser;
    AddLaunchOptions(parser);
    parser.process(app);
    return 0;
}

// Puts the command line's choices into the window; the open's failure goes to standard error.
void ApplyLaunchOptions(TForm1& form, const LaunchOptions& options)
{
    if (options.Style) form.ApplyUIStyle(*options.Style);
    if (!options.Port.isEmpty()) form.SelectCommandLinePort(options.Port, options.DevicePath);
    if (options.Baud)
        form.suiComboBox_PcBaudRate->setCurrentIndex(
            form.suiComboBox_PcBaudRate->findText(QString::number(*options.Baud)));
    if (options.Parity) form.suiComboBox_PcParity->setCurrentIndex(*options.Parity);
    if (!options.Open) return;
    form.suiButton_OpenPortClick();
    if (!form.Port->IsOpen())
        Complain(QStringLiteral("cannot open %1: %2")
                     .arg(form.suiComboBox_PcPort->currentText(),
                          QString::fromStdString(form.Port->LastError().Message)));
}

// The window's part: the application object, the window, the message loop.
int RunWindow(int argc, char** argv, const LaunchOptions& options)
{
    QApplication app(argc, argv);
    NameTheProgram();
    return Process::RunReportingExceptions(
        [&] {
            // A signal ends the loop; the form then goes out of scope, which closes the port
            // (exclusive flag cleared, lock removed) and the session log's transcript.
            Process::TerminationSignals terminations;
            QObject::connect(&terminations, &Process::TerminationSignals::Arrived, &app,
                             &QCoreApplication::quit);
            TForm1 form;
            if (!options.LogFile.isEmpty() && !form.SessionLog->StartTranscript(options.LogFile)) {
                Complain(QStringLiteral("cannot log to %1: %2")
                             .arg(options.LogFile, form.SessionLog->TranscriptError()));
                return 1;
            }
            ApplyLaunchOptions(form, options);
            form.show();
            if (!options.DemoScreenshot.isEmpty())
                StartDemoScreenshot(form, options.DemoScreenshot);
            const int status = QApplication::exec();
            // What the port received up to now reaches the transcript in whole lines.
            if (form.SessionLog->TranscriptOn()) form.SessionLog->StopTranscript();
            const int signal = terminations.Received();
            return signal ? Process::TerminationSignals::ExitStatusFor(signal) : status;
        },
        [](const char* what) { ShowException(QString::fromLocal8Bit(what)); });
}
} // namespace

int main(int argc, char** argv)
{
    // The command line is read and checked before the application object exists, so that a
    // usage error is one whatever the display. "--style" is ours and is kept from the object,
    // which would read it as one of Qt's own widget styles; Qt's options are left to it.
    const QStringList styleArguments = TakeStyleArguments(argc, argv);
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    arguments = WithoutQtOptions(arguments) + styleArguments;
    const LaunchOptions options = ParseCommandLine(arguments);
    if (!options.Error.isEmpty()) {
        Complain(options.Error + QStringLiteral(" (see --help)"));
        return UsageExitCode;
    }
    if (AsksOnlyForText(arguments)) return AnswerText(argc, argv);
    if (const QString problem = PortExistenceProblem(options); !problem.isEmpty()) {
        Complain(problem);
        return UsageExitCode;
    }
    return RunWindow(argc, argv, options);
}
