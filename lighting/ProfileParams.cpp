#include "lighting/ProfileParams.h"

namespace tarvik::lighting {

namespace {
Rgb colourAt(std::span<const uint8_t, kParamsSize> block, size_t offset) {
    return Rgb{block[offset], block[offset + 1], block[offset + 2]};
}
} // namespace

ProfileParams decodeParams(std::span<const uint8_t, kParamsSize> block) {
    ProfileParams p;
    p.mode = block[kParamMode];
    p.brightness = block[kParamBrightness];
    p.speed = block[kParamSpeed];
    p.direction = block[kParamDirection];
    p.random = block[kParamRandom] != 0;
    p.effectColour = colourAt(block, kParamEffectColour);
    p.preset = block[kParamPreset];
    p.baseColour = colourAt(block, kParamBaseColour);
    p.paintColour = colourAt(block, kParamPaintColour);
    p.reportRate = block[kParamReportRate];
    return p;
}

} // namespace tarvik::lighting
