// tarvikctl profile N: makes on-board profile N (0-2) the keyboard's current one.
#include "cli/CliCommand.h"
#include "cli/DeviceSession.h"
#include "device/OnBoardProfile.h"

#include <charconv>
#include <string>

namespace tarvik::cli {

namespace {

int runProfile(CliContext& ctx, std::span<const std::string_view> args) {
    int p = -1;
    if (args.size() == 1) {
        const char* end = args[0].data() + args[0].size();
        auto [at, ec] = std::from_chars(args[0].data(), end, p);
        if (ec != std::errc{} || at != end) {
            p = -1;
        }
    }
    if (p < 0 || p >= static_cast<int>(device::kProfileCount)) {
        ctx.err
            << "tarvikctl: profile: expected one profile number 0, 1 or 2 (see tarvikctl profile --help)\n";
        return 2;
    }
    DeviceSession session(ctx, "profile");
    if (!session.openKeyboard()) {
        return 1;
    }
    if (int rc = device::selectOnBoardProfile(session.commands(), session.state(), p); rc != device::kOk) {
        session.fail("the keyboard did not switch to profile " + std::to_string(p) + " (" +
                     device::describeResult(rc) + ")");
        return 1;
    }
    if (ctx.json) {
        ctx.out << "{\"profile\": " << p << "}\n";
    } else {
        ctx.out << "profile: " << p << '\n';
    }
    return 0;
}

} // namespace

extern const CliCommand kProfileCommand{
    "profile", "profile N", "Switch the keyboard to on-board profile N (0-2)",
    "Makes on-board profile N (0, 1 or 2) the one the keyboard runs: reads the keyboard's configuration\n"
    "block, sets its current profile and writes it back. Exit status 0 when the keyboard took it.",
    runProfile};

} // namespace tarvik::cli
