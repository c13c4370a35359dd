#include "appprofiles/AppRules.h"

#include "platform/AtomicFile.h"
#include "profiles/Settings.h"

#include <algorithm>
#include <cstdint>
#include <system_error>

namespace tarvik::appprofiles {

namespace {

char lowerAscii(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

std::string_view trim(std::string_view s) {
    const auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r'; };
    while (!s.empty() && blank(s.front())) {
        s.remove_prefix(1);
    }
    while (!s.empty() && blank(s.back())) {
        s.remove_suffix(1);
    }
    return s;
}

std::optional<int> profileOf(std::string_view word) {
    if (word.size() == 1 && word[0] >= '0' && word[0] < '0' + kProfileCount) {
        return word[0] - '0';
    }
    return std::nullopt;
}

std::optional<bool> yesNo(std::string_view word) {
    if (sameApp(word, "yes") || word == "1" || sameApp(word, "true")) {
        return true;
    }
    if (sameApp(word, "no") || word == "0" || sameApp(word, "false")) {
        return false;
    }
    return std::nullopt;
}

} // namespace

bool sameApp(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(),
                                              [](char x, char y) { return lowerAscii(x) == lowerAscii(y); });
}

std::optional<int> matchProfile(const AppRules& rules, const WindowIdentity& window) {
    for (const AppRule& r : rules.rules) {
        for (const std::string* name : {&window.appId, &window.instance, &window.klass}) {
            if (!name->empty() && sameApp(r.app, *name)) {
                return r.profile;
            }
        }
    }
    return std::nullopt;
}

bool isOwnWindow(const WindowIdentity& window) {
    // The Wayland app id is the desktop entry's name; X11 has the program's file and application names.
    return sameApp(window.appId, "io.github.tarvik.Tarvik") ||
           (window.appId.empty() && sameApp(window.instance, "tarvik") && sameApp(window.klass, "tarvik"));
}

std::string appNameOf(const WindowIdentity& window) {
    if (!window.appId.empty()) {
        return window.appId;
    }
    return window.instance.empty() ? window.klass : window.instance;
}

bool validAppName(std::string_view app) {
    return !trim(app).empty() && trim(app).size() == app.size() && app.front() != '#' &&
           app.find_first_of("=\n\r") == std::string_view::npos && app.find('\0') == std::string_view::npos;
}

bool setRule(AppRules& rules, std::string_view app, int profile) {
    if (!validAppName(app) || profile < 0 || profile >= kProfileCount) {
        return false;
    }
    for (AppRule& r : rules.rules) {
        if (sameApp(r.app, app)) {
            r.profile = profile;
            return true;
        }
    }
    rules.rules.push_back({std::string(app), profile});
    return true;
}

bool removeRule(AppRules& rules, std::string_view app) {
    const auto n = std::erase_if(rules.rules, [&](const AppRule& r) { return sameApp(r.app, app); });
    return n > 0;
}

ParsedRules parseRules(std::string_view text) {
    ParsedRules out;
    int number = 0;
    while (!text.empty()) {
        ++number;
        const size_t end = text.find('\n');
        const std::string_view raw = text.substr(0, end);
        text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
        const std::string_view line = trim(raw);
        if (line.empty() || line.front() == '#') {
            continue;
        }
        const size_t eq = line.rfind('=');
        if (eq == std::string_view::npos) {
            out.problems.push_back({number, "no '=' in the line"});
            continue;
        }
        const std::string_view key = trim(line.substr(0, eq));
        const std::string_view value = trim(line.substr(eq + 1));
        if (key.starts_with("app ") || key.starts_with("app\t")) {
            const std::string_view app = trim(key.substr(4));
            const auto profile = profileOf(value);
            if (!profile) {
                out.problems.push_back({number, "the profile is not 0, 1 or 2"});
            } else if (!validAppName(app)) {
                out.problems.push_back({number, "no application name"});
            } else if (matchProfile(out.rules, {"", std::string(app), ""})) {
                out.problems.push_back({number, "a second rule for " + std::string(app)});
            } else {
                out.rules.rules.push_back({std::string(app), *profile});
            }
        } else if (key == "fallback") {
            if (value == "previous") {
                out.rules.fallback.reset();
            } else if (const auto profile = profileOf(value)) {
                out.rules.fallback = profile;
            } else {
                out.problems.push_back({number, "fallback is not 0, 1, 2 or previous"});
            }
        } else if (key == "paused") {
            if (const auto paused = yesNo(value)) {
                out.rules.paused = *paused;
            } else {
                out.problems.push_back({number, "paused is not yes or no"});
            }
        } else {
            out.problems.push_back({number, "unknown setting '" + std::string(key) + "'"});
        }
    }
    return out;
}

std::string formatRules(const AppRules& rules) {
    std::string text = "# Automatic profiles: the on-board profile (0-2) while an application is in front.\n"
                       "# fallback: the profile for every other application (previous: the one before).\n";
    text += "paused = ";
    text += rules.paused ? "yes\n" : "no\n";
    text += "fallback = ";
    text += rules.fallback ? std::to_string(*rules.fallback) : std::string("previous");
    text += '\n';
    for (const AppRule& r : rules.rules) {
        text += "app " + r.app + " = " + std::to_string(r.profile) + '\n';
    }
    return text;
}

std::filesystem::path rulesFilePath() {
    return profiles::settingsFilePath().parent_path() / kRulesFileName;
}

ParsedRules loadRules(const std::filesystem::path& file) {
    std::error_code ec;
    if (!std::filesystem::exists(file, ec)) {
        return {};
    }
    const auto bytes = readWholeFile(file, 1024u * 1024u);
    if (!bytes) {
        ParsedRules out;
        out.problems.push_back({0, "cannot read " + file.string()});
        return out;
    }
    return parseRules(std::string_view(reinterpret_cast<const char*>(bytes->data()), bytes->size()));
}

bool saveRules(const std::filesystem::path& file, const AppRules& rules, std::string* why) {
    std::error_code ec;
    std::filesystem::create_directories(file.parent_path(), ec);
    const std::string text = formatRules(rules);
    return writeFileAtomically(
        file, std::span<const uint8_t>(reinterpret_cast<const uint8_t*>(text.data()), text.size()), why);
}

} // namespace tarvik::appprofiles
