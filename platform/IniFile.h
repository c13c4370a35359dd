// The profile-string (INI) functions: section and key names compared without regard to ASCII case, the
// default returned for a missing key, an empty value kept as empty, reads cut to the caller's capacity
// (260 characters with the terminator, as the Windows functions are called here), writes that keep every
// other line of the file and its encoding (UTF-8 without BOM, or UTF-16 LE with BOM). A missing file reads
// as empty; malformed lines are skipped, never fatal.
#pragma once

#include <cstddef>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace tarvik {

enum class IniEncoding { Utf8, Utf16Le };

class IniFile {
public:
    static constexpr size_t kDefaultCapacity = 260; // characters including the terminator

    IniFile() = default;

    // Reads the file; a missing or unreadable file gives an empty document in UTF-8.
    static IniFile load(const std::filesystem::path& path);
    // Parses text already in memory (any of the two encodings, detected by the BOM).
    static IniFile parse(std::string_view bytes);

    // The value, or def when the section or key is missing; at most capacity - 1 characters.
    std::u16string get(std::u16string_view section, std::u16string_view key, std::u16string_view def = u"",
                       size_t capacity = kDefaultCapacity) const;
    bool contains(std::u16string_view section, std::u16string_view key) const;
    // The key names of a section in file order.
    std::vector<std::u16string> keys(std::u16string_view section) const;

    // Sets a value: replaces the first matching key line in place, or appends the key to its section, or
    // appends the section at the end of the file.
    void set(std::u16string_view section, std::u16string_view key, std::u16string_view value);

    // The file's bytes in its encoding.
    std::string serialize() const;
    // Writes the whole file (temporary file + rename).
    [[nodiscard]] bool save(const std::filesystem::path& path) const;

    IniEncoding encoding() const { return encoding_; }
    void setEncoding(IniEncoding e) { encoding_ = e; }

private:
    struct Line {
        std::u16string text;    // the line as it stands in the file, without its line end
        std::u16string section; // section header name, when this line is one
        std::u16string key;     // key name, when this line is a key line
        std::u16string value;   // value, when this line is a key line
        enum Kind { Other, Section, Key } kind = Other;
    };
    std::vector<Line> lines_;
    IniEncoding encoding_ = IniEncoding::Utf8;
    bool crlf_ = false;
};

// GetPrivateProfileString over a file: one read of the file per call.
std::u16string getPrivateProfileString(std::u16string_view section, std::u16string_view key,
                                       std::u16string_view def, size_t capacity,
                                       const std::filesystem::path& file);
// WritePrivateProfileString over a file: read, change, write back whole. False when the write failed.
[[nodiscard]] bool writePrivateProfileString(std::u16string_view section, std::u16string_view key,
                                             std::u16string_view value, const std::filesystem::path& file);

} // namespace tarvik
