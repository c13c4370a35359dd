#include "profiles/ProfileKeyNames.h"

#include "keyboard/KeyAssignment.h"
#include "platform/Utf.h"
#include "ui/TextTable.h"

#include <array>
#include <charconv>
#include <cstdio>
#include <unordered_map>

namespace tarvik::profiles {

namespace {

// The initial texts of the UI text table are the English ones.
const ui::TextTable& englishTexts() {
    static const ui::TextTable table;
    return table;
}

bool sameAsciiName(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (size_t i = 0; i < a.size(); ++i) {
        auto fold = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
        if (fold(a[i]) != fold(b[i])) {
            return false;
        }
    }
    return true;
}

std::string englishName(const keyboard::KeyRow& row) {
    if (!row.name.empty()) {
        return toUtf8(row.name);
    }
    if (!row.textKey.empty()) {
        return toUtf8(englishTexts().text(row.textKey));
    }
    return {};
}

std::string hexCode(keyboard::KeyCode code) {
    char buf[8];
    std::snprintf(buf, sizeof buf, "0x%03X", static_cast<unsigned>(code));
    return buf;
}

std::optional<keyboard::KeyCode> parseHexCode(std::string_view s) {
    if (s.size() != 5 || s[0] != '0' || (s[1] != 'x' && s[1] != 'X')) {
        return std::nullopt;
    }
    unsigned v = 0;
    auto [end, ec] = std::from_chars(s.data() + 2, s.data() + s.size(), v, 16);
    if (ec != std::errc{} || end != s.data() + s.size()) {
        return std::nullopt;
    }
    return static_cast<keyboard::KeyCode>(v);
}

std::string lowerAscii(std::string_view s) {
    std::string out(s);
    for (char& c : out) {
        c = c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
    }
    return out;
}

// Every row's English name and, for each name in ASCII lower case, the lowest row that has it. Built once:
// a readable file names up to 200,000 macro actions.
struct NameTables {
    std::array<std::string, keyboard::kKeyTableSize> rowNames;
    std::unordered_map<std::string, keyboard::KeyIndex> byName;

    NameTables() {
        const auto table = keyboard::KeyTable();
        for (size_t i = 1; i < table.size(); ++i) {
            if (table[i].named()) {
                rowNames[i] = englishName(table[i]);
                byName.emplace(lowerAscii(rowNames[i]), static_cast<keyboard::KeyIndex>(i));
            }
        }
    }
};

const NameTables& nameTables() {
    static const NameTables tables;
    return tables;
}

} // namespace

std::string fileKeyName(keyboard::KeyCode code) {
    if (isValidKeyCode(code)) {
        const keyboard::KeyIndex index = keyboard::KeyIndexFromCode(code);
        const std::string& name = nameTables().rowNames[index];
        if (!name.empty() && keyCodeFromFileName(name) == code) {
            return name;
        }
    }
    return hexCode(code);
}

std::optional<keyboard::KeyCode> keyCodeFromFileName(std::string_view name, bool allowNoKey) {
    if (auto code = parseHexCode(name)) {
        if (isValidKeyCode(*code) || (allowNoKey && *code == 0)) {
            return code;
        }
        return std::nullopt;
    }
    const auto& byName = nameTables().byName;
    auto it = byName.find(lowerAscii(name));
    if (it == byName.end()) {
        return std::nullopt;
    }
    return keyboard::KeyCodeFromIndex(it->second);
}

std::string fileMediaName(uint32_t index) {
    auto list = keyboard::MediaKeyList();
    return index < list.size() ? toUtf8(englishTexts().text(list[index].textKey)) : std::string();
}

std::optional<uint32_t> mediaIndexFromFileName(std::string_view name) {
    auto list = keyboard::MediaKeyList();
    for (uint32_t i = 0; i < list.size(); ++i) {
        if (sameAsciiName(fileMediaName(i), name)) {
            return i;
        }
    }
    return std::nullopt;
}

std::string fileFunctionName(uint32_t index) {
    auto list = keyboard::FunctionKeyList();
    return index < list.size() ? toUtf8(englishTexts().text(list[index].textKey)) : std::string();
}

std::optional<uint32_t> functionIndexFromFileName(std::string_view name) {
    auto list = keyboard::FunctionKeyList();
    for (uint32_t i = 0; i < list.size(); ++i) {
        if (sameAsciiName(fileFunctionName(i), name)) {
            return i;
        }
    }
    return std::nullopt;
}

std::string fileGKeyName(keyboard::KeySlot slot) {
    int n = slot >= keyboard::kFirstGSlotLayer1 ? slot - keyboard::kFirstGSlotLayer1 + 1
                                                : slot - keyboard::kFirstGSlotLayer0 + 1;
    return "G" + std::to_string(n);
}

int gKeyNumberFromFileName(std::string_view name) {
    if (name.size() == 2 && (name[0] == 'G' || name[0] == 'g') && name[1] >= '1' && name[1] <= '9') {
        return name[1] - '0';
    }
    return 0;
}

std::string fileLitKeyName(int lit) {
    if (lit >= 0 && lit < static_cast<int>(keyboard::kKeyButtonCount)) {
        return fileKeyName(keyboard::KeyButtons()[static_cast<size_t>(lit)].key);
    }
    return lit == static_cast<int>(keyboard::kKeyButtonCount) ? "Fn" : std::string();
}

int litKeyFromFileName(std::string_view name) {
    if (sameAsciiName(name, "Fn")) {
        return static_cast<int>(keyboard::kKeyButtonCount);
    }
    auto code = keyCodeFromFileName(name);
    if (!code) {
        return -1;
    }
    const auto buttons = keyboard::KeyButtons();
    for (size_t p = 0; p < buttons.size(); ++p) {
        if (buttons[p].key == *code) {
            return static_cast<int>(p);
        }
    }
    return -1;
}

int ledOfLitKey(int lit) {
    if (lit >= 0 && lit < static_cast<int>(keyboard::kKeyButtonCount)) {
        return keyboard::KeyButtons()[static_cast<size_t>(lit)].ledPosition;
    }
    return lit == static_cast<int>(keyboard::kKeyButtonCount) ? keyboard::kFnLedPosition : -1;
}

} // namespace tarvik::profiles
