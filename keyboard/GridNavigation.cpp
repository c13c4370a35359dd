#include "keyboard/GridNavigation.h"

#include <cstdint>
#include <cstdlib>
#include <limits>

namespace tarvik::keyboard {

int nextKey(std::span<const KeyRect> keys, int from, Direction direction) {
    if (from < 0 || static_cast<size_t>(from) >= keys.size()) {
        return -1;
    }
    // Centres doubled, so that they stay whole numbers.
    auto cx = [](const KeyRect& r) { return 2 * r.x + r.width; };
    auto cy = [](const KeyRect& r) { return 2 * r.y + r.height; };
    const KeyRect& start = keys[static_cast<size_t>(from)];
    int best = -1;
    int64_t bestCost = std::numeric_limits<int64_t>::max();
    for (size_t i = 0; i < keys.size(); ++i) {
        if (static_cast<int>(i) == from) {
            continue;
        }
        const int dx = cx(keys[i]) - cx(start);
        const int dy = cy(keys[i]) - cy(start);
        int along = 0;
        int across = 0;
        switch (direction) {
        case Direction::Left:
            along = -dx, across = dy;
            break;
        case Direction::Right:
            along = dx, across = dy;
            break;
        case Direction::Up:
            along = -dy, across = dx;
            break;
        case Direction::Down:
            along = dy, across = dx;
            break;
        }
        if (along <= 0 || std::abs(across) > along) {
            continue;
        }
        const int64_t cost = int64_t{along} + 3 * int64_t{std::abs(across)};
        if (cost < bestCost) {
            bestCost = cost;
            best = static_cast<int>(i);
        }
    }
    return best;
}

} // namespace tarvik::keyboard
