// The floor the resident program is measured against: the least a Qt Widgets program with an icon in the
// notification area and a menu on it costs on the same desk. Given a picture, a click on the icon also
// shows the least window of its kind (that picture, a line of text, a button), which the window manager's
// close destroys again: what Qt itself keeps of a window that was shown once.
#include <QApplication>
#include <QImage>
#include <QLabel>
#include <QMenu>
#include <QPixmap>
#include <QPointer>
#include <QPushButton>
#include <QSystemTrayIcon>
#include <QVBoxLayout>

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
    QPointer<QWidget> window;
    const QString background = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QString();
    QObject::connect(&icon, &QSystemTrayIcon::activated, [&](QSystemTrayIcon::ActivationReason why) {
        if (why != QSystemTrayIcon::Trigger || background.isEmpty()) {
            return;
        }
        if (!window) {
            window = new QWidget;
            window->setAttribute(Qt::WA_DeleteOnClose);
            auto* column = new QVBoxLayout(window);
            auto* shown = new QLabel;
            // Decoded as an image: a pixmap read by file name would stay in Qt's pixmap cache until that
            // cache's next sweep, which makes the figure depend on when the window closed.
            shown->setPixmap(QPixmap::fromImage(QImage(background)));
            column->addWidget(shown);
            column->addWidget(new QLabel("Profile 1: keys, macros and lighting"));
            column->addWidget(new QPushButton("Apply"));
        }
        window->show();
    });
    icon.show();
    return app.exec();
}
