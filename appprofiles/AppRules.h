// The rules that pick an on-board profile for the application in front: a list of (application,
// profile), a fallback for applications without a rule, and whether automatic switching is paused. They
// are kept in a plain text file in the settings folder, one setting a line:
//
//   # Automatic profiles
//   paused = no
//   fallback = previous
//   app game1 = 2
//
// An application matches when its name equals, without regard to ASCII case, the focused window's
// Wayland app id or its X11 WM_CLASS instance or class; the first matching rule wins.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tarvik::appprofiles {

inline constexpr int kProfileCount = 3;
inline constexpr std::string_view kRulesFileName = "app-profiles.conf";

struct AppRule {
    std::string app;
    int profile = 0;
    friend bool operator==(const AppRule&, const AppRule&) = default;
};

struct AppRules {
    std::vector<AppRule> rules;
    // The profile for an application without a rule; nullopt: the profile that was current before the
    // first automatic switch.
    std::optional<int> fallback;
    bool paused = false;
    friend bool operator==(const AppRules&, const AppRules&) = default;
};

// What the focused window is called; any part may be empty.
struct WindowIdentity {
    std::string appId;    // Wayland
    std::string instance; // X11 WM_CLASS, first string
    std::string klass;    // X11 WM_CLASS, second string
    friend bool operator==(const WindowIdentity&, const WindowIdentity&) = default;
};

bool sameApp(std::string_view a, std::string_view b);
// The profile of the first rule matching the window; nullopt when none does.
std::optional<int> matchProfile(const AppRules& rules, const WindowIdentity& window);
// A window of this program (its main window, the rules window): it leaves the profile as it is, so that
// opening the program to edit the game's profile does not switch the keyboard away from it.
bool isOwnWindow(const WindowIdentity& window);
// The name a rule for this window is made with: the app id, else the WM_CLASS instance, else the class.
std::string appNameOf(const WindowIdentity& window);

// An application name a rule can hold and the file can keep: not blank, no line break or '=', and not
// starting with '#'.
bool validAppName(std::string_view app);
// Adds the rule, or changes the profile of the rule for the same application (it keeps its place).
// False when the name or the profile is not valid.
bool setRule(AppRules& rules, std::string_view app, int profile);
// False when no rule names the application.
bool removeRule(AppRules& rules, std::string_view app);

// A line the reader skipped, numbered from 1.
struct RuleProblem {
    int line = 0;
    std::string why;
};

struct ParsedRules {
    AppRules rules;
    std::vector<RuleProblem> problems;
};

ParsedRules parseRules(std::string_view text);
std::string formatRules(const AppRules& rules);

// $XDG_CONFIG_HOME/Tarvik_Lumira/app-profiles.conf, beside the settings file.
std::filesystem::path rulesFilePath();
// A missing file holds no rules; a file that cannot be read is one problem at line 0.
ParsedRules loadRules(const std::filesystem::path& file);
// Whole or not at all; false with why when the file could not be written.
bool saveRules(const std::filesystem::path& file, const AppRules& rules, std::string* why = nullptr);

} // namespace tarvik::appprofiles
