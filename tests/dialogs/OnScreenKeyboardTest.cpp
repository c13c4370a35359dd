#include "dialogs/OnScreenKeyboard.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>

namespace tarvik::dialogs {
namespace {

namespace fs = std::filesystem;

class OnScreenKeyboard : public ::testing::Test {
protected:
    void SetUp() override {
        root = fs::path(std::getenv("HOME")) / "dialogs" / "osk";
        fs::remove_all(root);
        for (const char* d : {"a", "b", "c"}) {
            fs::create_directories(root / d);
        }
    }
    void program(const char* folder, const char* name, bool executable = true) {
        const fs::path p = root / folder / name;
        std::ofstream(p) << "#!/bin/sh\n";
        fs::permissions(p,
                        executable ? fs::perms::owner_all : fs::perms::owner_read | fs::perms::owner_write);
    }
    std::string path(std::initializer_list<const char*> folders) const {
        std::string out;
        for (const char* f : folders) {
            out += (out.empty() ? "" : ":") + (root / f).string();
        }
        return out;
    }
    fs::path root;
};

TEST_F(OnScreenKeyboard, FirstOfOnboardAndFlorenceOnThePath) {
    EXPECT_FALSE(findOnScreenKeyboard(path({"a", "b", "c"}))) << "none installed: nothing happens";

    program("c", "florence");
    EXPECT_EQ(findOnScreenKeyboard(path({"a", "b", "c"})), root / "c" / "florence");

    program("b", "onboard", false);
    EXPECT_EQ(findOnScreenKeyboard(path({"a", "b", "c"})), root / "c" / "florence") << "not executable";

    program("c", "onboard");
    EXPECT_EQ(findOnScreenKeyboard(path({"a", "b", "c"})), root / "c" / "onboard") << "onboard comes first";

    fs::create_directories(root / "a" / "onboard"); // a folder of that name is no program
    EXPECT_EQ(findOnScreenKeyboard(path({"a", "c"})), root / "c" / "onboard");

    EXPECT_FALSE(findOnScreenKeyboard("::relative/bin:"));
    EXPECT_FALSE(findOnScreenKeyboard(""));
}

} // namespace
} // namespace tarvik::dialogs
