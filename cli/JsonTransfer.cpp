#include "cli/JsonTransfer.h"

#include "cli/CliSupport.h"
#include "cli/Interruption.h"
#include "cli/ProfileFormats.h"
#include "cli/ScopedTempFolder.h"
#include "lighting/LightingModes.h"
#include "lighting/UserFiles.h"
#include "platform/AtomicFile.h"
#include "platform/Paths.h"
#include "profiles/DataFolder.h"
#include "profiles/KeyboardTransfer.h"
#include "profiles/ProfileFile.h"
#include "profiles/ProfileLighting.h"

#include <array>

namespace tarvik::cli {

namespace model = profiles::model;

int exportJson(CliContext& ctx, const std::string& path, bool withLighting) {
    auto kb = openKeyboard(ctx, "export");
    if (!kb) {
        return 1;
    }
    auto bytes = profiles::readKeyboardProfile(kb->commands(), kb->state(), macroNamePrefix());
    if (!bytes) {
        ctx.err << "tarvikctl: export: could not read the keyboard\n";
        return 1;
    }
    profiles::WorkingCopy working;
    model::Document doc;
    model::Problem problem;
    if (!profiles::parseProfile(*bytes, working)) {
        ctx.err << "tarvikctl: export: what the keyboard holds does not make a profile file\n";
        return 1;
    }
    if (!model::documentFromStore(working, doc, problem)) {
        ctx.err << "tarvikctl: export: the keyboard holds what a readable profile cannot say: "
                << describeProblem(problem) << '\n';
        return 1;
    }
    if (withLighting) {
        model::Lighting lighting;
        if (int rc = profiles::lightingio::readLighting(kb->commands(), paths::dataFolder(), lighting);
            rc != device::kOk) {
            ctx.err << "tarvikctl: export: could not read the lighting settings ("
                    << device::describeResult(rc) << ")\n";
            return 1;
        }
        doc.lighting = lighting;
        if (!model::checkDocument(doc, problem)) {
            ctx.err << "tarvikctl: export: the lighting holds what a readable profile cannot say: "
                    << describeProblem(problem) << '\n';
            return 1;
        }
    }
    std::string reason;
    if (!writeProfileDocument(path, FileFormat::Json, doc, reason)) {
        ctx.err << "tarvikctl: export: " << reason << '\n';
        return 1;
    }
    ctx.out << "exported the keyboard's three profiles and macros"
            << (withLighting ? " with their lighting" : "") << " to " << path << '\n';
    return 0;
}

namespace {

// The lighting modes of the keyboard, read from its configuration block.
bool keyboardModes(KeyboardSession& kb, lighting::ModeList& modes) {
    std::array<uint8_t, device::kConfigSize> config{};
    if (kb.commands().readConfig(config) != device::kOk) {
        return false;
    }
    modes.fill(config);
    return true;
}

} // namespace

int importJson(CliContext& ctx, const std::string& path) {
    CliPrompter prompter(ctx, "import", path);
    model::Document doc;
    std::string reason;
    if (!readProfileDocument(path, FileFormat::Json, doc, reason)) {
        ctx.err << "tarvikctl: import: " << path << ": " << reason << '\n';
        prompter.show("MAIN_PROMPT_INPORT");
        return 1;
    }
    const std::vector<uint8_t> bytes = model::profileBytesFromDocument(doc);
    if (bytes.empty()) {
        ctx.err << "tarvikctl: import: " << path << ": the contents do not fit a profile file\n";
        return 1;
    }
    auto kb = openKeyboard(ctx, "import");
    if (!kb) {
        return 1;
    }
    bool userMode = false;
    if (doc.lighting) {
        lighting::ModeList modes;
        if (!keyboardModes(*kb, modes)) {
            ctx.err << "tarvikctl: import: cannot read the keyboard's lighting modes; nothing was written\n";
            return 1;
        }
        for (size_t p = 0; p < doc.lighting->profiles.size(); ++p) {
            const uint8_t mode = doc.lighting->profiles[p].mode;
            if (!modes.supports(mode)) {
                ctx.err << "tarvikctl: import: " << path << ": $.lighting.profiles[" << p
                        << "].mode: the keyboard "
                        << "does not offer lighting mode " << int{mode} << "; nothing was written\n";
                return 1;
            }
        }
        userMode = modes.supports(lighting::kUserMode);
    }

    // The document goes the way of a binary profile file: the same checks, load, cache file and download.
    ScopedTempFolder temp(paths::runtimeFolder());
    const std::filesystem::path tvk = temp.path() / "import.tvk";
    if (temp.path().empty() || !writeFileAtomically(tvk, bytes)) {
        ctx.err << "tarvikctl: import: cannot write a temporary file in " << paths::runtimeFolder().string()
                << '\n';
        return 1;
    }
    // A signal stops the import between its steps; the download that has begun runs to its end.
    if (interruption::requested()) {
        ctx.err << "tarvikctl: import: interrupted; nothing was written\n";
        return interruption::exitCode();
    }
    profiles::AssignmentStore store;
    profiles::ImportOutcome imported = profiles::importProfileFile(store, tvk, kb->commands(), kb->state());
    profiles::showImportMessages(imported, prompter);
    if (!imported.succeeded()) {
        if (prompter.shownCount() == 0 || imported.download.verifyFailed()) {
            ctx.err << "tarvikctl: import: " << downloadNotTaken(imported.download) << '\n';
        }
        return 1;
    }
    if (doc.lighting && interruption::requested()) {
        ctx.err << "tarvikctl: import: interrupted; the profiles were written, the lighting was not\n";
        return interruption::exitCode();
    }
    if (doc.lighting) {
        const auto skins = paths::programFolder() / "Skins";
        std::filesystem::path data = profiles::ensureDataFolder(lighting::userFilesInstaller(skins));
        if (data.empty()) {
            ctx.err << "tarvikctl: import: the profiles were written, but the data folder "
                    << paths::dataFolder().string() << " cannot be made for the user lighting files\n";
            return 1;
        }
        (void)lighting::installUserFiles(data, skins);
        auto outcome = profiles::lightingio::writeLighting(kb->commands(), data, *doc.lighting, userMode);
        if (outcome.params != device::kOk) {
            ctx.err << "tarvikctl: import: the profiles were written, but "
                    << notTaken(kb->commands(), "the lighting settings", outcome.params) << '\n';
            return 1;
        }
        if (!outcome.filesSaved) {
            ctx.err
                << "tarvikctl: import: the profiles and lighting settings were written, but a user lighting "
                << "file in " << data.string() << " could not be\n";
            return 1;
        }
        if (outcome.colours != device::kOk) {
            ctx.err << "tarvikctl: import: the profiles and lighting settings were written, but "
                    << notTaken(kb->commands(), "the key colours", outcome.colours) << '\n';
            return 1;
        }
    }
    ctx.out << "imported " << path << " into the keyboard's three profiles"
            << (doc.lighting ? " with their lighting" : "") << '\n';
    return 0;
}

} // namespace tarvik::cli
