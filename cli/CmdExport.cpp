// tarvikctl export FILE: what the keyboard holds (three key blocks, the macros) as a profile file.
#include "cli/CliCommand.h"
#include "cli/CliSupport.h"
#include "cli/JsonTransfer.h"
#include "cli/ProfileFormats.h"

#include "platform/AtomicFile.h"
#include "profiles/KeyboardTransfer.h"

#include <new>
#include <optional>
#include <string>
#include <vector>

namespace tarvik::cli {

namespace {

int runExport(CliContext& ctx, std::span<const std::string_view> args) {
    FileArgs fa;
    if (!parseFileArgs(ctx, "export", args, true, fa)) {
        return 2;
    }
    if (fa.files.size() != 1) {
        ctx.err << "tarvikctl: export: expected one FILE (see tarvikctl export --help)\n";
        return 2;
    }
    std::string path(fa.files[0]);
    const FileFormat format = fa.format.value_or(formatOfPath(path));
    if (fa.withLighting && format != FileFormat::Json) {
        ctx.err << "tarvikctl: export: --with-lighting needs the JSON format\n";
        return 2;
    }
    if (format == FileFormat::Json) {
        return exportJson(ctx, path, fa.withLighting);
    }
    auto kb = openKeyboard(ctx, "export");
    if (!kb) {
        return 1;
    }
    std::optional<std::vector<uint8_t>> bytes;
    try {
        bytes = profiles::readKeyboardProfile(kb->commands(), kb->state(), macroNamePrefix());
    } catch (const std::bad_alloc&) {
        bytes.reset();
    }
    if (!bytes) {
        ctx.err << "tarvikctl: export: could not read the keyboard\n";
        return 1;
    }
    // The keyboard was read; what fails now is the file, and the message says which.
    if (std::string why; !writeFileAtomically(path, *bytes, &why)) {
        ctx.err << "tarvikctl: export: cannot write " << path << ": " << why << '\n';
        return 1;
    }
    ctx.out << "exported the keyboard's three profiles and macros to " << path << '\n';
    return 0;
}

} // namespace

extern const CliCommand kExportCommand{
    "export", "export [--format tvk|json] [--with-lighting] FILE", "Read the keyboard into a profile file",
    "Reads the keyboard's three on-board profiles (key blocks) and its macro area and writes them as the\n"
    "profile file FILE, the format import takes. Macro ids are renumbered 1, 2, ... in the keyboard's\n"
    "order. The file is written whole or not at all.\n"
    "The format is --format, else FILE's extension: .json writes the readable JSON profile (see\n"
    "docs/profile-json.md), anything else the binary profile file. --with-lighting (JSON only) adds the\n"
    "lighting settings of the three profiles and their user lighting layouts.",
    runExport};

} // namespace tarvik::cli
