// tarvikctl report-rate R: sets the USB report rate index (0-3) of the keyboard's current profile.
#include "cli/CliCommand.h"
#include "cli/CliSupport.h"
#include "cli/DeviceSession.h"
#include "device/OnBoardProfile.h"

#include <charconv>
#include <string>

namespace tarvik::cli {

namespace {

int runReportRate(CliContext& ctx, std::span<const std::string_view> args) {
    int r = -1;
    if (args.size() == 1) {
        const char* end = args[0].data() + args[0].size();
        auto [at, ec] = std::from_chars(args[0].data(), end, r);
        if (ec != std::errc{} || at != end) {
            r = -1;
        }
    }
    if (r < 0 || r >= device::kReportRateCount) {
        ctx.err << "tarvikctl: report-rate: expected one rate index 0, 1, 2 or 3 (see tarvikctl report-rate "
                   "--help)\n";
        return 2;
    }
    DeviceSession session(ctx, "report-rate");
    if (!session.openKeyboard()) {
        return 1;
    }
    device::Commands& c = session.commands();
    // The profile read and the write as one sequence: a switch in between would get the wrong profile.
    device::Commands::Frame held = c.frame();
    const int p = device::currentOnBoardProfile(c, session.state());
    if (p < 0) {
        session.fail("cannot read the keyboard's current profile");
        return 1;
    }
    // The write only counts once the keyboard has taken the closing endWrite, so every step's result
    // decides the exit status here.
    if (int rc = device::writeReportRate(c, p, r); rc != device::kOk) {
        session.fail(notTaken(c, "report rate " + std::to_string(r), rc));
        return 1;
    }
    if (ctx.json) {
        ctx.out << "{\"profile\": " << p << ", \"reportRate\": " << r << "}\n";
    } else {
        ctx.out << "report rate of profile " << p << ": " << r << '\n';
    }
    return 0;
}

} // namespace

extern const CliCommand kReportRateCommand{
    "report-rate", "report-rate R", "Set the USB report rate index (0-3) of the current profile",
    "Writes the report rate index R (0, 1, 2 or 3) into the settings of the keyboard's current on-board\n"
    "profile, as one write sequence. Exit status 0 when the keyboard took the whole sequence.",
    runReportRate};

} // namespace tarvik::cli
