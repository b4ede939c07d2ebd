// The program: builds the main window and runs the message loop until it closes.
//   esp8266wifi [--demo-screenshot PATH] [--log FILE]
#include "app/demo.h"
#include "app/sessionlog.h"
#include "app/unit1.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QMessageBox>
#include <cstdio>
#include <exception>

namespace {
// What the application object does with an exception that escapes: show it, then carry on.
void ShowException(const QString& message)
{
    QMessageBox::critical(nullptr, QApplication::applicationName(), message);
}

// Whether the arguments only ask for help or the version, which need no display.
bool AsksOnlyForText(int argc, char** argv)
{
    for (int i = 1; i < argc; ++i) {
        const QByteArray arg(argv[i]);
        if (arg == "--help" || arg == "-h" || arg == "--help-all" || arg == "--version" ||
            arg == "-v")
            return true;
    }
    return false;
}

// Names the settings (the command history of the session log) of this program.
void SetProgramNames()
{
    QCoreApplication::setOrganizationName(QStringLiteral("esp8266wifi"));
    QCoreApplication::setApplicationName(QStringLiteral("esp8266wifi"));
    QCoreApplication::setApplicationVersion(QStringLiteral(ESP_VERSION));
}

void AddOptions(QCommandLineParser& parser, const QCommandLineOption& demo,
                const QCommandLineOption& log)
{
    parser.setApplicationDescription(
        QStringLiteral("Configures an ESP8266 Wi-Fi module over a serial port with AT commands."));
    parser.addHelpOption();
    parser.addVersionOption();
    parser.addOption(demo);
    parser.addOption(log);
}
} // namespace

int main(int argc, char** argv)
{
    const QCommandLineOption demo(
        QStringLiteral("demo-screenshot"),
        QStringLiteral("Open the first port, send AT+GMR, save a picture "
                       "of the window once the reply is shown, and quit."),
        QStringLiteral("path"));
    const QCommandLineOption log(
        QStringLiteral("log"),
        QStringLiteral("Append a timestamped transcript of every byte sent and received to "
                       "file, written as it goes."),
        QStringLiteral("file"));
    if (AsksOnlyForText(argc, argv)) {
        // A build or packaging machine has no display: answer without a window system.
        QCoreApplication app(argc, argv);
        SetProgramNames();
        QCommandLineParser parser;
        AddOptions(parser, demo, log);
        parser.process(app);
        return 0;
    }
    QApplication app(argc, argv);
    SetProgramNames();
    QCommandLineParser parser;
    AddOptions(parser, demo, log);
    parser.process(app);

    try {
        TForm1 form;
        if (parser.isSet(log) && !form.SessionLog->StartTranscript(parser.value(log))) {
            std::fprintf(stderr, "esp8266wifi: cannot log to %s: %s\n",
                         qPrintable(parser.value(log)),
                         qPrintable(form.SessionLog->TranscriptError()));
            return 1;
        }
        form.show();
        if (parser.isSet(demo)) StartDemoScreenshot(form, parser.value(demo));
        return QApplication::exec();
    } catch (const std::exception& error) {
        ShowException(QString::fromLocal8Bit(error.what()));
    } catch (...) {
        ShowException(QString());
    }
    return 0;
}
