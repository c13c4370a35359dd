#include "ui/SkinRect.h"
#include "platform/IniFile.h"

#include <gtest/gtest.h>

#include <string>

namespace tarvik::ui {
namespace {

struct RectCase {
    std::u16string value;
    SkinRect expected;
};

class ParseSkinRect : public ::testing::TestWithParam<RectCase> {};

TEST_P(ParseSkinRect, ReadsFourNumbersOrTheDefault) {
    EXPECT_EQ(parseSkinRect(GetParam().value), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Values, ParseSkinRect,
    ::testing::Values(RectCase{u"10,20,30,40", {10, 20, 30, 40}},
                      // Anything after the fourth number is ignored.
                      RectCase{u"10,20,30,40,junk", {10, 20, 30, 40}},
                      RectCase{u"10,20,30,40x", {10, 20, 30, 40}}, RectCase{u"1,1,1,1,x", {1, 1, 1, 1}},
                      RectCase{u" 10, 20,\t30,+40", {10, 20, 30, 40}},
                      RectCase{u"-5,0,30,40", {-5, 0, 30, 40}},
                      // Not four numbers: read like a missing key.
                      RectCase{u"", {1, 1, 1, 1}}, RectCase{u"10,20,30", {1, 1, 1, 1}},
                      RectCase{u"10,20,,40", {1, 1, 1, 1}}, RectCase{u"10 ,20,30,40", {1, 1, 1, 1}},
                      RectCase{u"a,b,c,d", {1, 1, 1, 1}}, RectCase{u"99999999999,1,1,1", {1, 1, 1, 1}},
                      RectCase{u"10;20;30;40", {1, 1, 1, 1}}));

TEST(SkinRect, MissingKeyReadsAsTheDefaultAndDisablesAnImageButton) {
    const IniFile ini = IniFile::parse("[BUTTONINFO]\nA=10,20,30,40\nB=1,1,50,20\nC=2,1,50,20\n");
    EXPECT_EQ(readSkinRect(ini, u"A"), (SkinRect{10, 20, 30, 40}));
    const SkinRect missing = readSkinRect(ini, u"NOPE");
    EXPECT_EQ(missing, (SkinRect{1, 1, 1, 1}));
    EXPECT_TRUE(disablesImageButton(missing));
    EXPECT_TRUE(disablesImageButton(readSkinRect(ini, u"B")));
    EXPECT_FALSE(disablesImageButton(readSkinRect(ini, u"C")));
    EXPECT_FALSE(disablesImageButton(readSkinRect(ini, u"A")));
}

} // namespace
} // namespace tarvik::ui
