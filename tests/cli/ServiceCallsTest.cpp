// The two halves of the program's bus interface meet in the command line: what tarvikctl sends for a
// command line must come back, on the program's side, as that same command line, and what does not fit a
// method stays on the direct road (where the command itself reports the usage error).
#include "cli/ServiceCalls.h"

#include <gtest/gtest.h>

namespace tarvik::cli::service {
namespace {

using Words = std::vector<std::string>;

std::optional<Words> roundTrip(const Words& words, const std::string& folder = "/home/u") {
    std::vector<std::string_view> views(words.begin(), words.end());
    auto call = callOf(views, folder);
    if (!call) {
        return std::nullopt;
    }
    const MethodInfo* method = findMethod(call->member);
    EXPECT_NE(method, nullptr) << call->member;
    std::string why;
    auto line = commandLineOf(*method, call->arguments, why);
    EXPECT_TRUE(line) << why;
    return line;
}

TEST(ServiceCalls, ACommandLineComesBackAsTheSameCommandOnTheProgramsSide) {
    struct Case {
        Words words;
        std::optional<Words> expected; // nullopt: the direct road
    };
    const std::vector<Case> cases = {
        {{"status"}, Words{"status"}},
        {{"profile", "2"}, Words{"profile", "2"}},
        {{"profile", "7"}, Words{"profile", "7"}}, // the program refuses it with the command's own words
        {{"report-rate", "1"}, Words{"report-rate", "1"}},
        {{"assign", "Q", "--profile", "1", "Z"}, Words{"assign", "--profile", "1", "Q", "Z"}},
        {{"export", "--with-lighting", "--format", "json", "a.json"},
         Words{"export", "--format", "json", "--with-lighting", "/home/u/a.json"}},
        {{"import", "../x/b.tvk"}, Words{"import", "/home/x/b.tvk"}},
        {{"import", "/abs/c.tvk"}, Words{"import", "/abs/c.tvk"}},
        {{"lighting", "show"}, Words{"lighting", "show"}},
        {{"lighting", "upload-colours", "--slot", "2", "u.userd"},
         Words{"lighting", "upload-colours", "--slot", "2", "/home/u/u.userd"}},
        {{"macros"}, Words{"macros"}},
        {{"app-profiles", "add", "Steam App 42", "1"}, Words{"app-profiles", "add", "Steam App 42", "1"}},
        {{"app-profiles"}, Words{"app-profiles"}},
        // Not a method, or words that do not fit one.
        {{"keys"}, std::nullopt},
        {{"watch"}, std::nullopt},
        {{"status", "extra"}, std::nullopt},
        {{"profile", "one"}, std::nullopt},
        {{"profile", "1", "2"}, std::nullopt},
        {{"assign", "--profile", "x", "Q", "Z"}, std::nullopt},
        {{"assign", "--profile", "0", "Q"}, std::nullopt},
        {{"import", "--format", "xml", "a"}, std::nullopt},
        {{"import", "a", "b"}, std::nullopt},
        {{"export", "-"}, std::nullopt},
        {{"lighting"}, std::nullopt},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(roundTrip(c.words), c.expected)
            << c.words[0] << " " << (c.words.size() > 1 ? c.words[1] : "");
    }
}

TEST(ServiceCalls, TheProgramRefusesCallsThatDoNotFitOrNameARelativePath) {
    struct Case {
        std::string_view member;
        std::vector<Argument> arguments;
    };
    const std::vector<Case> cases = {
        {"SwitchProfile", {}},
        {"SwitchProfile", {std::string("1")}},
        {"Assign", {0, std::string("Q")}},
        {"Import", {std::string("relative.tvk"), std::string()}},
        {"Import", {std::string("/a.tvk"), std::string("xml")}},
        {"Export", {std::string("/a.tvk"), std::string(), std::string("yes")}},
        {"LightingSet", {std::string("mode")}},
    };
    for (const Case& c : cases) {
        std::string why;
        EXPECT_FALSE(commandLineOf(*findMethod(c.member), c.arguments, why)) << c.member;
        EXPECT_EQ(why.rfind("tarvikctl: ", 0), 0u) << why;
    }
}

TEST(ServiceCalls, ErrorsKeepTheExitStatusAndPathsTheUsersSpelling) {
    EXPECT_EQ(exitCodeOfError(errorNameOf({2, "", "tarvikctl: profile: expected ...\n"})), 2);
    EXPECT_EQ(errorNameOf({1, "", "tarvikctl: profile: no keyboard attached\n"}), kErrorNoKeyboard);
    EXPECT_EQ(exitCodeOfError(errorNameOf({1, "", "tarvikctl: import: could not\n"})), 1);
    EXPECT_EQ(exitCodeOfError("org.freedesktop.DBus.Error.NoReply"), 1);

    std::vector<std::string_view> words = {"export", "out/p.tvk"};
    auto call = callOf(words, "/w");
    ASSERT_TRUE(call);
    EXPECT_EQ(restorePaths("exported to /w/out/p.tvk; /w/out/p.tvk\n", *call),
              "exported to out/p.tvk; out/p.tvk\n");
}

} // namespace
} // namespace tarvik::cli::service
