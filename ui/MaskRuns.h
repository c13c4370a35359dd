// The window region of a skinned dialog from its mask picture: every pixel that is not pure white
// (255, 255, 255) belongs to the window. The mask is scanned row by row into horizontal runs, which
// the dialog combines into its region. No Qt here.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace tarvik::ui {

struct MaskRun {
    int x;
    int y;
    int w; // the run covers x .. x + w - 1 of row y
    bool operator==(const MaskRun&) const = default;
};

// Runs are combined into the region this many at a time.
inline constexpr size_t kRegionBatch = 2000;

// pixels: height rows of 32-bit pixels 0xAARRGGBB (alpha ignored), stride pixels apart.
std::vector<MaskRun> maskRuns(const uint32_t* pixels, int width, int height, size_t stride);

} // namespace tarvik::ui
