// Draws the main window's own pictures, deterministically (no antialiasing, fixed palettes):
//   appart OUTDIR  writes esp8266wifi.png (32x32 window icon) and lamp_off/lamp_on in 32x32 and
//   16x16, 16 colours each.
//   appart --icons DIR  writes the program's icon for the desktop's icon theme,
//   DIR/<N>x<N>/apps/org.esp8266wifi.Configurator.png (the desktop ID) for N = 16, 32, 48, 64, 128 and 256.
#include <QColor>
#include <QDir>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <cmath>
#include <cstdio>

namespace {

// The classic 16-colour palette the lamp pictures are stored in.
QList<QRgb> SixteenColours()
{
    return {qRgb(0, 0, 0),       qRgb(128, 0, 0),   qRgb(0, 128, 0),   qRgb(128, 128, 0),
            qRgb(0, 0, 128),     qRgb(128, 0, 128), qRgb(0, 128, 128), qRgb(192, 192, 192),
            qRgb(128, 128, 128), qRgb(255, 0, 0),   qRgb(0, 255, 0),   qRgb(255, 255, 0),
            qRgb(0, 0, 255),     qRgb(255, 0, 255), qRgb(0, 255, 255), qRgb(255, 255, 255)};
}

QImage Blank(int size)
{
    QImage image(size, size, QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    return image;
}

// A round lamp: a dark rim, a body and a small highlight; lit lamps get eight rays.
QImage Lamp(int size, bool lit)
{
    QImage image = Blank(size);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing, false);
    const double s = size / 32.0;
    if (lit) {
        p.setPen(QPen(QColor(255, 255, 0), std::max(1.0, 2 * s)));
        for (int i = 0; i < 8; ++i) {
            const double a = i * M_PI / 4;
            p.drawLine(QPointF(16 * s + std::cos(a) * 11 * s, 16 * s + std::sin(a) * 11 * s),
                       QPointF(16 * s + std::cos(a) * 15 * s, 16 * s + std::sin(a) * 15 * s));
        }
    }
    p.setPen(QPen(QColor(lit ? qRgb(128, 0, 0) : qRgb(0, 0, 0)), 1));
    p.setBrush(lit ? QColor(255, 0, 0) : QColor(128, 128, 128));
    p.drawEllipse(QRectF(7 * s, 7 * s, 18 * s, 18 * s));
    p.setPen(Qt::NoPen);
    p.setBrush(lit ? QColor(255, 255, 255) : QColor(192, 192, 192));
    p.drawEllipse(QRectF(11 * s, 10 * s, 5 * s, 4 * s));
    p.end();
    QImage indexed = image.convertToFormat(QImage::Format_Indexed8, SixteenColours(),
                                           Qt::ThresholdDither | Qt::AvoidDither);
    // Keep the surroundings see-through: the transparent source pixels map to one extra entry.
    QList<QRgb> table = indexed.colorTable();
    table << qRgba(0, 0, 0, 0);
    indexed.setColorTable(table);
    for (int y = 0; y < size; ++y)
        for (int x = 0; x < size; ++x)
            if (qAlpha(image.pixel(x, y)) == 0) indexed.setPixel(x, y, uint(table.size() - 1));
    return indexed;
}

// The window icon: a white Wi-Fi symbol on a blue cloud, drawn on a 32-unit grid. The window's
// own 32x32 picture keeps hard pixel edges; the larger desktop sizes are smoothed.
QImage WindowIcon(int size = 32)
{
    QImage image = Blank(size);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing, size > 32);
    p.scale(size / 32.0, size / 32.0);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(30, 110, 220));
    p.drawEllipse(QRect(2, 12, 14, 14));
    p.drawEllipse(QRect(9, 5, 16, 16));
    p.drawEllipse(QRect(17, 11, 13, 13));
    p.drawRect(QRect(8, 18, 17, 8));
    p.setPen(QPen(Qt::white, 2, Qt::SolidLine, Qt::FlatCap));
    p.setBrush(Qt::NoBrush);
    for (int r : {4, 8, 12})
        p.drawArc(QRect(16 - r, 22 - r, 2 * r, 2 * r), 45 * 16, 90 * 16);
    p.setPen(Qt::NoPen);
    p.setBrush(Qt::white);
    p.drawRect(QRect(15, 21, 2, 2));
    return image;
}

bool Save(const QImage& image, const QDir& dir, const char* name)
{
    const QString path = dir.filePath(QString::fromLatin1(name));
    if (image.save(path, "PNG")) return true;
    std::fprintf(stderr, "appart: cannot write %s\n", qPrintable(path));
    return false;
}

} // namespace

int main(int argc, char** argv)
{
    QGuiApplication app(argc, argv);
    if (argc != 2 && !(argc == 3 && QByteArray(argv[1]) == "--icons")) {
        std::fprintf(stderr, "usage: appart OUTDIR | appart --icons DIR\n");
        return 2;
    }
    if (argc == 3 && QByteArray(argv[1]) == "--icons") {
        const QDir theme(QString::fromLocal8Bit(argv[2]));
        for (int size : {16, 32, 48, 64, 128, 256}) {
            const QString sub = QStringLiteral("%1x%1/apps").arg(size);
            if (!theme.mkpath(sub) || !Save(WindowIcon(size), QDir(theme.filePath(sub)),
                                            "org.esp8266wifi.Configurator.png"))
                return 1;
        }
        return 0;
    }
    QDir dir(QString::fromLocal8Bit(argv[1]));
    if (!dir.mkpath(QStringLiteral("."))) return 1;
    const bool ok =
        Save(WindowIcon(), dir, "esp8266wifi.png") && Save(Lamp(32, false), dir, "lamp_off.png") &&
        Save(Lamp(16, false), dir, "lamp_off_16.png") && Save(Lamp(32, true), dir, "lamp_on.png") &&
        Save(Lamp(16, true), dir, "lamp_on_16.png");
    return ok ? 0 : 1;
}
