// The preview's painter while it animates. Repainted one by one, a hundred lit buttons twenty times a
// second cost Qt a paint event, a painter, a clip and a pass over their siblings each, and the light a
// blend of its own on every key. The layer lies over the buttons instead: it composes each button's face
// with its light into one picture of its own, and copies that to the window in a few runs of buttons,
// one rectangle each. It is opaque where it covers a button, so Qt paints nothing under it, and lets every
// mouse event through to the buttons, which keep their states and tips.
//
// Qt drops a button's own repaint under an opaque widget, so the layer shows only while the preview
// composes every frame: a hover or a press shows with the next frame, at most 50 ms later.
#pragma once

#include "lighting/Colour.h"
#include "lighting/KeyButtons.h"

#include <QImage>
#include <QPointer>
#include <QRect>
#include <QWidget>

#include <array>
#include <optional>
#include <span>
#include <vector>

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
    // Composes every button it covers, in its state now, with its light, and repaints.
    void showFrame(const Lights& lights);
    // Whether the layer paints this button while it shows; and any. A window drawn at more than one device
    // pixel per pixel paints its own buttons.
    bool covers(int button) const;
    bool coversAny() const { return !covered_.empty(); }
    // Where the layer copies to the window, in its own coordinates: rectangles that hold only covered
    // buttons and the window's background between them.
    const std::vector<QRect>& runs() const { return runs_; }
    // The composed picture, in the layer's coordinates.
    const QImage& composed() const { return buffer_; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    struct Covered {
        QPointer<ui::CPngButton> button;
        int index = 0;
        size_t run = 0; // the run that holds it
        // The face last taken from the button's picture, kept in a small picture of its own: read from
        // the whole-window picture, the rows of a hundred faces lie far apart and the copy waits on memory.
        qint64 faceKey = 0;
        QPoint faceOrigin;
        QImage face;
        // What the composed picture holds for it: a frame that changes neither is not composed again.
        bool composed = false;
        std::optional<Rgb> light;
    };

    // Whether the button's part of the picture changed.
    bool compose(Covered& c, const std::optional<Rgb>& light);

    std::vector<std::pair<int, QPointer<ui::CPngButton>>> buttons_;
    std::vector<Covered> covered_;
    std::array<bool, kLitButtonCount> isCovered_{};
    std::vector<QRect> runs_;
    QImage buffer_;
    bool relayoutPending_ = true;
};

} // namespace tarvik::lighting
