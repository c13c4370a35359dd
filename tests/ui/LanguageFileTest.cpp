// Checks the language file shipped in Skins/ against the key lists of the program.
#include "platform/IniFile.h"
#include "platform/Utf.h"
#include "ui/ColourNames.h"
#include "ui/TextKeys.h"
#include "ui/TextTable.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <set>
#include <span>
#include <string>
#include <vector>

namespace tarvik::ui {
namespace {

const std::filesystem::path kShippedFile = TARVIK_SHIPPED_LANGUAGE_FILE;

std::u16string widen(std::string_view ascii) {
    return std::u16string(ascii.begin(), ascii.end());
}

std::vector<std::string_view> allKeys() {
    std::vector<std::string_view> keys;
    for (const auto& e : kStartupTexts) {
        keys.push_back(e.key);
    }
    for (std::span<const std::string_view> list : {std::span<const std::string_view>(kMainWindowTextKeys),
                                                   std::span<const std::string_view>(kMainMenuTextKeys),
                                                   std::span<const std::string_view>(kMainMenuExtraKeys),
                                                   std::span<const std::string_view>(kOnBoardProfileKeys),
                                                   std::span<const std::string_view>(kTrayMenuTextKeys),
                                                   std::span<const std::string_view>(kMessageBoxTextKeys),
                                                   std::span<const std::string_view>(&kProfileSubmenuKey, 1),
                                                   std::span<const std::string_view>(kAboutTextKeys),
                                                   std::span<const std::string_view>(kKeyDialogTextKeys),
                                                   std::span<const std::string_view>(kSkinCaptionTextKeys),
                                                   std::span<const std::string_view>(kLightingTextKeys),
                                                   std::span<const std::string_view>(kUpdateTextKeys),
                                                   std::span<const std::string_view>(kProfileColumnTextKeys),
                                                   std::span<const std::string_view>(kExitQuestionKeys),
                                                   std::span<const std::string_view>(kAppProfileTextKeys),
                                                   std::span<const std::string_view>(kAccessibilityTextKeys),
                                                   std::span<const std::string_view>(kUndoMenuKeys),
                                                   std::span<const std::string_view>(kUndoQuestionKeys)}) {
        keys.insert(keys.end(), list.begin(), list.end());
    }
    for (const NamedColour& c : kNamedColours) {
        keys.push_back(c.key);
    }
    return keys;
}

// Keys whose text is the same in both languages.
const std::set<std::string_view> kSameInBothLanguages = {"MACRO_ACTION_RECORD_DELAY", "KEYBOARD_TRAY_DESC",
                                                         "MAIN_BUTTON_TEMBRA_VER", "MENU_LANGUAGE_ENGLISH"};

bool hasCjk(std::u16string_view s) {
    for (char16_t c : s) {
        if (c >= 0x4E00 && c <= 0x9FFF) {
            return true;
        }
    }
    return false;
}

class ShippedLanguageFile : public ::testing::Test {
protected:
    void SetUp() override {
        std::optional<IniFile> loaded = IniFile::tryLoad(kShippedFile);
        ASSERT_TRUE(loaded && loaded->containsSection(u"ENGINSH")) << kShippedFile;
        ini_ = std::move(*loaded);
    }
    IniFile ini_;
};

TEST_F(ShippedLanguageFile, BothSectionsHaveEveryKeyAndNothingElse) {
    const std::vector<std::string_view> keys = allKeys();
    // The main window also reads three tooltips of the start-up list on demand, and the message boxes
    // use the main window's OK.
    const std::set<std::string_view> unique(keys.begin(), keys.end());
    EXPECT_EQ(unique.size(), keys.size() - 4);
    for (std::u16string_view section : {u"ENGINSH", u"CHINESE"}) {
        for (std::string_view key : keys) {
            EXPECT_TRUE(ini_.contains(section, widen(key))) << toUtf8(section) << " lacks " << key;
        }
        // Nothing stray (a misspelt key would be one), and no key twice.
        std::vector<std::u16string> expected;
        for (std::string_view key : unique) {
            expected.push_back(widen(key));
        }
        std::vector<std::u16string> present = ini_.keys(section);
        std::sort(present.begin(), present.end());
        std::sort(expected.begin(), expected.end());
        EXPECT_EQ(present, expected) << toUtf8(section);
    }
}

TEST_F(ShippedLanguageFile, TextsAreTheInitialTextsAndRealTranslations) {
    // Work on a copy: switching the language writes the file.
    const std::filesystem::path copy = std::filesystem::path(std::getenv("HOME")) / "shipped-language.ini";
    std::filesystem::create_directories(copy.parent_path());
    std::filesystem::copy_file(kShippedFile, copy, std::filesystem::copy_options::overwrite_existing);

    TextTable english;
    ASSERT_EQ(english.load(copy), TextTable::kEnglish);
    TextTable chinese;
    ASSERT_TRUE(chinese.switchLanguage(copy, TextTable::kChinese));
    for (const auto& e : kStartupTexts) {
        const std::u16string& en = english.text(e.key);
        const std::u16string& zh = chinese.text(e.key);
        // One of the two sections holds the initial text word for word: the update and backup messages
        // start out Chinese, every other text English.
        EXPECT_TRUE(en == e.initial || zh == e.initial) << e.key;
        EXPECT_FALSE(hasCjk(en)) << e.key << " is not English";
        if (!kSameInBothLanguages.contains(e.key)) {
            EXPECT_TRUE(hasCjk(zh)) << e.key << " is not translated";
        }
        EXPECT_LE(en.size(), slotChars(e.key)) << e.key;
        EXPECT_LE(zh.size(), slotChars(e.key)) << e.key;
    }

    // Switching back restores the shipped file byte for byte.
    ASSERT_TRUE(chinese.switchLanguage(copy, TextTable::kEnglish));
    EXPECT_EQ(IniFile::load(copy).serialize(), ini_.serialize());
}

TEST_F(ShippedLanguageFile, OnDemandTextsHaveTheirGivenEnglishWording) {
    struct Case {
        std::string_view key;
        std::u16string_view english;
    } cases[] = {
        {"COMPOSITE_PROMPT_CLEAR", u"Restore the default functiong of buttons"},
        {"COMPOSITE_PROMPT_OSK", u"Open the on-screen keyboard"},
        {"COMPOSITE_MACRO_OVER", u"Macro space beyond hardware store size"},
        {"MACRO_CYCLES", u"Cycles"},
        {"RECORD_DELAY", u"Record Delay"},
        {"MAIN_MINIMIZE_PROMPT", u"Minimize"},
        {"MENU_11", u"Open"},
        {"MENU_33", u"Exit"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ini_.get(u"ENGINSH", widen(c.key)), c.english) << c.key;
    }
    for (std::string_view key : allKeys()) {
        if (!kSameInBothLanguages.contains(key)) {
            EXPECT_TRUE(hasCjk(ini_.get(u"CHINESE", widen(key)))) << key << " is not translated";
            EXPECT_FALSE(ini_.get(u"ENGINSH", widen(key)).empty()) << key;
        }
    }
}

} // namespace
} // namespace tarvik::ui
