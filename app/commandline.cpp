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
    QCommandLineOption Port{QStringLiteral("port"),
                            QStringLiteral("Select the port COMn or the device at PATH."),
                            QStringLiteral("COMn|PATH")};
    QCommandLineOption Baud{QStringLiteral("baud"),
                            QStringLiteral("Select the baud rate (1200 to 115200)."),
                            QStringLiteral("N")};
    QCommandLineOption Parity{QStringLiteral("parity"),
                              QStringLiteral("Select the parity: none (or NO), odd or even, in any case."),
                              QStringLiteral("none|odd|even")};
    QCommandLineOption Open{QStringLiteral("open"),
                            QStringLiteral("Open the selected port at start.")};
    QCommandLineOption Style{QStringLiteral("style"),
                             QStringLiteral("Draw the window in one of the looks: ") + LookNames() +
                                 QLatin1Char('.'),
                             QStringLiteral("NAME")};
    QCommandLineOption Demo{
        QStringLiteral("demo-screenshot"),
        QStringLiteral("Open the first port, send AT+GMR, save a picture of the window once the "
                       "reply is shown, and quit."),
        QStringLiteral("path")};
    QCommandLineOption Log{
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
    options.Error = std::move(why);
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
    parser.addOptions({o.Port, o.Baud, o.Parity, o.Open, o.Style, o.Demo, o.Log});
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
    if (parser.isSet(o.Port)) {
        const std::string text = parser.value(o.Port).toStdString();
        const auto port = serial::ParsePortName(text);
        if (!port) return Refused(QString::fromStdString(serial::BadPortName(text)));
        options.Port = QString::fromStdString(port->Text());
        if (port->Number == 0) options.DevicePath = options.Port;
    }
    if (parser.isSet(o.Baud)) {
        const std::string text = parser.value(o.Baud).toStdString();
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
        options.Baud = *baud;
    }
    if (parser.isSet(o.Parity)) {
        const std::string text = parser.value(o.Parity).toStdString();
        const auto parity = serial::ParseParity(text);
        if (!parity) return Refused(QString::fromStdString(serial::BadParity(text)));
        options.Parity = *parity;
    }
    if (parser.isSet(o.Style)) {
        const QString name = parser.value(o.Style);
        for (TsuiUIStyle style : Looks)
            if (name.compare(LookName(style), Qt::CaseInsensitive) == 0) options.Style = style;
        if (!options.Style)
            return Refused(QStringLiteral("unknown style '%1' (%2)").arg(name, LookNames()));
    }
    options.Open = parser.isSet(o.Open);
    options.DemoScreenshot = parser.value(o.Demo);
    options.LogFile = parser.value(o.Log);
    return options;
}

QString PortExistenceProblem(const LaunchOptions& options,
                             const std::function<bool(const QString&)>& exists)
{
    if (options.Port.isEmpty()) return {};
    const auto present = exists ? exists : [](const QString& path) {
        return QFileInfo::exists(path);
    };
    if (!options.DevicePath.isEmpty())
        return present(options.DevicePath)
                   ? QString()
                   : QStringLiteral("unknown port '%1': no such device").arg(options.DevicePath);
    const QString device = QString::fromStdString(
        serial::DeviceName(unsigned(options.Port.mid(3).toInt())));
    if (device.isEmpty())
        return QStringLiteral("unknown port '%1': no alias or device stands for it")
            .arg(options.Port);
    if (!present(device))
        return QStringLiteral("unknown port '%1': its device %2 is missing").arg(options.Port, device);
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
