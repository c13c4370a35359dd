// The profile diff: the lines it writes for each kind of change, and that it finds a difference exactly
// when two documents differ.
#include "profiles/ProfileDiff.h"
#include "tests/cli/JsonSamples.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>

namespace tarvik::profiles {
namespace {

model::Document sampleDocument() {
    WorkingCopy w;
    EXPECT_TRUE(parseProfile(testing::programShapedFiles()[2].bytes, w));
    model::Document doc;
    model::Problem problem;
    EXPECT_TRUE(model::documentFromStore(w, doc, problem)) << problem.message;
    doc.lighting = testing::sampleLighting();
    return doc;
}

std::vector<std::string> lines(const model::Document& a, const model::Document& b) {
    std::vector<std::string> out;
    for (const auto& d : diff::compare(a, b)) {
        out.push_back(d.line());
    }
    return out;
}

TEST(ProfileDiff, EachChangeReadsAsOneLine) {
    using keyboard::ASSIGN_SINGLE_KEY;
    struct Row {
        const char* what;
        std::function<void(model::Document&)> change;
        std::string line;
        std::string path;
    } rows[] = {
        {"a key assigned",
         [](model::Document& d) {
             d.profiles[1].keys[0x3A].type = ASSIGN_SINGLE_KEY;
             d.profiles[1].keys[0x3A].key = 0x01D;
         },
         "profile 1, key Caps Lock: default → key Ctrl", R"($.profiles[1].keys["Caps Lock"])"},
        {"a key changed",
         [](model::Document& d) {
             d.profiles[0].keys[0x30].type = ASSIGN_SINGLE_KEY;
             d.profiles[0].keys[0x30].key = 0x03B;
         },
         "profile 0, key B: none → key F1", "$.profiles[0].keys.B"},
        {"a key back to default", [](model::Document& d) { d.profiles[2].keys.erase(0x21); },
         "profile 2, key F: media My Computer → default", "$.profiles[2].keys.F"},
        {"a G key", [](model::Document& d) { d.profiles[0].gKeys[266].cycles = 4; },
         "profile 0, G2 (layer 1): macro 'Q\"ü✓\\' (id 2, cycles 0) → macro 'Q\"ü✓\\' (id 2, cycles 4)",
         "$.profiles[0].gKeys.layer1.G2"},
        {"stored words", [](model::Document& d) { d.profiles[1].keys[0x1E].storedValue = 8; },
         "profile 1, key A: default [stored aux 3 value 7] → default [stored aux 3 value 8]",
         "$.profiles[1].keys.A"},
        {"a text", [](model::Document& d) { d.profiles[3].keys[0x2D].text = u"x\ny"; },
         "profile 3, key X: text \"line one\\nline\\ttwo 🎮\" → text \"x\\ny\"", "$.profiles[3].keys.X"},
        {"G-key tags", [](model::Document& d) { d.profiles[2].gKeyTags = false; },
         "profile 2, G-key tags: on → off", "$.profiles[2].gKeyTags"},
        {"a colour key", [](model::Document& d) { d.profiles[0].colourKeys.erase(5); },
         "profile 0, colour key F: on → off", "$.profiles[0].colourKeys"},
        {"a macro's actions and cycles",
         [](model::Document& d) {
             d.macros[0].actions.push_back({0x1E, true, 10});
             d.macros[0].cycles = 9;
         },
         "macro 'first' (id 1): 3 actions → 4 actions, cycles 4 → 9", "$.macros[0]"},
        {"one action", [](model::Document& d) { d.macros[1].actions[3].down = true; },
         "macro 'Q\"ü✓\\' (id 2): action 4 Power up, 30 ms → Power down, 30 ms", "$.macros[1]"},
        {"a renamed macro", [](model::Document& d) { d.macros[2].name = u"Build"; },
         "macro 'Build' (id 3): name 'third' → 'Build'", "$.macros[2]"},
        {"a macro added",
         [](model::Document& d) {
             d.macros.push_back({9, u"new", 2, {}});
         },
         "macro 'new' (id 9): absent → 0 actions, cycles 2", "$.macros[4]"},
        {"lighting parameters",
         [](model::Document& d) {
             d.lighting->profiles[1].brightness = 0;
             d.lighting->profiles[1].effectColour = {255, 0, 0};
         },
         "profile 1 lighting: brightness 2 → 0, effect colour #0a141f → #ff0000", "$.lighting.profiles[1]"},
        {"a lit key",
         [](model::Document& d) {
             d.lighting->profiles[2].slots[4].keys[104] = {{1, 2, 3}, false};
         },
         "profile 2 user slot 4, key Fn: #090909 (follows the base colour) → #010203",
         "$.lighting.profiles[2].userLighting.slots[4].keys.Fn"},
        {"no lighting", [](model::Document& d) { d.lighting.reset(); }, "lighting: present → absent",
         "$.lighting"},
    };
    const model::Document base = sampleDocument();
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        model::Document changed = base;
        row.change(changed);
        auto differences = diff::compare(base, changed);
        ASSERT_EQ(differences.size(), 1u) << (differences.empty() ? "" : differences.back().line());
        EXPECT_EQ(differences[0].line(), row.line);
        EXPECT_EQ(differences[0].path, row.path);
    }
}

TEST(ProfileDiff, NoDifferenceExactlyWhenEqual) {
    const model::Document base = sampleDocument();
    EXPECT_TRUE(diff::compare(base, base).empty());
    // Every part of the model, changed alone, is found.
    std::vector<std::function<void(model::Document&)>> changes = {
        [](model::Document& d) { d.profiles[3].keys[0x2D].storedAux = 1; },
        [](model::Document& d) { d.profiles[1].keys[0x2E].macroId = 1; },
        [](model::Document& d) { d.profiles[2].keys[0x22].index = 9; },
        [](model::Document& d) { d.macros[3].actions[0].delayMs = 40940; },
        [](model::Document& d) { d.macros[3].actions[1].key = 0x136; },
        [](model::Document& d) { d.lighting->profiles[0].currentSlot = 0; },
        [](model::Document& d) { d.lighting->profiles[0].slots[9].name = u"x"; },
        [](model::Document& d) { d.lighting->profiles[0].slots[9].keys[0].followsBase = false; },
        [](model::Document& d) { d.lighting->profiles[2].direction = 0; },
        [](model::Document& d) { d.lighting->profiles[2].random = true; },
    };
    for (size_t i = 0; i < changes.size(); ++i) {
        model::Document changed = base;
        changes[i](changed);
        ASSERT_FALSE(changed == base) << i;
        EXPECT_FALSE(diff::compare(base, changed).empty()) << i;
        EXPECT_FALSE(diff::compare(changed, base).empty()) << i;
    }
}

TEST(ProfileDiff, MacrosAreMatchedByIdNotByPlace) {
    model::Document a = sampleDocument();
    model::Document b = a;
    b.macros.erase(b.macros.begin()); // macro 1 removed: the others keep their ids
    auto got = lines(a, b);
    ASSERT_EQ(got.size(), 4u);
    EXPECT_EQ(got[1], "macro 'third' (id 3): position 3 → 2");
    EXPECT_EQ(got[0], "macro 'Q\"ü✓\\' (id 2): position 2 → 1");
    EXPECT_EQ(got[3], "macro 'first' (id 1): 3 actions, cycles 4 → absent");
}

} // namespace
} // namespace tarvik::profiles
