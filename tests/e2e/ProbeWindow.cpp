// e2e_probe: a small window for the runner's own scenarios, which need a program before the real one
// exists. It shows the background picture of a skin layout file at its size, and writes what reaches it
// to a log, one line each: "shown", "click X Y BUTTON" (window coordinates), "key TEXT KEY SCANCODE"
// (the native scan code: the X key code), "focus", and with --tray "tray available|unavailable" and
// "tray at X Y W H" once a tray host has embedded the icon.
//
//   e2e_probe --title NAME --log FILE [--skin LAYOUT_FILE] [--tray ICON_FILE] [--app-id ID]
#include "platform/IniFile.h"
#include "platform/Utf.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPixmap>
#include <QSystemTrayIcon>
#include <QTimer>
#include <QWidget>

#include <memory>

namespace {

class Log {
public:
    explicit Log(const QString& path) : file_(path) { file_.open(QIODevice::WriteOnly | QIODevice::Append); }
    void line(const QString& text) {
        file_.write(text.toUtf8() + '\n');
        file_.flush();
    }

private:
    QFile file_;
};

class Probe : public QWidget {
public:
    Probe(Log& log, QPixmap background) : log_(log), background_(std::move(background)) {
        setFocusPolicy(Qt::StrongFocus);
        if (!background_.isNull()) {
            setFixedSize(background_.size());
        } else {
            setFixedSize(480, 320);
        }
    }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        if (background_.isNull()) {
            p.fillRect(rect(), QColor(0x26, 0x2a, 0x31));
        } else {
            p.drawPixmap(0, 0, background_);
        }
        if (!announced_) {
            announced_ = true;
            // Drawn once: the window is on the screen, not only mapped.
            QTimer::singleShot(0, this, [this] { log_.line(QStringLiteral("shown")); });
        }
    }
    void mousePressEvent(QMouseEvent* e) override {
        const QPoint at = e->position().toPoint();
        log_.line(
            QStringLiteral("click %1 %2 %3").arg(at.x()).arg(at.y()).arg(static_cast<int>(e->button())));
    }
    void keyPressEvent(QKeyEvent* e) override {
        log_.line(QStringLiteral("key %1 %2 %3")
                      .arg(e->text().isEmpty() ? QStringLiteral("-") : e->text())
                      .arg(e->key())
                      .arg(e->nativeScanCode()));
    }
    void focusInEvent(QFocusEvent*) override { log_.line(QStringLiteral("focus")); }

private:
    Log& log_;
    QPixmap background_;
    bool announced_ = false;
};

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QCommandLineParser parser;
    parser.addOption({"title", "window title", "title", "e2e probe"});
    parser.addOption({"log", "log file", "file"});
    parser.addOption({"skin", "skin layout file", "file"});
    parser.addOption({"tray", "tray icon picture", "file"});
    parser.addOption({"app-id", "the Wayland app id (the desktop file name)", "id"});
    parser.process(app);
    if (!parser.isSet("log")) {
        return 2;
    }
    Log log(parser.value("log"));

    QPixmap background;
    if (parser.isSet("skin")) {
        const std::filesystem::path layout = parser.value("skin").toStdString();
        const tarvik::IniFile ini = tarvik::IniFile::load(layout);
        const std::filesystem::path picture =
            layout.parent_path() / tarvik::toUtf8(ini.get(u"SCREEN", u"Main"));
        background.load(QString::fromStdString(picture.string()));
    }
    Probe probe(log, background);
    probe.setWindowTitle(parser.value("title"));
    if (parser.isSet("app-id")) {
        QGuiApplication::setDesktopFileName(parser.value("app-id"));
    }
    probe.show();

    std::unique_ptr<QSystemTrayIcon> tray;
    QTimer trayWatch;
    QElapsedTimer trayClock;
    QRect lastPlace;
    int steady = 0;
    if (parser.isSet("tray")) {
        log.line(QSystemTrayIcon::isSystemTrayAvailable() ? QStringLiteral("tray available")
                                                          : QStringLiteral("tray unavailable"));
        tray = std::make_unique<QSystemTrayIcon>(QIcon(parser.value("tray")));
        tray->setToolTip(parser.value("title"));
        tray->show();
        // The host embeds the icon a moment later and may move it while it lays out its panel; report
        // the place once it has held for a few readings, giving up after 10 s.
        trayClock.start();
        QObject::connect(&trayWatch, &QTimer::timeout, [&] {
            const QRect g = tray->geometry();
            // Before the host has embedded it, the icon is at (-1, -1).
            const bool placed = g.isValid() && g.width() > 1 && g.x() >= 0 && g.y() >= 0;
            steady = placed && g == lastPlace ? steady + 1 : 0;
            lastPlace = g;
            if (steady >= 4) {
                log.line(QStringLiteral("tray at %1 %2 %3 %4")
                             .arg(g.x())
                             .arg(g.y())
                             .arg(g.width())
                             .arg(g.height()));
                trayWatch.stop();
            } else if (trayClock.elapsed() > 10000) {
                log.line(QStringLiteral("tray not embedded"));
                trayWatch.stop();
            }
        });
        trayWatch.start(50);
    }
    return app.exec();
}
