// The floor the resident program is measured against: the least a Qt Widgets program with an icon in the
// notification area and a menu on it costs on the same desk.
#include <QApplication>
#include <QMenu>
#include <QPixmap>
#include <QSystemTrayIcon>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    app.setQuitOnLastWindowClosed(false);
    QPixmap picture(16, 16);
    picture.fill(Qt::darkCyan);
    QSystemTrayIcon icon{QIcon(picture)};
    QMenu menu;
    menu.addAction("Quit", &app, &QApplication::quit);
    icon.setContextMenu(&menu);
    icon.setToolTip("floor");
    icon.show();
    return app.exec();
}
