#include "platform/AtomicFile.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <sys/stat.h>
#include <vector>

namespace {

namespace fs = std::filesystem;

class AtomicFileTest : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() / ("tarvik-atomic-" + std::to_string(::getpid()));
        fs::remove_all(dir_);
        fs::create_directories(dir_);
    }
    void TearDown() override { fs::remove_all(dir_); }
    fs::path dir_;
};

TEST_F(AtomicFileTest, WritesAndReadsBack) {
    std::vector<uint8_t> bytes{1, 2, 3, 0, 255};
    ASSERT_TRUE(tarvik::writeFileAtomically(dir_ / "f.bin", bytes));
    auto back = tarvik::readWholeFile(dir_ / "f.bin");
    ASSERT_TRUE(back.has_value());
    EXPECT_EQ(*back, bytes);
}

TEST_F(AtomicFileTest, ReplacesWholeAndLeavesNoTemporaryFile) {
    ASSERT_TRUE(tarvik::writeFileAtomically(dir_ / "f.bin", std::vector<uint8_t>(1000, 7)));
    ASSERT_TRUE(tarvik::writeFileAtomically(dir_ / "f.bin", std::vector<uint8_t>{9}));
    EXPECT_EQ(*tarvik::readWholeFile(dir_ / "f.bin"), std::vector<uint8_t>{9});
    int entries = 0;
    for ([[maybe_unused]] const auto& e : fs::directory_iterator(dir_)) {
        ++entries;
    }
    EXPECT_EQ(entries, 1);
}

TEST_F(AtomicFileTest, FailedWriteKeepsThePreviousFile) {
    ASSERT_TRUE(tarvik::writeFileAtomically(dir_ / "f.bin", std::vector<uint8_t>{1, 2}));
    // A target that is a non-empty folder cannot be replaced by rename.
    fs::create_directories(dir_ / "sub" / "x");
    EXPECT_FALSE(tarvik::writeFileAtomically(dir_ / "sub", std::vector<uint8_t>{3}));
    EXPECT_TRUE(fs::is_directory(dir_ / "sub" / "x"));
    // A folder that does not exist: nothing is written anywhere.
    EXPECT_FALSE(tarvik::writeFileAtomically(dir_ / "missing" / "f.bin", std::vector<uint8_t>{3}));
    EXPECT_EQ(*tarvik::readWholeFile(dir_ / "f.bin"), (std::vector<uint8_t>{1, 2}));
}

TEST_F(AtomicFileTest, ReadRefusesMissingAndOversizedFiles) {
    EXPECT_FALSE(tarvik::readWholeFile(dir_ / "none").has_value());
    ASSERT_TRUE(tarvik::writeFileAtomically(dir_ / "big", std::vector<uint8_t>(100, 1)));
    EXPECT_FALSE(tarvik::readWholeFile(dir_ / "big", 99).has_value());
    EXPECT_TRUE(tarvik::readWholeFile(dir_ / "big", 100).has_value());
}

} // namespace
