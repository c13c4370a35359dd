// tarvikctl app-profiles: the rules that switch the keyboard's profile with the application in front.
#include "cli/AppProfilesCommand.h"
#include "cli/CliSupport.h"

#include <string>

namespace tarvik::cli {

namespace {

constexpr std::string_view kUsage = "tarvikctl: app-profiles: expected list, add APP PROFILE, remove APP, "
                                    "fallback PROFILE|previous, pause or "
                                    "resume (see tarvikctl app-profiles --help)\n";

std::optional<int> profileWord(std::string_view w) {
    if (w.size() == 1 && w[0] >= '0' && w[0] < '0' + appprofiles::kProfileCount) {
        return w[0] - '0';
    }
    return std::nullopt;
}

std::string fallbackText(const appprofiles::AppRules& r) {
    return r.fallback ? std::to_string(*r.fallback) : std::string("previous");
}

void list(CliContext& ctx, const appprofiles::AppRules& r, std::string_view watching) {
    if (ctx.json) {
        ctx.out << "{\"paused\": " << (r.paused ? "true" : "false") << ", \"fallback\": "
                << (r.fallback ? std::to_string(*r.fallback) : std::string("\"previous\""))
                << ", \"watching\": " << jsonString(watching) << ", \"rules\": [";
        for (size_t i = 0; i < r.rules.size(); ++i) {
            ctx.out << (i == 0 ? "" : ", ") << "{\"app\": " << jsonString(r.rules[i].app)
                    << ", \"profile\": " << r.rules[i].profile << '}';
        }
        ctx.out << "]}\n";
        return;
    }
    ctx.out << "paused: " << (r.paused ? "yes" : "no") << "\nfallback: " << fallbackText(r)
            << "\nwatching: " << watching << '\n';
    for (const appprofiles::AppRule& rule : r.rules) {
        ctx.out << rule.app << ": " << rule.profile << '\n';
    }
}

int runOnFile(CliContext& ctx, std::span<const std::string_view> args) {
    const auto file = appprofiles::rulesFilePath();
    appprofiles::ParsedRules parsed = appprofiles::loadRules(file);
    for (const appprofiles::RuleProblem& p : parsed.problems) {
        ctx.err << "tarvikctl: app-profiles: " << file.string() << ':' << p.line << ": " << p.why
                << " (line ignored)\n";
    }
    bool changed = false;
    const int rc = runAppProfiles(ctx, parsed.rules, args, changed, "the program is not running");
    std::string why;
    if (rc == 0 && changed && !appprofiles::saveRules(file, parsed.rules, &why)) {
        ctx.err << "tarvikctl: app-profiles: cannot write " << file.string() << ": " << why << '\n';
        return 1;
    }
    return rc;
}

} // namespace

int runAppProfiles(CliContext& ctx, appprofiles::AppRules& rules, std::span<const std::string_view> args,
                   bool& changed, std::string_view watching) {
    changed = false;
    const std::string_view verb = args.empty() ? std::string_view("list") : args[0];
    const size_t words = args.size();
    if (verb == "list" && words <= 1) {
        list(ctx, rules, watching);
        return 0;
    }
    if (verb == "add" && words == 3) {
        const auto p = profileWord(args[2]);
        if (!p || !appprofiles::setRule(rules, args[1], *p)) {
            ctx.err << "tarvikctl: app-profiles: add takes an application name (no '=' or line break) and a "
                       "profile 0, 1 or 2\n";
            return 2;
        }
        changed = true;
        ctx.out << args[1] << ": " << *p << '\n';
        return 0;
    }
    if (verb == "remove" && words == 2) {
        if (!appprofiles::removeRule(rules, args[1])) {
            ctx.err << "tarvikctl: app-profiles: no rule for " << args[1] << '\n';
            return 1;
        }
        changed = true;
        return 0;
    }
    if (verb == "fallback" && words == 2) {
        const auto p = profileWord(args[1]);
        if (!p && args[1] != "previous") {
            ctx.err << "tarvikctl: app-profiles: fallback takes 0, 1, 2 or previous\n";
            return 2;
        }
        rules.fallback = p;
        changed = true;
        ctx.out << "fallback: " << fallbackText(rules) << '\n';
        return 0;
    }
    if ((verb == "pause" || verb == "resume") && words == 1) {
        rules.paused = verb == "pause";
        changed = true;
        ctx.out << "paused: " << (rules.paused ? "yes" : "no") << '\n';
        return 0;
    }
    ctx.err << kUsage;
    return 2;
}

extern const CliCommand kAppProfilesCommand{
    "app-profiles", "app-profiles list|add APP P|remove APP|fallback P|previous|pause|resume",
    "Switch the profile with the application in front",
    "The rules that make on-board profile P (0-2) current while application APP has the focus: its\n"
    "Wayland app id or its X11 WM_CLASS instance or class, without regard to case. fallback is the\n"
    "profile for every other application (previous: the one that was current before the first\n"
    "automatic switch); pause and resume stop and restart the switching. While the program runs the\n"
    "command changes its rules (and they take effect at once), else the rules file\n"
    "$XDG_CONFIG_HOME/Tarvik_Lumira/app-profiles.conf. list --json prints\n"
    "  {\"paused\": false, \"fallback\": \"previous\", \"watching\": \"X11\",\n"
    "   \"rules\": [{\"app\": \"game1\", \"profile\": 2}]}",
    runOnFile};

} // namespace tarvik::cli
