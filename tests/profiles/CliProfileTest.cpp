// tarvikctl export, import, validate, macros and assign, run as a user runs them from the program folder,
// against the virtual keyboard whose flash persists in a state file between the runs.
#include "keyboard/KeyAssignment.h"
#include "keyboard/Layout.h"
#include "platform/AtomicFile.h"
#include "platform/Bytes.h"
#include "platform/Utf.h"
#include "profiles/DataFolder.h"
#include "profiles/ProfileFiles.h"
#include "tests/profiles/StoreSamples.h"
#include "tests/profiles/TestHome.h"
#include "tests/support/ChildProcess.h"
#include "tests/support/RunProgram.h"
#include "tests/support/SimLibrary.h"
#include "ui/TextTable.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <sys/stat.h>

namespace tarvik::profiles {
namespace {

namespace fs = std::filesystem;

using tarvik::testsupport::programFolder;
using tarvik::testsupport::RunResult;

// A text as one line: line breaks and runs of blanks become one blank, none at either end.
std::string oneLine(const std::string& text) {
    std::string out;
    for (char c : text) {
        bool blank = c == ' ' || c == '\r' || c == '\n';
        if (blank && (out.empty() || out.back() == ' ')) {
            continue;
        }
        out += blank ? ' ' : c;
    }
    while (!out.empty() && out.back() == ' ') {
        out.pop_back();
    }
    return out;
}

class CliProfile : public ::testing::Test {
protected:
    void SetUp() override {
        home = testing::useOwnHome();
        ::setenv("PORTMUX_BACKEND", "sim", 1);
        ::setenv("PORTMUX_SIM_STATE", (home / "sim-flash.bin").c_str(), 1);
    }
    // Standard output and error go to files in the test's home; the environment is the test's own.
    RunResult tarvikctl(const std::string& args) {
        return tarvik::testsupport::runProgram(fs::path(programFolder()) / "tarvikctl", args, "", home);
    }
    fs::path home;
};

TEST_F(CliProfile, ImportThenExportGivesBackTheRecordsAndMacros) {
    AssignmentStore source;
    testing::fillSampleStore(source);
    {
        // Ids as an editor may leave them: not in list order. The keyboard renumbers them 1, 2, 3.
        auto lock = source.lockKeyData();
        auto& list = source.working().macros();
        list[0].setId(9);
        list[1].setId(4);
        list[2].setId(30);
        for (auto& r : source.working().records()) {
            if (r.type == keyboard::ASSIGN_MACRO) {
                r.value = r.value == 1 ? 9 : 4;
            }
        }
    }
    fs::path in = home / "in.tvk";
    ASSERT_TRUE(saveProfileFile(source, in));

    RunResult imp = tarvikctl("import '" + in.string() + "'");
    ASSERT_EQ(imp.exitCode, 0) << imp.err;
    fs::path out = home / "out.tvk";
    RunResult exp = tarvikctl("export '" + out.string() + "'");
    ASSERT_EQ(exp.exitCode, 0) << exp.err;
    EXPECT_EQ(tarvikctl("validate '" + out.string() + "'").exitCode, 0);

    AssignmentStore back;
    ASSERT_EQ(loadProfileFile(back, out), 1);
    auto lock = back.lockKeyData();
    auto sourceLock = source.lockKeyData();
    const auto& records = back.working().records();
    for (const auto& s : testing::sampleAssignments()) {
        const auto& r = records[s.profile * 512 + s.slot];
        EXPECT_EQ(r.type, s.typeBack) << s.profile << "/" << s.slot;
        // Macro 9 stood first in the list and comes back as id 1, macro 4 as id 2: the sample's own values.
        EXPECT_EQ(r.value, s.valueBack) << s.profile << "/" << s.slot;
    }
    const auto& m = back.working().macros();
    ASSERT_EQ(m.size(), 3u);
    for (size_t i = 0; i < 3; ++i) {
        EXPECT_EQ(m[i].id(), i + 1);
        EXPECT_EQ(m[i].name(), source.working().macros()[i].name());
        EXPECT_EQ(m[i].cycles(), source.working().macros()[i].cycles());
        EXPECT_EQ(m[i].actions(), source.working().macros()[i].actions());
    }
}

TEST_F(CliProfile, MacrosJsonListsIdsNamesCyclesAndActions) {
    AssignmentStore source;
    testing::fillSampleStore(source);
    fs::path in = home / "in.tvk";
    ASSERT_TRUE(saveProfileFile(source, in));
    ASSERT_EQ(tarvikctl("import '" + in.string() + "'").exitCode, 0);

    RunResult r = tarvikctl("macros --json");
    ASSERT_EQ(r.exitCode, 0) << r.err;
    // The second sample macro: a name that needs escaping, two of its seven actions shown.
    EXPECT_NE(
        r.out.find(
            "{\"id\": 2, \"name\": \"Q\\\"ü✓\\\\\", \"cycles\": 2, \"actions\": [{\"delayMs\": 0, \"key\": "
            "30, \"keyName\": \"A\", \"press\": true}, {\"delayMs\": 10, \"key\": 312, \"keyName\": "
            "\"Right Alt\", \"press\": false}"),
        std::string::npos)
        << r.out;
    EXPECT_NE(r.out.find("{\"id\": 3, \"name\": \"third\", \"cycles\": 255, \"actions\": []}"),
              std::string::npos)
        << r.out;
    EXPECT_EQ(r.out.front(), '[');
    EXPECT_EQ(r.out.substr(r.out.size() - 2), "]\n");
}

TEST_F(CliProfile, AssignChangesOneRecordAndKeepsTheRest) {
    AssignmentStore source;
    testing::fillSampleStore(source);
    fs::path in = home / "in.tvk";
    ASSERT_TRUE(saveProfileFile(source, in));
    ASSERT_EQ(tarvikctl("import '" + in.string() + "'").exitCode, 0);

    struct Case {
        std::string args;
        keyboard::KeySlot slot;
        uint16_t type;
        uint32_t value;
    } cases[] = {
        {"--profile 1 W E", 0x11, keyboard::ASSIGN_SINGLE_KEY, 0x12},
        {"--profile 1 A none", 0x1E, keyboard::ASSIGN_NO_FUNCTION, 0},
        {"--profile 1 S default", 0x1F, keyboard::ASSIGN_DEFAULT, 0},
        {"--profile 1 Z macro:3", 0x2C, keyboard::ASSIGN_MACRO, 3},
        {"--profile 1 X media:15", 0x2D, keyboard::ASSIGN_MEDIA, 15},
        {"--profile 1 C 'function:Select All'", 0x2E, keyboard::ASSIGN_FUNCTION_KEY, 8},
        {"--profile 1 V V", 0x2F, keyboard::ASSIGN_DEFAULT, 0},
    };
    for (const auto& c : cases) {
        RunResult r = tarvikctl("assign " + c.args);
        ASSERT_EQ(r.exitCode, 0) << c.args << ": " << r.err;
    }
    fs::path out = home / "out.tvk";
    ASSERT_EQ(tarvikctl("export '" + out.string() + "'").exitCode, 0);
    AssignmentStore back;
    ASSERT_EQ(loadProfileFile(back, out), 1);
    auto lock = back.lockKeyData();
    for (const auto& c : cases) {
        const auto& r = back.working().records()[512 + c.slot];
        EXPECT_EQ(r.type, c.type) << c.args;
        EXPECT_EQ(r.value, c.value) << c.args;
    }
    // The other profiles are as imported.
    for (const auto& s : testing::sampleAssignments()) {
        if (s.profile != 1) {
            EXPECT_EQ(back.working().records()[s.profile * 512 + s.slot].type, s.typeBack);
        }
    }
}

TEST_F(CliProfile, RefusalsAreOneLineAndExitNonZero) {
    fs::path good = home / "good.tvk";
    ASSERT_TRUE(newDefaultStoreFile(good));
    std::vector<uint8_t> bytes = *readWholeFile(good);
    bytes[4] = 9;
    fs::path bad = home / "bad.tvk";
    ASSERT_TRUE(writeFileAtomically(bad, bytes));

    RunResult v = tarvikctl("validate '" + bad.string() + "'");
    EXPECT_EQ(v.exitCode, 1);
    EXPECT_NE(v.out.find("header words"), std::string::npos) << v.out;
    EXPECT_NE(v.out.find("checksum"), std::string::npos) << v.out;

    RunResult i = tarvikctl("import '" + bad.string() + "'");
    EXPECT_EQ(i.exitCode, 1);
    // Both texts of the language file in use, each on one line, the first with the file's path.
    ui::TextTable texts;
    texts.load(fs::path(programFolder()) / "Skins" / "language.ini");
    std::string format = oneLine(toUtf8(texts.text("PROFILE_FORMAT_ERROR")));
    format.replace(format.find("%s"), 2, bad.string());
    EXPECT_EQ(i.err, "tarvikctl: import: " + format +
                         "\ntarvikctl: import: " + oneLine(toUtf8(texts.text("MAIN_PROMPT_INPORT"))) + "\n");
    EXPECT_FALSE(fs::exists(home / "sim-flash.bin")) << "the keyboard was not even opened";

    RunResult a = tarvikctl("assign --profile 0 A nothing:1");
    EXPECT_EQ(a.exitCode, 2);
    EXPECT_EQ(std::count(a.err.begin(), a.err.end(), '\n'), 1) << a.err;
    EXPECT_EQ(tarvikctl("assign --profile 0 G1 none").exitCode, 2);
    EXPECT_EQ(tarvikctl("assign --profile 3 A none").exitCode, 2);
    EXPECT_EQ(tarvikctl("assign --profile 0 A macro:1").exitCode, 1) << "the keyboard has no macros";
    EXPECT_EQ(tarvikctl("validate '" + (home / "missing.tvk").string() + "'").exitCode, 1);
    EXPECT_EQ(tarvikctl("export").exitCode, 2);
}

TEST_F(CliProfile, AnImportTooBigForTheKeyboardChangesNothing) {
    // The program has read the keyboard before: its cache file exists.
    ASSERT_FALSE(ensureDataFolder().empty());
    ASSERT_TRUE(newDefaultStoreFile(cacheFilePath(0)));
    const std::vector<uint8_t> cache = *readWholeFile(cacheFilePath(0));
    // A valid file of 100 macros of 2000 actions: far beyond the keyboard's 8192 bytes.
    AssignmentStore huge;
    {
        auto lock = huge.lockKeyData();
        auto& list = huge.working().macros();
        for (int i = 0; i < 100; ++i) {
            list.push_back(testing::sampleMacro(list, u"m", 1, 2000));
        }
    }
    fs::path in = home / "huge.tvk";
    ASSERT_TRUE(saveProfileFile(huge, in));
    ASSERT_EQ(tarvikctl("validate '" + in.string() + "'").exitCode, 0) << "the file itself is fine";

    RunResult r = tarvikctl("import '" + in.string() + "'");
    EXPECT_EQ(r.exitCode, 1);
    ui::TextTable texts;
    texts.load(fs::path(programFolder()) / "Skins" / "language.ini");
    EXPECT_EQ(r.err, "tarvikctl: import: " + oneLine(toUtf8(texts.text("EXTRA_MACRO_TOO_LONG"))) + "\n");
    EXPECT_EQ(*readWholeFile(cacheFilePath(0)), cache) << "the cache file is not overwritten";
}

TEST_F(CliProfile, AssignKeepsWhatOnlyTheProgramHoldsInTheCacheFile) {
    ASSERT_FALSE(ensureDataFolder().empty());
    ASSERT_TRUE(newDefaultStoreFile(cacheFilePath(0))); // the program has read the keyboard before
    AssignmentStore source;
    testing::fillSampleStore(source); // a launch program and a text block in profile 2
    {
        auto lock = source.lockKeyData();
        keyboard::KeyAssignment g;
        g.type = keyboard::ASSIGN_SINGLE_KEY;
        g.value = 0x30;
        g.aux = keyboard::GKeyTagOfSlot(keyboard::kFirstGSlotLayer1);
        ASSERT_GE(keyboard::AssignToSlot(source.working(), 1, keyboard::kFirstGSlotLayer1, g), 0);
    }
    fs::path in = home / "in.tvk";
    ASSERT_TRUE(saveProfileFile(source, in));
    ASSERT_EQ(tarvikctl("import '" + in.string() + "'").exitCode, 0);
    RunResult r = tarvikctl("assign --profile 1 W E");
    ASSERT_EQ(r.exitCode, 0) << r.err;

    AssignmentStore cache;
    ASSERT_EQ(loadProfileFile(cache, cacheFilePath(0)), 1);
    auto lock = cache.lockKeyData();
    const WorkingCopy& w = cache.working();
    EXPECT_EQ(w.records()[512 + 0x11].type, keyboard::ASSIGN_SINGLE_KEY) << "the assignment itself";
    EXPECT_EQ(w.records()[512 + keyboard::kFirstGSlotLayer1].value, 0x30u) << "the G key";
    EXPECT_EQ(w.records()[1024 + 0x25].type, keyboard::ASSIGN_TEXT_BLOCK);
    EXPECT_EQ(w.text(1024 + 0x25).text, u"/usr/bin/true");
    EXPECT_EQ(w.records()[1024 + 0x23].type, keyboard::ASSIGN_LAUNCH);
    EXPECT_EQ(w.records()[1536 + 0x1E].type, keyboard::ASSIGN_SINGLE_KEY) << "profile 3";
}

TEST_F(CliProfile, ValidatingAFifoAnswersAtOnce) {
    const fs::path fifo = home / "fifo.tvk";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    tarvik::testsupport::ChildProcess child(fs::path(programFolder()) / "tarvikctl",
                                            {"validate", fifo.string()}, {}, home / "out", home / "err");
    ASSERT_TRUE(child.started());
    EXPECT_EQ(child.waitExit(std::chrono::seconds(20)), 1) << "validate waited on the FIFO";
    EXPECT_EQ(tarvik::testsupport::readText(home / "out"),
              fifo.string() + ": import would refuse it: it is a FIFO (named pipe), not a regular file\n");
}

TEST_F(CliProfile, ExportWithoutAKeyboardFails) {
    ::setenv("PORTMUX_BACKEND", "none-such", 1);
    RunResult r = tarvikctl("export '" + (home / "x.tvk").string() + "'");
    EXPECT_NE(r.exitCode, 0);
    EXPECT_FALSE(fs::exists(home / "x.tvk"));
}

} // namespace
} // namespace tarvik::profiles
