// The skin gallery: builds the main window, the composite key dialog, the profile manager and the update
// dialog from the generated skins, the way the program places them, and saves screenshots of their
// states.
#pragma once

#include <QDir>
#include <QStringList>

#include <filesystem>

class QWidget;

namespace tarvik::gallery {

class Gallery {
public:
    Gallery(std::filesystem::path skins, QDir out);

    // Every screenshot; the problems found on the way (missing pictures, failed writes).
    QStringList run();

private:
    void mainWindow();
    void compositeDialog();
    void profileDialog();
    void updateDialog();
    // Saves the widget as it would appear on screen: pixels outside its window region are transparent.
    void shoot(QWidget& w, const QString& name, double scale = 1.0);

    std::filesystem::path skins_;
    QDir out_;
    QStringList problems_;
};

} // namespace tarvik::gallery
