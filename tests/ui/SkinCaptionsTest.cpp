#include "ui/SkinCaptions.h"

#include "platform/IniFile.h"

#include <gtest/gtest.h>

namespace tarvik::ui {
namespace {

using Align = SkinCaption::Align;
using Style = SkinCaption::Style;

struct ParseCase {
    const char16_t* key;
    const char16_t* value;
    bool valid;
    SkinCaption expected;
};

class CaptionParse : public ::testing::TestWithParam<ParseCase> {};

TEST_P(CaptionParse, ReadsSevenFieldsOrNothing) {
    const ParseCase& c = GetParam();
    const auto parsed = parseSkinCaption(c.key, c.value);
    ASSERT_EQ(parsed.has_value(), c.valid)
        << std::string(c.value, c.value + std::char_traits<char16_t>::length(c.value));
    if (c.valid) {
        EXPECT_EQ(*parsed, c.expected);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Values, CaptionParse,
    ::testing::Values(ParseCase{u"LIGHTING_TITLE",
                                u"44,513,150,24,14,left,caption",
                                true,
                                {"LIGHTING_TITLE", {44, 513, 150, 24}, 14, Align::Left, Style::Caption}},
                      ParseCase{u" KEY_1 ",
                                u" 1 , 2 , 3 , 4 , 9 , Center , TITLE ",
                                true,
                                {"KEY_1", {1, 2, 3, 4}, 9, Align::Center, Style::Title}},
                      ParseCase{u"k",
                                u"0,0,10,10,200,right,label",
                                true,
                                {"k", {0, 0, 10, 10}, 200, Align::Right, Style::Label}},
                      // Each of these is left out rather than drawn at a guess.
                      ParseCase{u"K", u"1,2,3,4,9,left", false, {}},                 // six fields
                      ParseCase{u"K", u"1,2,3,4,9,left,label,x", false, {}},         // eight fields
                      ParseCase{u"K", u"1,2,0,4,9,left,label", false, {}},           // no width
                      ParseCase{u"K", u"1,2,3,-4,9,left,label", false, {}},          // negative height
                      ParseCase{u"K", u"1,2,3,4,0,left,label", false, {}},           // no size
                      ParseCase{u"K", u"1,2,3,4,201,left,label", false, {}},         // absurd size
                      ParseCase{u"K", u"1,2,3,4,9,middle,label", false, {}},         // unknown alignment
                      ParseCase{u"K", u"1,2,3,4,9,left,heading", false, {}},         // unknown style
                      ParseCase{u"K", u"1,2x,3,4,9,left,label", false, {}},          // not a number
                      ParseCase{u"K", u"1,,3,4,9,left,label", false, {}},            // empty field
                      ParseCase{u"K", u"99999999999,2,3,4,9,left,label", false, {}}, // out of range
                      ParseCase{u"BAD KEY", u"1,2,3,4,9,left,label", false, {}},     // not a language key
                      ParseCase{u"K\u00e9", u"1,2,3,4,9,left,label", false, {}}));

TEST(SkinCaptions, ReadsTheSectionInFileOrderAndSkipsBadEntries) {
    const IniFile ini =
        IniFile::parse("[SCREEN]\nMain=a.jpg\n[CAPTIONS]\nTITLE_A=1,1,10,10,12,left,title\n"
                       "BROKEN=1,1,10\nLABEL_B=5,6,7,8,10,right,label\n[OTHER]\nX=1,1,1,1,1,left,label\n");
    const std::vector<SkinCaption> captions = readSkinCaptions(ini);
    ASSERT_EQ(captions.size(), 2u);
    EXPECT_EQ(captions[0].key, "TITLE_A");
    EXPECT_EQ(captions[1].key, "LABEL_B");
    EXPECT_EQ(captions[1].rect, (SkinRect{5, 6, 7, 8}));
    EXPECT_TRUE(readSkinCaptions(IniFile::parse("[SCREEN]\nMain=a\n")).empty());
}

} // namespace
} // namespace tarvik::ui
