#include "appprofiles/AppRules.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

namespace tarvik::appprofiles {
namespace {

TEST(AppRules, MatchesAppIdInstanceOrClassWithoutCaseFirstRuleWins) {
    AppRules r;
    r.rules = {{"Game1", 2}, {"XTerm", 1}, {"game1", 0}};
    struct Case {
        WindowIdentity window;
        std::optional<int> profile;
    };
    const Case cases[] = {
        {{"game1", "", ""}, 2},           // Wayland app id, other case
        {{"", "GAME1", "Xmessage"}, 2},   // X11 instance
        {{"", "xterm-256", "xterm"}, 1},  // X11 class
        {{"", "editor", "Xmessage"}, {}}, // no rule
        {{"", "", ""}, {}},               // nothing in front: empty names match no rule
        {{"", "game", "game1x"}, {}},     // whole names only
    };
    for (const Case& c : cases) {
        EXPECT_EQ(matchProfile(r, c.window), c.profile) << c.window.instance << '/' << c.window.klass;
    }
    EXPECT_TRUE(isOwnWindow({"io.github.tarvik.Tarvik", "", ""}));
    EXPECT_TRUE(isOwnWindow({"", "tarvik", "Tarvik"}));
    EXPECT_FALSE(isOwnWindow({"", "tarvik", "Xmessage"}));
}

TEST(AppRules, ReadsWhatItWritesAndSkipsBadLinesOneByOne) {
    AppRules r;
    ASSERT_TRUE(setRule(r, "game1", 2));
    ASSERT_TRUE(setRule(r, "Steam App 42", 1));
    ASSERT_TRUE(setRule(r, "GAME1", 1)); // the same application: changed in its place
    EXPECT_FALSE(setRule(r, "a=b", 1));
    EXPECT_FALSE(setRule(r, "editor", 3));
    EXPECT_FALSE(setRule(r, " ", 0));
    r.fallback = 0;
    r.paused = true;
    ASSERT_EQ(r.rules.size(), 2u);
    EXPECT_EQ(r.rules[0], (AppRule{"game1", 1}));
    const ParsedRules back = parseRules(formatRules(r));
    EXPECT_EQ(back.rules, r);
    EXPECT_TRUE(back.problems.empty());

    const ParsedRules bad = parseRules("app game1 = 2\r\n"
                                       "app editor = 7\n"
                                       "fallback = 5\n"
                                       "colour = red\n"
                                       "no equals sign\n"
                                       "app GAME1 = 1\n"
                                       "app  = 1\n"
                                       "\xff\xfe"
                                       "garbage = \n"
                                       "paused = maybe\n"
                                       "app term = 1\n");
    EXPECT_EQ(bad.rules.rules, (std::vector<AppRule>{{"game1", 2}, {"term", 1}}));
    EXPECT_FALSE(bad.rules.fallback);
    EXPECT_FALSE(bad.rules.paused);
    std::vector<int> lines;
    for (const RuleProblem& p : bad.problems) {
        lines.push_back(p.line);
    }
    EXPECT_EQ(lines, (std::vector<int>{2, 3, 4, 5, 6, 7, 8, 9}));
}

TEST(AppRules, SavesWholeAndLoadsBack) {
    const auto file = std::filesystem::path(::testing::TempDir()) / "rules-test" / "app-profiles.conf";
    std::filesystem::remove_all(file.parent_path());
    EXPECT_TRUE(loadRules(file).rules.rules.empty()); // missing: no rules, no problem
    EXPECT_TRUE(loadRules(file).problems.empty());
    AppRules r;
    setRule(r, "game1", 2);
    ASSERT_TRUE(saveRules(file, r));
    EXPECT_EQ(loadRules(file).rules, r);
    EXPECT_TRUE(removeRule(r, "GAME1"));
    EXPECT_FALSE(removeRule(r, "game1"));
}

} // namespace
} // namespace tarvik::appprofiles
