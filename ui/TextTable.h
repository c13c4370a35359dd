// The UI text table: one slot per key of the start-up list (ui/TextKeys.h), filled from the active
// section of the language file at start and after every language switch, and read by key everywhere.
//
// The language file has [LANGUAGE] language = 1 for the [ENGINSH] section; any other value, a missing key
// or a missing file selects [CHINESE]. A key the file lacks gives a single blank, an empty value an empty
// text. The two-character sequences \r and \n in a value stand for line breaks, since an INI value
// cannot hold one.
//
// Threads: load and switchLanguage run on the user-interface thread; text() may be called from any
// thread at any time. A reference returned by text() stays valid for the life of the table: a reload
// publishes a new set of texts and keeps the old ones.
#pragma once

#include <atomic>
#include <cstddef>
#include <filesystem>
#include <memory>
#include <mutex>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace tarvik {
class IniFile;
}

namespace tarvik::ui {

class TextTable {
public:
    static constexpr size_t kSlotCapacity = 108; // wide characters of a slot, terminator included
    static constexpr size_t kSlotChars = kSlotCapacity - 1;
    static constexpr size_t kReadCapacity = 260; // a read of the language file, terminator included
    static constexpr int kChinese = 0;
    static constexpr int kEnglish = 1;

    // Every slot holds its initial text; the language is Chinese until a file has been read.
    TextTable();
    TextTable(const TextTable&) = delete;
    TextTable& operator=(const TextTable&) = delete;
    ~TextTable();

    // The current text of a slot; an empty text for a key that is not in the start-up list.
    const std::u16string& text(std::string_view key) const;
    bool has(std::string_view key) const;

    // Reads the stored language value from the file and fills every slot from its section. Returns the
    // stored value (0 when missing or not a number).
    int load(const std::filesystem::path& languageFile);
    // Fills every slot from the section of the given language, whatever the file stores (the user's own
    // choice may be kept elsewhere, see LanguageChoice.h).
    void loadLanguage(const std::filesystem::path& languageFile, int language);

    // Remembers the choice for this run, writes it as [language] language = "%d", then fills the slots
    // from the section of the choice. Returns false when the file could not be written; the texts then
    // still follow the choice for the rest of the run.
    bool switchLanguage(const std::filesystem::path& languageFile, int language);

    // One key of the active section read straight from the file (at most 259 characters; a single blank
    // when missing), for windows that read their texts when they open.
    std::u16string readOnDemand(const std::filesystem::path& languageFile, std::string_view key) const;
    // Several keys with one read of the file, in the order given.
    std::vector<std::u16string> readOnDemand(const std::filesystem::path& languageFile,
                                             std::span<const std::string_view> keys) const;

    // The language value in effect for this run: the stored value after load, the choice after a switch.
    int language() const { return language_.load(std::memory_order_acquire); }
    static std::u16string_view sectionFor(int language);

private:
    struct Texts;
    void fill(const IniFile& ini, int language);
    void publish(std::unique_ptr<Texts> texts);

    std::atomic<const Texts*> current_{nullptr};
    std::atomic<int> language_{kChinese};
    std::mutex mutex_;                                // guards generations_
    std::vector<std::unique_ptr<Texts>> generations_; // every set of texts ever published
};

// The process-wide table.
TextTable& uiTexts();
// Shorthand for uiTexts().text(key).
const std::u16string& uiText(std::string_view key);
// The language file of the program: program folder / "Skins" / "language.ini".
std::filesystem::path languageFilePath();

// The largest number of characters a slot holds: 107, or the length of the key's initial text where that
// is longer, so that no slot cuts its own text.
size_t slotChars(std::string_view key);

} // namespace tarvik::ui
