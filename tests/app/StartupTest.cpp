// The start-up rules that run without a display: the command line, the named events, the autostart entry
// and starting other programs.
#include "app/CommandLine.h"
#include "app/NamedEvents.h"
#include "app/StartupFiles.h"
#include "platform/ProcessStart.h"
#include "tests/profiles/TestHome.h"

#include <gtest/gtest.h>

#include <chrono>
#include <fcntl.h>
#include <fstream>
#include <semaphore.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace tarvik::app {
namespace {

namespace fs = std::filesystem;

struct LineCase {
    std::vector<std::string_view> args;
    CommandLine expected;
};

class CommandLines : public ::testing::TestWithParam<LineCase> {};

TEST_P(CommandLines, KnowTwoSwitchesWithoutRegardToCaseAndIgnoreTheRest) {
    EXPECT_EQ(parseCommandLine(GetParam().args), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Table, CommandLines,
    ::testing::Values(LineCase{{}, {false, false}}, LineCase{{"/Start"}, {true, false}},
                      LineCase{{"/start"}, {true, false}}, LineCase{{"/STaRT"}, {true, false}},
                      LineCase{{"/Kill"}, {false, true}}, LineCase{{"/KILL"}, {false, true}},
                      LineCase{{"/Start", "/Kill"}, {true, true}},
                      LineCase{{"/kill", "/start"}, {true, true}},
                      // A hyphen instead of the slash, a longer word, anything else: ignored.
                      LineCase{{"-Start", "--kill", "/Starts", "/Kil", "Start", ""}, {false, false}},
                      LineCase{{"file.tvk", "/Start", "x"}, {true, false}}));

TEST(NamedEvents, AreNamedWithAtLeastTwoDigits) {
    EXPECT_EQ(namedEventName(1), "/Tarvik_Event_Main_01");
    EXPECT_EQ(namedEventName(99), "/Tarvik_Event_Main_99");
    EXPECT_EQ(namedEventName(100), "/Tarvik_Event_Main_100");
    EXPECT_EQ(namedEventName(208), "/Tarvik_Event_Main_208");
}

TEST(NamedEvents, All208ExistWhileTheWindowLivesAndAreGoneAfterwards) {
    // A prefix of this test's own, so a running program's events are never touched.
    const std::string prefix = "/TarvikTest" + std::to_string(::getpid()) + "_";
    auto openExisting = [&](int n) {
        sem_t* s = ::sem_open(namedEventName(n, prefix).c_str(), 0);
        if (s == SEM_FAILED) {
            return false;
        }
        int value = -1;
        ::sem_getvalue(s, &value);
        ::sem_close(s);
        return value == 0; // not signalled
    };
    {
        NamedEvents events(prefix);
        ASSERT_EQ(events.create(), kNamedEventCount);
        for (int n : {1, 2, 99, 100, 208}) {
            EXPECT_TRUE(openExisting(n)) << n;
        }
        events.close();
        EXPECT_FALSE(openExisting(1));
        EXPECT_FALSE(openExisting(208));
        // Created again after a close, and removed by the destructor.
        ASSERT_EQ(events.create(), kNamedEventCount);
    }
    EXPECT_FALSE(openExisting(150));
}

// Events are host-wide: the names carry the user, an event of another user is never opened, and one of the
// user's own that was there already (another instance's) is used but left to its creator to remove.
TEST(NamedEvents, OnlyTheUsersOwnAreOpenedAndOnlyTheCreatorRemovesThem) {
    EXPECT_EQ(namedEventName(7, userNamedEventPrefix()),
              "/Tarvik_Event_" + std::to_string(::getuid()) + "_Main_07");
    const std::string prefix = "/TarvikOwn" + std::to_string(::getpid()) + "_";
    auto exists = [&](int n) {
        return ::access(("/dev/shm/sem." + namedEventName(n, prefix).substr(1)).c_str(), F_OK) == 0;
    };
    NamedEvents first(prefix);
    ASSERT_EQ(first.create(), kNamedEventCount);
    {
        NamedEvents second(prefix);
        EXPECT_EQ(second.create(), kNamedEventCount);
    }
    EXPECT_TRUE(exists(1) && exists(208)) << "the second instance removed the first one's events";
    first.close();
    EXPECT_FALSE(exists(1) || exists(208));

    if (::geteuid() != 0) {
        GTEST_SKIP() << "an event of another user needs root to make";
    }
    sem_t* theirs = ::sem_open(namedEventName(5, prefix).c_str(), O_CREAT | O_EXCL, 0666, 0);
    ASSERT_NE(theirs, SEM_FAILED);
    ::sem_close(theirs);
    const std::string file = "/dev/shm/sem." + namedEventName(5, prefix).substr(1);
    ASSERT_EQ(::chown(file.c_str(), 65534, 65534), 0);
    {
        NamedEvents events(prefix);
        EXPECT_EQ(events.create(), kNamedEventCount - 1);
    }
    EXPECT_TRUE(exists(5)) << "another user's event was removed";
    ::sem_unlink(namedEventName(5, prefix).c_str());
}

TEST(StartupFiles, TheAutostartEntryIsRemovedAndItsAbsenceIsFine) {
    const fs::path home = testing::useOwnHome();
    const fs::path entry = home / ".config" / "autostart" / "AppName.desktop";
    EXPECT_EQ(autostartEntryPath(), entry);
    EXPECT_TRUE(removeAutostartEntry());
    fs::create_directories(entry.parent_path());
    std::ofstream(entry) << "[Desktop Entry]\nExec=tarvik /Start\n";
    std::ofstream(entry.parent_path() / "Other.desktop") << "[Desktop Entry]\n";
    EXPECT_TRUE(removeAutostartEntry());
    EXPECT_FALSE(fs::exists(entry));
    EXPECT_TRUE(fs::exists(entry.parent_path() / "Other.desktop"));
}

// Waits (bounded) until path exists.
bool appears(const fs::path& path) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (!fs::exists(path)) {
        if (std::chrono::steady_clock::now() > deadline) {
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return true;
}

TEST(StartupFiles, ProgramsStartDetachedWithTheirArgumentsAndNoShell) {
    const fs::path home = testing::useOwnHome();
    const fs::path script = home / "HoxDaemon";
    const fs::path out = home / "ran";
    std::ofstream(script) << "#!/bin/sh\nprintf '%s|' \"$@\" > \"" << (home / "ran.tmp").string() << "\"\n"
                          << "mv \"" << (home / "ran.tmp").string() << "\" \"" << out.string() << "\"\n";
    ::chmod(script.c_str(), 0755);

    // Words with blanks and shell characters arrive as they are: no shell ever sees them.
    ASSERT_TRUE(startDetached(script, {"a b", "$(touch x)", ";"}));
    ASSERT_TRUE(appears(out));
    std::ifstream in(out);
    std::string got((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_EQ(got, "a b|$(touch x)|;|");
    EXPECT_FALSE(fs::exists(fs::current_path() / "x"));
    // Not a child of this process: nothing is left to wait for.
    EXPECT_EQ(::waitpid(-1, nullptr, WNOHANG), -1);

    fs::remove(out);
    EXPECT_TRUE(startCompanionDaemon(home));
    EXPECT_TRUE(appears(out));
    EXPECT_FALSE(startCompanionDaemon(home / "nowhere")); // absent: nothing happens

    const fs::path plain = home / "notes.txt";
    std::ofstream(plain) << "text";
    EXPECT_FALSE(startDetached(plain)); // not an executable
}

TEST(StartupFiles, AStartedProgramInheritsNoDescriptorOfTheProgram) {
    const fs::path home = testing::useOwnHome();
    const fs::path script = home / "count-fds";
    const fs::path out = home / "fds";
    std::ofstream(script) << "#!/bin/sh\nls /proc/$$/fd > \"" << (home / "fds.tmp").string() << "\"\nmv \""
                          << (home / "fds.tmp").string() << "\" \"" << out.string() << "\"\n";
    ::chmod(script.c_str(), 0755);
    // A descriptor without close-on-exec, as a library might leave one.
    const int leaked = ::open(script.c_str(), O_RDONLY);
    ASSERT_GE(leaked, 3);
    ASSERT_TRUE(startDetached(script));
    ASSERT_TRUE(appears(out));
    ::close(leaked);
    std::ifstream in(out);
    std::string line;
    std::vector<std::string> fds;
    while (std::getline(in, line)) {
        fds.push_back(line);
    }
    ASSERT_FALSE(fds.empty());
    EXPECT_EQ(std::find(fds.begin(), fds.end(), std::to_string(leaked)), fds.end());
}

} // namespace
} // namespace tarvik::app
