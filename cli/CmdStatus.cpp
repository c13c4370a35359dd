#include "cli/CliCommand.h"

namespace tarvik::cli {

namespace {
int runStatus(CliContext& ctx, std::span<const std::string_view>) {
    ctx.err << "tarvikctl: status: the device link is not built yet\n";
    return 1;
}
} // namespace

extern const CliCommand kStatusCommand{"status", "status [--json]",
                                       "Is a keyboard attached; its profile, macro capacity and modes",
                                       "Loads the service library and reports the keyboard.", runStatus};

} // namespace tarvik::cli
