// tarvikctl assign --profile P KEY TARGET: reads the keyboard, gives one key of one on-board profile
// another function, and downloads all three profiles.
#include "cli/CliCommand.h"
#include "cli/CliSupport.h"

#include "keyboard/KeyAssignment.h"
#include "keyboard/Layout.h"
#include "platform/Utf.h"
#include "profiles/AssignmentStore.h"
#include "profiles/Download.h"
#include "profiles/KeyboardTransfer.h"
#include "profiles/ProfileFiles.h"
#include "ui/TextTable.h"

#include <algorithm>
#include <charconv>
#include <optional>
#include <string>
#include <utility>

namespace tarvik::cli {

namespace {

using keyboard::KeyAssignment;

std::string lower(std::string_view s) {
    std::string out(s);
    for (char& c : out) {
        if (c >= 'A' && c <= 'Z') {
            c = static_cast<char>(c - 'A' + 'a');
        }
    }
    return out;
}

bool sameName(std::u16string_view name, std::string_view word) {
    return !name.empty() && lower(toUtf8(name)) == lower(word);
}

// A decimal number, or hexadecimal with 0x.
std::optional<unsigned> number(std::string_view s) {
    int base = 10;
    if (s.size() > 2 && s[0] == '0' && (s[1] == 'x' || s[1] == 'X')) {
        s.remove_prefix(2);
        base = 16;
    }
    unsigned v = 0;
    auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), v, base);
    if (ec != std::errc{} || end != s.data() + s.size() || s.empty()) {
        return std::nullopt;
    }
    return v;
}

// A named key: its name as tarvikctl keys lists it, or its key code.
std::optional<keyboard::KeyCode> keyCodeOf(std::string_view word) {
    const auto table = keyboard::KeyTable();
    if (auto n = number(word)) {
        if (*n == 0 || *n > 0x17F) {
            return std::nullopt;
        }
        auto code = static_cast<keyboard::KeyCode>(*n);
        if (keyboard::KeyCodeFromIndex(keyboard::KeyIndexFromCode(code)) == code &&
            table[keyboard::KeyIndexFromCode(code)].named()) {
            return code;
        }
        return std::nullopt;
    }
    for (size_t i = 0; i < table.size(); ++i) {
        if (!table[i].named()) {
            continue;
        }
        auto code = keyboard::KeyCodeFromIndex(static_cast<keyboard::KeyIndex>(i));
        if (sameName(keyboard::KeyName(code), word)) {
            return code;
        }
    }
    return std::nullopt;
}

// The slot of KEY: a named key. The G keys are refused: their records never reach the keyboard, so a
// change read back from it would be lost at once.
std::optional<keyboard::KeySlot> slotOf(std::string_view word, std::string& why) {
    if (word.size() == 2 && (word[0] == 'G' || word[0] == 'g') && word[1] >= '1' && word[1] <= '9') {
        why = "the G keys' assignments are not stored on the keyboard; only the program keeps them";
        return std::nullopt;
    }
    if (auto code = keyCodeOf(word)) {
        return keyboard::KeyIndexFromCode(*code);
    }
    why = "unknown key '" + std::string(word) + "' (see tarvikctl keys)";
    return std::nullopt;
}

// Whether the keyboard's key blocks have a place for the key of this slot.
bool onKeyboard(keyboard::KeySlot slot, const keyboard::DefaultLayout& layout) {
    for (size_t s = 0; s < keyboard::kKeyBlockSlots; ++s) {
        keyboard::KeyCode k = keyboard::KeyOfKeyEntry(layout.entry(s));
        if (k != 0 && keyboard::KeyIndexFromCode(k) == slot) {
            return true;
        }
    }
    return false;
}

// The initial (English) texts, accepted whatever the current language is.
const ui::TextTable& initialTexts() {
    static const ui::TextTable table;
    return table;
}

bool namesText(std::string_view textKey, std::string_view word) {
    return sameName(ui::uiTexts().text(textKey), word) || sameName(initialTexts().text(textKey), word);
}

std::optional<uint32_t> mediaIndex(std::string_view name) {
    auto list = keyboard::MediaKeyList();
    if (auto n = number(name)) {
        return *n < list.size() ? std::optional<uint32_t>(*n) : std::nullopt;
    }
    for (size_t i = 0; i < list.size(); ++i) {
        if (sameName(ui::uiTexts().text(list[i].textKey), name) ||
            sameName(keyboard::KeyName(list[i].key), name)) {
            return static_cast<uint32_t>(i);
        }
    }
    return std::nullopt;
}

std::optional<uint32_t> functionIndex(std::string_view name) {
    auto list = keyboard::FunctionKeyList();
    if (auto n = number(name)) {
        return *n < list.size() ? std::optional<uint32_t>(*n) : std::nullopt;
    }
    for (size_t i = 0; i < list.size(); ++i) {
        if (namesText(list[i].textKey, name)) {
            return static_cast<uint32_t>(i);
        }
    }
    return std::nullopt;
}

struct Target {
    KeyAssignment record;
    uint32_t macroId = 0; // macro:N, checked against the keyboard's macros once they are read
};

// The record the composite key dialog would write for TARGET in this slot; a key assigned to itself is
// its default function.
std::optional<Target> parseTarget(std::string_view word, keyboard::KeySlot slot, std::string& why) {
    Target t;
    t.record.aux = keyboard::GKeyTagOfSlot(slot);
    auto colon = word.find(':');
    std::string kind = lower(word.substr(0, colon));
    std::string_view arg = colon == std::string_view::npos ? std::string_view{} : word.substr(colon + 1);
    if (colon == std::string_view::npos && kind == "none") {
        t.record.type = keyboard::ASSIGN_NO_FUNCTION;
    } else if (colon == std::string_view::npos && kind == "default") {
        t.record.type = keyboard::ASSIGN_DEFAULT;
    } else if (colon != std::string_view::npos && kind == "macro") {
        auto id = number(arg);
        if (!id || *id < 1 || *id > 100) {
            why = "macro:N takes a macro id 1-100 as tarvikctl macros lists them";
            return std::nullopt;
        }
        t.record.type = keyboard::ASSIGN_MACRO;
        t.record.value = *id;
        t.macroId = *id;
    } else if (colon != std::string_view::npos && kind == "media") {
        auto index = mediaIndex(arg);
        if (!index) {
            why = "unknown media key '" + std::string(arg) + "'";
            return std::nullopt;
        }
        t.record.type = keyboard::ASSIGN_MEDIA;
        t.record.value = *index;
    } else if (colon != std::string_view::npos && kind == "function") {
        auto index = functionIndex(arg);
        if (!index) {
            why = "unknown function '" + std::string(arg) + "'";
            return std::nullopt;
        }
        t.record.type = keyboard::ASSIGN_FUNCTION_KEY;
        t.record.value = *index;
    } else if (auto code = keyCodeOf(word)) {
        t.record.type = keyboard::KeyIndexFromCode(*code) == slot ? keyboard::ASSIGN_DEFAULT
                                                                  : keyboard::ASSIGN_SINGLE_KEY;
        t.record.value = t.record.type == keyboard::ASSIGN_SINGLE_KEY ? *code : 0;
    } else {
        why = "unknown target '" + std::string(word) +
              "' (a key name, none, default, macro:N, media:NAME or " + "function:NAME)";
        return std::nullopt;
    }
    return t;
}

int runAssign(CliContext& ctx, std::span<const std::string_view> args) {
    int profile = -1;
    std::vector<std::string_view> words;
    for (size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "--profile" && i + 1 < args.size()) {
            auto n = number(args[i + 1]);
            if (!n || *n > 2) {
                ctx.err << "tarvikctl: assign: --profile takes an on-board profile 0-2\n";
                return 2;
            }
            profile = static_cast<int>(*n);
            ++i;
        } else {
            words.push_back(args[i]);
        }
    }
    if (profile < 0 || words.size() != 2) {
        ctx.err << "tarvikctl: assign: usage: assign --profile P KEY TARGET (see tarvikctl assign --help)\n";
        return 2;
    }
    loadUiTexts();
    std::string why;
    auto slot = slotOf(words[0], why);
    if (!slot) {
        ctx.err << "tarvikctl: assign: " << why << '\n';
        return 2;
    }
    auto target = parseTarget(words[1], *slot, why);
    if (!target) {
        ctx.err << "tarvikctl: assign: " << why << '\n';
        return 2;
    }

    auto kb = openKeyboard(ctx, "assign");
    if (!kb) {
        return 1;
    }
    if (!onKeyboard(*slot, profiles::keyboardLayout(kb->state()))) {
        ctx.err << "tarvikctl: assign: the keyboard has no place for " << words[0] << " in its key blocks\n";
        return 1;
    }
    // What only the program keeps (G keys, launch-program and text-block records, profile 3) comes from
    // the cache file, so that saving the cache below does not drop it.
    auto read = profiles::readKeyboardKeepingHostRecords(kb->commands(), kb->state(), macroNamePrefix());
    if (!read) {
        ctx.err << "tarvikctl: assign: could not read the keyboard\n";
        return 1;
    }
    profiles::AssignmentStore store;
    // The keyboard first, then the store: the order every sequence keeps.
    device::Commands::Frame held = kb->commands().frame();
    auto lock = store.lockKeyData();
    std::swap(store.working(), *read);
    if (target->macroId != 0) {
        const auto& list = store.working().macros();
        auto it =
            std::find_if(list.begin(), list.end(), [&](const auto& m) { return m.id() == target->macroId; });
        if (it == list.end()) {
            ctx.err << "tarvikctl: assign: the keyboard has no macro " << target->macroId << " (it has "
                    << list.size() << ")\n";
            return 1;
        }
        // The repeat count starts as the macro's cycles, as in the key dialog.
        target->record.aux = static_cast<uint16_t>(std::clamp<int>(it->cycles(), 1, 255));
    }
    if (keyboard::AssignToSlot(store.working(), static_cast<unsigned>(profile), *slot, target->record) < 0) {
        ctx.err << "tarvikctl: assign: no such slot\n";
        return 1;
    }
    std::optional<PendingFile> cache = profiles::stageCacheFile(store);
    profiles::DownloadOutcome outcome = profiles::makeAppliedCopy(store, kb->commands(), kb->state(), true);
    // Keep the cache file (when the program made one) equal to the keyboard. One that cannot be written
    // is the program's concern, not this command's.
    if (outcome.succeeded() && cache) {
        (void)cache->commit();
    }
    lock.unlock();
    CliPrompter prompter(ctx, "assign");
    profiles::showDownloadMessages(outcome, prompter);
    if (!outcome.succeeded()) {
        if (prompter.shownCount() == 0 || outcome.verifyFailed()) {
            ctx.err << "tarvikctl: assign: " << downloadNotTaken(outcome) << '\n';
        }
        return 1;
    }
    ctx.out << "profile " << profile << ": " << words[0] << " -> " << words[1] << '\n';
    return 0;
}

} // namespace

extern const CliCommand kAssignCommand{
    "assign", "assign --profile P KEY TARGET", "Give one key of a profile another function",
    "Reads the keyboard, changes the record of KEY in on-board profile P (0-2) and downloads all three\n"
    "profiles. KEY is a key name or code as tarvikctl keys lists them, for a key the keyboard's key\n"
    "blocks carry (the G keys' assignments live only in the program). TARGET is one of:\n"
    "  a key name     that key's function\n"
    "  none           no function\n"
    "  default        the key's own function\n"
    "  macro:N        the macro with id N, as tarvikctl macros lists it\n"
    "  media:NAME     a media key by name or index 0-17\n"
    "  function:NAME  Open, New, Undo, Save, Copy, Cut, Paste, Find, Select All, Zoom-, Zoom+ or 0-10",
    runAssign};

} // namespace tarvik::cli
