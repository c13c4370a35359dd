#include "platform/AtomicFile.h"

#include <gtest/gtest.h>

#include <chrono>
#include <fcntl.h>
#include <filesystem>
#include <future>
#include <sys/stat.h>
#include <sys/sysmacros.h>
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

// Only a regular file is ever replaced: a FIFO, a device node, a folder, or a link to one of them stays
// what it was, and the write is refused with a reason.
TEST_F(AtomicFileTest, WhatIsNotARegularFileIsRefusedAndLeftAsItIs) {
    const std::vector<uint8_t> bytes{1, 2, 3};
    ASSERT_EQ(::mkfifo((dir_ / "fifo").c_str(), 0600), 0);
    fs::create_directory(dir_ / "folder");
    fs::create_symlink("fifo", dir_ / "to-fifo");
    std::vector<fs::path> targets{dir_ / "fifo", dir_ / "folder", dir_ / "to-fifo"};
    if (::mknod((dir_ / "null").c_str(), S_IFCHR | 0666, ::makedev(1, 3)) == 0) { // root only
        targets.push_back(dir_ / "null");
    }
    for (const fs::path& target : targets) {
        SCOPED_TRACE(target.filename().string());
        const fs::file_type before = fs::status(target).type();
        std::string why;
        EXPECT_FALSE(tarvik::writeFileAtomically(target, bytes, &why));
        EXPECT_NE(why.find("not a regular file"), std::string::npos) << why;
        EXPECT_EQ(fs::status(target).type(), before);
    }
    EXPECT_EQ(std::distance(fs::directory_iterator(dir_), fs::directory_iterator()),
              static_cast<long>(targets.size()))
        << "a temporary file was left";
}

// In a sticky folder everyone may write to, another user's link is not followed: it could lead to a file
// of the user's own (a ~/.profile) that the write would replace. The user's own link there is followed.
TEST_F(AtomicFileTest, AnotherUsersLinkInAStickySharedFolderIsRefused) {
    const fs::path shared = dir_ / "shared";
    fs::create_directory(shared);
    ASSERT_EQ(::chmod(shared.c_str(), 01777), 0);
    std::vector<uint8_t> bytes{7};
    ASSERT_TRUE(tarvik::writeFileAtomically(dir_ / "victim", std::vector<uint8_t>{1}));
    fs::create_symlink(dir_ / "victim", shared / "mine");
    EXPECT_TRUE(tarvik::writeFileAtomically(shared / "mine", bytes));
    EXPECT_EQ(tarvik::readWholeFile(dir_ / "victim"), bytes);
    if (::geteuid() != 0) {
        GTEST_SKIP() << "a link of another user needs root to make";
    }
    // Folder and link of two other users.
    ASSERT_EQ(::chown(shared.c_str(), 65533, 65533), 0);
    fs::create_symlink(dir_ / "victim", shared / "theirs");
    ASSERT_EQ(::lchown((shared / "theirs").c_str(), 65534, 65534), 0);
    std::string why;
    EXPECT_FALSE(tarvik::writeFileAtomically(shared / "theirs", std::vector<uint8_t>{9}, &why));
    EXPECT_NE(why.find("another user's link"), std::string::npos) << why;
    EXPECT_EQ(tarvik::readWholeFile(dir_ / "victim"), bytes);
}

} // namespace
