// First-run installation of the user lighting files, their restore, and the KEYCOLOR settings.
#include "lighting/UserFiles.h"
#include "lighting/KeyButtons.h"
#include "lighting/LightingSettings.h"
#include "lighting/UserLightingFile.h"
#include "tests/lighting/TestFolder.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

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

TEST_F(UserFilesTest, TheFirstRunHookInstallsFromItsSkinsFolder) {
    writeText(userLightingTemplatePath(skins), "hook");
    auto hook = userFilesInstaller(skins);
    hook(data);
    EXPECT_EQ(readText(userLightingFilePath(data, 0)), "hook");
    EXPECT_TRUE(LightingSettings(data).userFilesInstalled());
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

TEST(ShippedTemplate, HasTenNamedSlotsWithEveryKeyAndFn) {
    auto file = UserLightingFile::load(LIGHTING_TEST_TEMPLATE);
    ASSERT_TRUE(file.ini().containsSection(u"MODENAME")) << LIGHTING_TEST_TEMPLATE;
    EXPECT_EQ(file.presentSlot(), 0);
    std::set<std::u16string> names;
    for (int s = 0; s < kSlotCount; ++s) {
        auto name = file.slotName(s);
        EXPECT_NE(name, u"0") << s;
        names.insert(name);
        auto section = u"Mode" + std::u16string(1, static_cast<char16_t>(u'0' + s));
        SlotHeader h = file.header(s);
        EXPECT_TRUE(h.brush == 0 || h.brush == 1) << s;
        for (int b = 0; b < kKeyButtonCount; ++b) {
            auto key = std::to_string(ledOfButton(b));
            EXPECT_TRUE(file.ini().contains(section, std::u16string(key.begin(), key.end())))
                << "slot " << s << " position " << key;
        }
        EXPECT_TRUE(file.ini().contains(section, u"110")) << s;
    }
    EXPECT_EQ(names.size(), static_cast<size_t>(kSlotCount));
    // The WASD layout lights W (44) and A (64) apart from the rest.
    EXPECT_NE(file.key(1, 44).colour, file.key(1, 0).colour);
    EXPECT_EQ(file.key(1, 44).colour, file.key(1, 64).colour);
}

} // namespace
} // namespace tarvik::lighting
