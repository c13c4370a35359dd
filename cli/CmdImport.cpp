// tarvikctl import FILE: check a profile file, load it, save the keyboard cache file and download all
// three on-board profiles and the macros.
#include "cli/CliCommand.h"
#include "cli/CliSupport.h"
#include "cli/JsonTransfer.h"
#include "cli/ProfileFormats.h"

#include "profiles/AssignmentStore.h"
#include "profiles/KeyboardTransfer.h"
#include "profiles/ProfileFiles.h"

#include <string>

namespace tarvik::cli {

namespace {

int runImport(CliContext& ctx, std::span<const std::string_view> args) {
    FileArgs fa;
    if (!parseFileArgs(ctx, "import", args, false, fa)) {
        return 2;
    }
    if (fa.files.size() != 1) {
        ctx.err << "tarvikctl: import: expected one FILE (see tarvikctl import --help)\n";
        return 2;
    }
    std::string path(fa.files[0]);
    if (fa.format.value_or(formatOfPath(path)) == FileFormat::Json) {
        return importJson(ctx, path);
    }
    CliPrompter prompter(ctx, "import", path);
    // Refuse a bad file before the keyboard is even looked for.
    profiles::ProfileFileCheck check = profiles::checkProfileFile(path);
    if (check.result != 1 || !check.loadable) {
        if (check.badHeader || check.result == 1) {
            prompter.show("PROFILE_FORMAT_ERROR");
        }
        prompter.show("MAIN_PROMPT_INPORT");
        return 1;
    }
    auto kb = openKeyboard(ctx, "import");
    if (!kb) {
        return 1;
    }
    profiles::AssignmentStore store;
    profiles::ImportOutcome outcome = profiles::importProfileFile(store, path, kb->commands(), kb->state());
    profiles::showImportMessages(outcome, prompter);
    if (!outcome.succeeded()) {
        // The texts shown say what the user has always been told; a byte not kept is named as well.
        if (prompter.shownCount() == 0 || outcome.download.verifyFailed()) {
            ctx.err << "tarvikctl: import: " << downloadNotTaken(outcome.download) << '\n';
        }
        return 1;
    }
    ctx.out << "imported " << path << " into the keyboard's three profiles\n";
    return 0;
}

} // namespace

extern const CliCommand kImportCommand{
    "import", "import [--format tvk|json] FILE", "Write a profile file to the keyboard",
    "Checks FILE as validate does, loads it, downloads all three on-board profiles and the macros, and\n"
    "once the keyboard took all of it saves FILE as the keyboard cache file when that exists. A refused\n"
    "file (bad contents, or macros too big for the keyboard) prints the texts that say so and leaves the\n"
    "keyboard and the cache file untouched; so does a download the keyboard did not take.\n"
    "The written key blocks and macros are read back (unless --no-verify): a byte the keyboard did not\n"
    "keep fails the import with the area and the offset, and the cache file stays as it was.\n"
    "The format is --format, else FILE's extension (.json: the readable JSON profile). A JSON file is\n"
    "refused with the JSON path of its first problem; its lighting, when it has one, is written after the\n"
    "profiles (settings of the three profiles, user lighting files, the current slots' key colours).",
    runImport};

} // namespace tarvik::cli
