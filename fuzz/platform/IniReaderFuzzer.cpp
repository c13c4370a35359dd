// Fuzzes the INI reader and writer. Besides not crashing, every input must hold these properties:
// an untouched document serializes to its input byte for byte; every key listed reads back; a value set
// reads back exactly after a fresh parse, and every other key keeps its value.
#include "platform/IniFile.h"
#include "platform/Utf.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace {

void check(bool condition) {
    if (!condition) {
        __builtin_trap();
    }
}

bool sameName(std::u16string_view a, std::u16string_view b) {
    auto fold = [](char16_t c) { return c >= u'A' && c <= u'Z' ? static_cast<char16_t>(c + 32) : c; };
    if (a.size() != b.size()) {
        return false;
    }
    for (size_t i = 0; i < a.size(); ++i) {
        if (fold(a[i]) != fold(b[i])) {
            return false;
        }
    }
    return true;
}

struct Entry {
    std::u16string section, key, value;
};

std::vector<Entry> entries(const tarvik::IniFile& doc) {
    std::vector<Entry> out;
    for (const auto& section : doc.sections()) {
        for (const auto& key : doc.keys(section)) {
            out.push_back({section, key, doc.get(section, key, u"", SIZE_MAX)});
        }
    }
    return out;
}

void checkSet(const tarvik::IniFile& original, const std::vector<Entry>& before, std::u16string_view section,
              std::u16string_view key, std::u16string_view value) {
    tarvik::IniFile doc = original;
    doc.set(section, key, value);
    const tarvik::IniFile back = tarvik::IniFile::parse(doc.serialize());
    check(back.encoding() == original.encoding());
    check(back.get(section, key, u"<missing>", SIZE_MAX) == value);
    for (const Entry& e : before) {
        // The entry just set is the only one allowed to change.
        if (!(sameName(e.section, section) && sameName(e.key, key))) {
            check(back.get(e.section, e.key, u"<missing>", SIZE_MAX) == e.value);
        }
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    const tarvik::IniFile doc = tarvik::IniFile::parse(bytes);
    check(doc.serialize() == bytes);

    const std::vector<Entry> before = entries(doc);
    for (const Entry& e : before) {
        check(doc.contains(e.section, e.key));
        const std::u16string cut = doc.get(e.section, e.key, u"", 8);
        check(cut.size() <= 7 && e.value.starts_with(cut));
    }

    // Conversions never fail and settle after one round.
    const std::u16string wide = tarvik::toUtf16(bytes);
    check(tarvik::toUtf16(tarvik::toUtf8(wide)) == wide);

    const std::u16string value = u"  fuzz \"v\" \u4E2D  ";
    checkSet(doc, before, u"FuzzSection", u"FuzzKey", value);
    if (!before.empty()) {
        checkSet(doc, before, before.front().section, u"FuzzKey", value);
        checkSet(doc, before, before.back().section, before.back().key, value);
    }
    return 0;
}
