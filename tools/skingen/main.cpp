// skingen SKIN_FOLDER [ICON_FOLDER]: renders every skin picture and layout file of the program into
// SKIN_FOLDER and, when given, the program's desktop icons into ICON_FOLDER. Runs at build time without
// a display.
#include "tools/skingen/Skins.h"

#include <QDir>
#include <QElapsedTimer>
#include <QGuiApplication>

#include <cstdio>

int main(int argc, char** argv) {
    if (argc != 2 && argc != 3) {
        std::fprintf(stderr, "usage: skingen SKIN_FOLDER [ICON_FOLDER]\n");
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
    tarvik::skingen::writeAppRulesSkin(out);
    tarvik::skingen::writeIcons(out);
    QStringList errors = out.errors();
    int files = out.fileCount();
    if (argc == 3) {
        tarvik::skingen::Output icons{QDir(QString::fromLocal8Bit(argv[2]))};
        tarvik::skingen::writeThemeIcons(icons);
        errors += icons.errors();
        files += icons.fileCount();
    }
    for (const QString& e : errors) {
        std::fprintf(stderr, "skingen: cannot write %s\n", qPrintable(e));
    }
    if (!errors.isEmpty()) {
        return 1;
    }
    std::printf("skingen: %d files (%lld ms)\n", files, static_cast<long long>(clock.elapsed()));
    return 0;
}
