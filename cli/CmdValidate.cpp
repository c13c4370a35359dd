// tarvikctl validate FILE: every check an import makes of a profile file (the header check and the
// loader's), without touching the keyboard.
#include "cli/CliCommand.h"
#include "cli/CliSupport.h"

#include "profiles/ProfileFiles.h"

namespace tarvik::cli {

namespace {

int runValidate(CliContext& ctx, std::span<const std::string_view> args) {
    if (args.size() != 1) {
        ctx.err << "tarvikctl: validate: expected one FILE (see tarvikctl validate --help)\n";
        return 2;
    }
    std::string path(args[0]);
    profiles::ProfileFileCheck c = profiles::checkProfileFile(path);
    if (c.result == 1 && c.loadable) {
        ctx.out << path << ": valid profile file\n";
        return 0;
    }
    ctx.out << path << ": import would refuse it: ";
    switch (c.result) {
    case profiles::kCannotOpen:
        ctx.out << (c.notRegular ? "it is not a regular file\n" : "it cannot be opened for reading\n");
        return 1;
    case profiles::kOutOfMemory:
        ctx.out << "out of memory while reading it\n";
        return 1;
    default:
        break;
    }
    if (c.result == 0 && !c.badHeader) {
        if (c.fileSize == 0 && c.check.problems.empty()) {
            ctx.out << "no such file\n";
        } else {
            ctx.out << "it holds " << c.fileSize << " bytes; a profile file has at least "
                    << profiles::kMinProfileFileSize << " and less than 4 GiB\n";
        }
        return 1;
    }
    bool first = true;
    for (profiles::ProfileProblem p : c.check.problems) {
        ctx.out << (first ? "" : "; ") << profiles::describe(p);
        if (p == profiles::ProfileProblem::TextOutsidePool ||
            p == profiles::ProfileProblem::TextNotTerminated) {
            ctx.out << " (record " << c.check.firstBadRecord << ")";
        }
        first = false;
    }
    ctx.out << '\n';
    return 1;
}

} // namespace

extern const CliCommand kValidateCommand{
    "validate", "validate FILE", "Check a profile file as import would, without the keyboard",
    "Runs every check an import makes of FILE: the header (mark, sizes, macro count, flag, checksum) and "
    "the\n"
    "loader's checks (the file holds what its header promises, every text lies inside the string pool).\n"
    "Prints what is wrong and exits with 1 when import would refuse the file.",
    runValidate};

} // namespace tarvik::cli
