#include "profiles/Settings.h"

#include "platform/IniFile.h"
#include "platform/Paths.h"
#include "platform/Utf.h"
#include "tests/profiles/TestHome.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace tarvik::profiles {
namespace {

namespace fs = std::filesystem;

class SettingsTest : public ::testing::Test {
protected:
    void SetUp() override { testing::useOwnHome(); }
    std::u16string stored(std::u16string_view name) const {
        return getPrivateProfileString(u"PROFILES", name, u"<missing>", 260, settingsFilePath());
    }
};

TEST_F(SettingsTest, LivesInTheProgramsIniFile) {
    // The program's file name, which tarvikctl shares.
    EXPECT_EQ(settingsFilePath(), paths::configHome() / "Tarvik_Lumira" / "tarvik.ini");
    SettingsStore s;
    ASSERT_TRUE(s.writeSetting(u"Flip", u"1"));
    EXPECT_TRUE(fs::is_regular_file(settingsFilePath()));
    EXPECT_EQ(s.readSetting(u"flip", u"0"), u"1") << "value names without regard to case";
    EXPECT_EQ(s.readSetting(u"Other", u"dflt"), u"dflt");
}

TEST_F(SettingsTest, RecordDelayReadsAnythingButOneAsZeroAndIsWrittenBackNormalised) {
    SettingsStore s;
    // Missing: the dialog opens with the box clear and writes "0".
    EXPECT_EQ(s.readRecordDelay(), 0);
    EXPECT_EQ(s.writeRecordDelay(s.readRecordDelay()), 0);
    EXPECT_EQ(stored(u"RecordDelay"), u"0");

    struct Case {
        std::u16string_view text;
        int read;
    } cases[] = {{u"7", 0}, {u"1", 1}, {u"0", 0}, {u"-1", 0}, {u"abc", 0}, {u" 1", 1}, {u"1x", 1}};
    for (const auto& c : cases) {
        ASSERT_TRUE(s.writeSetting(u"RecordDelay", c.text));
        EXPECT_EQ(s.readRecordDelay(), c.read) << std::string(c.text.begin(), c.text.end());
    }
    EXPECT_EQ(s.writeRecordDelay(7), 0);
    EXPECT_EQ(stored(u"RecordDelay"), u"0");
    EXPECT_EQ(s.writeRecordDelay(1), 1);
    EXPECT_EQ(stored(u"RecordDelay"), u"1");

    // The value name follows the language text.
    EXPECT_EQ(s.writeRecordDelay(1, u"录制延时"), 1);
    EXPECT_EQ(s.readRecordDelay(u"录制延时"), 1);
}

TEST_F(SettingsTest, ANameNoIniKeyCanHoldIsStoredUnderAKeyThatReadsBack) {
    SettingsStore s;
    // A language file without MACRO_ACTION_RECORD_DELAY gives a blank name; others are just as awkward.
    const std::u16string_view names[] = {u"", u"  ", u"a=b", u"[x", u";x", u"two\nlines", u"~7E"};
    for (std::u16string_view name : names) {
        SCOPED_TRACE(std::string(name.begin(), name.end()));
        EXPECT_EQ(s.writeRecordDelay(1, name), 1);
        EXPECT_EQ(s.readRecordDelay(name), 1) << "written, and read back";
        ASSERT_TRUE(s.writeSetting(name, u"0"));
        EXPECT_EQ(s.readRecordDelay(name), 0);
    }
    // Every name got its own key; the ordinary ones stay as they are.
    const IniFile file = IniFile::load(settingsFilePath());
    EXPECT_EQ(file.keys(u"PROFILES").size(), std::size(names));
    EXPECT_EQ(settingKey(u"RecordDelay"), u"RecordDelay");
    EXPECT_NE(settingKey(u"~7E"), u"~7E") << "a name that looks mapped is mapped itself";
    EXPECT_NE(settingKey(u"~7E"), settingKey(u"~"));
}

TEST_F(SettingsTest, FlipKeepsTheNumberOnReadAndNormalisesOnWrite) {
    SettingsStore s;
    EXPECT_EQ(s.readFlip(), 0);
    ASSERT_TRUE(s.writeSetting(u"Flip", u"3"));
    EXPECT_EQ(s.readFlip(), 3);
    EXPECT_EQ(s.writeFlip(3), 0);
    EXPECT_EQ(stored(u"Flip"), u"0");
    EXPECT_EQ(s.writeFlip(1), 1);
    EXPECT_EQ(s.readFlip(), 1);
}

TEST_F(SettingsTest, VerifyWritesIsOnUnlessAZeroIsStored) {
    SettingsStore s;
    EXPECT_TRUE(s.readVerifyWrites()) << "no file: on";
    struct Case {
        const char16_t* value;
        bool on;
    } cases[] = {{u"0", false}, {u"1", true}, {u"", true}, {u"yes", true}, {u"2", true}};
    for (const auto& c : cases) {
        ASSERT_TRUE(s.writeSetting(u"VerifyWrites", c.value));
        EXPECT_EQ(s.readVerifyWrites(), c.on) << toUtf8(c.value);
    }
    ASSERT_TRUE(s.writeVerifyWrites(false));
    EXPECT_EQ(stored(u"VerifyWrites"), u"0");
    ASSERT_TRUE(s.writeVerifyWrites(true));
    EXPECT_EQ(stored(u"VerifyWrites"), u"1");
}

TEST_F(SettingsTest, ShorterProfileListLeavesTheOlderValues) {
    SettingsStore s;
    std::vector<std::u16string> five{u"/d/a.tvk", u"/d/b.tvk", u"/d/c.tvk", u"/d/d.tvk", u"/d/e.tvk"};
    ASSERT_TRUE(s.writeProfileList(five));
    EXPECT_EQ(stored(u"PROFILE00"), u"5");
    EXPECT_EQ(stored(u"PROFILE05"), u"/d/e.tvk");
    std::vector<std::u16string> two{u"/x/1.tvk", u"/x/2.tvk"};
    ASSERT_TRUE(s.writeProfileList(two));
    EXPECT_EQ(stored(u"PROFILE00"), u"2");
    EXPECT_EQ(stored(u"PROFILE01"), u"/x/1.tvk");
    EXPECT_EQ(stored(u"PROFILE02"), u"/x/2.tvk");
    EXPECT_EQ(stored(u"PROFILE03"), u"/d/c.tvk");
    EXPECT_EQ(stored(u"PROFILE04"), u"/d/d.tvk");
    EXPECT_EQ(stored(u"PROFILE05"), u"/d/e.tvk");
}

TEST_F(SettingsTest, OtherSectionsAndKeysOfTheFileStay) {
    fs::create_directories(settingsFilePath().parent_path());
    ASSERT_TRUE(writePrivateProfileString(u"Other", u"Key", u"kept", settingsFilePath()));
    SettingsStore s;
    ASSERT_TRUE(s.writeProfileList(std::vector<std::u16string>{u"/p.tvk"}));
    EXPECT_EQ(s.writeFlip(1), 1);
    EXPECT_EQ(getPrivateProfileString(u"Other", u"Key", u"", 260, settingsFilePath()), u"kept");
}

} // namespace
} // namespace tarvik::profiles
