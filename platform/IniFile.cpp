#include "platform/IniFile.h"

#include "platform/AtomicFile.h"
#include "platform/FileChecks.h"
#include "platform/LockFile.h"
#include "platform/Utf.h"

#include <climits>
#include <cstdint>
#include <mutex>
#include <span>
#include <sys/stat.h>
#include <system_error>
#include <vector>

namespace tarvik {

namespace {

bool isBlank(char16_t c) {
    return c == u' ' || c == u'\t' || c == u'\r' || c == u'\v' || c == u'\f';
}

std::u16string_view trim(std::u16string_view s) {
    while (!s.empty() && isBlank(s.front())) {
        s.remove_prefix(1);
    }
    while (!s.empty() && isBlank(s.back())) {
        s.remove_suffix(1);
    }
    return s;
}

std::u16string lower(std::u16string_view s) {
    std::u16string out(s);
    for (char16_t& c : out) {
        if (c >= u'A' && c <= u'Z') {
            c = static_cast<char16_t>(c - u'A' + u'a');
        }
    }
    return out;
}

bool isHighSurrogate(char16_t c) {
    return c >= 0xD800 && c <= 0xDBFF;
}

bool isLowSurrogate(char16_t c) {
    return c >= 0xDC00 && c <= 0xDFFF;
}

// Cuts to at most max code units without leaving half of a surrogate pair behind.
void cutTo(std::u16string& s, size_t max) {
    if (s.size() <= max) {
        return;
    }
    size_t cut = max;
    if (cut > 0 && isHighSurrogate(s[cut - 1]) && isLowSurrogate(s[cut])) {
        --cut;
    }
    s.resize(cut);
}

std::u16string decode(IniEncoding e, std::string_view bytes) {
    if (e == IniEncoding::Utf8) {
        return toUtf16(bytes);
    }
    std::u16string out;
    out.reserve(bytes.size() / 2);
    // An odd last byte has no character; it stays in the raw bytes of its line.
    for (size_t i = 0; i + 1 < bytes.size(); i += 2) {
        out.push_back(static_cast<char16_t>(static_cast<uint8_t>(bytes[i]) |
                                            (static_cast<uint8_t>(bytes[i + 1]) << 8)));
    }
    return out;
}

std::string encodeAs(IniEncoding e, std::u16string_view text) {
    if (e == IniEncoding::Utf8) {
        return toUtf8(text);
    }
    std::string out;
    out.reserve(text.size() * 2);
    for (char16_t c : text) {
        out.push_back(static_cast<char>(c & 0xFF));
        out.push_back(static_cast<char>(c >> 8));
    }
    return out;
}

// Names and values never carry a line break into the file: it would split the line and could forge
// sections or keys. A carriage return inside a name does not end a line and may stand in the file.
std::u16string withoutLineBreaks(std::u16string_view s, bool keepCarriageReturn = false) {
    std::u16string out(s);
    for (char16_t& c : out) {
        if (c == u'\n' || (c == u'\r' && !keepCarriageReturn)) {
            c = u' ';
        }
    }
    return out;
}

bool hasMatchingQuotes(std::u16string_view v) {
    return v.size() >= 2 && v.front() == v.back() && (v.front() == u'"' || v.front() == u'\'');
}

std::u16string quotedIfNeeded(std::u16string value) {
    if (!value.empty() && (isBlank(value.front()) || isBlank(value.back()) || hasMatchingQuotes(value))) {
        return u"\"" + value + u"\"";
    }
    return value;
}

constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";
constexpr std::string_view kUtf16LeBom = "\xFF\xFE";

} // namespace

IniFile IniFile::parse(std::string_view bytes) {
    IniFile doc;
    if (bytes.starts_with(kUtf8Bom)) {
        doc.bom_ = true;
        bytes.remove_prefix(kUtf8Bom.size());
    } else if (bytes.starts_with(kUtf16LeBom)) {
        doc.encoding_ = IniEncoding::Utf16Le;
        doc.bom_ = true;
        bytes.remove_prefix(kUtf16LeBom.size());
    } else if (bytes.size() >= 2 && bytes[0] != 0 && bytes[1] == 0) {
        // No BOM, but an ASCII character followed by a zero byte: UTF-16 LE as some tools save it.
        doc.encoding_ = IniEncoding::Utf16Le;
    }

    const bool wide = doc.encoding_ == IniEncoding::Utf16Le;
    const size_t unit = wide ? 2 : 1;
    auto unitAt = [&](size_t i) -> char16_t {
        if (!wide) {
            return static_cast<uint8_t>(bytes[i]);
        }
        return static_cast<char16_t>(static_cast<uint8_t>(bytes[i]) |
                                     (static_cast<uint8_t>(bytes[i + 1]) << 8));
    };

    size_t start = 0;
    while (start < bytes.size()) {
        size_t i = start;
        while (i + unit <= bytes.size() && unitAt(i) != u'\n') {
            i += unit;
        }
        Line line;
        if (i + unit <= bytes.size()) {
            size_t rawEnd = i;
            if (rawEnd >= start + unit && unitAt(rawEnd - unit) == u'\r') {
                rawEnd -= unit;
            }
            line.raw.assign(bytes.substr(start, rawEnd - start));
            line.eol.assign(bytes.substr(rawEnd, i + unit - rawEnd));
            start = i + unit;
        } else {
            line.raw.assign(bytes.substr(start));
            start = bytes.size();
        }

        const std::u16string text = decode(doc.encoding_, line.raw);
        const std::u16string_view t = trim(text);
        if (!t.empty() && t.front() == u'[') {
            const size_t close = t.find(u']');
            if (close != std::u16string_view::npos) {
                line.kind = Line::Section;
                line.name = trim(t.substr(1, close - 1));
            }
        } else if (!t.empty() && t.front() != u';') {
            const size_t eq = t.find(u'=');
            if (eq != std::u16string_view::npos && !trim(t.substr(0, eq)).empty()) {
                line.kind = Line::Key;
                line.name = trim(t.substr(0, eq));
                line.value = trim(t.substr(eq + 1));
            }
        }
        doc.lines_.push_back(std::move(line));
    }
    doc.rebuildIndex();
    return doc;
}

std::optional<IniFile> IniFile::tryLoad(const std::filesystem::path& path) {
    if (auto bytes = readWholeFile(path, kMaxFileBytes)) {
        return parse(std::string_view(reinterpret_cast<const char*>(bytes->data()), bytes->size()));
    }
    std::error_code ec;
    if (std::filesystem::status(path, ec).type() == std::filesystem::file_type::not_found) {
        return IniFile{};
    }
    return std::nullopt;
}

IniFile IniFile::load(const std::filesystem::path& path) {
    if (auto doc = tryLoad(path)) {
        return std::move(*doc);
    }
    return IniFile{};
}

void IniFile::rebuildIndex() {
    index_.clear();
    SectionIndex* current = nullptr; // element pointers of an unordered_map survive rehashing
    for (size_t i = 0; i < lines_.size(); ++i) {
        const Line& line = lines_[i];
        if (line.kind == Line::Section) {
            auto [it, inserted] = index_.try_emplace(lower(line.name));
            current = inserted ? &it->second : nullptr;
            if (current) {
                current->header = i;
                current->end = i + 1;
            }
        } else if (current) {
            current->end = i + 1;
            if (line.kind == Line::Key) {
                current->keys.try_emplace(lower(line.name), i);
            }
        }
    }
}

const IniFile::Line* IniFile::findKey(std::u16string_view section, std::u16string_view key) const {
    auto s = index_.find(lower(trim(section)));
    if (s == index_.end()) {
        return nullptr;
    }
    auto k = s->second.keys.find(lower(trim(key)));
    return k == s->second.keys.end() ? nullptr : &lines_[k->second];
}

std::u16string IniFile::get(std::u16string_view section, std::u16string_view key, std::u16string_view def,
                            size_t capacity) const {
    if (capacity == 0) {
        return {};
    }
    std::u16string out;
    if (const Line* line = findKey(section, key)) {
        std::u16string_view v = line->value;
        if (hasMatchingQuotes(v)) {
            v = v.substr(1, v.size() - 2);
        }
        out.assign(v);
    } else {
        out.assign(def);
    }
    cutTo(out, capacity - 1);
    return out;
}

bool IniFile::contains(std::u16string_view section, std::u16string_view key) const {
    return findKey(section, key) != nullptr;
}

bool IniFile::containsSection(std::u16string_view section) const {
    return index_.contains(lower(trim(section)));
}

std::vector<std::u16string> IniFile::keys(std::u16string_view section) const {
    std::vector<std::u16string> out;
    auto s = index_.find(lower(trim(section)));
    if (s == index_.end()) {
        return out;
    }
    for (size_t i = s->second.header + 1; i < s->second.end; ++i) {
        const Line& line = lines_[i];
        auto k = s->second.keys.find(lower(line.name));
        if (line.kind == Line::Key && k != s->second.keys.end() && k->second == i) {
            out.push_back(line.name);
        }
    }
    return out;
}

std::vector<std::u16string> IniFile::sections() const {
    std::vector<std::u16string> out;
    for (size_t i = 0; i < lines_.size(); ++i) {
        const Line& line = lines_[i];
        if (line.kind == Line::Section && index_.at(lower(line.name)).header == i) {
            out.push_back(line.name);
        }
    }
    return out;
}

std::string IniFile::encode(std::u16string_view text) const {
    return encodeAs(encoding_, text);
}

std::string IniFile::newLineEnd() const {
    for (const Line& line : lines_) {
        if (!line.eol.empty()) {
            return line.eol;
        }
    }
    return encode(u"\n");
}

void IniFile::endLastLine(const std::string& eol) {
    if (lines_.empty() || !lines_.back().eol.empty()) {
        return;
    }
    Line& last = lines_.back();
    // An odd byte at the end of a UTF-16 file holds no character; before a line end it would shift every
    // later character by one byte.
    if (encoding_ == IniEncoding::Utf16Le && last.raw.size() % 2 != 0) {
        last.raw.pop_back();
    }
    last.eol = eol;
}

bool IniFile::isStorableKey(std::u16string_view key) {
    // Such a key would never read back: "=v" has no name, "[k=v" and ";k=v" read as other lines, and a
    // line break would split the line.
    const std::u16string_view name = trim(key);
    return !name.empty() && name.front() != u'[' && name.front() != u';' &&
           name.find_first_of(u"=\n") == std::u16string_view::npos;
}

IniFile::SetResult IniFile::set(std::u16string_view section, std::u16string_view key,
                                std::u16string_view value) {
    const SetResult result = change(section, key, value);
    // A UTF-16 file without a BOM is only recognised by its first bytes, which a change may alter; a
    // changed file gets the BOM that makes its encoding certain.
    if (result == SetResult::Changed && encoding_ == IniEncoding::Utf16Le) {
        bom_ = true;
    }
    return result;
}

IniFile::SetResult IniFile::change(std::u16string_view section, std::u16string_view key,
                                   std::u16string_view value) {
    if (!isStorableKey(key)) {
        return SetResult::Refused;
    }
    const std::u16string sectionName(trim(withoutLineBreaks(section, true)));
    const std::u16string keyName(trim(key));
    const std::u16string stored = quotedIfNeeded(withoutLineBreaks(value));

    auto makeKeyLine = [&](const std::u16string& name) {
        Line line;
        line.kind = Line::Key;
        line.name = name;
        line.value = stored;
        line.raw = encode(name + u"=" + stored);
        return line;
    };

    auto s = index_.find(lower(sectionName));
    if (s != index_.end()) {
        auto k = s->second.keys.find(lower(keyName));
        if (k != s->second.keys.end()) {
            Line& line = lines_[k->second];
            if (line.value == stored) {
                return SetResult::Unchanged;
            }
            // The key keeps its spelling from the file; only the value changes.
            Line replaced = makeKeyLine(line.name);
            replaced.eol = std::move(line.eol);
            line = std::move(replaced);
            return SetResult::Changed;
        }
        // After the section's last key (or its header), so that blank lines and comments that lead into
        // the next section stay with it.
        size_t at = s->second.end;
        while (at > s->second.header + 1 && lines_[at - 1].kind != Line::Key) {
            --at;
        }
        const std::string eol = newLineEnd();
        if (at == lines_.size()) {
            endLastLine(eol);
        }
        Line line = makeKeyLine(keyName);
        line.eol = eol;
        lines_.insert(lines_.begin() + static_cast<std::ptrdiff_t>(at), std::move(line));
        rebuildIndex();
        return SetResult::Changed;
    }

    const std::string eol = newLineEnd();
    endLastLine(eol);
    Line header;
    header.kind = Line::Section;
    header.name = sectionName;
    header.raw = encode(u"[" + sectionName + u"]");
    header.eol = eol;
    Line line = makeKeyLine(keyName);
    line.eol = eol;
    const size_t headerAt = lines_.size();
    lines_.push_back(std::move(header));
    lines_.push_back(std::move(line));
    SectionIndex& idx = index_[lower(sectionName)];
    idx.header = headerAt;
    idx.end = headerAt + 2;
    idx.keys.try_emplace(lower(keyName), headerAt + 1);
    return SetResult::Changed;
}

std::string IniFile::serialize() const {
    std::string out;
    if (bom_) {
        out = encoding_ == IniEncoding::Utf8 ? kUtf8Bom : kUtf16LeBom;
    }
    size_t total = out.size();
    for (const Line& line : lines_) {
        total += line.raw.size() + line.eol.size();
    }
    out.reserve(total);
    for (const Line& line : lines_) {
        out += line.raw;
        out += line.eol;
    }
    return out;
}

bool IniFile::save(const std::filesystem::path& path) const {
    const std::string bytes = serialize();
    return writeFileAtomically(
        path, std::span<const uint8_t>(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()));
}

void IniFile::setEncoding(IniEncoding e) {
    if (e != encoding_) {
        for (Line& line : lines_) {
            line.raw = encodeAs(e, decode(encoding_, line.raw));
            line.eol = encodeAs(e, decode(encoding_, line.eol));
        }
        encoding_ = e;
    }
    if (e == IniEncoding::Utf16Le) {
        bom_ = true;
    }
}

namespace {

// The documents last read, each with the stamp its file had: a read of an unchanged file costs one stat.
class ReadCache {
public:
    IniFile document(const std::filesystem::path& file) {
        const std::optional<FileStamp> stamp = stampOf(file);
        std::lock_guard lock(m_);
        if (stamp) {
            for (const Entry& e : entries_) {
                if (e.file == file && e.stamp == *stamp) {
                    return e.doc;
                }
            }
        }
        IniFile doc = IniFile::load(file);
        std::erase_if(entries_, [&](const Entry& e) { return e.file == file; });
        // Only a file that did not change while it was read is kept.
        if (stamp && stampOf(file) == stamp) {
            if (entries_.size() >= kEntries) {
                entries_.erase(entries_.begin());
            }
            entries_.push_back(Entry{file, *stamp, doc});
        }
        return doc;
    }

private:
    static constexpr size_t kEntries = 8;
    struct Entry {
        std::filesystem::path file;
        FileStamp stamp;
        IniFile doc;
    };
    std::mutex m_;
    std::vector<Entry> entries_;
};

ReadCache& readCache() {
    static ReadCache* cache = new ReadCache;
    return *cache;
}

} // namespace

std::u16string getPrivateProfileString(std::u16string_view section, std::u16string_view key,
                                       std::u16string_view def, size_t capacity,
                                       const std::filesystem::path& file) {
    return readCache().document(file).get(section, key, def, capacity);
}

bool writePrivateProfileString(std::u16string_view section, std::u16string_view key,
                               std::u16string_view value, const std::filesystem::path& file) {
    // The program and tarvikctl both write the file: without the lock, one's read-change-write could
    // undo the other's. A folder where no lock file can be made cannot take the file either; the write
    // then fails on its own.
    LockFile lock(file.string() + ".lock");
    if (!lock.lockUntil(LockFile::Clock::now() + IniFile::kWriteLockWait) && !lock.unavailable()) {
        return false;
    }
    std::optional<IniFile> doc = IniFile::tryLoad(file);
    if (!doc) {
        return false;
    }
    switch (doc->set(section, key, value)) {
    case IniFile::SetResult::Changed:
        return doc->save(file);
    case IniFile::SetResult::Unchanged:
        return true; // already there: nothing to write
    case IniFile::SetResult::Refused:
        break;
    }
    return false;
}

int profileStringToInt(std::u16string_view text) {
    size_t i = 0;
    while (i < text.size() && (isBlank(text[i]) || text[i] == u'\n')) {
        ++i;
    }
    bool negative = false;
    if (i < text.size() && (text[i] == u'+' || text[i] == u'-')) {
        negative = text[i] == u'-';
        ++i;
    }
    int64_t v = 0;
    for (; i < text.size() && text[i] >= u'0' && text[i] <= u'9'; ++i) {
        if (v <= static_cast<int64_t>(INT_MAX) + 1) {
            v = v * 10 + (text[i] - u'0');
        }
    }
    if (negative) {
        v = -v;
    }
    if (v > INT_MAX) {
        return INT_MAX;
    }
    if (v < INT_MIN) {
        return INT_MIN;
    }
    return static_cast<int>(v);
}

} // namespace tarvik
