// tarvikctl diff A B [--json]: the differences between two profile files, .tvk or JSON in any mix; exit 0
// when they are equal, 1 when they differ, 2 on trouble, as diff does.
#include "cli/CliCommand.h"
#include "cli/CliSupport.h"
#include "cli/ProfileFormats.h"
#include "profiles/ProfileDiff.h"

namespace tarvik::cli {

namespace {

constexpr int kEqual = 0;
constexpr int kDiffer = 1;
constexpr int kTrouble = 2;

void printJson(std::ostream& out, const std::vector<profiles::diff::Difference>& differences) {
    out << "{\"equal\": " << (differences.empty() ? "true" : "false") << ", \"differences\": [";
    for (size_t i = 0; i < differences.size(); ++i) {
        const auto& d = differences[i];
        out << (i == 0 ? "\n  " : ",\n  ") << "{\"where\": " << jsonString(d.where)
            << ", \"path\": " << jsonString(d.path) << ", \"changes\": [";
        for (size_t c = 0; c < d.changes.size(); ++c) {
            const auto& ch = d.changes[c];
            out << (c == 0 ? "" : ", ") << "{\"field\": " << jsonString(ch.field)
                << ", \"from\": " << jsonString(ch.from) << ", \"to\": " << jsonString(ch.to) << '}';
        }
        out << "], \"text\": " << jsonString(d.line()) << '}';
    }
    out << (differences.empty() ? "]}\n" : "\n]}\n");
}

int runDiff(CliContext& ctx, std::span<const std::string_view> args) {
    FileArgs fa;
    if (!parseFileArgs(ctx, "diff", args, false, fa)) {
        return kTrouble;
    }
    if (fa.files.size() != 2 || fa.format) {
        ctx.err << "tarvikctl: diff: expected two files A and B (see tarvikctl diff --help)\n";
        return kTrouble;
    }
    profiles::model::Document docs[2];
    for (int i = 0; i < 2; ++i) {
        std::string reason;
        const std::string& path = fa.files[static_cast<size_t>(i)];
        if (!readProfileDocument(path, formatOfPath(path), docs[i], reason)) {
            ctx.err << "tarvikctl: diff: " << path << ": " << reason << '\n';
            return kTrouble;
        }
    }
    const auto differences = profiles::diff::compare(docs[0], docs[1]);
    if (ctx.json) {
        printJson(ctx.out, differences);
    } else {
        for (const auto& d : differences) {
            ctx.out << d.line() << '\n';
        }
    }
    return differences.empty() ? kEqual : kDiffer;
}

} // namespace

extern const CliCommand kDiffCommand{
    "diff", "diff A B [--json]", "Show how two profile files differ (.tvk or JSON)",
    "Compares the profile files A and B (each .tvk or JSON, by its extension) and prints one line per\n"
    "difference, for example\n"
    "  profile 1, key Caps Lock: none \u2192 key Ctrl\n"
    "  macro 'Build' (id 2): 12 actions \u2192 14 actions, cycles 1 \u2192 3\n"
    "Keys, G keys, colour keys and lighting are compared per profile; macros by id. With --json one\n"
    "object {\"equal\", \"differences\": [{\"where\", \"path\", \"changes\": [{\"field\", \"from\", "
    "\"to\"}],\n"
    "\"text\"}]}; path is where the difference sits in the JSON form.\n"
    "Exit status 0 when the files are equal, 1 when they differ, 2 when one cannot be read.",
    runDiff};

} // namespace tarvik::cli
