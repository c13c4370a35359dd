#include "macros/MacroImage.h"

#include "platform/Bytes.h"

#include <gtest/gtest.h>

#include <random>
#include <vector>

namespace tarvik::macros {
namespace {

constexpr uint16_t kA = 0x01E;
constexpr uint16_t kB = 0x030;

MacroRecord macro(std::u16string_view name, std::vector<MacroAction> actions, uint8_t cycles = 1) {
    MacroRecord m;
    m.setName(name);
    m.setCycles(cycles);
    m.setActions(actions);
    return m;
}

std::vector<uint8_t> slice(const std::vector<uint8_t>& v, size_t from, size_t n) {
    return {v.begin() + static_cast<std::ptrdiff_t>(from), v.begin() + static_cast<std::ptrdiff_t>(from + n)};
}

TEST(MacroImage, NoMacrosIsTheHeaderAlone) {
    MacroSet none;
    MacroImageSizes s = macroImageSizes(none);
    EXPECT_EQ(s, (MacroImageSizes{16, 16}));
    std::vector<uint8_t> img = buildMacroImage(none, 16, true);
    const std::vector<uint8_t> expected{0xAA, 0x55, 0x10, 0x00, 0x00, 0x00, 0x01, 0x00,
                                        0,    0,    0,    0,    0,    0,    0,    0};
    EXPECT_EQ(img, expected);
}

TEST(MacroImage, AbMacroBlockAtOffset18) {
    MacroSet set{macro(u"Ab", {{100, kA, kPress}, {0, kA, kRelease}})};
    MacroImageSizes s = macroImageSizes(set);
    EXPECT_EQ(s.withNames, 34u);
    EXPECT_EQ(s.withoutNames, 30u);

    std::vector<uint8_t> img = buildMacroImage(set, s.withNames, true);
    ASSERT_EQ(img.size(), 34u);
    EXPECT_EQ(slice(img, 0, 8), (std::vector<uint8_t>{0xAA, 0x55, 34, 0, 1, 0, 1, 0}));
    EXPECT_EQ(slice(img, 16, 2), (std::vector<uint8_t>{18, 0}));
    EXPECT_EQ(slice(img, 18, 4), (std::vector<uint8_t>{0x02, 0x00, 0x01, 0x02}));
    EXPECT_EQ(slice(img, 22, 8), (std::vector<uint8_t>{0x0A, 0xA0, 0x02, 0x04, 0x00, 0x20, 0x02, 0x04}));
    EXPECT_EQ(slice(img, 30, 4), (std::vector<uint8_t>{'A', 0, 'b', 0}));

    std::vector<uint8_t> bare = buildMacroImage(set, s.withoutNames, false);
    ASSERT_EQ(bare.size(), 30u);
    EXPECT_EQ(slice(bare, 2, 6), (std::vector<uint8_t>{30, 0, 1, 0, 0, 0}));
    EXPECT_EQ(bare[21], 0); // name length 0
}

TEST(MacroImage, BlocksFollowEachOtherInListOrder) {
    MacroSet set{macro(u"x", {{0, kA, kPress}}), macro(u"", {}),
                 macro(u"yz", {{0, kB, kPress}, {0, kB, kRelease}})};
    MacroImageSizes s = macroImageSizes(set);
    std::vector<uint8_t> img = buildMacroImage(set, s.withNames, true);
    ASSERT_FALSE(img.empty());
    size_t first = 16 + 2 * 3;
    EXPECT_EQ(readLe16(&img[16]), first);
    EXPECT_EQ(readLe16(&img[18]), first + 4 + 4 + 2);
    EXPECT_EQ(readLe16(&img[20]), first + 10 + 4);
    EXPECT_EQ(s.withNames, first + 10 + 4 + 4 + 8 + 4);
}

TEST(MacroImage, BuildRefusesASizeThatCannotHoldTheBlocksOrBeAddressed) {
    MacroSet set{macro(u"Ab", {{100, kA, kPress}})};
    EXPECT_TRUE(buildMacroImage(set, macroImageSizes(set).withNames - 1, true).empty());
    EXPECT_TRUE(buildMacroImage(set, 0x10000, false).empty());
    // A larger size than needed is allowed and zero-padded.
    std::vector<uint8_t> padded = buildMacroImage(set, 64, false);
    ASSERT_EQ(padded.size(), 64u);
    EXPECT_EQ(readLe16(&padded[2]), 64);
}

struct ActionCase {
    const char* what;
    MacroAction action;
    std::array<uint8_t, 4> bytes;
};

void PrintTo(const ActionCase& c, std::ostream* os) {
    *os << c.what;
}

class ActionEncoding : public ::testing::TestWithParam<ActionCase> {};

TEST_P(ActionEncoding, Bytes) {
    const ActionCase& c = GetParam();
    EXPECT_EQ(encodeMacroAction(c.action), c.bytes) << c.what;
}

INSTANTIATE_TEST_SUITE_P(
    MacroImage, ActionEncoding,
    ::testing::Values(ActionCase{"PressA100ms", {100, kA, kPress}, {0x0A, 0xA0, 0x02, 0x04}},
                      ActionCase{"ReleaseA", {0, kA, kRelease}, {0x00, 0x20, 0x02, 0x04}},
                      ActionCase{"Delay40000Is4000Units", {40000, kA, kRelease}, {0xA0, 0x2F, 0x02, 0x04}},
                      ActionCase{"Delay9RoundsDownTo0", {9, kA, kRelease}, {0x00, 0x20, 0x02, 0x04}},
                      ActionCase{"DelayKeepsOnly12Bits", {41000, kA, kRelease}, {0x04, 0x20, 0x02, 0x04}},
                      ActionCase{"RightAltModifierBit40", {0, 0x138, kPress}, {0x00, 0xA0, 0x01, 0x40}},
                      ActionCase{"LeftCtrlModifierBit01", {0, 0x01D, kRelease}, {0x00, 0x20, 0x01, 0x01}},
                      ActionCase{"RightWinModifierBit80", {0, 0x15C, kPress}, {0x00, 0xA0, 0x01, 0x80}},
                      ActionCase{"VolumeUpConsumerE9", {20, 0x130, kPress}, {0x02, 0xB0, 0xE9, 0x00}},
                      ActionCase{"PowerSystemControl81", {0, 0x15E, kPress}, {0x00, 0xC0, 0x81, 0x00}},
                      ActionCase{"NoKeyNoDeviceCode", {30, 0, kPress}, {0x03, 0x80, 0x00, 0x00}},
                      ActionCase{"AnyDirectionButOneIsPress", {0, kA, 7}, {0x00, 0xA0, 0x02, 0x04}}),
    [](const ::testing::TestParamInfo<ActionCase>& info) { return std::string(info.param.what); });

TEST(MacroImage, DecodedDelaysAreMultiplesOfTenAndDirectionComesFromBit15) {
    for (uint32_t delay : {0u, 9u, 10u, 12345u, 40000u}) {
        for (uint16_t dir : {kPress, kRelease}) {
            MacroAction a{delay, kA, dir};
            auto bytes = encodeMacroAction(a);
            MacroAction back = decodeMacroAction(bytes);
            EXPECT_EQ(back.delayMs, delay / 10 * 10);
            EXPECT_EQ(back.direction, dir);
            EXPECT_EQ(back.key, kA);
        }
    }
}

TEST(MacroImage, DecodedKeysForEveryKind) {
    struct Case {
        std::array<uint8_t, 4> bytes;
        uint16_t key;
    } cases[] = {
        {{0, 0xA0, 0x02, 0x04}, kA},    // keyboard usage
        {{0, 0xA0, 0x01, 0x40}, 0x138}, // modifier bit
        {{0, 0xA0, 0x01, 0x41}, 0x01D}, // lowest set bit wins
        {{0, 0xA0, 0x03, 0x04}, 0},     // keyboard kind of another form
        {{0, 0xB0, 0xE9, 0x00}, 0x130}, // consumer
        {{0, 0xC0, 0x81, 0x00}, 0x15E}, // system control
        {{0, 0xD0, 0x04, 0x00}, 0},     // kind 5
        {{0, 0x90, 0x02, 0x04}, 0},     // kind 1
        {{0, 0xF0, 0x02, 0x04}, 0},     // kind 7
    };
    for (const auto& c : cases) {
        EXPECT_EQ(decodeMacroAction(c.bytes).key, c.key) << int(c.bytes[1]) << " " << int(c.bytes[2]);
    }
}

TEST(MacroImage, DecodeRenumbersIdsAndKeepsNames) {
    MacroSet set{macro(u"Ab", {{100, kA, kPress}, {0, kA, kRelease}}, 3), macro(u"Zz", {{50, kB, kPress}})};
    set[0].setId(17);
    set[1].setId(4);
    set[0].setIsNew(1);
    set[0].setReserved504(9);
    std::vector<uint8_t> img = buildMacroImage(set, macroImageSizes(set).withNames, true);
    MacroSet back = decodeMacroImage(img);
    ASSERT_EQ(back.size(), 2u);
    EXPECT_EQ(back[0].id(), 1);
    EXPECT_EQ(back[1].id(), 2);
    EXPECT_EQ(back[0].name(), u"Ab");
    EXPECT_EQ(back[1].name(), u"Zz");
    EXPECT_EQ(back[0].cycles(), 3);
    EXPECT_EQ(back[0].isNew(), 0);
    EXPECT_EQ(back[0].reserved504(), 0);
    EXPECT_EQ(back[0].actions(), set[0].actions());
    EXPECT_EQ(back[1].actions(), set[1].actions());
}

TEST(MacroImage, DecodeWithoutNamesGivesPrefixAndNumber) {
    MacroSet set{macro(u"first", {{0, kA, kPress}}), macro(u"second", {}), macro(u"third", {})};
    set[0].setId(9);
    set[1].setId(2);
    set[2].setId(5);
    std::vector<uint8_t> img = buildMacroImage(set, macroImageSizes(set).withoutNames, false);
    MacroSet back = decodeMacroImage(img);
    ASSERT_EQ(back.size(), 3u);
    EXPECT_EQ(back[0].name(), u"Macro1");
    EXPECT_EQ(back[1].name(), u"Macro2");
    EXPECT_EQ(back[2].name(), u"Macro3");
    EXPECT_EQ(decodeMacroImage(img, u"宏")[1].name(), u"宏2");
}

// Images a keyboard might return that do not hold what their header says.
std::vector<uint8_t> header(uint16_t size, uint16_t count, uint16_t names = 1) {
    std::vector<uint8_t> img(16, 0);
    writeLe16(&img[0], 0x55AA);
    writeLe16(&img[2], size);
    writeLe16(&img[4], count);
    writeLe16(&img[6], names);
    return img;
}

TEST(MacroImage, DecodeRefusesWhatLiesOutsideTheImage) {
    EXPECT_TRUE(decodeMacroImage({}).empty());
    {
        std::vector<uint8_t> bad = header(16, 0);
        bad[0] = 0;
        EXPECT_TRUE(decodeMacroImage(bad).empty()) << "wrong magic";
    }
    {
        // 500 macros announced, only room for two offsets: at most what the table holds.
        std::vector<uint8_t> img = header(20, 500);
        img.resize(20, 0);
        writeLe16(&img[16], 0xFFF0);
        writeLe16(&img[18], 0xFFF0);
        MacroSet s = decodeMacroImage(img);
        ASSERT_EQ(s.size(), 2u);
        EXPECT_EQ(s[0].actionCount(), 0u) << "block outside the image gives no actions";
        EXPECT_EQ(s[0].name(), u"Macro1");
    }
    {
        // Count above 100 is cut to 100.
        std::vector<uint8_t> img = header(16 + 2 * 150 + 4, 150);
        img.resize(16 + 2 * 150 + 4, 0);
        for (size_t i = 0; i < 150; ++i) {
            writeLe16(&img[16 + 2 * i], 16 + 2 * 150);
        }
        EXPECT_EQ(decodeMacroImage(img).size(), 100u);
    }
    {
        // A block promising 1000 actions in an image that holds 3 of them, and a name beyond the end.
        std::vector<uint8_t> img = header(0, 1);
        img.resize(18 + 4 + 12, 0);
        writeLe16(&img[2], static_cast<uint16_t>(img.size()));
        writeLe16(&img[16], 18);
        writeLe16(&img[18], 1000);
        img[20] = 1;
        img[21] = 200;
        for (size_t a = 0; a < 3; ++a) {
            img[22 + 4 * a + 1] = 0xA0;
            img[22 + 4 * a + 2] = 0x02;
            img[22 + 4 * a + 3] = 0x04;
        }
        MacroSet s = decodeMacroImage(img);
        ASSERT_EQ(s.size(), 1u);
        EXPECT_EQ(s[0].actionCount(), 3u);
        EXPECT_EQ(s[0].name(), u"Macro1");
    }
    {
        // Header size shorter than the bytes: the image ends where the header says.
        MacroSet set{macro(u"Ab", {{100, kA, kPress}, {0, kA, kRelease}})};
        std::vector<uint8_t> img = buildMacroImage(set, 34, true);
        writeLe16(&img[2], 26); // cuts into the second action and the name
        MacroSet s = decodeMacroImage(img);
        ASSERT_EQ(s.size(), 1u);
        EXPECT_EQ(s[0].actionCount(), 1u);
        EXPECT_EQ(s[0].name(), u"Macro1");
    }
    {
        // A name length byte longer than the name field: at most 249 units.
        std::vector<uint8_t> img = header(0, 1);
        img.resize(18 + 4 + 2 * 255, 'n');
        writeLe16(&img[2], static_cast<uint16_t>(img.size()));
        writeLe16(&img[16], 18);
        writeLe16(&img[18], 0);
        img[21] = 255;
        MacroSet s = decodeMacroImage(img);
        ASSERT_EQ(s.size(), 1u);
        EXPECT_EQ(s[0].nameLength(), 249u);
    }
}

TEST(MacroImage, DecodeSurvivesRandomBytes) {
    std::mt19937 rng(5);
    for (int round = 0; round < 2000; ++round) {
        std::vector<uint8_t> img(16 + rng() % 600);
        for (auto& b : img) {
            b = static_cast<uint8_t>(rng());
        }
        img[0] = 0xAA;
        img[1] = 0x55;
        MacroSet s = decodeMacroImage(img);
        ASSERT_LE(s.size(), 100u);
        for (const auto& m : s) {
            ASSERT_LE(m.actionCount(), (img.size() - 4) / 4);
        }
    }
}

} // namespace
} // namespace tarvik::macros
