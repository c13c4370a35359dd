#include "macros/MacroMemoryMeter.h"

#include <gtest/gtest.h>

namespace tarvik::macros {
namespace {

TEST(MacroMemoryMeter, JudgesAsTheDownloadDoes) {
    struct Case {
        const char* what;
        MacroImageSizes sizes;
        size_t capacity;
        MacroMemoryMeter expected;
    };
    const Case cases[] = {
        {"fits with names", {34, 30}, 34, {34, 34, MacroMemoryState::Fits}},
        {"one byte short of the names", {35, 30}, 34, {30, 34, MacroMemoryState::NamesDropped}},
        {"does not fit at all", {40, 35}, 34, {35, 34, MacroMemoryState::TooLong}},
        {"no capacity read yet", {16, 16}, 0, {16, 0, MacroMemoryState::CapacityUnknown}},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(measureMacroMemory(c.sizes, c.capacity), c.expected) << c.what;
    }
    EXPECT_DOUBLE_EQ((MacroMemoryMeter{30, 120, MacroMemoryState::Fits}.fraction()), 0.25);
    EXPECT_DOUBLE_EQ((MacroMemoryMeter{35, 34, MacroMemoryState::TooLong}.fraction()), 1.0);
    EXPECT_DOUBLE_EQ((MacroMemoryMeter{35, 0, MacroMemoryState::CapacityUnknown}.fraction()), 0.0);
}

TEST(MacroMemoryMeter, FillsOnlyDecimalConversions) {
    struct Case {
        std::u16string format;
        std::u16string expected;
    };
    const Case cases[] = {
        {u"Macro memory: %d of %d bytes", u"Macro memory: 1200 of 4096 bytes"},
        {u"%u/%i", u"1200/4096"},
        {u"100%% %d", u"100% 1200"},
        {u"%s %n %d %x", u"%s %n 1200 %x"},
        {u"%d %d %d", u"1200 4096 %d"},
        {u"ends with %", u"ends with %"},
        {u"", u""},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(fillNumbers(c.format, {1200, 4096}), c.expected);
    }
}

} // namespace
} // namespace tarvik::macros
