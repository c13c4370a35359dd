// tarvikctl status [--json]: is a keyboard attached, and its configuration block's current profile,
// macro capacity and lighting modes.
#include "cli/CliCommand.h"
#include "cli/DeviceSession.h"

#include <array>
#include <optional>
#include <string>
#include <vector>

namespace tarvik::cli {

namespace {

struct Status {
    int keyboards = 0;
    std::optional<int> profile; // absent when the keyboard names no profile 0..2
    uint32_t macroCapacity = 0;
    std::vector<int> modes;
};

Status fromConfig(int keyboards, std::span<const uint8_t, device::kConfigSize> config) {
    Status s;
    s.keyboards = keyboards;
    if (int p = config[device::kConfigCurrentProfile]; p < static_cast<int>(device::kProfileCount)) {
        s.profile = p;
    }
    s.macroCapacity = uint32_t{config[device::kConfigMacroUnits]} * device::kMacroUnit;
    for (size_t i = device::kConfigModes; i < device::kConfigSize; ++i) {
        if (config[i] != 0) {
            s.modes.push_back(config[i]);
        }
    }
    return s;
}

void printJson(std::ostream& out, const std::optional<Status>& s, int keyboards, std::string_view road) {
    out << "{\"attached\": " << (s ? "true" : "false") << ", \"keyboards\": " << keyboards
        << ", \"profile\": ";
    if (s && s->profile) {
        out << *s->profile;
    } else {
        out << "null";
    }
    out << ", \"macroCapacity\": ";
    if (s) {
        out << s->macroCapacity;
    } else {
        out << "null";
    }
    out << ", \"modes\": ";
    if (s) {
        out << '[';
        for (size_t i = 0; i < s->modes.size(); ++i) {
            out << (i ? ", " : "") << s->modes[i];
        }
        out << ']';
    } else {
        out << "null";
    }
    out << ", \"road\": \"" << road << "\"}\n";
}

void printText(std::ostream& out, const std::optional<Status>& s, std::string_view road) {
    if (!s) {
        out << "keyboard: not attached\n";
        out << "road: " << road << '\n';
        return;
    }
    out << "keyboard: attached (" << s->keyboards << ")\n";
    out << "profile: " << (s->profile ? std::to_string(*s->profile) : std::string("unknown")) << '\n';
    out << "macro capacity: " << s->macroCapacity << " bytes\n";
    out << "lighting modes:";
    for (int m : s->modes) {
        out << ' ' << m;
    }
    out << '\n';
    out << "road: " << road << '\n';
}

int runStatus(CliContext& ctx, std::span<const std::string_view> args) {
    if (!args.empty()) {
        ctx.err << "tarvikctl: status: unexpected argument '" << args[0]
                << "' (see tarvikctl status --help)\n";
        return 2;
    }
    DeviceSession session(ctx, "status");
    if (!session.open()) {
        return 1;
    }
    const int keyboards = session.keyboards();
    std::optional<Status> status;
    if (keyboards > 0) {
        std::array<uint8_t, device::kConfigSize> config{};
        if (int rc = session.commands().readConfig(config); rc != device::kOk) {
            session.fail("cannot read the keyboard's configuration (" + device::describeResult(rc) + ")");
            return 1;
        }
        status = fromConfig(keyboards, config);
        session.state().currentProfile.store(status->profile.value_or(-1));
    }
    if (ctx.json) {
        printJson(ctx.out, status, keyboards, ctx.road);
    } else {
        printText(ctx.out, status, ctx.road);
    }
    return 0;
}

} // namespace

extern const CliCommand kStatusCommand{
    "status", "status [--json]", "Is a keyboard attached; its profile, macro capacity and modes",
    "Loads the service library, says whether a keyboard is attached and, when one is, prints its current\n"
    "on-board profile (0-2), its macro capacity in bytes and the lighting modes it supports.\n"
    "With --json the output is one object with exactly these members:\n"
    "  {\"attached\": true, \"keyboards\": 1, \"profile\": 0, \"macroCapacity\": 8192, \"modes\": [1, 2, "
    "...],\n"
    "   \"road\": \"program\"}\n"
    "profile, macroCapacity and modes are null when no keyboard is attached. road says how tarvikctl\n"
    "reached the keyboard: \"program\" through the running program, \"direct\" by opening it itself.\n"
    "Exit status 0 with or without a keyboard; 1 when the library cannot be loaded or the keyboard does\n"
    "not answer.",
    runStatus};

} // namespace tarvik::cli
