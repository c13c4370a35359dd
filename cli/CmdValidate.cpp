// tarvikctl validate FILE: every check an import makes of a profile file (the header check and the
// loader's), without touching the keyboard.
#include "cli/CliCommand.h"
#include "cli/CliSupport.h"
#include "cli/ProfileFormats.h"

#include "profiles/ProfileFiles.h"

namespace tarvik::cli {

namespace {

int runValidate(CliContext& ctx, std::span<const std::string_view> args) {
    FileArgs fa;
    if (!parseFileArgs(ctx, "validate", args, false, fa)) {
        return 2;
    }
    if (fa.files.size() != 1) {
        ctx.err << "tarvikctl: validate: expected one FILE (see tarvikctl validate --help)\n";
        return 2;
    }
    const std::string& path = fa.files[0];
    if (fa.format.value_or(formatOfPath(path)) == FileFormat::Json) {
        profiles::model::Document doc;
        std::string reason;
        if (!readProfileDocument(path, FileFormat::Json, doc, reason)) {
            ctx.out << path << ": import would refuse it: " << reason << '\n';
            return 1;
        }
        ctx.out << path << ": valid profile file (JSON)\n";
        return 0;
    }
    profiles::ProfileFileCheck c = profiles::checkProfileFile(path);
    if (c.result == 1 && c.loadable) {
        ctx.out << path << ": valid profile file\n";
        return 0;
    }
    ctx.out << path << ": import would refuse it: " << describeRefusal(c, path) << '\n';
    return 1;
}

} // namespace

extern const CliCommand kValidateCommand{
    "validate", "validate [--format tvk|json] FILE",
    "Check a profile file as import would, without the keyboard",
    "Runs every check an import makes of FILE: the header (mark, sizes, macro count, flag, checksum) and "
    "the\n"
    "loader's checks (the file holds what its header promises, every text lies inside the string pool).\n"
    "Prints what is wrong and exits with 1 when import would refuse the file. A JSON file (by its\n"
    "extension or --format json) gets every check of its import, and the JSON path of its first problem.",
    runValidate};

} // namespace tarvik::cli
