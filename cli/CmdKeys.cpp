// tarvikctl keys: every named key of the key table, the vocabulary the other commands accept.
#include "cli/CliCommand.h"
#include "cli/CliSupport.h"

#include "keyboard/KeyTable.h"
#include "platform/Utf.h"
#include "ui/TextTable.h"

#include <cstdio>
#include <string>

namespace tarvik::cli {

namespace {

std::string hex(unsigned value, int digits) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "0x%0*X", digits, value);
    return buf;
}

int runKeys(CliContext& ctx, std::span<const std::string_view> args) {
    if (!args.empty()) {
        ctx.err << "tarvikctl: keys: unexpected argument '" << args.front() << "'\n";
        return 2;
    }
    // Media keys are named by the UI texts of the current language.
    ui::uiTexts().load(ui::languageFilePath());

    const auto table = keyboard::KeyTable();
    if (ctx.json) {
        ctx.out << '[';
        bool first = true;
        for (size_t i = 0; i < table.size(); ++i) {
            if (!table[i].named()) {
                continue;
            }
            const keyboard::KeyCode code = keyboard::KeyCodeFromIndex(static_cast<keyboard::KeyIndex>(i));
            const keyboard::HidUsage hid = keyboard::KeyCodeToHidUsage(code);
            ctx.out << (first ? "\n  " : ",\n  ") << "{\"code\": " << code
                    << ", \"name\": " << jsonString(toUtf8(keyboard::KeyName(code)))
                    << ", \"listCode\": " << table[i].listCode << ", \"page\": " << hid.page
                    << ", \"usage\": " << hid.usage << '}';
            first = false;
        }
        ctx.out << "\n]\n";
        return 0;
    }
    ctx.out << "code   name                   list    page  usage\n";
    for (size_t i = 0; i < table.size(); ++i) {
        if (!table[i].named()) {
            continue;
        }
        const keyboard::KeyCode code = keyboard::KeyCodeFromIndex(static_cast<keyboard::KeyIndex>(i));
        const keyboard::HidUsage hid = keyboard::KeyCodeToHidUsage(code);
        const std::u16string name = keyboard::KeyName(code);
        ctx.out << hex(code, 3) << "  " << toUtf8(name);
        for (size_t pad = name.size(); pad < 23; ++pad) {
            ctx.out << ' ';
        }
        ctx.out << hex(table[i].listCode, 4) << "  " << hex(hid.page, 2) << "  " << hex(hid.usage, 4) << '\n';
    }
    return 0;
}

} // namespace

extern const CliCommand kKeysCommand{
    "keys", "keys [--json]", "List every named key: code, name, list code, HID usage",
    "Lists every named key of the key table with its key code, its name in the current language, its\n"
    "place in the key pick list and the HID usage page and usage the keyboard stores for it (page 0: the\n"
    "keyboard has no code for the key). With --json: an array of objects {code, name, listCode, page,\n"
    "usage}, all numbers as integers.",
    runKeys};

} // namespace tarvik::cli
