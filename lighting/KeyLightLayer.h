// The preview's painter while it animates. Repainted one by one, a hundred lit buttons twenty times a
// second cost Qt a paint event, a painter, a clip and a pass over their siblings each, and the light a
// blend of its own on every key. The layer lies over the buttons instead and writes each button's face
// with its light straight into the window's picture, in a few runs of buttons, one rectangle each. It is
// opaque where it covers a button, so Qt paints nothing under it, and lets every mouse event through to
// the buttons, which keep their states and tips.
//
// Qt drops a button's own repaint under an opaque widget, so the layer shows only while the preview
// composes every frame: a hover or a press shows with the next frame, at most 50 ms later.
#pragma once

#include "lighting/Colour.h"
#include "lighting/KeyButtons.h"
#include "lighting/KeyLegend.h"
#include "lighting/LightBlend.h"

#include <QImage>
#include <QPointer>
#include <QRect>
#include <QWidget>

#include <array>
#include <cstdint>
#include <map>
#include <optional>
#include <span>
#include <tuple>
#include <vector>

class QPainter;

namespace tarvik::ui {
class CPngButton;
} // namespace tarvik::ui

namespace tarvik::lighting {

class KeyLightLayer : public QWidget {
    Q_OBJECT

public:
    using Lights = std::array<std::optional<Rgb>, kLitButtonCount>;

    // parent: the window the buttons are placed in. The layer starts hidden.
    explicit KeyLightLayer(QWidget& parent);

    // The buttons by button index. It paints those placed in its parent whose pictures cover their face;
    // the rest paint themselves. A button's after-paint callback must draw the same light as the layer
    // (the lighting panel's does), for the fallback of faces that are more than a picture.
    void setButtons(std::span<ui::CPngButton* const> buttons);
    // Takes the buttons' places and the window's background under them again (each time it shows: the
    // buttons may have moved, the background changed).
    void relayout();
    // Gives back the window's background and the faces it took (the small legend cache stays); the next
    // frame lays out again. For a layer that does not show (a hidden window keeps nothing it would only
    // draw).
    void release();
    // Takes every covered button's state now and its light, and repaints the runs where either changed.
    void showFrame(const Lights& lights);
    // Whether the layer paints this button while it shows; and any. A window drawn at more than one device
    // pixel per pixel paints its own buttons.
    bool covers(int button) const;
    bool coversAny() const { return !covered_.empty(); }
    // Where the layer writes to the window, in its own coordinates: rectangles that hold only covered
    // buttons and the window's background between them.
    std::vector<QRect> runs() const;
    // Whether the last paint wrote straight into the window's picture. Painted anywhere else (a grab, a
    // render, a window picture of a format of its own) it composes a picture of its own and draws that.
    bool paintsInPlace() const { return inPlace_; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    struct Covered {
        QPointer<ui::CPngButton> button;
        int index = 0;
        size_t run = 0;     // the run that holds it
        QRect face;         // in the layer's coordinates
        int corner = 0;     // the unlit square at each corner of its light
        qint64 faceKey = 0; // the picture its face was last taken from, and where in it
        QPoint faceOrigin;
        // A face with more than a picture: the button paints itself, its light included.
        bool selfPainted = false;
        std::optional<Rgb> light;
        KeyLegend legend;                   // where its legend lies on its face
        LegendInk ink = LegendInk::Printed; // the legend's ink on its light
    };
    // Rows of the light to add to a run, one channel quad per pixel: a key's light leaves out a one-pixel
    // edge, and a square at each corner, so rows near the top and bottom edges light less of each key.
    // Row d lights the rows d + 1 from the run's nearer edge row; the last one every row further in.
    static constexpr int kRowKinds = kMaxLightCorner + 1;
    struct Run {
        QRect area;
        std::vector<uint32_t> add; // kRowKinds rows of area.width()
    };
    // Where a paint writes: pixels of four bytes at `origin` for the layer's top left, and a painter on
    // the same pixels in the layer's coordinates for the faces that paint themselves.
    struct Target {
        uchar* bits = nullptr;
        qsizetype stride = 0;
        QPoint origin;
        QPainter* painter = nullptr;
    };

    // Takes the button's face into the plain picture when its picture changed; whether it did.
    bool takeFace(Covered& c);
    // Sets the button's part of its run's light rows.
    void takeLight(Covered& c, const std::optional<Rgb>& light);
    // Writes every pixel of `area`, a part of run `run`, in the layer's coordinates.
    void write(const Target& to, size_t run, const QRect& area) const;

    // Legends found in the faces' pictures, by picture and place in it: a layout or a hover brings back
    // faces seen before.
    std::map<std::tuple<qint64, int, int>, KeyLegend> legends_;
    std::vector<std::pair<int, QPointer<ui::CPngButton>>> buttons_;
    std::vector<Covered> covered_;
    std::array<bool, kLitButtonCount> isCovered_{};
    std::vector<Run> runs_;
    Lights lights_{};
    // The layer unlit: the window's own painting (the background between the buttons) with each covered
    // face at its place, in the format of the window's picture. A frame adds the light to it row by row,
    // a whole run at a time, straight into the window's picture.
    QImage plain_;
    // What a paint anywhere but the window's picture composes first.
    QImage buffer_;
    bool relayoutPending_ = true;
    bool inPlace_ = false;
};

} // namespace tarvik::lighting
