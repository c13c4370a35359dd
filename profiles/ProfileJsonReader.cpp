// Reading the readable profile file. The library parses; everything after that is checked here member by
// member, so that the first problem is reported with its JSON path and nothing of a refused document is
// used. A member named twice is refused too: the library would silently keep only the last one.
#include "profiles/ProfileJson.h"

#include "lighting/LightingModes.h"
#include "lighting/ProfileParams.h"
#include "platform/Utf.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <charconv>
#include <cstdint>
#include <functional>
#include <limits>
#include <map>
#include <set>
#include <string>
#include <unordered_set>
#include <vector>

namespace tarvik::profiles::json {

namespace {

using Json = nlohmann::ordered_json;
using model::indexPath;
using model::memberPath;
using model::Problem;

static_assert(kMaxElements >= macros::kMaxActions && kMaxElements >= macros::kMaxMacros);
static_assert(kMaxMembers >= keyboard::kKeyButtonCount + 1);

// Every member name the format gives an object, except the objects named by key ("keys", "layer0",
// "layer1"), whose names the second pass checks with the key name functions.
constexpr std::string_view kMemberNames[] = {
    "format",       "version",    "profiles",   "macros",      "lighting",   "id",           "name",
    "cycles",       "actions",    "key",        "down",        "delayMs",    "keys",         "gKeys",
    "gKeyTags",     "colourKeys", "layer0",     "layer1",      "default",    "none",         "stopMacro",
    "launch",       "text",       "macro",      "media",       "function",   "stored",       "path",
    "aux",          "value",      "mode",       "brightness",  "speed",      "direction",    "random",
    "effectColour", "preset",     "baseColour", "paintColour", "reportRate", "userLighting", "currentSlot",
    "slots",        "brush",      "colour",     "followsBase"};

bool isMemberName(std::string_view name) {
    return std::find(std::begin(kMemberNames), std::end(kMemberNames), name) != std::end(kMemberNames);
}

bool namesKeys(std::string_view member) {
    return member == "keys" || member == "layer0" || member == "layer1";
}

// A first pass over the text that builds nothing: it finds syntax errors, a member named twice (the library
// would silently keep the last one), a name the format never uses, an object or array larger than any of
// the format, and nesting deeper than it ever goes. Each check is constant time per value, so the pass is
// linear in the text. Paths are put together only for a refusal.
class GuardPass {
public:
    using Number = Json::number_integer_t;
    using Unsigned = Json::number_unsigned_t;
    using Float = Json::number_float_t;
    using String = Json::string_t;
    using Binary = Json::binary_t;

    bool null() { return value(); }
    bool boolean(bool) { return value(); }
    bool number_integer(Number) { return value(); }
    bool number_unsigned(Unsigned) { return value(); }
    bool number_float(Float, const String&) { return value(); }
    bool string(String&) { return value(); }
    bool binary(Binary&) { return value(); }
    bool start_object(std::size_t) { return open(true); }
    bool start_array(std::size_t) { return open(false); }
    bool end_object() { return close(); }
    bool end_array() { return close(); }
    bool key(String& name) {
        Frame& f = frames_.back();
        if (!f.keyNamed && !isMemberName(name)) {
            return refuse(memberPath(path(), name), "unknown member");
        }
        if (!f.names.insert(name).second) {
            return refuse(memberPath(path(), name), "this member is named twice");
        }
        if (f.names.size() > kMaxMembers) {
            return refuse(path(), "an object has at most " + std::to_string(kMaxMembers) + " members");
        }
        f.last = name;
        return true;
    }
    bool parse_error(std::size_t position, const std::string&, const nlohmann::detail::exception& e) {
        errorAt_ = position;
        error_ = e.what();
        return false;
    }

    const Problem& problem() const { return problem_; }
    bool refused() const { return !problem_.message.empty(); }
    // The library's message and the byte where it stopped, when the text is no JSON at all.
    const std::string& error() const { return error_; }
    size_t errorAt() const { return errorAt_; }

private:
    struct Frame {
        bool object;
        std::unordered_set<std::string> names;
        std::string last;      // the member being read
        size_t index = 0;      // arrays: the element being read
        bool keyNamed = false; // an object whose members are named by key
    };
    bool open(bool object) {
        if (frames_.size() >= static_cast<size_t>(kMaxDepth)) {
            return refuse(childPath(),
                          "the document nests deeper than " + std::to_string(kMaxDepth) + " levels");
        }
        const bool keyNamed =
            object && !frames_.empty() && frames_.back().object && namesKeys(frames_.back().last);
        frames_.push_back(Frame{object, {}, {}, 0, keyNamed});
        return true;
    }
    bool close() {
        frames_.pop_back();
        return value();
    }
    bool value() {
        if (!frames_.empty() && !frames_.back().object && ++frames_.back().index > kMaxElements) {
            return refuse(path(), "an array has at most " + std::to_string(kMaxElements) + " elements");
        }
        return true;
    }
    bool refuse(std::string where, std::string what) {
        problem_ = {std::move(where), std::move(what)};
        return false;
    }
    // The path of the value being read in the innermost open container.
    std::string childPath() const {
        if (frames_.empty()) {
            return "$";
        }
        const Frame& f = frames_.back();
        return f.object ? memberPath(path(), f.last) : indexPath(path(), f.index);
    }
    // The path of the innermost open container.
    std::string path() const {
        std::string out = "$";
        for (size_t i = 0; i + 1 < frames_.size(); ++i) {
            const Frame& f = frames_[i];
            out = f.object ? memberPath(out, f.last) : indexPath(out, f.index);
        }
        return out;
    }

    std::vector<Frame> frames_;
    Problem problem_;
    std::string error_;
    size_t errorAt_ = 0;
};

std::string lineAndColumn(std::string_view text, size_t byte) {
    size_t line = 1;
    size_t column = 1;
    for (size_t i = 0; i < std::min(byte, text.size()); ++i) {
        if (text[i] == '\n') {
            ++line;
            column = 1;
        } else if ((static_cast<unsigned char>(text[i]) & 0xC0) != 0x80) {
            ++column;
        }
    }
    return "line " + std::to_string(line) + ", column " + std::to_string(column > 1 ? column - 1 : 1);
}

std::string typeName(const Json& v) {
    if (v.is_number_integer()) {
        return "an integer";
    }
    if (v.is_number()) {
        return "a number with a fraction";
    }
    switch (v.type()) {
    case Json::value_t::object:
        return "an object";
    case Json::value_t::array:
        return "an array";
    case Json::value_t::string:
        return "a string";
    case Json::value_t::boolean:
        return "true or false";
    case Json::value_t::null:
        return "null";
    default:
        return "another kind of value";
    }
}

class Reader {
public:
    explicit Reader(Problem& problem) : problem_(problem) {}

    bool fail(std::string path, std::string message) {
        problem_.path = std::move(path);
        problem_.message = std::move(message);
        return false;
    }
    bool wrongType(const Json& v, const std::string& path, std::string_view expected) {
        return fail(path, "expected " + std::string(expected) + ", found " + typeName(v));
    }

    // An object whose members all are among allowed (the first other one, in document order, fails).
    bool object(const Json& v, const std::string& path, std::initializer_list<std::string_view> allowed) {
        if (!v.is_object()) {
            return wrongType(v, path, "an object");
        }
        for (const auto& [name, value] : v.items()) {
            if (std::find(allowed.begin(), allowed.end(), name) == allowed.end()) {
                return fail(memberPath(path, name), "unknown member");
            }
        }
        return true;
    }
    static const Json* find(const Json& obj, std::string_view name) {
        auto it = obj.find(std::string(name));
        return it == obj.end() ? nullptr : &*it;
    }
    bool required(const Json& obj, const std::string& path, std::string_view name, const Json*& out) {
        out = find(obj, name);
        return out != nullptr || fail(path, "missing member \"" + std::string(name) + "\"");
    }

    bool integer(const Json& v, const std::string& path, int64_t lo, int64_t hi, int64_t& out) {
        if (!v.is_number_integer()) {
            return wrongType(v, path, "an integer " + std::to_string(lo) + "-" + std::to_string(hi));
        }
        if (v.is_number_unsigned()) {
            const auto u = v.get<uint64_t>();
            if (u > static_cast<uint64_t>(hi)) {
                return fail(path, std::to_string(u) + " is out of range " + std::to_string(lo) + "-" +
                                      std::to_string(hi));
            }
            out = static_cast<int64_t>(u);
        } else {
            out = v.get<int64_t>();
        }
        if (out < lo || out > hi) {
            return fail(path, std::to_string(out) + " is out of range " + std::to_string(lo) + "-" +
                                  std::to_string(hi));
        }
        return true;
    }
    template <typename T>
    bool integerAs(const Json& v, const std::string& path, int64_t lo, int64_t hi, T& out) {
        int64_t n = 0;
        if (!integer(v, path, lo, hi, n)) {
            return false;
        }
        out = static_cast<T>(n);
        return true;
    }
    bool boolean(const Json& v, const std::string& path, bool& out) {
        if (!v.is_boolean()) {
            return wrongType(v, path, "true or false");
        }
        out = v.get<bool>();
        return true;
    }
    bool string(const Json& v, const std::string& path, std::string& out) {
        if (!v.is_string()) {
            return wrongType(v, path, "a string");
        }
        out = v.get<std::string>();
        return true;
    }
    bool text(const Json& v, const std::string& path, std::u16string& out) {
        std::string utf8;
        if (!string(v, path, utf8)) {
            return false;
        }
        out = toUtf16(utf8);
        if (out.find(u'\0') != std::u16string::npos) {
            return fail(path, "the text holds a NUL character");
        }
        return true;
    }
    bool colour(const Json& v, const std::string& path, lighting::Rgb& out) {
        std::string s;
        if (!string(v, path, s)) {
            return false;
        }
        auto hexByte = [&](size_t at, uint8_t& byte) {
            unsigned b = 0;
            auto [end, ec] = std::from_chars(s.data() + at, s.data() + at + 2, b, 16);
            byte = static_cast<uint8_t>(b);
            return ec == std::errc{} && end == s.data() + at + 2;
        };
        if (s.size() != 7 || s[0] != '#' || !hexByte(1, out.r) || !hexByte(3, out.g) || !hexByte(5, out.b)) {
            return fail(path, "expected a colour \"#rrggbb\", found \"" + s + "\"");
        }
        return true;
    }
    bool array(const Json& v, const std::string& path, size_t min, size_t max) {
        if (!v.is_array()) {
            return wrongType(v, path, "an array");
        }
        if (v.size() < min || v.size() > max) {
            return fail(path, min == max ? "expected exactly " + std::to_string(min) + " elements, found " +
                                               std::to_string(v.size())
                                         : "expected " + std::to_string(min) + "-" + std::to_string(max) +
                                               " elements, found " + std::to_string(v.size()));
        }
        return true;
    }

    bool document(const Json& root, model::Document& doc);

private:
    bool header(const Json& root);
    bool macroList(const Json& v, model::Document& doc);
    bool profile(const Json& v, const std::string& path, model::Profile& out,
                 const std::vector<model::Macro>& macros);
    bool assignment(const Json& v, const std::string& path, keyboard::KeySlot slot,
                    const std::vector<model::Macro>& macros, model::Assignment& out);
    bool macroReference(const Json& v, const std::string& path, const std::vector<model::Macro>& macros,
                        model::Assignment& out);
    bool stored(const Json& v, const std::string& path, model::Assignment& out);
    bool lightingPart(const Json& v, model::Lighting& out);
    bool lightingProfile(const Json& v, const std::string& path, model::LightingProfile& out);
    bool lightSlot(const Json& v, const std::string& path, model::LightSlot& out);

    Problem& problem_;
};

bool Reader::header(const Json& root) {
    const Json* format = nullptr;
    const Json* version = nullptr;
    if (!required(root, "$", "format", format) || !required(root, "$", "version", version)) {
        return false;
    }
    std::string name;
    if (!string(*format, "$.format", name)) {
        return false;
    }
    if (name != kFormatName) {
        return fail("$.format", "\"" + name + "\" is not \"" + std::string(kFormatName) + "\"");
    }
    int64_t v = 0;
    if (!integer(*version, "$.version", 1, std::numeric_limits<int32_t>::max(), v)) {
        return false;
    }
    if (v > kFormatVersion) {
        return fail("$.version", "version " + std::to_string(v) + " is newer than this program reads (" +
                                     std::to_string(kFormatVersion) + ")");
    }
    return true;
}

bool Reader::document(const Json& root, model::Document& doc) {
    if (!object(root, "$", {"format", "version", "profiles", "macros", "lighting"}) || !header(root)) {
        return false;
    }
    // Macros first: assignments name them.
    if (const Json* m = find(root, "macros"); m != nullptr && !macroList(*m, doc)) {
        return false;
    }
    const Json* profiles = nullptr;
    if (!required(root, "$", "profiles", profiles) ||
        !array(*profiles, "$.profiles", keyboard::kProfileCount, keyboard::kProfileCount)) {
        return false;
    }
    for (size_t p = 0; p < keyboard::kProfileCount; ++p) {
        if (!profile((*profiles)[p], indexPath("$.profiles", p), doc.profiles[p], doc.macros)) {
            return false;
        }
    }
    if (const Json* l = find(root, "lighting"); l != nullptr) {
        doc.lighting.emplace();
        if (!lightingPart(*l, *doc.lighting)) {
            return false;
        }
    }
    return model::checkDocument(doc, problem_);
}

bool Reader::macroList(const Json& v, model::Document& doc) {
    if (!array(v, "$.macros", 0, macros::kMaxMacros)) {
        return false;
    }
    std::set<uint16_t> ids;
    for (size_t i = 0; i < v.size(); ++i) {
        const std::string path = indexPath("$.macros", i);
        const Json& m = v[i];
        if (!object(m, path, {"id", "name", "cycles", "actions"})) {
            return false;
        }
        model::Macro macro;
        const Json* id = nullptr;
        const Json* name = nullptr;
        if (!required(m, path, "id", id) ||
            !integerAs(*id, memberPath(path, "id"), macros::kFirstMacroId, macros::kLastMacroId, macro.id) ||
            !required(m, path, "name", name) || !text(*name, memberPath(path, "name"), macro.name)) {
            return false;
        }
        if (!ids.insert(macro.id).second) {
            return fail(memberPath(path, "id"),
                        "the macro id " + std::to_string(macro.id) + " is taken twice");
        }
        if (macro.name.size() > macros::kMaxNameUnits) {
            return fail(memberPath(path, "name"), "a macro name has at most 249 UTF-16 units");
        }
        if (const Json* c = find(m, "cycles");
            c != nullptr && !integerAs(*c, memberPath(path, "cycles"), 1, 255, macro.cycles)) {
            return false;
        }
        if (const Json* actions = find(m, "actions"); actions != nullptr) {
            const std::string ap = memberPath(path, "actions");
            if (!array(*actions, ap, 0, macros::kMaxActions)) {
                return false;
            }
            for (size_t k = 0; k < actions->size(); ++k) {
                const std::string p = indexPath(ap, k);
                const Json& a = (*actions)[k];
                if (!object(a, p, {"key", "down", "delayMs"})) {
                    return false;
                }
                model::MacroAction action;
                const Json* key = nullptr;
                const Json* down = nullptr;
                std::string keyName;
                if (!required(a, p, "key", key) || !string(*key, memberPath(p, "key"), keyName) ||
                    !required(a, p, "down", down) || !boolean(*down, memberPath(p, "down"), action.down)) {
                    return false;
                }
                auto code = keyCodeFromFileName(keyName, true);
                if (!code) {
                    return fail(memberPath(p, "key"), "unknown key name \"" + keyName + "\"");
                }
                action.key = *code;
                if (const Json* d = find(a, "delayMs");
                    d != nullptr &&
                    !integerAs(*d, memberPath(p, "delayMs"), 0, model::kMaxStoredDelayMs, action.delayMs)) {
                    return false;
                }
                macro.actions.push_back(action);
            }
        }
        doc.macros.push_back(std::move(macro));
    }
    return true;
}

bool Reader::profile(const Json& v, const std::string& path, model::Profile& out,
                     const std::vector<model::Macro>& macros) {
    if (!object(v, path, {"keys", "gKeys", "gKeyTags", "colourKeys"})) {
        return false;
    }
    if (const Json* tags = find(v, "gKeyTags");
        tags != nullptr && !boolean(*tags, memberPath(path, "gKeyTags"), out.gKeyTags)) {
        return false;
    }
    if (const Json* keys = find(v, "keys"); keys != nullptr) {
        const std::string kp = memberPath(path, "keys");
        if (!keys->is_object()) {
            return wrongType(*keys, kp, "an object");
        }
        std::map<keyboard::KeySlot, std::string> named; // slot -> the name that gave it, for a clash
        for (const auto& [name, value] : keys->items()) {
            const std::string p = memberPath(kp, name);
            if (gKeyNumberFromFileName(name) != 0) {
                return fail(p, "the G keys are listed under \"gKeys\"");
            }
            auto code = keyCodeFromFileName(name);
            if (!code) {
                return fail(p, "unknown key name (see tarvikctl keys)");
            }
            const auto slot = static_cast<keyboard::KeySlot>(keyboard::KeyIndexFromCode(*code));
            if (auto [it, fresh] = named.emplace(slot, name); !fresh) {
                return fail(p, "names the same key as \"" + it->second + "\"");
            }
            model::Assignment a;
            if (!assignment(value, p, slot, macros, a)) {
                return false;
            }
            if (a.type != keyboard::ASSIGN_DEFAULT || a.storedAux || a.storedValue) {
                out.keys[slot] = std::move(a);
            }
        }
    }
    if (const Json* g = find(v, "gKeys"); g != nullptr) {
        const std::string gp = memberPath(path, "gKeys");
        if (!object(*g, gp, {"layer0", "layer1"})) {
            return false;
        }
        for (int layer = 0; layer < 2; ++layer) {
            const Json* l = find(*g, layer == 0 ? "layer0" : "layer1");
            if (l == nullptr) {
                continue;
            }
            const std::string lp = memberPath(gp, layer == 0 ? "layer0" : "layer1");
            if (!l->is_object()) {
                return wrongType(*l, lp, "an object");
            }
            for (const auto& [name, value] : l->items()) {
                const std::string p = memberPath(lp, name);
                const int n = gKeyNumberFromFileName(name);
                if (n == 0) {
                    return fail(p, "a G key is named G1-G9");
                }
                const auto slot = static_cast<keyboard::KeySlot>(
                    (layer == 0 ? keyboard::kFirstGSlotLayer0 : keyboard::kFirstGSlotLayer1) + n - 1);
                model::Assignment a;
                if (!assignment(value, p, slot, macros, a)) {
                    return false;
                }
                if (a.type != keyboard::ASSIGN_DEFAULT || a.storedAux || a.storedValue) {
                    out.gKeys[slot] = std::move(a);
                }
            }
        }
    }
    if (const Json* c = find(v, "colourKeys"); c != nullptr) {
        const std::string cp = memberPath(path, "colourKeys");
        if (!array(*c, cp, 0, keyboard::kKeyButtonCount)) {
            return false;
        }
        for (size_t i = 0; i < c->size(); ++i) {
            std::string name;
            if (!string((*c)[i], indexPath(cp, i), name)) {
                return false;
            }
            const int lit = litKeyFromFileName(name);
            if (lit < 0 || lit >= static_cast<int>(keyboard::kKeyButtonCount)) {
                return fail(indexPath(cp, i), "\"" + name + "\" is not a key button of the keyboard");
            }
            if (!out.colourKeys.insert(lit).second) {
                return fail(indexPath(cp, i), "\"" + name + "\" is listed twice");
            }
        }
    }
    return true;
}

bool Reader::assignment(const Json& v, const std::string& path, keyboard::KeySlot slot,
                        const std::vector<model::Macro>& macros, model::Assignment& out) {
    (void)slot;
    out = model::Assignment{};
    if (v.is_string()) {
        const std::string s = v.get<std::string>();
        if (s == "none") {
            out.type = keyboard::ASSIGN_NO_FUNCTION;
        } else if (s == "default") {
            out.type = keyboard::ASSIGN_DEFAULT;
        } else if (s == "stopMacro") {
            out.type = keyboard::ASSIGN_STOP_MACRO;
        } else {
            return fail(path, "unknown assignment \"" + s +
                                  "\" (a string is \"none\", \"default\" or \"stopMacro\")");
        }
        return true;
    }
    if (!object(v, path,
                {"default", "none", "stopMacro", "key", "launch", "text", "macro", "media", "function",
                 "stored"})) {
        if (v.is_object()) {
            return false;
        }
        return wrongType(v, path, "an assignment (a string or an object)");
    }
    std::string kind;
    for (const auto& [name, value] : v.items()) {
        if (name == "stored") {
            continue;
        }
        if (!kind.empty()) {
            return fail(memberPath(path, name), "an assignment has one kind; \"" + kind + "\" came first");
        }
        kind = name;
    }
    if (kind.empty()) {
        return fail(path, "the assignment names no kind (key, macro, media, function, launch, text, none, "
                          "default or stopMacro)");
    }
    const Json& value = v.at(kind);
    const std::string p = memberPath(path, kind);
    if (kind == "default" || kind == "none" || kind == "stopMacro") {
        bool yes = false;
        if (!boolean(value, p, yes)) {
            return false;
        }
        if (!yes) {
            return fail(p, "a kind without a value is given as true");
        }
        out.type = kind == "default" ? keyboard::ASSIGN_DEFAULT
                   : kind == "none"  ? keyboard::ASSIGN_NO_FUNCTION
                                     : keyboard::ASSIGN_STOP_MACRO;
    } else if (kind == "key") {
        std::string name;
        if (!string(value, p, name)) {
            return false;
        }
        auto code = keyCodeFromFileName(name);
        if (!code) {
            return fail(p, "unknown key name \"" + name + "\" (see tarvikctl keys)");
        }
        out.type = keyboard::ASSIGN_SINGLE_KEY;
        out.key = *code;
    } else if (kind == "launch") {
        const Json* program = nullptr;
        if (!object(value, p, {"path"}) || !required(value, p, "path", program) ||
            !text(*program, memberPath(p, "path"), out.text)) {
            return false;
        }
        out.type = keyboard::ASSIGN_LAUNCH;
    } else if (kind == "text") {
        if (!text(value, p, out.text)) {
            return false;
        }
        out.type = keyboard::ASSIGN_TEXT_BLOCK;
    } else if (kind == "macro") {
        if (!macroReference(value, p, macros, out)) {
            return false;
        }
    } else if (kind == "media") {
        std::string name;
        if (!string(value, p, name)) {
            return false;
        }
        auto index = mediaIndexFromFileName(name);
        if (!index) {
            return fail(p, "unknown media key \"" + name + "\"");
        }
        out.type = keyboard::ASSIGN_MEDIA;
        out.index = *index;
    } else {
        std::string name;
        if (!string(value, p, name)) {
            return false;
        }
        auto index = functionIndexFromFileName(name);
        if (!index) {
            return fail(p, "unknown function \"" + name + "\"");
        }
        out.type = keyboard::ASSIGN_FUNCTION_KEY;
        out.index = *index;
    }
    if (const Json* s = find(v, "stored"); s != nullptr) {
        return stored(*s, memberPath(path, "stored"), out);
    }
    return true;
}

bool Reader::macroReference(const Json& v, const std::string& path, const std::vector<model::Macro>& macros,
                            model::Assignment& out) {
    if (!object(v, path, {"id", "name", "cycles"})) {
        return false;
    }
    out.type = keyboard::ASSIGN_MACRO;
    out.cycles = 1;
    if (const Json* c = find(v, "cycles");
        c != nullptr && !integerAs(*c, memberPath(path, "cycles"), 0, 255, out.cycles)) {
        return false;
    }
    const Json* id = find(v, "id");
    const Json* name = find(v, "name");
    if (id == nullptr && name == nullptr) {
        return fail(path, "a macro is named by \"id\" or \"name\"");
    }
    if (id != nullptr && !integerAs(*id, memberPath(path, "id"), 0, macros::kLastMacroId, out.macroId)) {
        return false;
    }
    if (name == nullptr) {
        return true;
    }
    std::u16string wanted;
    if (!text(*name, memberPath(path, "name"), wanted)) {
        return false;
    }
    const model::Macro* found = nullptr;
    int count = 0;
    for (const auto& m : macros) {
        if (m.name == wanted) {
            if (id != nullptr && m.id == out.macroId) {
                return true;
            }
            found = found != nullptr ? found : &m;
            ++count;
        }
    }
    if (id != nullptr) {
        return fail(memberPath(path, "name"), count == 0
                                                  ? "no macro is named \"" + toUtf8(wanted) + "\""
                                                  : "the macro with id " + std::to_string(out.macroId) +
                                                        " is not named \"" + toUtf8(wanted) + "\"");
    }
    if (count == 0) {
        return fail(memberPath(path, "name"), "no macro is named \"" + toUtf8(wanted) + "\"");
    }
    if (count > 1) {
        return fail(memberPath(path, "name"),
                    std::to_string(count) + " macros are named \"" + toUtf8(wanted) + "\"; give the id too");
    }
    out.macroId = found->id;
    return true;
}

bool Reader::stored(const Json& v, const std::string& path, model::Assignment& out) {
    if (!object(v, path, {"aux", "value"})) {
        return false;
    }
    if (const Json* aux = find(v, "aux"); aux != nullptr) {
        if (out.type == keyboard::ASSIGN_MACRO) {
            return fail(memberPath(path, "aux"), "a macro keeps its repeat count in aux; give \"cycles\"");
        }
        uint16_t a = 0;
        if (!integerAs(*aux, memberPath(path, "aux"), 0, 0xFFFF, a)) {
            return false;
        }
        out.storedAux = a;
    }
    if (const Json* value = find(v, "value"); value != nullptr) {
        if (out.type != keyboard::ASSIGN_DEFAULT && out.type != keyboard::ASSIGN_NO_FUNCTION &&
            out.type != keyboard::ASSIGN_STOP_MACRO) {
            return fail(memberPath(path, "value"), "only default, none and stopMacro keep a stored value");
        }
        uint32_t word = 0;
        if (!integerAs(*value, memberPath(path, "value"), 0, 0xFFFFFFFF, word)) {
            return false;
        }
        out.storedValue = word;
    }
    return true;
}

bool Reader::lightingPart(const Json& v, model::Lighting& out) {
    const Json* profiles = nullptr;
    if (!object(v, "$.lighting", {"profiles"}) || !required(v, "$.lighting", "profiles", profiles) ||
        !array(*profiles, "$.lighting.profiles", 3, 3)) {
        return false;
    }
    for (size_t p = 0; p < 3; ++p) {
        if (!lightingProfile((*profiles)[p], indexPath("$.lighting.profiles", p), out.profiles[p])) {
            return false;
        }
    }
    return true;
}

bool Reader::lightingProfile(const Json& v, const std::string& path, model::LightingProfile& out) {
    if (!object(v, path,
                {"mode", "brightness", "speed", "direction", "random", "effectColour", "preset", "baseColour",
                 "paintColour", "reportRate", "userLighting"})) {
        return false;
    }
    const Json* m = nullptr;
    auto member = [&](std::string_view name) { return required(v, path, name, m); };
    const std::string p = path;
    if (!member("mode") || !integerAs(*m, memberPath(p, "mode"), 0, 255, out.mode)) {
        return false;
    }
    if (!lighting::isKnownMode(out.mode)) {
        return fail(memberPath(p, "mode"),
                    "the lighting mode " + std::to_string(out.mode) + " is not one of 1-18 and 20");
    }
    if (!member("brightness") ||
        !integerAs(*m, memberPath(p, "brightness"), 0, lighting::kLevelMax, out.brightness) ||
        !member("speed") || !integerAs(*m, memberPath(p, "speed"), 0, lighting::kLevelMax, out.speed) ||
        !member("direction") || !integerAs(*m, memberPath(p, "direction"), 0, 255, out.direction) ||
        !member("random") || !boolean(*m, memberPath(p, "random"), out.random) || !member("effectColour") ||
        !colour(*m, memberPath(p, "effectColour"), out.effectColour) || !member("preset") ||
        !integerAs(*m, memberPath(p, "preset"), 0, 255, out.preset) || !member("baseColour") ||
        !colour(*m, memberPath(p, "baseColour"), out.baseColour) || !member("paintColour") ||
        !colour(*m, memberPath(p, "paintColour"), out.paintColour) || !member("reportRate") ||
        !integerAs(*m, memberPath(p, "reportRate"), 0, lighting::kReportRateMax, out.reportRate) ||
        !member("userLighting")) {
        return false;
    }
    const Json& user = *m;
    const std::string up = memberPath(p, "userLighting");
    const Json* current = nullptr;
    const Json* slots = nullptr;
    if (!object(user, up, {"currentSlot", "slots"}) || !required(user, up, "currentSlot", current) ||
        !integerAs(*current, memberPath(up, "currentSlot"), 0, model::kLightSlots - 1, out.currentSlot) ||
        !required(user, up, "slots", slots) ||
        !array(*slots, memberPath(up, "slots"), model::kLightSlots, model::kLightSlots)) {
        return false;
    }
    for (size_t s = 0; s < model::kLightSlots; ++s) {
        if (!lightSlot((*slots)[s], indexPath(memberPath(up, "slots"), s), out.slots[s])) {
            return false;
        }
    }
    return true;
}

bool Reader::lightSlot(const Json& v, const std::string& path, model::LightSlot& out) {
    const Json* m = nullptr;
    if (!object(v, path, {"name", "brush", "baseColour", "paintColour", "keys"}) ||
        !required(v, path, "name", m) || !text(*m, memberPath(path, "name"), out.name) ||
        !required(v, path, "brush", m) || !integerAs(*m, memberPath(path, "brush"), 0, 1, out.brush) ||
        !required(v, path, "baseColour", m) || !colour(*m, memberPath(path, "baseColour"), out.baseColour) ||
        !required(v, path, "paintColour", m) ||
        !colour(*m, memberPath(path, "paintColour"), out.paintColour)) {
        return false;
    }
    const Json* keys = find(v, "keys");
    if (keys == nullptr) {
        return true;
    }
    const std::string kp = memberPath(path, "keys");
    if (!keys->is_object()) {
        return wrongType(*keys, kp, "an object");
    }
    std::vector<bool> seen(kLitKeyCount, false);
    for (const auto& [name, value] : keys->items()) {
        const std::string p = memberPath(kp, name);
        const int lit = litKeyFromFileName(name);
        if (lit < 0) {
            return fail(p, "not a lit key of the keyboard (a key button's name or \"Fn\")");
        }
        if (seen[static_cast<size_t>(lit)]) {
            return fail(p, "names the same key as another member");
        }
        seen[static_cast<size_t>(lit)] = true;
        model::LightKey& key = out.keys[static_cast<size_t>(lit)];
        const Json* c = nullptr;
        const Json* f = nullptr;
        if (!object(value, p, {"colour", "followsBase"}) || !required(value, p, "colour", c) ||
            !colour(*c, memberPath(p, "colour"), key.colour) || !required(value, p, "followsBase", f) ||
            !boolean(*f, memberPath(p, "followsBase"), key.followsBase)) {
            return false;
        }
    }
    return true;
}

} // namespace

bool readDocument(std::string_view text, model::Document& out, model::Problem& problem) {
    if (text.size() > kMaxDocumentBytes) {
        problem = {"$", "the document is larger than " + std::to_string(kMaxDocumentBytes / (1024 * 1024)) +
                            " MiB"};
        return false;
    }
    // The parser would take a NUL for the end of the text and leave what follows unread.
    if (const size_t nul = text.find('\0'); nul != std::string_view::npos) {
        problem = {"$", "the text holds a NUL byte (" + lineAndColumn(text, nul) + ")"};
        return false;
    }
    GuardPass guard;
    bool parsed = false;
    try {
        parsed = Json::sax_parse(text.begin(), text.end(), &guard);
    } catch (const std::exception& e) {
        problem = {"$", std::string("cannot read the document: ") + e.what()};
        return false;
    }
    if (!parsed) {
        if (guard.refused()) {
            problem = guard.problem();
            return false;
        }
        std::string what = guard.error();
        // The library's message starts with its own tag and the place; keep what follows.
        if (auto colon = what.find(": "); colon != std::string::npos) {
            what = what.substr(colon + 2);
        }
        problem = {"$", "not a JSON document (" + lineAndColumn(text, guard.errorAt()) + "): " + what};
        return false;
    }
    Json root;
    try {
        root = Json::parse(text.begin(), text.end());
    } catch (const std::exception& e) {
        problem = {"$", std::string("cannot read the document: ") + e.what()};
        return false;
    }
    model::Document doc;
    Reader reader(problem);
    try {
        if (!reader.document(root, doc)) {
            return false;
        }
    } catch (const std::exception& e) {
        // Only the library's accessors throw, and only on a wrong assumption of this reader.
        problem = {"$", std::string("cannot read the document: ") + e.what()};
        return false;
    }
    out = std::move(doc);
    return true;
}

} // namespace tarvik::profiles::json
