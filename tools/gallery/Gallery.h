// The skin gallery: the program's main window (with a stand-in for the lighting panel) and, until their
// own classes join, the composite key dialog, the profile manager and the update dialog laid out from the
// generated skins; screenshots of their states.
#pragma once

#include <QDir>
#include <QStringList>

#include <filesystem>

class QWidget;

namespace tarvik::gallery {

class Gallery {
public:
    // suffix: appended to every file name (the shots of a smaller screen beside the others).
    Gallery(std::filesystem::path skins, QDir out, QString suffix = {});

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
    QString suffix_;
    QStringList problems_;
};

} // namespace tarvik::gallery
