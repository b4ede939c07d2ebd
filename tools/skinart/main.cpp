// skinart: paints the built-in style artwork.
//   skinart --out <dir>                 writes every picture as <dir>/<NAME>.png
//   skinart --contact-sheet <file.png>  writes one labelled overview of all pictures
//   skinart --list                      prints name, size and frame count of each picture
#include "tools/skinart/artwork.h"
#include "tools/skinart/contactsheet.h"

#include <QGuiApplication>
#include <QStringList>
#include <cstdio>

namespace {

int usage()
{
    std::fputs("usage: skinart --out <dir> | --contact-sheet <file.png> | --list\n", stderr);
    return 2;
}

} // namespace

int main(int argc, char** argv)
{
    QStringList args;
    for (int i = 1; i < argc; ++i)
        args << QString::fromLocal8Bit(argv[i]);
    if (args.size() == 1 && args[0] == "--list") {
        for (const auto& s : skinart::catalogue())
            std::printf("%-28s %4dx%-3d frames %2d  %s\n", qPrintable(s.name), s.width, s.height,
                        s.frames,
                        s.keying == skinart::Keying::SeeThrough ? "see-through" : "opaque");
        return 0;
    }
    if (args.size() != 2) return usage();
    if (args[0] == "--out") { // pure pixel work: no application object needed
        QString error;
        if (!skinart::writeAll(args[1], &error)) {
            std::fprintf(stderr, "skinart: %s\n", qPrintable(error));
            return 1;
        }
        return 0;
    }
    if (args[0] == "--contact-sheet") {
        // The labels need fonts; the offscreen platform needs no display.
        qputenv("QT_QPA_PLATFORM", "offscreen");
        QGuiApplication app(argc, argv);
        const QImage sheet = skinart::renderSheet(skinart::renderAll());
        if (!sheet.save(args[1], "png")) {
            std::fprintf(stderr, "skinart: cannot write %s\n", qPrintable(args[1]));
            return 1;
        }
        return 0;
    }
    return usage();
}
