// The profile-string (INI) functions: section and key names compared without regard to ASCII case, the
// default returned for a missing key, an empty value kept as empty, reads cut to the caller's capacity
// (260 characters with the terminator, as the Windows functions are called here), writes that keep every
// other line of the file and its encoding (UTF-8 with or without BOM, or UTF-16 LE with BOM). A missing
// file reads as empty; malformed lines are skipped, never fatal.
//
// Parsing rules, as the Windows functions read a file: a line "[name]" opens a section (text after the
// ']' is ignored); a line "key=value" in a section is a key (split at the first '='); blanks around names
// and values are trimmed; one pair of matching surrounding quotes ("..." or '...') is removed from a value
// on read. Lines starting with ';', lines without '=' and key lines before the first section are kept
// but never read. When a section or a key occurs twice, the first one counts.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace tarvik {

enum class IniEncoding { Utf8, Utf16Le };

class IniFile {
public:
    static constexpr size_t kDefaultCapacity = 260; // characters including the terminator
    // Larger files are not read (as an unreadable file: reads give the defaults, writes leave it alone).
    // The language file is 14 KB, a settings file a few; a start must not wait for megabytes.
    static constexpr uintmax_t kMaxFileBytes = 1024u * 1024u;
    // How long a write waits for another process's write of the same file.
    static constexpr std::chrono::milliseconds kWriteLockWait{2000};

    IniFile() = default;

    // Reads the file; a missing or unreadable file (or one over kMaxFileBytes) gives an empty document in
    // UTF-8.
    static IniFile load(const std::filesystem::path& path);
    // Like load, but tells an unreadable file (nullopt) from a missing one (empty document), so that a
    // read-change-write never replaces a file it could not read.
    static std::optional<IniFile> tryLoad(const std::filesystem::path& path);
    // Parses text already in memory: UTF-16 LE when it starts with FF FE (or looks like UTF-16 LE without
    // a BOM), else UTF-8 with an optional BOM. Any byte sequence is accepted.
    static IniFile parse(std::string_view bytes);

    // The value, or def when the section or key is missing; at most capacity - 1 characters (a surrogate
    // pair is never split). The default is returned as given, trailing blanks included.
    std::u16string get(std::u16string_view section, std::u16string_view key, std::u16string_view def = u"",
                       size_t capacity = kDefaultCapacity) const;
    bool contains(std::u16string_view section, std::u16string_view key) const;
    bool containsSection(std::u16string_view section) const;
    // The key names of a section in file order (each once).
    std::vector<std::u16string> keys(std::u16string_view section) const;
    // The section names in file order (each once).
    std::vector<std::u16string> sections() const;

    // What set() did.
    enum class SetResult {
        Changed,   // the document now holds the value
        Unchanged, // the value was there already
        Refused,   // the key name cannot be stored so that it reads back; nothing changed
    };
    // Sets a value: replaces the first matching key line in place, or adds the key after the last key of
    // its section, or appends the section at the end of the file. A value with surrounding blanks or
    // surrounding matching quotes is written in quotes so that it reads back as given; line breaks in
    // names and values become blanks so that a value can never add lines. A key name that could not read
    // back (see isStorableKey) is refused.
    SetResult set(std::u16string_view section, std::u16string_view key, std::u16string_view value);
    // Whether a key name reads back as itself once stored: not empty or blank, not starting with '[' or
    // ';', no '=', no line break. Blanks around it are dropped on write and on read alike.
    static bool isStorableKey(std::u16string_view key);

    // The file's bytes in its encoding; lines never touched by set come out byte for byte as read.
    std::string serialize() const;
    // Writes the whole file (temporary file + rename).
    [[nodiscard]] bool save(const std::filesystem::path& path) const;

    IniEncoding encoding() const { return encoding_; }
    bool hasBom() const { return bom_; }
    // Converts the document (every line is re-encoded); UTF-16 documents always get a BOM.
    void setEncoding(IniEncoding e);

private:
    struct Line {
        std::string raw;      // the line's bytes in the file's encoding, without its line end
        std::string eol;      // the line end's bytes; empty only for a last line without one
        std::u16string name;  // section name or key name (trimmed), for section and key lines
        std::u16string value; // key lines: the trimmed value, quotes still on
        enum Kind { Other, Section, Key } kind = Other;
    };
    struct SectionIndex {
        size_t header = 0;                               // line of the section's first header
        size_t end = 0;                                  // one past the last line before the next header
        std::unordered_map<std::u16string, size_t> keys; // lower-cased key name -> line
    };

    SetResult change(std::u16string_view section, std::u16string_view key, std::u16string_view value);
    void endLastLine(const std::string& eol);
    void rebuildIndex();
    const Line* findKey(std::u16string_view section, std::u16string_view key) const;
    std::string encode(std::u16string_view text) const;
    std::string newLineEnd() const;

    std::vector<Line> lines_;
    std::unordered_map<std::u16string, SectionIndex> index_; // lower-cased section name -> section
    IniEncoding encoding_ = IniEncoding::Utf8;
    bool bom_ = false;
};

// GetPrivateProfileString over a file: the file is read once per change of it (a call on an unchanged file
// costs one stat).
std::u16string getPrivateProfileString(std::u16string_view section, std::u16string_view key,
                                       std::u16string_view def, size_t capacity,
                                       const std::filesystem::path& file);
// WritePrivateProfileString over a file: read, change, write back whole (nothing is written when the
// value is already there), under a lock file beside it (FILE.lock) that keeps other processes' writes
// out meanwhile. A missing file is created in UTF-8. False when the file exists but could not
// be read, the key name cannot be stored (IniFile::isStorableKey), or the write failed; the file is then
// unchanged.
[[nodiscard]] bool writePrivateProfileString(std::u16string_view section, std::u16string_view key,
                                             std::u16string_view value, const std::filesystem::path& file);

// The integer at the start of a profile string, as _wtoi reads it: leading blanks, an optional sign, then
// decimal digits up to the first other character; no digits give 0; out-of-range values are clamped.
int profileStringToInt(std::u16string_view text);

} // namespace tarvik
