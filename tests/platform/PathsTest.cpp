#include "platform/Paths.h"
#include "tests/support/ScopedEnv.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

namespace {

namespace fs = std::filesystem;

using tarvik::testsupport::ScopedEnv;

TEST(PathsTest, XdgFoldersFollowTheEnvironmentAndFallBackToHome) {
    ScopedEnv home("HOME", "/home/tester");
    {
        ScopedEnv c("XDG_CONFIG_HOME", nullptr);
        ScopedEnv s("XDG_STATE_HOME", nullptr);
        EXPECT_EQ(tarvik::paths::configHome(), fs::path("/home/tester/.config"));
        EXPECT_EQ(tarvik::paths::stateHome(), fs::path("/home/tester/.local/state"));
    }
    ScopedEnv c("XDG_CONFIG_HOME", "/x/config");
    EXPECT_EQ(tarvik::paths::configHome(), fs::path("/x/config"));
    // A relative value is not a valid XDG folder and is ignored.
    ScopedEnv s("XDG_STATE_HOME", "relative/state");
    EXPECT_EQ(tarvik::paths::stateHome(), fs::path("/home/tester/.local/state"));
}

TEST(PathsTest, DocumentsFolderFromUserDirs) {
    fs::path root = fs::temp_directory_path() / ("tarvik-paths-" + std::to_string(::getpid()));
    fs::create_directories(root / "cfg");
    ScopedEnv home("HOME", root.c_str());
    ScopedEnv cfg("XDG_CONFIG_HOME", (root / "cfg").c_str());

    EXPECT_EQ(tarvik::paths::documentsFolder(), root / "Documents");
    {
        std::ofstream(root / "cfg" / "user-dirs.dirs") << "# comment\nXDG_DESKTOP_DIR=\"$HOME/Desk\"\n"
                                                          "XDG_DOCUMENTS_DIR=\"$HOME/Dokumente\"\n";
    }
    EXPECT_EQ(tarvik::paths::documentsFolder(), root / "Dokumente");
    EXPECT_EQ(tarvik::paths::dataFolder(), root / "Dokumente" / "Velmora");
    {
        // Pointing at $HOME itself means the folder is disabled.
        std::ofstream(root / "cfg" / "user-dirs.dirs") << "XDG_DOCUMENTS_DIR=\"$HOME/\"\n";
    }
    EXPECT_EQ(tarvik::paths::documentsFolder(), root / "Documents");
    fs::remove_all(root);
}

TEST(PathsTest, ProgramFolderHoldsTheRunningExecutable) {
    auto folder = tarvik::paths::programFolder();
    EXPECT_TRUE(fs::is_directory(folder));
    EXPECT_TRUE(fs::exists(folder / "platform_tests"));
}

} // namespace
