// The readable profile file: byte-exact round trips of every shape the program writes, the strict reader
// (a table of refused documents with the JSON path of their first problem), what the model refuses to
// carry, and the key names it writes.
#include "profiles/ProfileJson.h"
#include "profiles/ProfileKeyNames.h"
#include "tests/cli/JsonSamples.h"
#include "tests/cli/SchemaCheck.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

namespace tarvik::profiles {
namespace {

using testing::programShapedFiles;

model::Document documentOf(const std::vector<uint8_t>& bytes) {
    WorkingCopy w;
    EXPECT_TRUE(parseProfile(bytes, w));
    model::Document doc;
    model::Problem problem;
    EXPECT_TRUE(model::documentFromStore(w, doc, problem)) << problem.path << ": " << problem.message;
    return doc;
}

TEST(ProfileJson, EveryProgramShapedFileComesBackByteForByte) {
    for (const auto& file : programShapedFiles()) {
        SCOPED_TRACE(file.name);
        const std::string text = json::writeDocument(documentOf(file.bytes));
        model::Document back;
        model::Problem problem;
        ASSERT_TRUE(json::readDocument(text, back, problem)) << problem.path << ": " << problem.message;
        EXPECT_EQ(model::profileBytesFromDocument(back), file.bytes);
        // And the text is stable: what was read writes the same text again.
        EXPECT_EQ(json::writeDocument(back), text);
    }
}

TEST(ProfileJson, LightingSurvivesTheText) {
    model::Document doc = documentOf(programShapedFiles()[1].bytes);
    doc.lighting = testing::sampleLighting();
    model::Problem problem;
    ASSERT_TRUE(model::checkDocument(doc, problem)) << problem.path << ": " << problem.message;
    model::Document back;
    ASSERT_TRUE(json::readDocument(json::writeDocument(doc), back, problem))
        << problem.path << ": " << problem.message;
    EXPECT_TRUE(back == doc);
}

TEST(ProfileJson, AssignmentsReadAsTheirKindsSay) {
    const std::string text = json::writeDocument(documentOf(programShapedFiles()[2].bytes));
    const std::string expected[] = {
        R"("A": {"key": "B"})",
        R"("B": "none")",
        R"("Q": {"key": "Right Alt"})",
        R"("S": {"macro": {"id": 2, "name": "Q\"ü✓\\", "cycles": 3}})",
        R"("D": "stopMacro")",
        R"("F": {"media": "My Computer"})",
        R"("G": {"function": "Zoom+"})",
        R"("H": {"launch": {"path": "/usr/bin/true"}})",
        R"("K": {"text": "/usr/bin/true"})",
        R"("A": {"default": true, "stored": {"aux": 3, "value": 7}})",
        R"("0x136": {"key": "0x136"})",
        R"("C": {"macro": {"id": 77, "cycles": 9}})",
        R"("Z": {"launch": {"path": "/opt/ü ✓/run \"x\"\\y"}})",
        R"("X": {"text": "line one\nline\ttwo 🎮"})",
        R"("G3": {"key": "F1", "stored": {"aux": 771}})",
        R"("G1": {"default": true, "stored": {"aux": 0}})",
        R"("G2": {"macro": {"id": 2, "name": "Q\"ü✓\\", "cycles": 0}})",
        R"("colourKeys": ["A", "F", "Num +"])",
        R"({"key": "0x000", "down": true, "delayMs": 40950})",
        R"({"key": "0x155", "down": false, "delayMs": 0})",
    };
    for (const auto& line : expected) {
        EXPECT_NE(text.find(line), std::string::npos) << line << "\n" << text;
    }
}

// A document with profile 0 as given and three empty profiles after it.
std::string documentWith(const std::string& profile0, const std::string& macros = "[]",
                         const std::string& more = "") {
    return R"({"format": "tarvik-profile", "version": 1, "profiles": [{)" + profile0 +
           R"(}, {}, {}, {}], "macros": )" + macros + more + "}";
}

// n members "PREFIX0": 0, "PREFIX1": 0, ... (or, with an empty prefix, n array elements 0, 0, ...).
std::string many(const std::string& prefix, size_t n) {
    std::string out;
    for (size_t i = 0; i < n; ++i) {
        out += (i ? ", " : "") + (prefix.empty() ? "0" : "\"" + prefix + std::to_string(i) + "\": 0");
    }
    return out;
}

std::string lightingWith(const std::string& profile0Fields) {
    std::string slots = "[";
    for (int s = 0; s < 10; ++s) {
        slots += std::string(s ? ", " : "") +
                 R"({"name": "0", "brush": 0, "baseColour": "#000000", "paintColour": "#000000"})";
    }
    slots += "]";
    auto profile = [&](const std::string& fields) {
        return R"({"mode": 1, "brightness": 5, "speed": 3, "direction": 255, "random": true, )"
               R"("effectColour": "#ff0000", "preset": 8, "baseColour": "#ffffff", "paintColour": "#ff0000", )"
               R"("reportRate": 0, )" +
               fields + R"("userLighting": {"currentSlot": 0, "slots": )" + slots + "}}";
    };
    return R"(, "lighting": {"profiles": [)" + profile(profile0Fields) + ", " + profile("") + ", " +
           profile("") + "]}";
}

TEST(ProfileJson, StrictReaderRefusesWithThePathOfTheFirstProblem) {
    const std::string macro = R"([{"id": 1, "name": "Build", "cycles": 1, "actions": []}])";
    struct Row {
        const char* what;
        std::string text;
        std::string path;
        std::string message; // a part of the message
    } rows[] = {
        {"not JSON", "{\"format\": ", "$", "not a JSON document (line 1"},
        {"not an object", "[]", "$", "expected an object"},
        {"another format", R"({"format": "other", "version": 1, "profiles": []})", "$.format", "is not"},
        {"a newer version", R"({"format": "tarvik-profile", "version": 2, "profiles": []})", "$.version",
         "newer"},
        {"unknown member", documentWith("", "[]", R"(, "colour": 1)"), "$.colour", "unknown member"},
        {"three profiles", R"({"format": "tarvik-profile", "version": 1, "profiles": [{}, {}, {}]})",
         "$.profiles", "exactly 4"},
        {"unknown key", documentWith(R"("keys": {"Caps": "none"})"), "$.profiles[0].keys.Caps",
         "unknown key name"},
        {"a key named twice", documentWith(R"("keys": {"A": "none", "B": "none", "A": "default"})"),
         "$.profiles[0].keys.A", "named twice"},
        {"one key by two names", documentWith(R"("keys": {"Caps Lock": "none", "0x03A": "none"})"),
         "$.profiles[0].keys[\"0x03A\"]", "same key as \"Caps Lock\""},
        {"a G key among the keys", documentWith(R"("keys": {"G1": "none"})"), "$.profiles[0].keys.G1",
         "gKeys"},
        {"unknown kind", documentWith(R"("keys": {"A": {"launcher": "x"}})"), "$.profiles[0].keys.A.launcher",
         "unknown member"},
        {"two kinds", documentWith(R"("keys": {"A": {"key": "B", "media": "Mute"}})"),
         "$.profiles[0].keys.A.media", "one kind"},
        {"unknown string", documentWith(R"("keys": {"A": "off"})"), "$.profiles[0].keys.A",
         "unknown assignment"},
        {"unknown target key", documentWith(R"("keys": {"A": {"key": "Hyper"}})"), "$.profiles[0].keys.A.key",
         "unknown key name"},
        {"unknown media", documentWith(R"("keys": {"A": {"media": "Louder"}})"), "$.profiles[0].keys.A.media",
         "unknown media"},
        {"unknown function", documentWith(R"("keys": {"A": {"function": "Fly"}})"),
         "$.profiles[0].keys.A.function", "unknown function"},
        {"no such macro", documentWith(R"("keys": {"A": {"macro": {"name": "Test"}}})", macro),
         "$.profiles[0].keys.A.macro.name", "no macro is named"},
        {"id and name disagree",
         documentWith(R"("keys": {"A": {"macro": {"id": 2, "name": "Build"}}})", macro),
         "$.profiles[0].keys.A.macro.name", "not named"},
        {"repeat count 256", documentWith(R"("keys": {"A": {"macro": {"id": 1, "cycles": 256}}})", macro),
         "$.profiles[0].keys.A.macro.cycles", "out of range 0-255"},
        {"a fraction", documentWith(R"("keys": {"A": {"macro": {"id": 1, "cycles": 1.5}}})", macro),
         "$.profiles[0].keys.A.macro.cycles", "found a number with a fraction"},
        {"stored value of a key", documentWith(R"("keys": {"A": {"key": "B", "stored": {"value": 1}}})"),
         "$.profiles[0].keys.A.stored.value", "only default"},
        {"false kind", documentWith(R"("keys": {"A": {"none": false}})"), "$.profiles[0].keys.A.none",
         "true"},
        {"a NUL in a text", documentWith(R"("keys": {"A": {"text": "a\u0000b"}})"),
         "$.profiles[0].keys.A.text", "NUL"},
        {"G10", documentWith(R"("gKeys": {"layer0": {"G10": "none"}})"), "$.profiles[0].gKeys.layer0.G10",
         "G1-G9"},
        {"layer 2", documentWith(R"("gKeys": {"layer2": {}})"), "$.profiles[0].gKeys.layer2",
         "unknown member"},
        {"Fn as a colour key", documentWith(R"("colourKeys": ["Esc", "Fn"])"), "$.profiles[0].colourKeys[1]",
         "not a key button"},
        {"macro id 101", documentWith("", R"([{"id": 101, "name": "x"}])"), "$.macros[0].id",
         "out of range 1-100"},
        {"macro id twice", documentWith("", R"([{"id": 1, "name": "x"}, {"id": 1, "name": "y"}])"),
         "$.macros[1].id", "taken twice"},
        {"a name of 250 units", documentWith("", R"([{"id": 1, "name": ")" + std::string(250, 'n') + "\"}]"),
         "$.macros[0].name", "249"},
        {"cycles 0", documentWith("", R"([{"id": 1, "name": "x", "cycles": 0}])"), "$.macros[0].cycles",
         "out of range 1-255"},
        {"a delay the keyboard cannot keep",
         documentWith(
             "", R"([{"id": 1, "name": "x", "actions": [{"key": "A", "down": true, "delayMs": 40951}]}])"),
         "$.macros[0].actions[0].delayMs", "out of range 0-40950"},
        {"an action without direction",
         documentWith("", R"([{"id": 1, "name": "x", "actions": [{"key": "A"}]}])"), "$.macros[0].actions[0]",
         "missing member \"down\""},
        {"a member named twice", documentWith("", "[]", lightingWith(R"("mode": 19, )")),
         "$.lighting.profiles[0].mode", "named twice"},
        {"a colour by name",
         documentWith("", "[]", lightingWith("").replace(lightingWith("").find("\"#ff0000\""), 9, "\"red\"")),
         "$.lighting.profiles[0].effectColour", "#rrggbb"},
        {"a lone surrogate", documentWith(R"("keys": {"A": {"text": "\ud800"}})"), "$", "surrogate"},
        {"nested too deep", std::string(40, '[') + std::string(40, ']'),
         "$[0][0][0][0][0][0][0][0][0][0][0][0][0][0][0][0]", "deeper"},
        {"an unknown member among thousands", documentWith("", "[]", ", " + many("x", 5000)), "$.x0",
         "unknown member"},
        {"an object over the cap", documentWith(R"("keys": {)" + many("k", 600) + "}"), "$.profiles[0].keys",
         "at most 512 members"},
        {"an array over the cap", documentWith("", "[" + many("", 2001) + "]"), "$.macros",
         "at most 2000 elements"},
        {"text after a NUL", documentWith("") + std::string("\0garbage", 8), "$", "NUL byte"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        model::Document doc;
        model::Problem problem;
        ASSERT_FALSE(json::readDocument(row.text, doc, problem)) << row.text;
        EXPECT_EQ(problem.path, row.path) << problem.message;
        EXPECT_NE(problem.message.find(row.message), std::string::npos) << problem.message;
    }
}

TEST(ProfileJson, LightingValuesAreCheckedAgainstWhatTheKeyboardTakes) {
    struct Row {
        std::string field;
        std::string path;
    } rows[] = {
        {R"("brightness": 6)", "$.lighting.profiles[0].brightness"},
        {R"("reportRate": 4)", "$.lighting.profiles[0].reportRate"},
    };
    for (const auto& row : rows) {
        std::string l = lightingWith("");
        const std::string key = row.field.substr(0, row.field.find(':'));
        const size_t at = l.find(key);
        l.replace(at, l.find(',', at) - at, row.field);
        model::Document doc;
        model::Problem problem;
        EXPECT_FALSE(json::readDocument(documentWith("", "[]", l), doc, problem));
        EXPECT_EQ(problem.path, row.path) << problem.message;
    }
    std::string mode19 = lightingWith("");
    mode19.replace(mode19.find(R"("mode": 1)"), 9, R"("mode": 19)");
    model::Document doc;
    model::Problem problem;
    EXPECT_FALSE(json::readDocument(documentWith("", "[]", mode19), doc, problem));
    EXPECT_EQ(problem.path, "$.lighting.profiles[0].mode");
}

TEST(ProfileJson, HandWrittenShortFormsAreAccepted) {
    // Names without regard to case, a macro by name alone (cycles 1), default entries that say nothing.
    const std::string text = documentWith(
        R"("keys": {"caps lock": {"key": "ctrl"}, "F2": "default", "F3": {"macro": {"name": "Build"}}},
            "gKeys": {"layer1": {"G9": {"media": "volume up"}}})",
        R"([{"id": 5, "name": "Build", "actions": [{"key": "A", "down": true}]}])");
    model::Document doc;
    model::Problem problem;
    ASSERT_TRUE(json::readDocument(text, doc, problem)) << problem.path << ": " << problem.message;
    const auto& p = doc.profiles[0];
    ASSERT_EQ(p.keys.size(), 2u);
    EXPECT_EQ(p.keys.at(0x3A).key, 0x01D);
    EXPECT_EQ(p.keys.at(0x3D).macroId, 5u);
    EXPECT_EQ(p.keys.at(0x3D).cycles, 1u);
    EXPECT_EQ(p.gKeys.at(273).index, 6u);
    ASSERT_EQ(doc.macros.size(), 1u);
    EXPECT_EQ(doc.macros[0].cycles, 1);
    EXPECT_EQ(doc.macros[0].actions[0].delayMs, 0u);
}

TEST(ProfileJson, ContentsNoWriterLeavesAreRefusedWithTheirPlace) {
    using keyboard::KeyAssignment;
    struct Row {
        const char* what;
        size_t index;
        KeyAssignment record;
        std::string path;
    } rows[] = {
        {"unknown type", 512 + 0x1E, {9, 0, 0, 0, 0}, "$.profiles[1].keys.A"},
        {"media 18", 0x1E, {keyboard::ASSIGN_MEDIA, 0, 18, 0, 0}, "$.profiles[0].keys.A"},
        {"function 11", 0x1E, {keyboard::ASSIGN_FUNCTION_KEY, 0, 11, 0, 0}, "$.profiles[0].keys.A"},
        {"macro id 101", 0x1E, {keyboard::ASSIGN_MACRO, 1, 101, 0, 0}, "$.profiles[0].keys.A"},
        {"no key", 0x1E, {keyboard::ASSIGN_SINGLE_KEY, 0, 0x180, 0, 0}, "$.profiles[0].keys.A"},
        {"slot without key", 300, {keyboard::ASSIGN_NO_FUNCTION, 0, 0, 0, 0}, "$.profiles[0]"},
        {"flag 2", 7, {0, 0, 0, 2, 0}, "$.profiles[0]"},
        {"reserved word", 1024 + 7, {0, 0, 0, 0, 1}, "$.profiles[2]"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        WorkingCopy w;
        w.setRecord(row.index, row.record);
        model::Document doc;
        model::Problem problem;
        EXPECT_FALSE(model::documentFromStore(w, doc, problem));
        EXPECT_EQ(problem.path, row.path) << problem.message;
    }
    WorkingCopy w;
    macros::MacroRecord m = macros::createMacroRecord(w.macros(), u"new"); // still new in an editor
    w.macros().push_back(m);
    model::Document doc;
    model::Problem problem;
    EXPECT_FALSE(model::documentFromStore(w, doc, problem));
    EXPECT_EQ(problem.path, "$.macros[0]");
}

TEST(ProfileJson, WrittenDocumentsMatchTheSchemaAndRefusedOnesDoNot) {
    namespace fs = std::filesystem;
    const fs::path dir = fs::path(std::getenv("HOME")) / "schema-samples";
    fs::remove_all(dir);
    fs::create_directories(dir);
    auto write = [&](const std::string& name, const std::string& text) {
        std::ofstream(dir / name, std::ios::binary) << text;
        return dir / name;
    };
    std::vector<fs::path> valid;
    int n = 0;
    for (const auto& file : programShapedFiles()) {
        model::Document doc = documentOf(file.bytes);
        valid.push_back(write("sample" + std::to_string(n++) + ".json", json::writeDocument(doc)));
        if (n == 3) {
            doc.lighting = testing::sampleLighting();
            valid.push_back(write("with-lighting.json", json::writeDocument(doc)));
        }
    }
    // The reader refuses each of these; so must the schema.
    const std::string refused[] = {
        documentWith("", "[]", R"(, "colour": 1)"),
        documentWith(R"("keys": {"Caps": "none"})"),
        documentWith(R"("keys": {"A": {"key": "B", "media": "Mute"}})"),
        documentWith(R"("keys": {"A": {"macro": {"id": 1, "cycles": 3}, "stored": {"aux": 1}}})"),
        documentWith(R"("keys": {"A": {"key": "B", "stored": {"value": 1}}})"),
        documentWith(R"("colourKeys": ["Fn"])"),
        documentWith("", R"([{"id": 101, "name": "x"}])"),
        documentWith(
            "", R"([{"id": 1, "name": "x", "actions": [{"key": "A", "down": true, "delayMs": 40951}]}])"),
        R"({"format": "tarvik-profile", "version": 1, "profiles": [{}, {}, {}]})",
    };
    std::vector<fs::path> invalid;
    for (const auto& text : refused) {
        model::Document doc;
        model::Problem problem;
        ASSERT_FALSE(json::readDocument(text, doc, problem)) << text;
        invalid.push_back(write("refused" + std::to_string(invalid.size()) + ".json", text));
    }
    testing::expectSchemaVerdicts(valid, invalid, dir);
}

TEST(ProfileKeyNames, EveryKeyCodeHasOneNameThatLeadsBack) {
    for (keyboard::KeyCode code = 0; code <= 0x17F; ++code) {
        if (!isValidKeyCode(code)) {
            continue;
        }
        const std::string name = fileKeyName(code);
        EXPECT_EQ(keyCodeFromFileName(name), code) << name;
    }
    EXPECT_EQ(fileKeyName(0x036), "Right Shift");
    EXPECT_EQ(fileKeyName(0x136), "0x136");
    EXPECT_EQ(fileKeyName(0x130), "Volume Up"); // media keys by their English text
    EXPECT_EQ(keyCodeFromFileName("0x000"), std::nullopt);
    EXPECT_EQ(keyCodeFromFileName("0x000", true), 0);
    EXPECT_EQ(keyCodeFromFileName("0x180"), std::nullopt);
    EXPECT_EQ(keyCodeFromFileName("Unknown Key: 155"), std::nullopt);
    for (int lit = 0; lit < kLitKeyCount; ++lit) {
        EXPECT_EQ(litKeyFromFileName(fileLitKeyName(lit)), lit) << fileLitKeyName(lit);
    }
}

} // namespace
} // namespace tarvik::profiles
