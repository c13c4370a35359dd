// tarvikctl export FILE: what the keyboard holds (three key blocks, the macros) as a profile file.
#include "cli/CliCommand.h"
#include "cli/CliSupport.h"

#include "profiles/KeyboardTransfer.h"

#include <string>

namespace tarvik::cli {

namespace {

int runExport(CliContext& ctx, std::span<const std::string_view> args) {
    if (args.size() != 1) {
        ctx.err << "tarvikctl: export: expected one FILE (see tarvikctl export --help)\n";
        return 2;
    }
    std::string path(args[0]);
    auto kb = openKeyboard(ctx, "export");
    if (!kb) {
        return 1;
    }
    if (!profiles::readKeyboardToFile(path, kb->commands(), kb->state(), macroNamePrefix())) {
        ctx.err << "tarvikctl: export: could not read the keyboard into " << path << '\n';
        return 1;
    }
    ctx.out << "exported the keyboard's three profiles and macros to " << path << '\n';
    return 0;
}

} // namespace

extern const CliCommand kExportCommand{
    "export", "export FILE", "Read the keyboard into a profile file",
    "Reads the keyboard's three on-board profiles (key blocks) and its macro area and writes them as the\n"
    "profile file FILE, the format import takes. Macro ids are renumbered 1, 2, ... in the keyboard's\n"
    "order. The file is written whole or not at all.",
    runExport};

} // namespace tarvik::cli
