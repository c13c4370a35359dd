#include "profiles/DataFolder.h"

#include "platform/Paths.h"
#include "tests/profiles/TestHome.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

namespace tarvik::profiles {
namespace {

namespace fs = std::filesystem;

TEST(DataFolder, CreatedOnceInTheDocumentsFolderThenTheFirstRunHookRuns) {
    testing::useOwnHome();
    std::vector<fs::path> runs;
    auto hook = [&](const fs::path& folder) {
        EXPECT_TRUE(fs::is_directory(folder)) << "the hook runs after the folder exists";
        runs.push_back(folder);
    };
    fs::path folder = ensureDataFolder(hook);
    EXPECT_EQ(folder, paths::documentsFolder() / "Velmora");
    EXPECT_TRUE(fs::is_directory(folder));
    ASSERT_EQ(runs.size(), 1u);
    EXPECT_EQ(runs[0], folder);
    EXPECT_EQ(ensureDataFolder(hook), folder);
    EXPECT_EQ(runs.size(), 1u);
}

TEST(DataFolder, CacheFileIsOneFileForEveryProfile) {
    testing::useOwnHome();
    fs::path expected = paths::dataFolder() / "$Profile0";
    for (int p : {0, 1, 2, 7}) {
        EXPECT_EQ(cacheFilePath(p), expected);
    }
}

TEST(DataFolder, AFileInTheWayIsNoFolder) {
    testing::useOwnHome();
    fs::create_directories(paths::documentsFolder());
    std::ofstream(paths::dataFolder()) << "not a folder";
    bool ran = false;
    EXPECT_TRUE(ensureDataFolder([&](const fs::path&) { ran = true; }).empty());
    EXPECT_FALSE(ran);
}

} // namespace
} // namespace tarvik::profiles
