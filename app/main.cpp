// The program: builds the main window and runs the message loop until it closes.
//   esp8266wifi [--demo-screenshot PATH]
#include "app/demo.h"
#include "app/unit1.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QMessageBox>
#include <exception>

namespace {
// What the application object does with an exception that escapes: show it, then carry on.
void ShowException(const QString& message)
{
    QMessageBox::critical(nullptr, QApplication::applicationName(), message);
}
} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("esp8266wifi"));
    QCommandLineParser parser;
    parser.addHelpOption();
    const QCommandLineOption demo(
        QStringLiteral("demo-screenshot"),
        QStringLiteral("Open the first port, send AT+GMR, save a picture "
                       "of the window once the reply is shown, and quit."),
        QStringLiteral("path"));
    parser.addOption(demo);
    parser.process(app);

    try {
        TForm1 form;
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
