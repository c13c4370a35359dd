#include "platform/Utf.h"

#include <gtest/gtest.h>

#include <string>

namespace tarvik {
namespace {

struct Utf8Case {
    const char* name;
    std::string utf8;
    std::u16string utf16;
};

TEST(Utf, DecodesValidAndReplacesInvalidSequences) {
    const Utf8Case cases[] = {
        {"ascii", "Key=1", u"Key=1"},
        {"two bytes", "\xC3\xA9", u"\u00E9"},
        {"full-width comma", "\xEF\xBC\x8C", u"\uFF0C"},
        {"chinese", "\xE4\xB8\xAD\xE6\x96\x87", u"\u4E2D\u6587"},
        {"four bytes", "\xF0\x9F\x98\x80", u"\U0001F600"},
        {"highest code point", "\xF4\x8F\xBF\xBF", u"\U0010FFFF"},
        {"lone continuation", "a\x80z", u"a\uFFFDz"},
        {"overlong slash", "\xC0\xAF", u"\uFFFD\uFFFD"},
        {"overlong three bytes", "\xE0\x80\xAF", u"\uFFFD\uFFFD\uFFFD"},
        {"encoded surrogate", "\xED\xA0\x80", u"\uFFFD\uFFFD\uFFFD"},
        {"above U+10FFFF", "\xF4\x90\x80\x80", u"\uFFFD\uFFFD\uFFFD\uFFFD"},
        {"truncated at end", "ab\xE4\xB8", u"ab\uFFFD"},
        {"truncated then ascii",
         "\xE4\xB8"
         "c",
         u"\uFFFDc"},
        {"invalid lead byte", "\xFF", u"\uFFFD"},
        {"embedded zero", std::string("a\0b", 3), std::u16string(u"a\0b", 3)},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(toUtf16(c.utf8), c.utf16) << c.name;
    }
}

TEST(Utf, EncodesAndReplacesLoneSurrogates) {
    EXPECT_EQ(toUtf8(u"\u4E2D\uFF0CA"), "\xE4\xB8\xAD\xEF\xBC\x8C"
                                        "A");
    EXPECT_EQ(toUtf8(u"\U0001F600"), "\xF0\x9F\x98\x80");
    EXPECT_EQ(toUtf8(std::u16string(1, char16_t(0xD800))), "\xEF\xBF\xBD");
    EXPECT_EQ(toUtf8(std::u16string{char16_t(0xDC00), u'x'}), "\xEF\xBF\xBD"
                                                              "x");
    // A high surrogate followed by a non-surrogate: both kept apart.
    EXPECT_EQ(toUtf8(std::u16string{char16_t(0xD83D), u'a'}), "\xEF\xBF\xBD"
                                                              "a");
}

TEST(Utf, RoundTripsEveryBmpCharacterAndPlaneBoundaries) {
    std::u16string all;
    for (char32_t c = 1; c < 0x10000; ++c) {
        if (c < 0xD800 || c > 0xDFFF) {
            all.push_back(static_cast<char16_t>(c));
        }
    }
    all += u"\U00010000\U0010FFFF";
    EXPECT_EQ(toUtf16(toUtf8(all)), all);
}

} // namespace
} // namespace tarvik
