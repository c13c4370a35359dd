#include "ui/TextTable.h"

#include "platform/IniFile.h"
#include "platform/Paths.h"
#include "ui/TextKeys.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <numeric>
#include <optional>
#include <string>

namespace tarvik::ui {

namespace {

constexpr size_t kCount = std::size(kStartupTexts);
static_assert(kCount < UINT16_MAX);

std::u16string widen(std::string_view ascii) {
    return std::u16string(ascii.begin(), ascii.end());
}

const std::array<uint16_t, kCount>& sortedSlots() {
    static const std::array<uint16_t, kCount> sorted = [] {
        std::array<uint16_t, kCount> a{};
        std::iota(a.begin(), a.end(), uint16_t{0});
        std::sort(a.begin(), a.end(),
                  [](uint16_t x, uint16_t y) { return kStartupTexts[x].key < kStartupTexts[y].key; });
        return a;
    }();
    return sorted;
}

std::optional<size_t> slotOf(std::string_view key) {
    const auto& sorted = sortedSlots();
    auto it = std::lower_bound(sorted.begin(), sorted.end(), key,
                               [](uint16_t slot, std::string_view k) { return kStartupTexts[slot].key < k; });
    if (it == sorted.end() || kStartupTexts[*it].key != key) {
        return std::nullopt;
    }
    return *it;
}

size_t capacityOfSlot(size_t slot) {
    return std::max(TextTable::kSlotChars, kStartupTexts[slot].initial.size());
}

// "\r" and "\n" in the file stand for the line breaks an INI value cannot hold.
std::u16string withLineBreaks(std::u16string_view v) {
    std::u16string out;
    out.reserve(v.size());
    for (size_t i = 0; i < v.size(); ++i) {
        if (v[i] == u'\\' && i + 1 < v.size() && (v[i + 1] == u'r' || v[i + 1] == u'n')) {
            out.push_back(v[i + 1] == u'r' ? u'\r' : u'\n');
            ++i;
        } else {
            out.push_back(v[i]);
        }
    }
    return out;
}

void cutTo(std::u16string& s, size_t max) {
    if (s.size() <= max) {
        return;
    }
    size_t cut = max;
    if (cut > 0 && s[cut - 1] >= 0xD800 && s[cut - 1] <= 0xDBFF) {
        --cut; // never keep half of a surrogate pair
    }
    s.resize(cut);
}

std::u16string readText(const IniFile& ini, std::u16string_view section, std::string_view key) {
    return withLineBreaks(ini.get(section, widen(key), u" ", TextTable::kReadCapacity));
}

} // namespace

struct TextTable::Texts {
    std::array<std::u16string, kCount> slots;
};

TextTable::TextTable() {
    auto texts = std::make_unique<Texts>();
    for (size_t i = 0; i < kCount; ++i) {
        texts->slots[i] = kStartupTexts[i].initial;
    }
    publish(std::move(texts));
}

TextTable::~TextTable() = default;

void TextTable::publish(std::unique_ptr<Texts> texts) {
    std::lock_guard lock(mutex_);
    const Texts* p = texts.get();
    generations_.push_back(std::move(texts));
    current_.store(p, std::memory_order_release);
}

void TextTable::fill(const IniFile& ini, int language) {
    const std::u16string_view section = sectionFor(language);
    auto texts = std::make_unique<Texts>();
    for (size_t i = 0; i < kCount; ++i) {
        std::u16string v = readText(ini, section, kStartupTexts[i].key);
        cutTo(v, capacityOfSlot(i));
        texts->slots[i] = std::move(v);
    }
    publish(std::move(texts));
}

const std::u16string& TextTable::text(std::string_view key) const {
    static const std::u16string empty;
    const auto slot = slotOf(key);
    if (!slot) {
        return empty;
    }
    return current_.load(std::memory_order_acquire)->slots[*slot];
}

bool TextTable::has(std::string_view key) const {
    return slotOf(key).has_value();
}

int TextTable::load(const std::filesystem::path& languageFile) {
    const IniFile ini = IniFile::load(languageFile);
    const int language = profileStringToInt(ini.get(u"LANGUAGE", u"language", u" "));
    language_.store(language, std::memory_order_release);
    fill(ini, language);
    return language;
}

void TextTable::loadLanguage(const std::filesystem::path& languageFile, int language) {
    language_.store(language, std::memory_order_release);
    fill(IniFile::load(languageFile), language);
}

bool TextTable::switchLanguage(const std::filesystem::path& languageFile, int language) {
    language_.store(language, std::memory_order_release);
    const bool written =
        writePrivateProfileString(u"language", u"language", widen(std::to_string(language)), languageFile);
    fill(IniFile::load(languageFile), language);
    return written;
}

std::u16string TextTable::readOnDemand(const std::filesystem::path& languageFile,
                                       std::string_view key) const {
    return readText(IniFile::load(languageFile), sectionFor(language()), key);
}

std::vector<std::u16string> TextTable::readOnDemand(const std::filesystem::path& languageFile,
                                                    std::span<const std::string_view> keys) const {
    const IniFile ini = IniFile::load(languageFile);
    const std::u16string_view section = sectionFor(language());
    std::vector<std::u16string> out;
    out.reserve(keys.size());
    for (std::string_view key : keys) {
        out.push_back(readText(ini, section, key));
    }
    return out;
}

std::u16string_view TextTable::sectionFor(int language) {
    return language == kEnglish ? u"ENGINSH" : u"CHINESE";
}

TextTable& uiTexts() {
    static TextTable table;
    return table;
}

const std::u16string& uiText(std::string_view key) {
    return uiTexts().text(key);
}

std::filesystem::path languageFilePath() {
    return paths::programFolder() / "Skins" / "language.ini";
}

size_t slotChars(std::string_view key) {
    const auto slot = slotOf(key);
    return slot ? capacityOfSlot(*slot) : TextTable::kSlotChars;
}

} // namespace tarvik::ui
