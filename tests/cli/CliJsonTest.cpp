// tarvikctl export, import, validate, convert and diff with the readable profile file, run as a user runs
// them from the program folder, against the virtual keyboard whose flash persists in a state file between
// the runs.
#include "profiles/ProfileFiles.h"
#include "tests/cli/JsonSamples.h"
#include "tests/cli/SchemaCheck.h"
#include "tests/profiles/TestHome.h"
#include "tests/support/RunProgram.h"
#include "tests/support/SimLibrary.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <sys/stat.h>

namespace tarvik::profiles {
namespace {

namespace fs = std::filesystem;

using testsupport::readText;
using testsupport::RunResult;

class CliJson : public ::testing::Test {
protected:
    void SetUp() override {
        home = testing::useOwnHome();
        ::setenv("PORTMUX_BACKEND", "sim", 1);
        ::setenv("PORTMUX_SIM_STATE", flash().c_str(), 1);
    }
    fs::path flash() const { return home / "sim-flash.bin"; }
    RunResult tarvikctl(const std::string& args) {
        return testsupport::runProgram(fs::path(testsupport::programFolder()) / "tarvikctl", args, "", home);
    }
    fs::path write(const std::string& name, const std::string& text) {
        std::ofstream(home / name, std::ios::binary) << text;
        return home / name;
    }
    fs::path write(const std::string& name, const std::vector<uint8_t>& bytes) {
        return write(name, std::string(bytes.begin(), bytes.end()));
    }
    // Puts the sample store on the virtual keyboard.
    void importSample() {
        AssignmentStore s;
        testing::fillSampleStore(s);
        fs::path in = home / "sample.tvk";
        ASSERT_TRUE(saveProfileFile(s, in));
        RunResult r = tarvikctl("import '" + in.string() + "'");
        ASSERT_EQ(r.exitCode, 0) << r.err;
    }
    fs::path home;
};

TEST_F(CliJson, ExportImportExportGivesTheSameFile) {
    importSample();
    RunResult a = tarvikctl("export '" + (home / "a.json").string() + "'");
    ASSERT_EQ(a.exitCode, 0) << a.err;
    ASSERT_EQ(tarvikctl("export '" + (home / "a.tvk").string() + "'").exitCode, 0);

    // Through JSON back into the keyboard: it then holds what it held, to the byte.
    RunResult imp = tarvikctl("import '" + (home / "a.json").string() + "'");
    ASSERT_EQ(imp.exitCode, 0) << imp.err;
    EXPECT_EQ(imp.out, "imported " + (home / "a.json").string() + " into the keyboard's three profiles\n");
    ASSERT_EQ(tarvikctl("export '" + (home / "b.json").string() + "'").exitCode, 0);
    ASSERT_EQ(tarvikctl("export --format tvk '" + (home / "b.dat").string() + "'").exitCode, 0);
    EXPECT_EQ(readText(home / "b.json"), readText(home / "a.json"));
    EXPECT_EQ(readText(home / "b.dat"), readText(home / "a.tvk"));

    const std::string text = readText(home / "a.json");
    EXPECT_NE(text.find(R"("S": {"macro": {"id": 2, "name": "Q\"ü✓\\", "cycles": 0}})"), std::string::npos)
        << text;
    testing::expectSchemaVerdicts({home / "a.json"}, {}, home);
}

TEST_F(CliJson, TvkToJsonToTvkIsByteExact) {
    for (const auto& file : testing::programShapedFiles()) {
        SCOPED_TRACE(file.name);
        const fs::path tvk = write("in.tvk", file.bytes);
        RunResult to = tarvikctl("convert '" + tvk.string() + "' '" + (home / "mid.json").string() + "'");
        ASSERT_EQ(to.exitCode, 0) << to.err;
        RunResult back = tarvikctl("convert --format tvk '" + (home / "mid.json").string() + "' '" +
                                   (home / "out").string() + "'");
        ASSERT_EQ(back.exitCode, 0) << back.err;
        EXPECT_TRUE(readText(home / "out") == readText(tvk));
        // The two forms of one file have no differences.
        RunResult d = tarvikctl("diff '" + tvk.string() + "' '" + (home / "mid.json").string() + "'");
        EXPECT_EQ(d.exitCode, 0) << d.out << d.err;
        EXPECT_EQ(d.out, "");
    }
}

// A file that cannot be read says why, for either format: not "no such file" for a link loop, nor a size
// limit for a FIFO or a folder.
TEST_F(CliJson, AnUnreadableFileSaysWhatItIs) {
    struct Row {
        const char* name;
        std::function<void(const fs::path&)> make;
        const char* said;
    } rows[] = {
        {"missing", [](const fs::path&) {}, "no such file"},
        {"fifo", [](const fs::path& p) { ASSERT_EQ(::mkfifo(p.c_str(), 0600), 0); }, "a FIFO"},
        {"folder", [](const fs::path& p) { fs::create_directory(p); }, "a folder"},
        {"loop", [](const fs::path& p) { fs::create_symlink(p.filename(), p); }, "go round in a loop"},
        {"dangling", [](const fs::path& p) { fs::create_symlink("absent", p); },
         "a link to a file that is not there"},
    };
    for (const char* ext : {".json", ".tvk"}) {
        for (const Row& row : rows) {
            SCOPED_TRACE(std::string(row.name) + ext);
            const fs::path file = home / (std::string(row.name) + ext);
            row.make(file);
            const RunResult v = tarvikctl("validate '" + file.string() + "'");
            EXPECT_EQ(v.exitCode, 1);
            EXPECT_NE(v.out.find(row.said), std::string::npos) << v.out;
        }
    }
}

TEST_F(CliJson, RefusedFilesNameTheirProblemAndLeaveTheKeyboardUntouched) {
    importSample();
    const std::string before = readText(flash());
    ASSERT_FALSE(before.empty());
    const std::string head = R"({"format": "tarvik-profile", "version": 1, "profiles": [)";
    struct Row {
        const char* file;
        std::string text;
        std::string path;
    } rows[] = {
        {"unknown-key.json", head + R"({"keys": {"Hyper": "none"}}, {}, {}, {}]})",
         "$.profiles[0].keys.Hyper: unknown key name"},
        {"out-of-range.json", head + R"({}, {"keys": {"A": {"macro": {"id": 300}}}}, {}, {}]})",
         "$.profiles[1].keys.A.macro.id: 300 is out of range 0-100"},
        {"unknown-kind.json", head + R"({}, {}, {"gKeys": {"layer1": {"G4": {"program": "x"}}}}, {}]})",
         "$.profiles[2].gKeys.layer1.G4.program: unknown member"},
        {"twice.json", head + R"({}, {}, {}, {"keys": {"F1": "none", "F1": "none"}}]})",
         "$.profiles[3].keys.F1: this member is named twice"},
        {"not-json.json", "{\n  \"format\": tarvik\n}", "not a JSON document (line 2, column 14)"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.file);
        const fs::path file = write(row.file, row.text);
        RunResult imp = tarvikctl("import '" + file.string() + "'");
        EXPECT_EQ(imp.exitCode, 1);
        EXPECT_NE(imp.err.find(file.string() + ": " + row.path), std::string::npos) << imp.err;
        EXPECT_NE(imp.err.find("File format error, import failed!"), std::string::npos) << imp.err;
        RunResult v = tarvikctl("validate '" + file.string() + "'");
        EXPECT_EQ(v.exitCode, 1);
        EXPECT_NE(v.out.find("import would refuse it: " + row.path), std::string::npos) << v.out;
    }
    EXPECT_TRUE(readText(flash()) == before) << "a refused import changed the keyboard";
}

TEST_F(CliJson, LightingGoesOutAndComesBack) {
    importSample();
    RunResult a = tarvikctl("export --with-lighting '" + (home / "a.json").string() + "'");
    ASSERT_EQ(a.exitCode, 0) << a.err;
    nlohmann::ordered_json doc = nlohmann::ordered_json::parse(readText(home / "a.json"));
    ASSERT_TRUE(doc.contains("lighting"));
    auto& p1 = doc["lighting"]["profiles"][1];
    p1["brightness"] = 2;
    p1["effectColour"] = "#102030";
    p1["userLighting"]["currentSlot"] = 4;
    p1["userLighting"]["slots"][4]["name"] = "Game 游戏";
    p1["userLighting"]["slots"][4]["keys"]["Esc"] = {{"colour", "#00ff00"}, {"followsBase", false}};
    doc["profiles"][0]["keys"]["Caps Lock"] = {{"key", "Ctrl"}};
    write("b.json", doc.dump(2));

    RunResult imp = tarvikctl("import '" + (home / "b.json").string() + "'");
    ASSERT_EQ(imp.exitCode, 0) << imp.err;
    EXPECT_NE(imp.out.find("with their lighting"), std::string::npos);
    ASSERT_EQ(tarvikctl("export --with-lighting '" + (home / "c.json").string() + "'").exitCode, 0);
    // What came back is what was sent, member for member.
    EXPECT_EQ(nlohmann::ordered_json::parse(readText(home / "c.json")), doc);
    RunResult d = tarvikctl("diff '" + (home / "a.json").string() + "' '" + (home / "c.json").string() + "'");
    EXPECT_EQ(d.exitCode, 1);
    EXPECT_EQ(
        d.out,
        "profile 0, key Caps Lock: default → key Ctrl\n"
        "profile 1 lighting: brightness 5 → 2, effect colour #ff0000 → #102030, current user slot 0 → 4\n"
        "profile 1 user slot 4: name '0' → 'Game 游戏'\n"
        "profile 1 user slot 4, key Esc: #ff0000 (follows the base colour) → #00ff00\n")
        << d.out;
    testing::expectSchemaVerdicts({home / "a.json", home / "c.json"}, {}, home);
}

TEST_F(CliJson, DiffExitsLikeDiff) {
    AssignmentStore s;
    testing::fillSampleStore(s);
    const fs::path a = home / "a.tvk";
    ASSERT_TRUE(saveProfileFile(s, a));
    ASSERT_EQ(tarvikctl("convert '" + a.string() + "' '" + (home / "b.json").string() + "'").exitCode, 0);
    std::string text = readText(home / "b.json");
    const std::string from = R"("B": "none")";
    text.replace(text.find(from), from.size(), R"("B": {"function": "Copy"})");
    write("b.json", text);

    RunResult differ = tarvikctl("diff '" + a.string() + "' '" + (home / "b.json").string() + "'");
    EXPECT_EQ(differ.exitCode, 1);
    EXPECT_EQ(differ.out, "profile 0, key B: none → function Copy\n");
    RunResult json = tarvikctl("diff --json '" + a.string() + "' '" + (home / "b.json").string() + "'");
    EXPECT_EQ(json.exitCode, 1);
    auto parsed = nlohmann::json::parse(json.out);
    EXPECT_EQ(parsed["equal"], false);
    ASSERT_EQ(parsed["differences"].size(), 1u);
    EXPECT_EQ(parsed["differences"][0]["path"], "$.profiles[0].keys.B");
    EXPECT_EQ(parsed["differences"][0]["changes"][0]["to"], "function Copy");

    RunResult equal = tarvikctl("diff --json '" + a.string() + "' '" + a.string() + "'");
    EXPECT_EQ(equal.exitCode, 0);
    EXPECT_EQ(nlohmann::json::parse(equal.out)["equal"], true);

    RunResult missing = tarvikctl("diff '" + a.string() + "' '" + (home / "missing.json").string() + "'");
    EXPECT_EQ(missing.exitCode, 2);
    EXPECT_NE(missing.err.find("missing.json: no such file"), std::string::npos) << missing.err;
    EXPECT_EQ(tarvikctl("diff '" + a.string() + "'").exitCode, 2);
}

} // namespace
} // namespace tarvik::profiles
