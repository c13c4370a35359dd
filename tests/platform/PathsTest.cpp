#include "platform/Paths.h"
#include "platform/PrivateFolder.h"
#include "tests/support/ScopedEnv.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sys/stat.h>
#include <unistd.h>

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

// Run-time files go to a folder only the user can enter. A place another user took first (or one open to
// others) is passed over for the next; when every place is taken the answer is nothing, with the reasons.
TEST(PathsTest, ARunTimeFolderIsPrivateOrNothing) {
    const std::string name = "tarvik-pf-" + std::to_string(::getpid());
    const fs::path tmpPlace = fs::path("/tmp") / (name + "-" + std::to_string(::getuid()));
    const fs::path root = fs::temp_directory_path() / (name + "-root");
    fs::create_directories(root / "run");
    fs::create_directories(root / "cache");
    ScopedEnv cache("XDG_CACHE_HOME", (root / "cache").c_str());
    const fs::path cachePlace = root / "cache" / (name + "-" + std::to_string(::getuid()) + "-runtime");
    auto isPrivate = [](const fs::path& p) {
        struct stat st {};
        return ::lstat(p.c_str(), &st) == 0 && S_ISDIR(st.st_mode) && st.st_uid == ::getuid() &&
               (st.st_mode & 0777) == 0700;
    };
    std::string why;
    {
        ScopedEnv runtime("XDG_RUNTIME_DIR", (root / "run").c_str());
        ::chmod((root / "run").c_str(), 0700);
        EXPECT_EQ(tarvik::paths::privateRuntimeFolder(name), root / "run" / name);
        ::chmod((root / "run").c_str(), 0777); // a shared runtime folder is not used
        EXPECT_EQ(tarvik::paths::privateRuntimeFolder(name), tmpPlace);
        EXPECT_TRUE(isPrivate(tmpPlace));
    }
    ScopedEnv runtime("XDG_RUNTIME_DIR", nullptr);
    ::chmod(tmpPlace.c_str(), 0755); // pre-created open to others
    EXPECT_EQ(tarvik::paths::privateRuntimeFolder(name), cachePlace);
    EXPECT_TRUE(isPrivate(cachePlace));
    if (::getuid() == 0) { // another user's: only root can make one here
        ::chmod(tmpPlace.c_str(), 0700);
        ASSERT_EQ(::chown(tmpPlace.c_str(), 65534, 65534), 0);
        EXPECT_EQ(tarvik::paths::privateRuntimeFolder(name), cachePlace);
    }
    ::chmod(cachePlace.c_str(), 0755);
    EXPECT_EQ(tarvik::paths::privateRuntimeFolder(name, &why), fs::path());
    EXPECT_NE(why.find(tmpPlace.string()), std::string::npos) << why;
    EXPECT_NE(why.find(cachePlace.string()), std::string::npos) << why;
    fs::remove_all(tmpPlace);
    fs::remove_all(root);
}

} // namespace
