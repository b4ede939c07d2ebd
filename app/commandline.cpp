#include "app/commandline.h"

#include "serial/portoptions.h"
#include "serial/serialbackend.h"

#include <QFileInfo>
#include <QMetaEnum>

namespace {

constexpr TsuiUIStyle Looks[] = {TsuiUIStyle::MacOS, TsuiUIStyle::WinXP, TsuiUIStyle::DeepBlue,
                                 TsuiUIStyle::Protein, TsuiUIStyle::BlueGlass};

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
                              QStringLiteral("Select the parity: none (or NO), odd or even, in any case."),
                              QStringLiteral("none|odd|even")};
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

    // The port and line settings read as esp8266at reads them, refused in the same words.
    if (parser.isSet(o.port)) {
        const std::string text = parser.value(o.port).toStdString();
        const auto port = serial::ParsePortName(text);
        if (!port) return Refused(QString::fromStdString(serial::BadPortName(text)));
        options.port = QString::fromStdString(port->Text());
        if (port->Number == 0) options.portDevice = options.port;
    }
    if (parser.isSet(o.baud)) {
        const std::string text = parser.value(o.baud).toStdString();
        const auto baud = serial::ParseBaudRate(text);
        if (!baud) return Refused(QString::fromStdString(serial::BadBaudRate(text)));
        // A rate the line can take but the window's list cannot show would be lost on the way
        // into the list.
        if (!OfferedBaudRates().contains(*baud)) {
            QStringList rates;
            for (int rate : OfferedBaudRates())
                rates << QString::number(rate);
            return Refused(QStringLiteral("baud rate %1 is not in the window's list (%2); "
                                          "esp8266at can use it")
                               .arg(*baud)
                               .arg(rates.join(QStringLiteral(", "))));
        }
        options.baud = *baud;
    }
    if (parser.isSet(o.parity)) {
        const std::string text = parser.value(o.parity).toStdString();
        const auto parity = serial::ParseParity(text);
        if (!parity) return Refused(QString::fromStdString(serial::BadParity(text)));
        options.parity = *parity;
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
