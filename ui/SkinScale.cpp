#include "ui/SkinScale.h"

#include <algorithm>
#include <cmath>

namespace tarvik::ui {

double fitScale(int width, int height, int availableWidth, int availableHeight) {
    if (width <= 0 || height <= 0 || availableWidth <= 0 || availableHeight <= 0) {
        return 1.0;
    }
    const double sx = static_cast<double>(availableWidth) / width;
    const double sy = static_cast<double>(availableHeight) / height;
    return std::min({1.0, sx, sy});
}

SkinRect scaleRect(const SkinRect& r, double scale) {
    if (scale == 1.0) {
        return r;
    }
    auto edge = [scale](int v) { return static_cast<int>(std::lround(v * scale)); };
    const int left = edge(r.x);
    const int top = edge(r.y);
    const int right = edge(r.x + r.w);
    const int bottom = edge(r.y + r.h);
    return SkinRect{left, top, std::max(1, right - left), std::max(1, bottom - top)};
}

} // namespace tarvik::ui
