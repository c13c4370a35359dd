// When the preview timer may stop. Frames that change nothing cost a repaint check twenty times a second
// for nothing: a mode whose picture never moves (a static colour, the stored user colours, no animation)
// is drawn once, and an animated one stops once its frames have stopped changing for a while (a black
// effect colour). Anything that can change the picture (a new mode or parameter, the panel turned on, the
// window shown again) restarts it.
#pragma once

#include "lighting/LightingModes.h"

namespace tarvik::lighting {

// True for the preview kinds whose frames never change.
constexpr bool isStillPreview(PreviewKind kind) {
    return kind == PreviewKind::None || kind == PreviewKind::Static || kind == PreviewKind::StoredColours;
}

class PreviewPacer {
public:
    // Unchanged frames an animated mode may show before the timer stops (two seconds at 50 ms).
    static constexpr int kIdleFrames = 40;

    void restart() { idle_ = 0; }
    // After a frame of a mode: whether the timer keeps running.
    bool keepRunning(PreviewKind kind, bool changed) {
        if (isStillPreview(kind)) {
            return false;
        }
        idle_ = changed ? 0 : idle_ + 1;
        return idle_ < kIdleFrames;
    }

private:
    int idle_ = 0;
};

} // namespace tarvik::lighting
