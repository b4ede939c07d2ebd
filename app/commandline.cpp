#include "app/commandline.h"

#include "serial/serialbackend.h"

#include <QFileInfo>
#include <QMetaEnum>
#include <QRegularExpression>

namespace {

constexpr TsuiUIStyle Looks[] = {TsuiUIStyle::MacOS, TsuiUIStyle::WinXP, TsuiUIStyle::DeepBlue,
                                 TsuiUIStyle::Protein, TsuiUIStyle::BlueGlass};
const QStringList ParityNames = {QStringLiteral("NO"), QStringLiteral("ODD"),
                                 QStringLiteral("EVEN")};
constexpr int HighestListedPort = 255;

QString LookName(TsuiUIStyle style)
{
    return QString::fromLatin1(QMetaEnum::fromType<TsuiUIStyle>().valueToKey(int(style)));
}

QString LookNames()
{
    QStringList names;
    for (TsuiUIStyle style : Looks)
        names << LookName(style);
    return names.join(QStringLiteral(", "));
}

// The program's own options, built once, on first use.
struct OptionSet
{
    QCommandLineOption port{QStringLiteral("port"),
                            QStringLiteral("Select the port COMn or the device at PATH."),
                            QStringLiteral("COMn|PATH")};
    QCommandLineOption baud{QStringLiteral("baud"),
                            QStringLiteral("Select the baud rate (1200 to 115200)."),
                            QStringLiteral("N")};
    QCommandLineOption parity{QStringLiteral("parity"),
                              QStringLiteral("Select the parity: NO, ODD or EVEN."),
                              QStringLiteral("NO|ODD|EVEN")};
    QCommandLineOption open{QStringLiteral("open"),
                            QStringLiteral("Open the selected port at start.")};
    QCommandLineOption style{QStringLiteral("style"),
                             QStringLiteral("Draw the window in one of the looks: ") + LookNames() +
                                 QLatin1Char('.'),
                             QStringLiteral("NAME")};
    QCommandLineOption demo{
        QStringLiteral("demo-screenshot"),
        QStringLiteral("Open the first port, send AT+GMR, save a picture of the window once the "
                       "reply is shown, and quit."),
        QStringLiteral("path")};
    QCommandLineOption log{
        QStringLiteral("log"),
        QStringLiteral("Append a timestamped transcript of every byte sent and received to "
                       "file, written as it goes."),
        QStringLiteral("file")};
};

const OptionSet& Options()
{
    static const OptionSet options;
    return options;
}

LaunchOptions Refused(QString why)
{
    LaunchOptions options;
    options.error = std::move(why);
    return options;
}

} // namespace

const QList<int>& OfferedBaudRates()
{
    static const QList<int> rates = {1200, 2400, 4800, 9600, 19200, 38400, 57600, 115200};
    return rates;
}

void AddLaunchOptions(QCommandLineParser& parser)
{
    parser.setApplicationDescription(
        QStringLiteral("Configures an ESP8266 Wi-Fi module over a serial port with AT commands."));
    parser.addHelpOption();
    parser.addVersionOption();
    const OptionSet& o = Options();
    parser.addOptions({o.port, o.baud, o.parity, o.open, o.style, o.demo, o.log});
}

LaunchOptions ParseCommandLine(const QStringList& arguments)
{
    QCommandLineParser parser;
    AddLaunchOptions(parser);
    if (!parser.parse(arguments)) return Refused(parser.errorText());
    const OptionSet& o = Options();
    LaunchOptions options;
    if (!parser.positionalArguments().isEmpty())
        return Refused(QStringLiteral("unexpected argument '%1'")
                           .arg(parser.positionalArguments().first()));

    if (parser.isSet(o.port)) {
        const QString port = parser.value(o.port);
        static const QRegularExpression comPort(QStringLiteral("^COM([1-9][0-9]{0,2})$"),
                                                QRegularExpression::CaseInsensitiveOption);
        const QRegularExpressionMatch com = comPort.match(port);
        if (com.hasMatch() && com.captured(1).toInt() <= HighestListedPort) {
            options.port = QStringLiteral("COM") + com.captured(1);
        } else if (port.startsWith(QLatin1Char('/'))) {
            options.port = port;
            options.portDevice = port;
        } else {
            return Refused(QStringLiteral("unknown port '%1' (COM1 to COM%2, or a device path)")
                               .arg(port)
                               .arg(HighestListedPort));
        }
    }
    if (parser.isSet(o.baud)) {
        bool number = false;
        const int baud = parser.value(o.baud).toInt(&number);
        if (!number || !OfferedBaudRates().contains(baud)) {
            QStringList rates;
            for (int rate : OfferedBaudRates())
                rates << QString::number(rate);
            return Refused(QStringLiteral("baud rate '%1' is not offered (%2)")
                               .arg(parser.value(o.baud), rates.join(QStringLiteral(", "))));
        }
        options.baud = baud;
    }
    if (parser.isSet(o.parity)) {
        const QString name = parser.value(o.parity).toUpper();
        if (!ParityNames.contains(name))
            return Refused(QStringLiteral("unknown parity '%1' (NO, ODD or EVEN)")
                               .arg(parser.value(o.parity)));
        options.parity = int(ParityNames.indexOf(name));
    }
    if (parser.isSet(o.style)) {
        const QString name = parser.value(o.style);
        for (TsuiUIStyle style : Looks)
            if (name.compare(LookName(style), Qt::CaseInsensitive) == 0) options.style = style;
        if (!options.style)
            return Refused(QStringLiteral("unknown style '%1' (%2)").arg(name, LookNames()));
    }
    options.open = parser.isSet(o.open);
    options.demoScreenshot = parser.value(o.demo);
    options.logFile = parser.value(o.log);
    return options;
}

QString PortExistenceProblem(const LaunchOptions& options,
                             const std::function<bool(const QString&)>& exists)
{
    if (options.port.isEmpty()) return {};
    const auto present = exists ? exists : [](const QString& path) {
        return QFileInfo::exists(path);
    };
    if (!options.portDevice.isEmpty())
        return present(options.portDevice)
                   ? QString()
                   : QStringLiteral("unknown port '%1': no such device").arg(options.portDevice);
    const QString device = QString::fromStdString(
        serial::PortDevice(unsigned(options.port.mid(3).toInt())));
    if (device.isEmpty())
        return QStringLiteral("unknown port '%1': no alias or device stands for it")
            .arg(options.port);
    if (!present(device))
        return QStringLiteral("unknown port '%1': its device %2 is missing").arg(options.port, device);
    return {};
}

QStringList TakeStyleArguments(int& argc, char** argv)
{
    QStringList taken;
    int kept = 1;
    for (int i = 1; i < argc; ++i) {
        QByteArray arg(argv[i]);
        if (arg.startsWith("--")) arg.remove(0, 1);
        if (arg == "-style") {
            taken << QStringLiteral("--style");
            if (i + 1 < argc) taken << QString::fromLocal8Bit(argv[++i]);
        } else if (arg.startsWith("-style=")) {
            taken << QStringLiteral("--style") << QString::fromLocal8Bit(arg.mid(7));
        } else {
            argv[kept++] = argv[i];
        }
    }
    argc = kept;
    argv[argc] = nullptr;
    return taken;
}

QStringList WithoutQtOptions(const QStringList& arguments)
{
    // Those of QCoreApplication, QGuiApplication, QApplication and the X11 and Wayland
    // platforms; "-style" is not among them (ours).
    static const QStringList withValue = {
        "platform", "platformpluginpath", "platformtheme", "plugin",   "qwindowgeometry",
        "geometry", "qwindowtitle",       "title",         "qwindowicon", "icon",
        "session",  "display",            "name",          "visual",   "stylesheet",
        "qmljsdebugger"};
    static const QStringList flags = {"reverse", "widgetcount", "nograb", "dograb", "sync",
                                      "testability"};
    QStringList kept;
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        QString word = arguments[i];
        if (i == 0 || !word.startsWith(QLatin1Char('-'))) {
            kept << word;
            continue;
        }
        word.remove(0, word.startsWith(QLatin1String("--")) ? 2 : 1);
        const QString name = word.section(QLatin1Char('='), 0, 0);
        if (withValue.contains(name)) {
            if (!word.contains(QLatin1Char('='))) ++i; // its value is the next word
        } else if (!flags.contains(word)) {
            kept << arguments[i];
        }
    }
    return kept;
}
