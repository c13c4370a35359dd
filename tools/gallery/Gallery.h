// The skin gallery: the program's main window with its own lighting panel and sub-windows (the key
// assignment dialog, the profile manager, the update dialog), each from its real class over a keyboard
// of the window tests; screenshots of their states.
#pragma once

#include <QDir>
#include <QStringList>

#include <filesystem>

class QWidget;

namespace tarvik::app {
class MainWindow;
}
namespace tarvik::device {
struct AppLinkState;
}
namespace tarvik::profiles {
class AssignmentStore;
}

namespace tarvik::gallery {

class Gallery {
public:
    // suffix: appended to every file name (the shots of a smaller screen beside the others).
    Gallery(std::filesystem::path skins, QDir out, QString suffix = {});

    // Every screenshot; the problems found on the way (missing pictures, windows that did not open,
    // failed writes).
    QStringList run();

private:
    void mainWindow(app::MainWindow& w, profiles::AssignmentStore& store, device::AppLinkState& state);
    void compositeDialog(app::MainWindow& w);
    void profileDialog(app::MainWindow& w);
    void updateDialog(app::MainWindow& w);
    // A message and a question, in the program's look (the question in Chinese).
    void messageBoxes(app::MainWindow& w);
    // Saves the widget as it would appear on screen: pixels outside its window region are transparent.
    void shoot(QWidget& w, const QString& name, double scale = 1.0);
    // Lets queued work (the lighting panel's answers, a switch) come back; false after the bound.
    bool settle(app::MainWindow& w);

    std::filesystem::path skins_;
    QDir out_;
    QString suffix_;
    QStringList problems_;
};

} // namespace tarvik::gallery
