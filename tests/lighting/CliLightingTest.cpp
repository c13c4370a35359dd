// tarvikctl lighting as a program against the virtual keyboard, its flash kept in a state file between
// runs and the data folder in a scratch HOME.
#include "tests/support/RunProgram.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>

namespace {

namespace fs = std::filesystem;
using tarvik::testsupport::readText;
using tarvik::testsupport::RunResult;

class TarvikctlLighting : public testing::Test {
protected:
    void SetUp() override {
        dir = fs::path(LIGHTING_TEST_SCRATCH) / testing::UnitTest::GetInstance()->current_test_info()->name();
        fs::remove_all(dir);
        fs::create_directories(dir / "home");
    }
    RunResult ctl(const std::string& words) {
        const std::string home = (dir / "home").string();
        const std::string env = "PORTMUX_BACKEND=sim PORTMUX_SIM_STATE='" + (dir / "flash.bin").string() +
                                "' HOME='" + home + "' XDG_CONFIG_HOME='" + home +
                                "/.config' XDG_STATE_HOME='" + home + "/.state'";
        return tarvik::testsupport::runProgram(TARVIKCTL, words, env, dir);
    }
    fs::path dataFolder() const { return dir / "home" / "Documents" / "Velmora"; }

    fs::path dir;
};

// The JSON of show up to the mode list, which carries names from the skin file when there is one.
std::string head(const std::string& json) {
    return json.substr(0, json.find(", \"modes\": ["));
}

TEST_F(TarvikctlLighting, ShowGivesTheRawValuesOfTheCurrentProfile) {
    RunResult r = ctl("--json lighting show");
    ASSERT_EQ(r.exitCode, 0) << r.err;
    // Factory settings: the restore-defaults block.
    EXPECT_EQ(head(r.out),
              "{\"profile\": 0, \"mode\": 1, \"brightness\": 5, \"speed\": 3, \"direction\": 255, "
              "\"random\": true, \"colour\": [255, 0, 0], \"preset\": 8, \"baseColour\": [255, 255, "
              "255], \"paintColour\": [255, 0, 0], \"reportRate\": 0");
    EXPECT_NE(r.out.find("{\"code\": 1, \"name\": \""), std::string::npos);
    EXPECT_NE(r.out.find("{\"code\": 20, \"name\": \""), std::string::npos);
    EXPECT_EQ(r.out.find("\"code\": 19"), std::string::npos);
    EXPECT_EQ(r.out.back(), '\n');
    // show never creates the data folder.
    EXPECT_FALSE(fs::exists(dataFolder()));
}

TEST_F(TarvikctlLighting, ChangesReachTheKeyboardAndShowReadsThemBack) {
    for (const char* words :
         {"lighting brightness 2", "lighting speed 0", "lighting colour 10,20,30", "lighting mode 12",
          "lighting direction 1", "lighting preset 3", "lighting random on"}) {
        RunResult r = ctl(words);
        ASSERT_EQ(r.exitCode, 0) << words << ": " << r.err;
        EXPECT_EQ(r.out.rfind("profile 0: ", 0), 0u) << r.out;
    }
    RunResult r = ctl("--json lighting show");
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(head(r.out),
              "{\"profile\": 0, \"mode\": 12, \"brightness\": 2, \"speed\": 0, \"direction\": 1, "
              "\"random\": true, \"colour\": [10, 20, 30], \"preset\": 3, \"baseColour\": [255, 255, "
              "255], \"paintColour\": [255, 0, 0], \"reportRate\": 0");
    r = ctl("--json lighting defaults");
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out, "{\"profile\": 0, \"defaults\": true}\n");
    r = ctl("--json lighting show");
    EXPECT_EQ(head(r.out),
              "{\"profile\": 0, \"mode\": 1, \"brightness\": 5, \"speed\": 3, \"direction\": 255, "
              "\"random\": true, \"colour\": [255, 0, 0], \"preset\": 8, \"baseColour\": [255, 255, "
              "255], \"paintColour\": [255, 0, 0], \"reportRate\": 0");
}

TEST_F(TarvikctlLighting, BadArgumentsFailWithOneLineBeforeTheKeyboardIsOpened) {
    const char* cases[] = {"lighting",
                           "lighting brightness 6",
                           "lighting brightness",
                           "lighting speed -1",
                           "lighting direction 2",
                           "lighting colour 1,2",
                           "lighting colour 1,2,256",
                           "lighting colour 1,2,3,4",
                           "lighting random maybe",
                           "lighting preset 4",
                           "lighting mode 0",
                           "lighting mode x",
                           "lighting paint 125 1,2,3",
                           "lighting paint 13 1,2,3",
                           "lighting paint 64",
                           "lighting upload-colours",
                           "lighting upload-colours f.userd --slot 10",
                           "lighting show extra",
                           "lighting dance"};
    for (const char* words : cases) {
        RunResult r = ctl(words);
        EXPECT_EQ(r.exitCode, 2) << words;
        EXPECT_EQ(r.out, "") << words;
        EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << words << ": " << r.err;
        EXPECT_EQ(r.err.rfind("tarvikctl: lighting: ", 0), 0u) << r.err;
    }
    // Nothing reached the keyboard: no flash file was ever written.
    EXPECT_FALSE(fs::exists(dir / "flash.bin"));
}

TEST_F(TarvikctlLighting, AModeTheKeyboardDoesNotOfferFails) {
    RunResult r = ctl("lighting mode 19");
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.err.find("does not offer mode 19"), std::string::npos) << r.err;
}

TEST_F(TarvikctlLighting, PaintWritesTheUserFileAndUploadTakesASlotOfAnyFile) {
    RunResult r = ctl("--json lighting paint 64 0,0,255");
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out, "{\"profile\": 0, \"slot\": 0, \"position\": 64, \"colour\": [0, 0, 255]}\n");
    // The first use installed the template, then the key went into slot 0 of profile 0's file.
    std::string file = readText(dataFolder() / "UserDengColor_0.userd");
    EXPECT_NE(file.find("64=0,0,255,0"), std::string::npos);
    EXPECT_NE(file.find("[MODENAME]"), std::string::npos);
    EXPECT_NE(readText(dataFolder() / "vlkb.ini").find("usermodeCheck=1"), std::string::npos);

    std::ofstream(dir / "other.userd") << "[PRESENTMODE]\nmode=4\n[Mode4]\n64=1,2,3,0\n";
    r = ctl("lighting upload-colours '" + (dir / "other.userd").string() + "'");
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_NE(r.out.find("slot 4"), std::string::npos) << r.out;
    r = ctl("lighting upload-colours '" + (dir / "missing.userd").string() + "' --slot 2");
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.err.find("cannot read"), std::string::npos) << r.err;
}

} // namespace
