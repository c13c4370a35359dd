// tarvikctl export, import, validate, macros and assign, run as a user runs them from the program folder,
// against the virtual keyboard whose flash persists in a state file between the runs.
#include "platform/AtomicFile.h"
#include "platform/Bytes.h"
#include "platform/Utf.h"
#include "profiles/ProfileFiles.h"
#include "tests/profiles/StoreSamples.h"
#include "tests/profiles/TestHome.h"
#include "ui/TextTable.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <sys/wait.h>

namespace tarvik::profiles {
namespace {

namespace fs = std::filesystem;

std::string binDir() {
    const char* bin = std::getenv("TARVIK_BIN_DIR");
    return bin != nullptr && *bin != '\0' ? bin : PROFILES_TEST_BIN_DIR;
}

struct CliRun {
    int status = -1;
    std::string out;
    std::string err;
};

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
    CliRun tarvikctl(const std::string& args) {
        fs::path errFile = home / "stderr.txt";
        std::string command = "'" + binDir() + "/tarvikctl' " + args + " 2>'" + errFile.string() + "'";
        CliRun r;
        FILE* pipe = ::popen(command.c_str(), "r");
        if (pipe == nullptr) {
            ADD_FAILURE() << "cannot run " << command;
            return r;
        }
        char buf[4096];
        size_t n;
        while ((n = std::fread(buf, 1, sizeof buf, pipe)) > 0) {
            r.out.append(buf, n);
        }
        int st = ::pclose(pipe);
        r.status = WIFEXITED(st) ? WEXITSTATUS(st) : -1;
        auto err = readWholeFile(errFile);
        if (err) {
            r.err.assign(err->begin(), err->end());
        }
        return r;
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

    CliRun imp = tarvikctl("import '" + in.string() + "'");
    ASSERT_EQ(imp.status, 0) << imp.err;
    fs::path out = home / "out.tvk";
    CliRun exp = tarvikctl("export '" + out.string() + "'");
    ASSERT_EQ(exp.status, 0) << exp.err;
    EXPECT_EQ(tarvikctl("validate '" + out.string() + "'").status, 0);

    AssignmentStore back;
    ASSERT_EQ(loadProfileFile(back, out), 1);
    auto lock = back.lockKeyData();
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
    ASSERT_EQ(tarvikctl("import '" + in.string() + "'").status, 0);

    CliRun r = tarvikctl("macros --json");
    ASSERT_EQ(r.status, 0) << r.err;
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
    ASSERT_EQ(tarvikctl("import '" + in.string() + "'").status, 0);

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
        CliRun r = tarvikctl("assign " + c.args);
        ASSERT_EQ(r.status, 0) << c.args << ": " << r.err;
    }
    fs::path out = home / "out.tvk";
    ASSERT_EQ(tarvikctl("export '" + out.string() + "'").status, 0);
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

    CliRun v = tarvikctl("validate '" + bad.string() + "'");
    EXPECT_EQ(v.status, 1);
    EXPECT_NE(v.out.find("header words"), std::string::npos) << v.out;
    EXPECT_NE(v.out.find("checksum"), std::string::npos) << v.out;

    CliRun i = tarvikctl("import '" + bad.string() + "'");
    EXPECT_EQ(i.status, 1);
    // Both texts of the language file in use, each on one line, the first with the file's path.
    ui::TextTable texts;
    texts.load(fs::path(binDir()) / "Skins" / "language.ini");
    std::string format = oneLine(toUtf8(texts.text("PROFILE_FORMAT_ERROR")));
    format.replace(format.find("%s"), 2, bad.string());
    EXPECT_EQ(i.err, "tarvikctl: import: " + format +
                         "\ntarvikctl: import: " + oneLine(toUtf8(texts.text("MAIN_PROMPT_INPORT"))) + "\n");
    EXPECT_FALSE(fs::exists(home / "sim-flash.bin")) << "the keyboard was not even opened";

    CliRun a = tarvikctl("assign --profile 0 A nothing:1");
    EXPECT_EQ(a.status, 2);
    EXPECT_EQ(std::count(a.err.begin(), a.err.end(), '\n'), 1) << a.err;
    EXPECT_EQ(tarvikctl("assign --profile 0 G1 none").status, 2);
    EXPECT_EQ(tarvikctl("assign --profile 3 A none").status, 2);
    EXPECT_EQ(tarvikctl("assign --profile 0 A macro:1").status, 1) << "the keyboard has no macros";
    EXPECT_EQ(tarvikctl("validate '" + (home / "missing.tvk").string() + "'").status, 1);
    EXPECT_EQ(tarvikctl("export").status, 2);
}

TEST_F(CliProfile, ExportWithoutAKeyboardFails) {
    ::setenv("PORTMUX_BACKEND", "none-such", 1);
    CliRun r = tarvikctl("export '" + (home / "x.tvk").string() + "'");
    EXPECT_NE(r.status, 0);
    EXPECT_FALSE(fs::exists(home / "x.tvk"));
}

} // namespace
} // namespace tarvik::profiles
