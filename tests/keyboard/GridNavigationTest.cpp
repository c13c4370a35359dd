#include "keyboard/GridNavigation.h"

#include <gtest/gtest.h>

#include <array>

namespace tarvik::keyboard {
namespace {

// A corner of a keyboard: a G key column left of staggered rows, and a wide key under two narrow ones.
//   G1 | Tab  Q    W
//   G2 | Caps   A    S
//        Shift-------  Z
enum Key { G1, G2, Tab, Q, W, Caps, A, S, Shift, Z };
constexpr std::array<KeyRect, 10> kKeys{{
    {0, 0, 18, 18},   // G1
    {0, 20, 18, 18},  // G2
    {24, 0, 27, 18},  // Tab
    {53, 0, 18, 18},  // Q
    {73, 0, 18, 18},  // W
    {24, 20, 32, 18}, // Caps
    {58, 20, 18, 18}, // A
    {78, 20, 18, 18}, // S
    {24, 40, 42, 18}, // Shift
    {68, 40, 18, 18}, // Z
}};

TEST(GridNavigation, MovesToTheNearestKeyThatWay) {
    struct Case {
        Key from;
        Direction direction;
        int expected;
    };
    const Case cases[] = {
        {Q, Direction::Down, A},        // staggered row: the key below, not the nearer one aside
        {A, Direction::Up, Q},          //
        {Tab, Direction::Left, G1},     // into the G column
        {G2, Direction::Right, Caps},   // and out of it on the same row
        {G1, Direction::Down, G2},      // down the G column
        {Caps, Direction::Down, Shift}, //
        {S, Direction::Down, Z},        // a row with fewer keys: the nearest, not nothing
        {Shift, Direction::Right, Z},   //
        {W, Direction::Right, -1},      // the edge of the keyboard stays put
        {G1, Direction::Up, -1},        //
        {Shift, Direction::Down, -1},   //
    };
    for (const Case& c : cases) {
        EXPECT_EQ(nextKey(kKeys, c.from, c.direction), c.expected)
            << "from " << c.from << " direction " << static_cast<int>(c.direction);
    }
}

TEST(GridNavigation, AStartOutsideTheListFindsNothing) {
    EXPECT_EQ(nextKey(kKeys, -1, Direction::Right), -1);
    EXPECT_EQ(nextKey(kKeys, static_cast<int>(kKeys.size()), Direction::Left), -1);
}

} // namespace
} // namespace tarvik::keyboard
