#include <QApplication>
#include <QFile>
#include <QSettings>
#include <QTemporaryDir>
#include <gtest/gtest.h>

int main(int argc, char** argv)
{
    // Settings the window keeps (the command history) go to a folder of this run, never to the
    // user's own.
    QTemporaryDir settings;
    qputenv("XDG_CONFIG_HOME", settings.path().toLocal8Bit());
    // A desktop-sized screen (the offscreen default is 800 x 600), so that the window opens at
    // its stored place, which a smaller screen would not hold.
    const QString screens = settings.filePath(QStringLiteral("screens.json"));
    QFile config(screens);
    if (config.open(QIODevice::WriteOnly))
        config.write(R"({"screens": [{"name": "desk", "x": 0, "y": 0, "width": 1280,
                         "height": 1024, "logicalDpi": 96}]})");
    config.close();
    qputenv("QT_QPA_PLATFORM", ("offscreen:configfile=" + screens).toLocal8Bit());
    QApplication app(argc, argv);
    QCoreApplication::setOrganizationName(QStringLiteral("esp8266wifi-tests"));
    QCoreApplication::setApplicationName(QStringLiteral("app_tests"));
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, settings.path());
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
