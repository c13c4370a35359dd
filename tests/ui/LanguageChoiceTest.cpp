#include "ui/LanguageChoice.h"

#include "platform/IniFile.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <sys/stat.h>
#include <unistd.h>

namespace tarvik::ui {
namespace {

namespace fs = std::filesystem;

class LanguageChoice : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = fs::path(std::getenv("HOME")) / "choice" /
               ::testing::UnitTest::GetInstance()->current_test_info()->name();
        fs::remove_all(dir_);
        fs::create_directories(dir_ / "Skins");
        files_.program = dir_ / "Skins" / "language.ini";
        files_.user = dir_ / "config" / "Tarvik_Lumira" / "Tarvik.ini";
        std::ofstream(files_.program) << "[LANGUAGE]\nlanguage=1\n[ENGINSH]\nMAIN_CAPTION=Settings\n"
                                         "[CHINESE]\nMAIN_CAPTION=\xE8\xAE\xBE\xE7\xBD\xAE\n";
    }
    void TearDown() override { ::chmod((dir_ / "Skins").c_str(), 0755); }
    // The program folder as it is once installed: nobody but root may write there.
    bool makeProgramFolderReadOnly() {
        ::chmod((dir_ / "Skins").c_str(), 0555);
        ::chmod(files_.program.c_str(), 0444);
        // Root writes anyway; such a run cannot show the read-only case.
        return ::access(files_.program.c_str(), W_OK) != 0;
    }
    std::u16string programValue() const {
        return getPrivateProfileString(u"LANGUAGE", u"language", u"", 260, files_.program);
    }
    fs::path dir_;
    LanguageFiles files_;
};

TEST_F(LanguageChoice, AWritableProgramFolderKeepsTheChoiceInItsLanguageFile) {
    TextTable table;
    EXPECT_EQ(loadUiTexts(table, files_), TextTable::kEnglish);
    EXPECT_EQ(switchUiLanguage(table, files_, TextTable::kChinese), ChoiceKept::ProgramFolder);
    EXPECT_EQ(programValue(), u"0");
    EXPECT_FALSE(fs::exists(files_.user)); // nothing per user while the shared file takes it
    EXPECT_EQ(table.text("MAIN_CAPTION"), u"\u8BBE\u7F6E");
    TextTable restarted;
    EXPECT_EQ(loadUiTexts(restarted, files_), TextTable::kChinese);
}

TEST_F(LanguageChoice, AReadOnlyProgramFolderKeepsTheChoicePerUser) {
    if (!makeProgramFolderReadOnly()) {
        GTEST_SKIP() << "running as root: the program folder cannot be made read-only";
    }
    TextTable table;
    loadUiTexts(table, files_);
    EXPECT_EQ(switchUiLanguage(table, files_, TextTable::kChinese), ChoiceKept::PerUser);
    EXPECT_EQ(programValue(), u"1"); // untouched
    EXPECT_EQ(userLanguage(files_), TextTable::kChinese);
    EXPECT_EQ(table.text("MAIN_CAPTION"), u"\u8BBE\u7F6E");
    // The next start reads the user's value before the program folder's.
    TextTable restarted;
    EXPECT_EQ(loadUiTexts(restarted, files_), TextTable::kChinese);
    EXPECT_EQ(restarted.text("MAIN_CAPTION"), u"\u8BBE\u7F6E");
}

TEST_F(LanguageChoice, AnExistingUserValueFollowsEveryLaterChoice) {
    fs::create_directories(files_.user.parent_path());
    std::ofstream(files_.user) << "[PROFILES]\nFlip=1\n[LANGUAGE]\nlanguage=0\n";
    TextTable table;
    EXPECT_EQ(loadUiTexts(table, files_), TextTable::kChinese); // the user's value wins
    EXPECT_EQ(switchUiLanguage(table, files_, TextTable::kEnglish), ChoiceKept::ProgramFolder);
    EXPECT_EQ(userLanguage(files_), TextTable::kEnglish);
    EXPECT_EQ(getPrivateProfileString(u"PROFILES", u"Flip", u"", 260, files_.user),
              u"1"); // other values stay
    TextTable restarted;
    EXPECT_EQ(loadUiTexts(restarted, files_), TextTable::kEnglish);
}

TEST_F(LanguageChoice, NoWritableFileStillSwitchesThisRun) {
    if (!makeProgramFolderReadOnly()) {
        GTEST_SKIP() << "running as root: the program folder cannot be made read-only";
    }
    files_.user.clear();
    TextTable table;
    loadUiTexts(table, files_);
    EXPECT_EQ(switchUiLanguage(table, files_, TextTable::kChinese), ChoiceKept::ThisRunOnly);
    EXPECT_EQ(table.language(), TextTable::kChinese);
    EXPECT_EQ(table.text("MAIN_CAPTION"), u"\u8BBE\u7F6E");
}

} // namespace
} // namespace tarvik::ui
