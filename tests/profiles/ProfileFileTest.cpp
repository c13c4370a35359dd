#include "profiles/ProfileFile.h"
#include "profiles/ProfileFiles.h"

#include "platform/AtomicFile.h"
#include "platform/Bytes.h"
#include "tests/macros/RecordingPrompter.h"
#include "tests/profiles/TestHome.h"

#include <gtest/gtest.h>

#include <chrono>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <future>
#include <sys/stat.h>
#include <unistd.h>

namespace tarvik::profiles {
namespace {

namespace fs = std::filesystem;

class ProfileFileTest : public ::testing::Test {
protected:
    void SetUp() override {
        dir = testing::useOwnHome() / "files";
        fs::create_directories(dir);
    }
    fs::path dir;
};

std::vector<uint8_t> bytesOf(const fs::path& p) {
    return readWholeFile(p).value_or(std::vector<uint8_t>{});
}

void writeBytes(const fs::path& p, const std::vector<uint8_t>& b) {
    ASSERT_TRUE(writeFileAtomically(p, b));
}

TEST_F(ProfileFileTest, NewFileIsTheDefaultStoreWithItsChecksum) {
    fs::path f = dir / "new.tvk";
    ASSERT_TRUE(newDefaultStoreFile(f));
    std::vector<uint8_t> b = bytesOf(f);
    ASSERT_EQ(b.size(), 32832u);
    const std::vector<uint8_t> header{0x46, 0x44, 0x20, 0x00, 0x03, 0x00, 0x01, 0x00, 0x40, 0x80, 0x00,
                                      0x00, 0x00, 0x08, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0,    0,
                                      0,    0,    0,    0,    0,    0,    0,    0,    0,    0x76};
    EXPECT_EQ(std::vector<uint8_t>(b.begin(), b.begin() + 32), header);
    EXPECT_EQ(std::vector<uint8_t>(b.begin() + 32, b.begin() + 64),
              std::vector<uint8_t>(kDeviceIdentityBlock.begin(), kDeviceIdentityBlock.end()));
    // G-key records of profile 0 carry their tags in aux; every other byte is zero.
    for (size_t slot = 0; slot < 2048; ++slot) {
        size_t at = 64 + slot * 16;
        uint16_t aux = readLe16(&b[at + 2]);
        uint16_t expected = 0;
        if (slot >= 256 && slot <= 264) {
            expected = static_cast<uint16_t>(0x0301 + (slot - 256));
        } else if (slot >= 265 && slot <= 273) {
            expected = static_cast<uint16_t>(0x1301 + (slot - 265));
        }
        ASSERT_EQ(aux, expected) << slot;
        for (size_t i = 0; i < 16; ++i) {
            if (i != 2 && i != 3) {
                ASSERT_EQ(b[at + i], 0) << slot;
            }
        }
    }
    testing::RecordingPrompter p;
    EXPECT_EQ(validateProfileFile(f, p), 1);
    EXPECT_TRUE(p.shown.empty());
}

TEST_F(ProfileFileTest, TwoMacrosAndOneLaunchPathGiveTheDocumentedSize) {
    AssignmentStore store;
    {
        auto lock = store.lockKeyData();
        WorkingCopy& w = store.working();
        w.macros().push_back(macros::createMacroRecord(w.macros(), u"one"));
        w.macros().push_back(macros::createMacroRecord(w.macros(), u"two"));
        keyboard::KeyAssignment launch;
        launch.type = keyboard::ASSIGN_LAUNCH;
        launch.value = 1234; // rewritten to the pool offset when saving
        w.setRecord(0x1E, launch);
        w.attachText(0x1E, u"/bin/cal");
    }
    fs::path f = dir / "two.tvk";
    ASSERT_TRUE(saveProfileFile(store, f));
    std::vector<uint8_t> b = bytesOf(f);
    ASSERT_EQ(b.size(), 65874u);
    EXPECT_EQ(readLe32(&b[8]), 65874u);
    EXPECT_EQ(readLe16(&b[14]), 2);
    EXPECT_EQ(readLe32(&b[16]), 18u);
    EXPECT_EQ(readLe32(&b[64 + 0x1E * 16 + 4]), 0u) << "the only text sits at pool offset 0";
    EXPECT_EQ(b[65874 - 18], '/');
    EXPECT_EQ(b[65874 - 2], 0);
    EXPECT_EQ(b[65874 - 1], 0);
    testing::RecordingPrompter p;
    EXPECT_EQ(validateProfileFile(f, p), 1);

    // Loading gives the text back with its size.
    AssignmentStore again;
    ASSERT_EQ(loadProfileFile(again, f), 1);
    auto lock = again.lockKeyData();
    EXPECT_EQ(again.working().text(0x1E).text, u"/bin/cal");
    EXPECT_EQ(again.working().text(0x1E).size, 18u);
    EXPECT_EQ(again.working().textSum(), 18u);
    EXPECT_EQ(again.working().macros().size(), 2u);
    EXPECT_EQ(again.working().macros()[1].name(), u"two");
}

TEST_F(ProfileFileTest, SaveAndLoadGiveTheSameBytesBack) {
    AssignmentStore store;
    {
        auto lock = store.lockKeyData();
        WorkingCopy& w = store.working();
        for (int i = 0; i < 3; ++i) {
            macros::MacroRecord m = macros::createMacroRecord(w.macros(), u"m");
            m.setActions(std::vector<macros::MacroAction>(50 + i, macros::MacroAction{10, 0x1E, 0}));
            m.setReserved504(0x5151); // kept unchanged, like every other byte
            w.macros().push_back(m);
        }
        for (size_t i : {5u, 700u, 1900u}) {
            keyboard::KeyAssignment r;
            r.type = i == 700 ? keyboard::ASSIGN_TEXT_BLOCK : keyboard::ASSIGN_LAUNCH;
            w.setRecord(i, r);
            w.attachText(i, i == 5 ? u"a" : u"text with ünïcode ✓");
        }
        keyboard::KeyAssignment odd;
        odd.type = 9; // no range check on what a file holds
        odd.value = 77;
        odd.reserved = 5;
        w.setRecord(42, odd);
    }
    fs::path first = dir / "a.tvk";
    fs::path second = dir / "b.tvk";
    ASSERT_TRUE(saveProfileFile(store, first));
    AssignmentStore loaded;
    ASSERT_EQ(loadProfileFile(loaded, first), 1);
    ASSERT_TRUE(saveProfileFile(loaded, second));
    EXPECT_EQ(bytesOf(first), bytesOf(second));
}

TEST_F(ProfileFileTest, EveryChangedHeaderByteIsRefusedWithTheFormatMessage) {
    fs::path good = dir / "good.tvk";
    ASSERT_TRUE(newDefaultStoreFile(good));
    std::vector<uint8_t> base = bytesOf(good);
    for (size_t i = 0; i < 32; ++i) {
        std::vector<uint8_t> b = base;
        b[i] ^= 0x01;
        fs::path f = dir / ("bad" + std::to_string(i));
        writeBytes(f, b);
        testing::RecordingPrompter p;
        EXPECT_EQ(validateProfileFile(f, p), 0) << "byte " << i;
        EXPECT_EQ(p.shown, std::vector<std::string>{"PROFILE_FORMAT_ERROR"}) << "byte " << i;
    }
    // The reserved bytes and the flag are part of the checksum but may hold anything it covers.
    std::vector<uint8_t> flagged = base;
    flagged[30] = 1;
    flagged[31] = static_cast<uint8_t>(flagged[31] + 1);
    writeBytes(dir / "flag1", flagged);
    testing::RecordingPrompter p;
    EXPECT_EQ(validateProfileFile(dir / "flag1", p), 1);
}

TEST_F(ProfileFileTest, HeaderAnnouncingMoreThan100MacrosIsRefused) {
    std::vector<uint8_t> b(32832 + 101 * 16512, 0);
    ProfileFileHeader h = ProfileFileHeader::forContents(101, 0);
    h.write(std::span<uint8_t, 32>(b.data(), 32));
    writeBytes(dir / "many", b);
    testing::RecordingPrompter p;
    EXPECT_EQ(validateProfileFile(dir / "many", p), 0);
    ProfileFileCheck c = checkProfileFile(dir / "many");
    EXPECT_TRUE(c.badHeader);
    EXPECT_EQ(c.check.problems, std::vector<ProfileProblem>{ProfileProblem::TooManyMacros});
}

TEST_F(ProfileFileTest, SmallMissingAndUnreadableFilesAreRefusedWithoutTheFormatMessage) {
    fs::path good = dir / "good.tvk";
    ASSERT_TRUE(newDefaultStoreFile(good));
    std::vector<uint8_t> b = bytesOf(good);
    b.pop_back();
    writeBytes(dir / "short", b);
    testing::RecordingPrompter p;
    EXPECT_EQ(validateProfileFile(dir / "short", p), 0);
    EXPECT_EQ(validateProfileFile(dir / "missing", p), 0);
    EXPECT_EQ(validateProfileFile(dir, p), kCannotOpen) << "a folder cannot be read as a file";
    EXPECT_TRUE(p.shown.empty());
}

TEST_F(ProfileFileTest, ReadOnlyFileImportsLikeAnyOther) {
    fs::path f = dir / "ro.tvk";
    ASSERT_TRUE(newDefaultStoreFile(f));
    fs::permissions(f, fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
    testing::RecordingPrompter p;
    EXPECT_EQ(validateProfileFile(f, p), 1);
    fs::permissions(f, fs::perms::owner_all);
}

// Files the header check accepts but whose contents would send a reader past the end.
TEST_F(ProfileFileTest, LoaderRefusesWhatTheHeaderCheckCannotSee) {
    AssignmentStore store;
    {
        auto lock = store.lockKeyData();
        keyboard::KeyAssignment launch;
        launch.type = keyboard::ASSIGN_LAUNCH;
        store.working().setRecord(3, launch);
        store.working().attachText(3, u"abc");
    }
    ASSERT_TRUE(saveProfileFile(store, dir / "ok.tvk"));
    const std::vector<uint8_t> ok = bytesOf(dir / "ok.tvk");
    ASSERT_EQ(ok.size(), 32832u + 8);

    struct Case {
        const char* name;
        std::vector<uint8_t> bytes;
        ProfileProblem problem;
    };
    std::vector<Case> cases;
    {
        std::vector<uint8_t> b = ok;
        b.resize(b.size() - 2); // header still promises 8 pool bytes
        cases.push_back({"truncated pool", b, ProfileProblem::FileTooShort});
    }
    {
        std::vector<uint8_t> b = ok;
        writeLe32(&b[64 + 3 * 16 + 4], 8); // offset just past the pool
        cases.push_back({"offset outside pool", b, ProfileProblem::TextOutsidePool});
    }
    {
        std::vector<uint8_t> b = ok;
        writeLe32(&b[64 + 3 * 16 + 4], 0xFFFFFFFE);
        cases.push_back({"huge offset", b, ProfileProblem::TextOutsidePool});
    }
    {
        std::vector<uint8_t> b = ok;
        b[b.size() - 2] = 'x'; // the terminator overwritten: the text runs to the end of the pool
        cases.push_back({"no terminator", b, ProfileProblem::TextNotTerminated});
    }
    for (const auto& c : cases) {
        fs::path f = dir / c.name;
        writeBytes(f, c.bytes);
        ProfileFileCheck check = checkProfileFile(f);
        EXPECT_FALSE(check.loadable) << c.name;
        ASSERT_FALSE(check.check.problems.empty()) << c.name;
        EXPECT_EQ(check.check.problems.back(), c.problem) << c.name;

        // The loader refuses it on its own too, and leaves a default store.
        AssignmentStore target;
        {
            auto lock = target.lockKeyData();
            target.working().macros().push_back(macros::MacroRecord{});
        }
        EXPECT_EQ(loadProfileFile(target, f), 0) << c.name;
        auto lock = target.lockKeyData();
        EXPECT_TRUE(target.working().macros().empty()) << c.name;
        EXPECT_EQ(target.working().records()[256].aux, 0x0301) << c.name;
    }
}

TEST_F(ProfileFileTest, SpecialFilesAreRefusedAtOnceAndOnlyWhatTheHeaderPromisesIsRead) {
    const fs::path fifo = dir / "fifo.tvk";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    // Checked on a thread: when it blocks in open, the writing end is opened after the bound so that the
    // thread comes back and the test fails instead of hanging.
    auto checked = std::async(std::launch::async, [&] { return checkProfileFile(fifo); });
    if (checked.wait_for(std::chrono::seconds(10)) != std::future_status::ready) {
        ADD_FAILURE() << "checking a FIFO blocked";
        int fd = ::open(fifo.c_str(), O_WRONLY | O_NONBLOCK);
        if (fd >= 0) {
            ::close(fd);
        }
    }
    ProfileFileCheck c = checked.get();
    EXPECT_EQ(c.result, kCannotOpen);
    EXPECT_TRUE(c.notRegular);
    AssignmentStore store;
    EXPECT_EQ(loadProfileFile(store, fifo), 0);

    // Bytes after what the header promises are never read; a file shorter than its promise is refused
    // after its header alone.
    fs::path good = dir / "good.tvk";
    ASSERT_TRUE(newDefaultStoreFile(good));
    std::vector<uint8_t> bytes = bytesOf(good);
    std::vector<uint8_t> longer = bytes;
    longer.resize(bytes.size() + 100000, 0xEE);
    writeBytes(dir / "longer.tvk", longer);
    c = checkProfileFile(dir / "longer.tvk");
    EXPECT_EQ(c.result, 1);
    EXPECT_TRUE(c.loadable);
    EXPECT_EQ(c.bytes, bytes);

    std::vector<uint8_t> promising = bytes;
    writeLe16(&promising[14], 100); // 100 macros the file does not hold
    writeLe32(&promising[8], static_cast<uint32_t>(32832 + 100 * 16512));
    promising[31] = profileHeaderChecksum(std::span<const uint8_t, 32>(promising.data(), 32));
    writeBytes(dir / "promising.tvk", promising);
    c = checkProfileFile(dir / "promising.tvk");
    EXPECT_EQ(c.result, 1) << "the header itself is fine";
    EXPECT_FALSE(c.loadable);
    EXPECT_EQ(c.check.problems, std::vector<ProfileProblem>{ProfileProblem::FileTooShort});
    EXPECT_TRUE(c.bytes.empty());
}

TEST_F(ProfileFileTest, FailedSaveLeavesThePreviousFile) {
    fs::path f = dir / "keep.tvk";
    ASSERT_TRUE(newDefaultStoreFile(f));
    std::vector<uint8_t> before = bytesOf(f);
    AssignmentStore store;
    {
        auto lock = store.lockKeyData();
        store.working().macros().assign(101, macros::MacroRecord{}); // more than a file can describe
    }
    EXPECT_FALSE(saveProfileFile(store, f));
    EXPECT_EQ(bytesOf(f), before);
    EXPECT_FALSE(saveProfileFile(store, dir / "no-such-folder" / "x.tvk"));
    // No temporary file is left behind.
    size_t files = 0;
    for (const auto& e : fs::directory_iterator(dir)) {
        (void)e;
        ++files;
    }
    EXPECT_EQ(files, 1u);
}

} // namespace
} // namespace tarvik::profiles
