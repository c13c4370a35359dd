#include "tools/skingen/KeyboardGeometry.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <set>
#include <string>
#include <vector>

namespace tarvik::skingen {
namespace {

constexpr double kRowY[] = {0.0, 1.5, 2.5, 3.5, 4.5, 5.5};

std::vector<KeyGeometry> allKeys() {
    std::vector<KeyGeometry> keys(keyButtons().begin(), keyButtons().end());
    keys.push_back(fnButton());
    return keys;
}

bool overlap(const KeyGeometry& a, const KeyGeometry& b) {
    constexpr double e = 1e-9;
    return a.x < b.x + b.w - e && b.x < a.x + a.w - e && a.y < b.y + b.h - e && b.y < a.y + a.h - e;
}

TEST(KeyboardGeometry, HundredAndFourKeysWithDistinctNamesAndLedPositions) {
    ASSERT_EQ(keyButtons().size(), 104u);
    std::set<std::string> names;
    std::set<int> leds;
    for (const KeyGeometry& k : allKeys()) {
        ASSERT_NE(k.skinName, nullptr);
        EXPECT_TRUE(names.insert(k.skinName).second) << k.skinName;
        EXPECT_TRUE(leds.insert(k.ledPosition).second) << k.skinName;
        EXPECT_GE(k.ledPosition, 0);
        EXPECT_LT(k.ledPosition, 125) << k.skinName;
    }
    EXPECT_EQ(fnButton().ledPosition, 110);
}

TEST(KeyboardGeometry, KeysArePlacedByTheirLedRowAndColumn) {
    std::map<int, std::vector<KeyGeometry>> rows;
    for (const KeyGeometry& k : allKeys()) {
        const int row = k.ledPosition / 21;
        // A key spanning two rows (number pad + and Enter) starts in the row of its LED.
        EXPECT_DOUBLE_EQ(k.y, kRowY[row]) << k.skinName;
        EXPECT_GE(k.x, 0.0) << k.skinName;
        EXPECT_LE(k.x + k.w, kMainBlockWidth + 1e-9) << k.skinName;
        EXPECT_LE(k.y + k.h, kMainBlockHeight + 1e-9) << k.skinName;
        rows[row].push_back(k);
    }
    for (auto& [row, keys] : rows) {
        std::sort(keys.begin(), keys.end(), [](auto& a, auto& b) { return a.ledPosition < b.ledPosition; });
        for (size_t i = 1; i < keys.size(); ++i) {
            EXPECT_LT(keys[i - 1].x, keys[i].x) << keys[i - 1].skinName << " before " << keys[i].skinName;
        }
    }
}

TEST(KeyboardGeometry, FnSitsBetweenRightAltAndApp) {
    const auto find = [](const char* name) {
        const auto it = std::find_if(keyButtons().begin(), keyButtons().end(),
                                     [&](const KeyGeometry& k) { return std::string(k.skinName) == name; });
        EXPECT_NE(it, keyButtons().end()) << name;
        return it != keyButtons().end() ? *it : KeyGeometry{};
    };
    const KeyGeometry ralt = find("KEY_0B8"), app = find("KEY_0DD"), fn = fnButton();
    EXPECT_DOUBLE_EQ(fn.x, ralt.x + ralt.w);
    EXPECT_DOUBLE_EQ(app.x, fn.x + fn.w);
    EXPECT_DOUBLE_EQ(fn.y, ralt.y);
}

TEST(KeyboardGeometry, NoTwoKeysOverlapAndTheGColumnStandsLeftOfThem) {
    const std::vector<KeyGeometry> keys = allKeys();
    for (size_t i = 0; i < keys.size(); ++i) {
        for (size_t j = i + 1; j < keys.size(); ++j) {
            EXPECT_FALSE(overlap(keys[i], keys[j])) << keys[i].skinName << " / " << keys[j].skinName;
        }
    }
    ASSERT_EQ(gButtons().size(), 9u);
    for (size_t n = 0; n < gButtons().size(); ++n) {
        const KeyGeometry& g = gButtons()[n];
        EXPECT_EQ(std::string(g.skinName), "FUNC_G" + std::to_string(n + 1));
        EXPECT_EQ(g.ledPosition, 125);
        EXPECT_LE(g.x + g.w, 0.0);
        if (n > 0) {
            EXPECT_DOUBLE_EQ(g.y, gButtons()[n - 1].y + gButtons()[n - 1].h);
        }
    }
    EXPECT_NEAR(gButtons().back().y + gButtons().back().h, kMainBlockHeight, 1e-9);
}

TEST(KeyboardGeometry, PixelRectanglesKeepOneGapBetweenNeighbours) {
    const auto byName = [](const char* name) {
        const auto it = std::find_if(keyButtons().begin(), keyButtons().end(),
                                     [&](const KeyGeometry& k) { return std::string(k.skinName) == name; });
        EXPECT_NE(it, keyButtons().end()) << name;
        return it != keyButtons().end() ? *it : KeyGeometry{};
    };
    const KeyGeometry q = byName("KEY_010"), w = byName("KEY_011");
    const PixelRect a = toPixels(q, 100, 200, 48, 4), b = toPixels(w, 100, 200, 48, 4);
    EXPECT_EQ(b.x - (a.x + a.w), 4);
    EXPECT_EQ(a.w, 44);
    EXPECT_EQ(a.y, b.y);
    EXPECT_EQ(a.x, 100 + 72 + 2);
}

} // namespace
} // namespace tarvik::skingen
