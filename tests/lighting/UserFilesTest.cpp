// First-run installation of the user lighting files, their restore, and the KEYCOLOR settings.
#include "lighting/UserFiles.h"
#include "lighting/LightingSettings.h"
#include "tests/lighting/TestFolder.h"

#include <gtest/gtest.h>

namespace tarvik::lighting {
namespace {

using test::readText;
using test::writeText;

class UserFilesTest : public testing::Test {
protected:
    void SetUp() override {
        data = test::freshFolder("Velmora");
        skins = test::freshFolder("Skins");
    }
    std::filesystem::path data;
    std::filesystem::path skins;
};

TEST_F(UserFilesTest, FirstRunCopiesTheTemplateFourTimesAndMarksIt) {
    const std::string tmpl = "[PRESENTMODE]\r\nmode=0\r\n[MODENAME]\r\n0=Template\r\n";
    writeText(userLightingTemplatePath(skins), tmpl);
    EXPECT_EQ(userLightingTemplatePath(skins).filename(), "UserDengColor_3.userd");
    ASSERT_EQ(installUserFiles(data, skins), InstallResult::Installed);
    for (int n = 0; n <= 3; ++n) {
        EXPECT_EQ(readText(data / ("UserDengColor_" + std::to_string(n) + ".userd")), tmpl) << n;
    }
    EXPECT_TRUE(LightingSettings(data).userFilesInstalled());
    EXPECT_NE(readText(data / "vlkb.ini").find("usermodeCheck=1"), std::string::npos);
}

TEST_F(UserFilesTest, SecondStartLeavesEditedFilesAlone) {
    writeText(userLightingTemplatePath(skins), "[MODENAME]\n0=Template\n");
    ASSERT_EQ(installUserFiles(data, skins), InstallResult::Installed);
    writeText(userLightingFilePath(data, 1), "[MODENAME]\n0=Mine\n");
    writeText(userLightingTemplatePath(skins), "[MODENAME]\n0=New template\n");
    EXPECT_EQ(installUserFiles(data, skins), InstallResult::AlreadyInstalled);
    EXPECT_EQ(readText(userLightingFilePath(data, 1)), "[MODENAME]\n0=Mine\n");
    EXPECT_EQ(readText(userLightingFilePath(data, 0)), "[MODENAME]\n0=Template\n");
}

TEST_F(UserFilesTest, OnlyTheValueOneCountsAsInstalled) {
    writeText(userLightingTemplatePath(skins), "x");
    writeText(data / "vlkb.ini", "[KEYCOLOR]\nusermodeCheck=2\n");
    EXPECT_EQ(installUserFiles(data, skins), InstallResult::Installed);
    EXPECT_EQ(readText(userLightingFilePath(data, 2)), "x");
}

TEST_F(UserFilesTest, MissingTemplateWritesNothingAndIsRetriedNextTime) {
    EXPECT_EQ(installUserFiles(data, skins), InstallResult::NoTemplate);
    EXPECT_FALSE(std::filesystem::exists(userLightingFilePath(data, 0)));
    EXPECT_FALSE(LightingSettings(data).userFilesInstalled());
    writeText(userLightingTemplatePath(skins), "late");
    EXPECT_EQ(installUserFiles(data, skins), InstallResult::Installed);
    EXPECT_EQ(readText(userLightingFilePath(data, 3)), "late");
}

TEST_F(UserFilesTest, MissingDataFolderWritesNothing) {
    writeText(userLightingTemplatePath(skins), "x");
    auto absent = data / "absent";
    EXPECT_EQ(installUserFiles(absent, skins), InstallResult::NoDataFolder);
    EXPECT_FALSE(std::filesystem::exists(absent));
}

TEST_F(UserFilesTest, RestoreCopiesFileThreeByteForByte) {
    const std::string pristine("\xFF\xFE[\0M\0]\0", 8);
    writeText(userLightingFilePath(data, 3), pristine);
    writeText(userLightingFilePath(data, 2), "edited");
    EXPECT_TRUE(restoreUserFile(data, 2));
    EXPECT_EQ(readText(userLightingFilePath(data, 2)), pristine);
    EXPECT_FALSE(restoreUserFile(data, 3));
    EXPECT_FALSE(restoreUserFile(data, -1));
}

TEST_F(UserFilesTest, RestoreWithoutThePristineCopyKeepsTheFile) {
    writeText(userLightingFilePath(data, 0), "edited");
    EXPECT_FALSE(restoreUserFile(data, 0));
    EXPECT_EQ(readText(userLightingFilePath(data, 0)), "edited");
}

TEST_F(UserFilesTest, PanelFlagIsOnOnlyForOne) {
    LightingSettings settings(data);
    EXPECT_FALSE(settings.panelEnabled());
    const std::pair<const char*, bool> rows[] = {{"1", true},  {"0", false},   {" 1", true},
                                                 {"2", false}, {"yes", false}, {"01", true}};
    for (auto [value, on] : rows) {
        writeText(settings.file(), std::string("[KEYCOLOR]\nDengCheck=") + value + "\n");
        EXPECT_EQ(settings.panelEnabled(), on) << value;
    }
    ASSERT_TRUE(settings.setPanelEnabled(true));
    EXPECT_TRUE(settings.panelEnabled());
    ASSERT_TRUE(settings.setPanelEnabled(false));
    EXPECT_FALSE(settings.panelEnabled());
}

} // namespace
} // namespace tarvik::lighting
