#include "ui/TextTable.h"

#include "ui/TextKeys.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <string>
#include <thread>

namespace tarvik::ui {
namespace {

namespace fs = std::filesystem;

class TextTableFiles : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = fs::path(std::getenv("HOME")) / "texts" /
               ::testing::UnitTest::GetInstance()->current_test_info()->name();
        fs::remove_all(dir_);
        fs::create_directories(dir_);
        file_ = dir_ / "language.ini";
    }
    void write(const std::string& utf8) { std::ofstream(file_, std::ios::binary) << utf8; }
    std::string read() const {
        std::ifstream in(file_, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    }
    fs::path dir_;
    fs::path file_;
};

TEST(TextTable, StartsWithTheInitialTextsUnderUniqueKeys) {
    const TextTable table;
    std::set<std::string_view> keys;
    for (const auto& e : kStartupTexts) {
        EXPECT_TRUE(keys.insert(e.key).second) << "duplicate key " << e.key;
        EXPECT_EQ(table.text(e.key), e.initial) << e.key;
    }
    EXPECT_EQ(keys.size(), 88u);
    EXPECT_EQ(table.text("UNKNOWN_KEY"), u"Unknown Key: %03x");
    EXPECT_EQ(table.text("MAIN_NO_DEVICE_PROMPT"),
              u"Device is not detected\uFF0Cthe key settings can not be displayed! ");
    EXPECT_EQ(table.text("MAIN_BUTTON_TEMBRA_VER"), u"");
    EXPECT_EQ(table.text("NOT_A_KEY"), u"");
    EXPECT_FALSE(table.has("not_a_key"));
    EXPECT_FALSE(table.has("unknown_key")); // table keys are exact; only the file is read without case
    EXPECT_EQ(table.language(), TextTable::kChinese);
}

TEST_F(TextTableFiles, ChoosesTheSectionByTheStoredLanguage) {
    struct Case {
        const char* languageLine;
        int stored;
        std::u16string_view caption;
    } cases[] = {
        {"language=1", 1, u"English"}, {"LANGUAGE = 1 ", 1, u"English"}, {"language=2", 2, u"Chinese"},
        {"language=0", 0, u"Chinese"}, {"language=x", 0, u"Chinese"},    {"", 0, u"Chinese"},
        {"language=", 0, u"Chinese"},
    };
    for (const auto& c : cases) {
        write(std::string("[Language]\n") + c.languageLine +
              "\n[ENGINSH]\nMAIN_CAPTION=English\n[CHINESE]\nMAIN_CAPTION=Chinese\n");
        TextTable table;
        EXPECT_EQ(table.load(file_), c.stored) << c.languageLine;
        EXPECT_EQ(table.language(), c.stored) << c.languageLine;
        EXPECT_EQ(table.text("MAIN_CAPTION"), c.caption) << c.languageLine;
    }
}

TEST_F(TextTableFiles, MissingKeysGiveOneBlankAndEmptyValuesStayEmpty) {
    write("[LANGUAGE]\nlanguage=1\n[enginsh]\nmain_caption=Caption\nMAIN_HELP_PROMPT=\n");
    TextTable table;
    table.load(file_);
    EXPECT_EQ(table.text("MAIN_CAPTION"), u"Caption");
    EXPECT_EQ(table.text("MAIN_HELP_PROMPT"), u"");
    EXPECT_EQ(table.text("MAIN_CLOSE_PROMPT"), u" ");
    EXPECT_EQ(table.text("UNKNOWN_KEY"), u" ");
}

TEST_F(TextTableFiles, MissingFileBlanksEverySlot) {
    TextTable table;
    EXPECT_EQ(table.load(dir_ / "absent.ini"), 0);
    for (const auto& e : kStartupTexts) {
        EXPECT_EQ(table.text(e.key), u" ") << e.key;
    }
}

TEST_F(TextTableFiles, CutsLongValuesToTheSlot) {
    const std::string longText(300, 'x');
    write("[LANGUAGE]\nlanguage=1\n[ENGINSH]\nMAIN_CAPTION=" + longText +
          "\nEXTRA_MACRO_TOO_LONG=" + longText + "\nMENU_1=" + longText +
          "\nUNKNOWN_KEY=" + std::string(106, 'u') + "\xF0\x9F\x98\x80\n");
    TextTable table;
    table.load(file_);
    EXPECT_EQ(table.text("MAIN_CAPTION"), std::u16string(107, u'x'));
    // This slot is as long as its own initial text, which would not fit 107 characters.
    const size_t ownLength = std::u16string_view(kStartupTexts[16].initial).size();
    ASSERT_EQ(kStartupTexts[16].key, "EXTRA_MACRO_TOO_LONG");
    EXPECT_EQ(ownLength, 118u);
    EXPECT_EQ(slotChars("EXTRA_MACRO_TOO_LONG"), ownLength);
    EXPECT_EQ(table.text("EXTRA_MACRO_TOO_LONG"), std::u16string(ownLength, u'x'));
    // 106 characters and a surrogate pair: the pair does not fit whole and is left out.
    EXPECT_EQ(table.text("UNKNOWN_KEY"), std::u16string(106, u'u'));
    // A read on demand stops at 259.
    EXPECT_EQ(table.readOnDemand(file_, "MENU_1"), std::u16string(259, u'x'));
}

TEST_F(TextTableFiles, ReadsQuotedBlanksLineBreaksAndUtf16Files) {
    const std::u16string text = u"\uFEFF[LANGUAGE]\r\nlanguage=2\r\n[CHINESE]\r\n"
                                u"MACRO_ERR_MAX=\"\u5B8F\uFF1A%d   \"\r\n"
                                u"PROFILE_FORMAT_ERROR=a\\r\\n b\\nc\\x\r\n"
                                u"PROFILE_NEW=\\\u65B0\u5EFA\r\n";
    std::string wide; // U+FEFF comes out as the BOM FF FE
    for (char16_t c : text) {
        wide.push_back(static_cast<char>(c & 0xFF));
        wide.push_back(static_cast<char>(c >> 8));
    }
    write(wide);
    TextTable table;
    EXPECT_EQ(table.load(file_), 2);
    EXPECT_EQ(table.text("MACRO_ERR_MAX"), u"\u5B8F\uFF1A%d   ");
    EXPECT_EQ(table.text("PROFILE_FORMAT_ERROR"), u"a\r\n b\nc\\x");
    EXPECT_EQ(table.text("PROFILE_NEW"), u"\\\u65B0\u5EFA");
}

TEST_F(TextTableFiles, SwitchWritesTheLanguageFirstAndReloads) {
    const std::string original = "; keep me\r\n[LANGUAGE]\r\nlanguage=0\r\n[ENGINSH]\r\nMENU_11=Open\r\n"
                                 "MAIN_CAPTION=English\r\n[CHINESE]\r\nMENU_11=\xE6\x89\x93\xE5\xBC\x80\r\n"
                                 "MAIN_CAPTION=Chinese\r\n";
    write(original);
    TextTable table;
    table.load(file_);
    EXPECT_EQ(table.text("MAIN_CAPTION"), u"Chinese");
    EXPECT_EQ(table.readOnDemand(file_, "MENU_11"), u"\u6253\u5F00");

    EXPECT_TRUE(table.switchLanguage(file_, TextTable::kEnglish));
    EXPECT_EQ(table.text("MAIN_CAPTION"), u"English");
    EXPECT_EQ(table.readOnDemand(file_, "menu_11"), u"Open");
    std::string expected = original;
    expected.replace(expected.find("language=0"), 10, "language=1");
    EXPECT_EQ(read(), expected);

    // A restart reads the stored choice.
    TextTable restarted;
    EXPECT_EQ(restarted.load(file_), 1);
    EXPECT_EQ(restarted.text("MAIN_CAPTION"), u"English");
    const std::string_view keys[] = {"MENU_11", "MAIN_CAPTION", "ABSENT"};
    EXPECT_EQ(restarted.readOnDemand(file_, keys), (std::vector<std::u16string>{u"Open", u"English", u" "}));

    EXPECT_TRUE(table.switchLanguage(file_, TextTable::kChinese));
    EXPECT_EQ(table.text("MAIN_CAPTION"), u"Chinese");
    EXPECT_EQ(read(), original);
}

TEST_F(TextTableFiles, FailedSwitchStillFollowsTheChoiceForTheRun) {
    write("[LANGUAGE]\nlanguage=0\n[ENGINSH]\nMAIN_CAPTION=English\n[CHINESE]\nMAIN_CAPTION=Chinese\n");
    TextTable table;
    table.load(file_);
    // A folder where the file should be: nothing can be written or read there.
    const fs::path folder = dir_ / "folder.ini";
    fs::create_directories(folder);
    EXPECT_FALSE(table.switchLanguage(folder, TextTable::kEnglish));
    EXPECT_EQ(table.language(), TextTable::kEnglish);
    EXPECT_EQ(table.readOnDemand(file_, "MAIN_CAPTION"), u"English");
}

TEST_F(TextTableFiles, ReadersOnOtherThreadsSeeWholeTexts) {
    write("[LANGUAGE]\nlanguage=0\n[ENGINSH]\nMAIN_CAPTION=English caption\n[CHINESE]\n"
          "MAIN_CAPTION=\xE4\xB8\xAD\xE6\x96\x87\n");
    TextTable table;
    table.load(file_);
    std::atomic<bool> stop{false};
    std::atomic<int> bad{0};
    std::thread reader([&] {
        while (!stop.load()) {
            const std::u16string& t = table.text("MAIN_CAPTION");
            if (t != u"English caption" && t != u"\u4E2D\u6587") {
                bad.fetch_add(1);
            }
        }
    });
    for (int i = 0; i < 50; ++i) {
        ASSERT_TRUE(table.switchLanguage(file_, i % 2));
    }
    stop.store(true);
    reader.join();
    EXPECT_EQ(bad.load(), 0);
}

} // namespace
} // namespace tarvik::ui
