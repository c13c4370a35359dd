// skin_gallery SKINS_FOLDER OUTPUT_FOLDER [SUFFIX]: screenshots of every dialog in its states; SUFFIX is
// appended to each file name (shots of another screen beside the others).
#include "tools/gallery/Gallery.h"

#include <QApplication>

#include <cstdio>

int main(int argc, char** argv) {
    if (argc != 3 && argc != 4) {
        std::fprintf(stderr, "usage: skin_gallery SKINS_FOLDER OUTPUT_FOLDER [SUFFIX]\n");
        return 2;
    }
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QApplication app(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);
    const QDir out(QString::fromLocal8Bit(argv[2]));
    if (!QDir().mkpath(out.path())) {
        std::fprintf(stderr, "skin_gallery: cannot create %s\n", argv[2]);
        return 1;
    }
    tarvik::gallery::Gallery gallery(argv[1], out, argc == 4 ? QString::fromLocal8Bit(argv[3]) : QString());
    const QStringList problems = gallery.run();
    for (const QString& p : problems) {
        std::fprintf(stderr, "skin_gallery: %s\n", qPrintable(p));
    }
    return problems.isEmpty() ? 0 : 1;
}
