// skingen OUTPUT_FOLDER: renders every skin picture and layout file of the program into the folder.
// Runs at build time without a display.
#include "tools/skingen/Skins.h"

#include <QDir>
#include <QElapsedTimer>
#include <QGuiApplication>

#include <cstdio>

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: skingen OUTPUT_FOLDER\n");
        return 2;
    }
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QGuiApplication app(argc, argv);
    QElapsedTimer clock;
    clock.start();

    const QDir dir(QString::fromLocal8Bit(argv[1]));
    if (!QDir().mkpath(dir.path())) {
        std::fprintf(stderr, "skingen: cannot create %s\n", argv[1]);
        return 1;
    }
    tarvik::skingen::Output out(dir);
    tarvik::skingen::writeMainSkin(out);
    tarvik::skingen::writeCompositeSkin(out);
    tarvik::skingen::writeProfileSkin(out);
    tarvik::skingen::writeUpdateSkin(out);
    tarvik::skingen::writeIcons(out);
    for (const QString& e : out.errors()) {
        std::fprintf(stderr, "skingen: cannot write %s\n", qPrintable(e));
    }
    if (!out.errors().isEmpty()) {
        return 1;
    }
    std::printf("skingen: %d files in %s (%lld ms)\n", out.fileCount(), qPrintable(dir.path()),
                static_cast<long long>(clock.elapsed()));
    return 0;
}
