// Moving the keyboard focus across the on-screen keyboard with the arrow keys: from one key to the
// nearest key whose centre lies in the arrow's direction, whatever row or block it belongs to.
#pragma once

#include <span>

namespace tarvik::keyboard {

struct KeyRect {
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
};

enum class Direction { Left, Right, Up, Down };

// The index of the key to move to from keys[from], or -1 when none lies that way. A key counts as lying
// that way when its centre lies within 45 degrees of the direction, seen from the start key's centre,
// so that Right at a row's end stays put instead of dropping a row; the nearest wins, with a
// step across the direction counted three times as far as one along it, so that Down from a key lands
// on the key below rather than on a closer one further aside.
int nextKey(std::span<const KeyRect> keys, int from, Direction direction);

} // namespace tarvik::keyboard
