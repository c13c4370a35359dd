#include "ui/MaskRuns.h"

namespace tarvik::ui {

std::vector<MaskRun> maskRuns(const uint32_t* pixels, int width, int height, size_t stride) {
    std::vector<MaskRun> runs;
    if (pixels == nullptr || width <= 0 || height <= 0) {
        return runs;
    }
    auto inside = [](uint32_t p) { return (p & 0x00FFFFFFu) != 0x00FFFFFFu; };
    for (int y = 0; y < height; ++y) {
        const uint32_t* row = pixels + static_cast<size_t>(y) * stride;
        int x = 0;
        while (x < width) {
            while (x < width && !inside(row[x])) {
                ++x;
            }
            const int start = x;
            while (x < width && inside(row[x])) {
                ++x;
            }
            if (x > start) {
                runs.push_back(MaskRun{start, y, x - start});
            }
        }
    }
    return runs;
}

} // namespace tarvik::ui
