#include "platform/AtomicFile.h"

#include <gtest/gtest.h>

#include <chrono>
#include <fcntl.h>
#include <filesystem>
#include <future>
#include <sys/stat.h>
#include <unistd.h>
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

namespace {

struct stat statOf(const fs::path& p) {
    struct stat st {};
    EXPECT_EQ(::stat(p.c_str(), &st), 0) << p;
    return st;
}

// Sets the process umask for a scope (the test runs on one thread).
class ScopedUmask {
public:
    explicit ScopedUmask(mode_t mask) : old_(::umask(mask)) {}
    ~ScopedUmask() { ::umask(old_); }

private:
    mode_t old_;
};

TEST_F(AtomicFileTest, ANewFileGetsThePermissionsOfAPlainCreateAndAReplacedOneKeepsItsOwn) {
    ScopedUmask mask(027);
    ASSERT_TRUE(tarvik::writeFileAtomically(dir_ / "new.bin", std::vector<uint8_t>{1}));
    EXPECT_EQ(statOf(dir_ / "new.bin").st_mode & 07777, 0640u);
    EXPECT_EQ(::umask(027), 027u) << "the process umask is left alone";

    // An export the user made private stays private when it is written again.
    ASSERT_EQ(::chmod((dir_ / "new.bin").c_str(), 0600), 0);
    ASSERT_TRUE(tarvik::writeFileAtomically(dir_ / "new.bin", std::vector<uint8_t>{2}));
    EXPECT_EQ(statOf(dir_ / "new.bin").st_mode & 07777, 0600u);
    ASSERT_EQ(::chmod((dir_ / "new.bin").c_str(), 0664), 0);
    ASSERT_TRUE(tarvik::writeFileAtomically(dir_ / "new.bin", std::vector<uint8_t>{3}));
    EXPECT_EQ(statOf(dir_ / "new.bin").st_mode & 07777, 0664u);
    EXPECT_EQ(*tarvik::readWholeFile(dir_ / "new.bin"), std::vector<uint8_t>{3});
}

TEST_F(AtomicFileTest, ASymbolicLinkIsWrittenThroughAndStays) {
    fs::create_directories(dir_ / "real");
    ASSERT_TRUE(tarvik::writeFileAtomically(dir_ / "real" / "target.bin", std::vector<uint8_t>{1}));
    fs::create_symlink("real/target.bin", dir_ / "link.bin");
    fs::create_symlink(dir_ / "link.bin", dir_ / "link2.bin"); // a link to a link, absolute
    ASSERT_TRUE(tarvik::writeFileAtomically(dir_ / "link2.bin", std::vector<uint8_t>{7, 8}));
    EXPECT_TRUE(fs::is_symlink(dir_ / "link.bin"));
    EXPECT_TRUE(fs::is_symlink(dir_ / "link2.bin"));
    EXPECT_EQ(*tarvik::readWholeFile(dir_ / "real" / "target.bin"), (std::vector<uint8_t>{7, 8}));

    // A link whose target does not exist yet: the target is created, the link stays.
    fs::create_symlink("real/later.bin", dir_ / "dangling.bin");
    ASSERT_TRUE(tarvik::writeFileAtomically(dir_ / "dangling.bin", std::vector<uint8_t>{9}));
    EXPECT_TRUE(fs::is_symlink(dir_ / "dangling.bin"));
    EXPECT_EQ(*tarvik::readWholeFile(dir_ / "real" / "later.bin"), std::vector<uint8_t>{9});
}

TEST_F(AtomicFileTest, APendingFileChangesTheTargetOnlyWhenCommitted) {
    ASSERT_TRUE(tarvik::writeFileAtomically(dir_ / "f.bin", std::vector<uint8_t>{1}));
    {
        auto pending = tarvik::PendingFile::stage(dir_ / "f.bin", std::vector<uint8_t>{2});
        ASSERT_TRUE(pending.has_value());
        EXPECT_EQ(*tarvik::readWholeFile(dir_ / "f.bin"), std::vector<uint8_t>{1});
    }
    int entries = 0;
    for ([[maybe_unused]] const auto& e : fs::directory_iterator(dir_)) {
        ++entries;
    }
    EXPECT_EQ(entries, 1) << "a dropped pending file leaves nothing behind";
    auto pending = tarvik::PendingFile::stage(dir_ / "f.bin", std::vector<uint8_t>{3});
    ASSERT_TRUE(pending.has_value());
    EXPECT_TRUE(pending->commit());
    EXPECT_FALSE(pending->commit()) << "only once";
    EXPECT_EQ(*tarvik::readWholeFile(dir_ / "f.bin"), std::vector<uint8_t>{3});
}

TEST_F(AtomicFileTest, OnlyRegularFilesAreReadAndAFifoNeverBlocks) {
    const fs::path fifo = dir_ / "fifo";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    // Without a writer, a blocking open of the FIFO would wait for ever. Run the read on a thread and, if
    // it is still stuck after the bound, open the writing end so that it comes back and the test fails.
    auto read = std::async(std::launch::async, [&] { return tarvik::readWholeFile(fifo); });
    if (read.wait_for(std::chrono::seconds(10)) != std::future_status::ready) {
        int fd = ::open(fifo.c_str(), O_WRONLY | O_NONBLOCK);
        ADD_FAILURE() << "reading a FIFO blocked";
        if (fd >= 0) {
            ::close(fd);
        }
    }
    EXPECT_FALSE(read.get().has_value());
    EXPECT_FALSE(tarvik::readWholeFile(dir_).has_value()) << "a folder";
    tarvik::ReadOnlyFile folder(dir_);
    EXPECT_FALSE(folder.isOpen());
    EXPECT_TRUE(folder.notRegular());
}

} // namespace
