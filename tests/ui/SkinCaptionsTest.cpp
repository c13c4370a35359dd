#include "ui/SkinCaptions.h"

#include "platform/IniFile.h"

#include <gtest/gtest.h>

#include <limits>

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
                      ParseCase{u"K", u"1,2,3,4,9,left", false, {}},                   // six fields
                      ParseCase{u"K", u"1,2,3,4,9,left,label,x", false, {}},           // eight fields
                      ParseCase{u"K", u"1,2,0,4,9,left,label", false, {}},             // no width
                      ParseCase{u"K", u"1,2,3,-4,9,left,label", false, {}},            // negative height
                      ParseCase{u"K", u"1,2,3,4,0,left,label", false, {}},             // no size
                      ParseCase{u"K", u"1,2,3,4,201,left,label", false, {}},           // absurd size
                      ParseCase{u"K", u"1,2,3,4,9,middle,label", false, {}},           // unknown alignment
                      ParseCase{u"K", u"1,2,3,4,9,left,heading", false, {}},           // unknown style
                      ParseCase{u"K", u"1,2x,3,4,9,left,label", false, {}},            // not a number
                      ParseCase{u"K", u"1,,3,4,9,left,label", false, {}},              // empty field
                      ParseCase{u"K", u"99999999999,2,3,4,9,left,label", false, {}},   // out of range
                      ParseCase{u"K", u"2147483000,2,1000,4,9,left,label", false, {}}, // right edge
                      ParseCase{u"K", u"1,2147483000,3,1000,9,left,label", false, {}}, // bottom edge
                      ParseCase{u"BAD KEY", u"1,2,3,4,9,left,label", false, {}},       // not a language key
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

TEST(SkinCaptions, OwnersComeFromTheirSectionWithTheOwnersRectangle) {
    const IniFile ini = IniFile::parse(
        "[BUTTONINFO]\nCONTROL_SPEED=600,560,200,24\n[CAPTIONS]\nLIGHT_SPEED=626,560,170,24,12,left,caption\n"
        "TITLE=10,10,100,20,14,left,title\nLIGHT_LOST=10,40,100,20,12,left,caption\n"
        "LIGHT_BAD=10,70,100,20,12,left,caption\n"
        "[CAPTION_OWNERS]\nLIGHT_SPEED= CONTROL_SPEED \nLIGHT_LOST=CONTROL_GONE\nLIGHT_BAD=NOT A KEY\n"
        "NO_CAPTION=CONTROL_SPEED\n");
    const std::vector<SkinCaption> captions = readSkinCaptions(ini);
    ASSERT_EQ(captions.size(), 3u);
    EXPECT_EQ(captions[0].owner, "CONTROL_SPEED");
    EXPECT_EQ(captions[0].ownerRect, (SkinRect{600, 560, 200, 24}));
    EXPECT_TRUE(captions[1].owner.empty()); // always shown
    // An owner the skin does not place is still an owner: the caption waits for it rather than showing.
    EXPECT_EQ(captions[2].key, "LIGHT_LOST");
    EXPECT_EQ(captions[2].owner, "CONTROL_GONE");
    EXPECT_EQ(captions[2].ownerRect, SkinRect{});
    // LIGHT_BAD names no key: left out, not shown without its owner.
}

TEST(SkinCaptions, AnOwnedCaptionKeepsItsOffsetFromItsOwner) {
    SkinCaption c;
    c.rect = SkinRect{626, 560, 170, 24};
    c.owner = "CONTROL_BLFXStatic";
    c.ownerRect = SkinRect{600, 560, 200, 24};
    struct Case {
        const char* what;
        double scale;
        int ownerX, ownerY;
        SkinRect expected;
    };
    const Case cases[] = {
        {"at the owner's layout place", 1.0, 600, 560, {626, 560, 170, 24}},
        {"owner moved to another row", 1.0, 600, 610, {626, 610, 170, 24}},
        {"owner moved left and up", 1.0, 580, 500, {606, 500, 170, 24}},
        {"window at half size, owner in place", 0.5, 300, 280, {313, 280, 85, 12}},
        {"window at half size, owner moved", 0.5, 300, 305, {313, 305, 85, 12}},
    };
    for (const Case& k : cases) {
        EXPECT_EQ(ownedCaptionRect(c, k.scale, k.ownerX, k.ownerY), k.expected) << k.what;
    }
    // An owner's rectangle from a file may be anything: the caption is shifted to the end of the range,
    // never past it.
    SkinCaption far = c;
    far.ownerRect = SkinRect{-2147483000, 2147483000, 2147483000, 100};
    const SkinRect r = ownedCaptionRect(far, 1.0, 2147483000, -2147483000);
    EXPECT_EQ(r.x, std::numeric_limits<int>::max());
    EXPECT_EQ(r.y, std::numeric_limits<int>::min());
}

} // namespace
} // namespace tarvik::ui
