// tarvikctl macros: the macros the keyboard holds, with their actions.
#include "cli/CliCommand.h"
#include "cli/CliSupport.h"

#include "keyboard/KeyTable.h"
#include "platform/Utf.h"
#include "profiles/KeyboardTransfer.h"

namespace tarvik::cli {

namespace {

int runMacros(CliContext& ctx, std::span<const std::string_view> args) {
    if (!args.empty()) {
        ctx.err << "tarvikctl: macros: unexpected argument '" << args.front() << "'\n";
        return 2;
    }
    auto kb = openKeyboard(ctx, "macros");
    if (!kb) {
        return 1;
    }
    std::optional<macros::MacroSet> set =
        profiles::readKeyboardMacros(kb->commands(), kb->state(), macroNamePrefix());
    if (!set) {
        ctx.err << "tarvikctl: macros: could not read the keyboard's macro area\n";
        return 1;
    }
    loadUiTexts(); // key names of media keys come from the UI texts
    if (ctx.json) {
        ctx.out << '[';
        for (size_t i = 0; i < set->size(); ++i) {
            const macros::MacroRecord& m = (*set)[i];
            ctx.out << (i == 0 ? "\n  " : ",\n  ") << "{\"id\": " << m.id()
                    << ", \"name\": " << jsonString(toUtf8(m.name())) << ", \"cycles\": " << int{m.cycles()}
                    << ", \"actions\": [";
            std::vector<macros::MacroAction> actions = m.actions();
            for (size_t a = 0; a < actions.size(); ++a) {
                const macros::MacroAction& act = actions[a];
                ctx.out << (a == 0 ? "" : ", ") << "{\"delayMs\": " << act.delayMs << ", \"key\": " << act.key
                        << ", \"keyName\": " << jsonString(toUtf8(keyboard::KeyName(act.key)))
                        << ", \"press\": " << (act.direction == macros::kPress ? "true" : "false") << '}';
            }
            ctx.out << "]}";
        }
        ctx.out << (set->empty() ? "]\n" : "\n]\n");
        return 0;
    }
    if (set->empty()) {
        ctx.out << "no macros\n";
        return 0;
    }
    for (const auto& m : *set) {
        ctx.out << m.id() << "  " << toUtf8(m.name()) << "  cycles " << int{m.cycles()} << "  "
                << m.actionCount() << " actions\n";
        for (const auto& act : m.actions()) {
            ctx.out << "    " << toUtf8(keyboard::KeyName(act.key)) << ' '
                    << (act.direction == macros::kPress ? "press" : "release") << "  " << act.delayMs
                    << " ms\n";
        }
    }
    return 0;
}

} // namespace

extern const CliCommand kMacrosCommand{
    "macros", "macros [--json]", "List the keyboard's macros and their actions",
    "Reads the keyboard's macro area and lists every macro: id (1, 2, ... in the keyboard's order), name,\n"
    "cycles and its actions (key, press or release, delay after it in milliseconds). With --json an array\n"
    "of {\"id\", \"name\", \"cycles\", \"actions\": [{\"delayMs\", \"key\", \"keyName\", \"press\"}]}.",
    runMacros};

} // namespace tarvik::cli
