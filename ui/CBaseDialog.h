// The base of every skinned window: no system frame, the background picture painted at (0, 0), the
// window's outline taken from a mask picture, the words of section "CAPTIONS" drawn in the current
// language above the window's controls, and a press anywhere on the window moves it. Enter and Escape
// never close a skinned window.
//
// A caption that the skin gives an owner ("CAPTION_OWNERS") is found among the window's widgets by the
// owner's object name (the skin key) whenever it appears; it shows only while that widget shows, moves
// with it and is dimmed while it is disabled. Until such a widget exists the caption stays hidden.
//
// A window whose skin does not fit into the available area of its screen is drawn smaller, at one
// factor (skinScale()), with its controls, pictures, mask, captions and hit areas scaled alike.
//
// The outline: where the window system cuts a window to its mask region (X11), the region does it. Where
// a mask only limits where the window takes input (Wayland), the window is translucent and its
// background is drawn with the mask as its alpha, so the skin's corners show the desktop, not black.
#pragma once

#include "platform/IniFile.h"
#include "ui/SkinCaptions.h"
#include "ui/SkinRect.h"

#include <QDialog>
#include <QImage>
#include <QPixmap>
#include <QPoint>
#include <QRegion>
#include <QString>

#include <QPointer>

#include <filesystem>
#include <memory>
#include <optional>
#include <vector>

namespace tarvik::ui {

class SkinCaptionView;

class CBaseDialog : public QDialog {
    Q_OBJECT

public:
    enum class Kind {
        // A dialog: a window of its parent, initialised anew each time it is shown.
        Dialog,
        // The program's main window: a normal top-level window (taskbar entry, minimize), initialised
        // once; later showings only run onShowDialog().
        MainWindow,
    };

    // layoutFile: the dialog's skin layout file; pictureFolder: where its pictures are (the layout
    // file's folder).
    CBaseDialog(int templateId, QWidget* parent, std::filesystem::path layoutFile,
                std::filesystem::path pictureFolder, Kind kind = Kind::Dialog);
    ~CBaseDialog() override;

    enum class Outline {
        Region, // the window is cut to the mask's region
        Alpha,  // the window is translucent outside the mask (the region then only limits input)
    };
    // The outline a platform needs (QGuiApplication::platformName()).
    static Outline outlineFor(const QString& platformName);
    // The outline of windows constructed from now on: the platform's, or the one given (tests).
    static void setOutlineOverride(std::optional<Outline> outline);
    Outline outline() const { return outline_; }
    // Whether the window system lets a program put its windows where it wants (X11 does, Wayland not:
    // there the compositor places every window).
    static bool programPlacesWindows();

    int templateId() const { return templateId_; }
    Kind kind() const { return kind_; }
    const std::filesystem::path& layoutFile() const { return layoutFile_; }
    const std::filesystem::path& pictureFolder() const { return pictureFolder_; }
    // The layout file as read by the last initialisation (read again if a hidden window gave it back).
    const IniFile& layout() const;
    const QPixmap& backgroundPicture() const { return background_; }
    // The window's outline as read from the mask picture (1 bit a pixel: set inside the window).
    const QImage& maskPicture() const { return mask_; }

    // Runs the initialisation now, without showing the window (the main window is initialised while
    // hidden). A Dialog then skips it at the next showing; a MainWindow never runs it twice.
    void initialise();
    bool initialised() const { return initialised_; }

    // The factor the window is drawn at: 1, or below 1 when its skin did not fit the screen.
    double skinScale() const { return scale_; }
    // The factor of the skinned window a widget belongs to (1 for a widget outside one).
    static double skinScaleOf(const QWidget& widget);
    // A layout rectangle in window coordinates.
    QRect toWindow(const SkinRect& r) const;

    // The entries of section "CAPTIONS" and the texts they show now.
    const std::vector<SkinCaption>& captions() const { return captions_; }
    QString captionText(size_t index) const;
    // The widget that draws a caption (null before the skin is loaded).
    SkinCaptionView* captionView(size_t index) const;

    // Every pixel of the mask that is not pure white, as one region; an all-white mask gives an empty
    // region (the dialog becomes invisible).
    static QRegion regionFromMask(const QImage& mask);

    // OK: releases both pictures, then closes.
    void accept() override;
    void setVisible(bool visible) override;

protected:
    // The initialisation (see Kind); derived windows call this first and then place their controls from
    // layout().
    virtual void onInitDialog();
    // Each time the window is shown, after any initialisation.
    virtual void onShowDialog() {}
    // After a language switch: redraws the captions; derived windows re-text their controls and call
    // this too.
    virtual void retext();

    // Reads "SCREEN"/"Main" and "Mask" and the captions, loads the mask, sizes the window to the
    // background (scaled to fit the screen) and applies the mask's region. The background is measured by
    // its header and decoded now only when the window is visible, else when it shows. A missing picture
    // leaves the size and region as they were.
    void loadSkin();
    void releasePictures();
    // A window that stays hidden for long (the resident main window) gives its background back and loads
    // it again when it is shown.
    void releaseBackground();
    void reloadBackground();
    // Draws the window at a new factor: size, region and every placed control.
    void setSkinScale(double scale);
    // The window's region from the mask at the current scale; nothing while the mask is not read.
    void applyRegion();
    // The factor that fits the skin into the available area of the window's screen.
    double fittingScale() const;

    void paintEvent(QPaintEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void childEvent(QChildEvent* event) override;

private:
    void runInitialisation();
    void reloadCaptionTexts();
    void buildCaptionViews();
    void dropCaptionViews();
    // Places, shows or hides every caption from its owner now; raises them above the controls.
    void syncCaptions();
    void syncCaption(size_t index);
    // The same once the event loop runs again (many widgets may be added in one go).
    void scheduleCaptionSync();
    void ownerChanged(QObject* owner);
    QWidget* findOwner(const std::string& key) const;
    QSize skinSize() const;
    static QImage outlineOf(const QImage& mask);
    // The picture with the mask as its alpha (Outline::Alpha), else the picture as it is.
    QPixmap withOutline(const QPixmap& picture) const;
    void keepOnScreen();

    int templateId_;
    Kind kind_;
    Outline outline_;
    std::filesystem::path layoutFile_;
    std::filesystem::path pictureFolder_;
    mutable IniFile layout_;
    mutable bool layoutReleased_ = false;
    QPixmap background_;
    std::filesystem::path backgroundFile_;
    std::filesystem::path maskFile_;
    QImage mask_;    // one bit a pixel: 1 inside the window
    QSize skinSize_; // the background's size in layout pixels
    std::vector<SkinCaption> captions_;
    // One view per caption once the skin is loaded, and the widget each owned caption follows.
    std::vector<SkinCaptionView*> captionViews_;
    std::vector<QPointer<QWidget>> captionOwners_;
    std::unique_ptr<QObject> ownerWatch_;
    bool captionSyncPending_ = false;
    double scale_ = 1.0;
    double regionScale_ = -1; // the scale the window's region was made at
    bool initialising_ = false;
    bool initialised_ = false;
    bool initialisedForNextShow_ = false;
    // Moving by hand where the window system does not move the window itself.
    bool dragging_ = false;
    QPoint dragOffset_;
};

} // namespace tarvik::ui
