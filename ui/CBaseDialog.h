// The base of every skinned dialog: no system frame, the background picture painted at (0, 0), the
// window's outline taken from a mask picture, and a press anywhere on the dialog moves the window.
#pragma once

#include "platform/IniFile.h"

#include <QDialog>
#include <QImage>
#include <QPixmap>
#include <QPoint>
#include <QRegion>

#include <filesystem>

namespace tarvik::ui {

class CBaseDialog : public QDialog {
    Q_OBJECT

public:
    // layoutFile: the dialog's skin layout file; pictureFolder: where its pictures are (the layout
    // file's folder).
    CBaseDialog(int templateId, QWidget* parent, std::filesystem::path layoutFile,
                std::filesystem::path pictureFolder);
    ~CBaseDialog() override;

    int templateId() const { return templateId_; }
    const std::filesystem::path& layoutFile() const { return layoutFile_; }
    const std::filesystem::path& pictureFolder() const { return pictureFolder_; }
    // The layout file as read by the last initialisation.
    const IniFile& layout() const { return layout_; }
    const QPixmap& backgroundPicture() const { return background_; }
    const QImage& maskPicture() const { return mask_; }

    // Every pixel of the mask that is not pure white, as one region; an all-white mask gives an empty
    // region (the dialog becomes invisible).
    static QRegion regionFromMask(const QImage& mask);

    // OK: releases both pictures, then closes.
    void accept() override;
    void setVisible(bool visible) override;

protected:
    // Runs each time the dialog is about to be shown, before it appears; derived dialogs call this
    // first and then place their controls from layout().
    virtual void onInitDialog();
    // Reads "SCREEN"/"Main" and "Mask", loads both pictures, sizes the window to the background and
    // applies the mask's region. A missing picture leaves the size and region as they were.
    void loadSkin();
    void releasePictures();

    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    int templateId_;
    std::filesystem::path layoutFile_;
    std::filesystem::path pictureFolder_;
    IniFile layout_;
    QPixmap background_;
    QImage mask_;
    bool initialising_ = false;
    // Moving by hand where the window system does not move the window itself.
    bool dragging_ = false;
    QPoint dragOffset_;
};

} // namespace tarvik::ui
