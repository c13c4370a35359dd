// Writing the readable profile file. The text is laid out by hand rather than by the library's pretty
// printer, so that each assignment, macro action and lit key stays on one line: a change to one of them
// is then one changed line in version control.
#include "profiles/ProfileJson.h"

#include "platform/Utf.h"

#include <nlohmann/json.hpp>

#include <cstdio>
#include <vector>

namespace tarvik::profiles::json {

namespace {

using model::Assignment;
using model::Document;

std::string jsonText(std::string_view utf8) {
    return nlohmann::json(std::string(utf8)).dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
}

std::string jsonText(std::u16string_view text) {
    return jsonText(toUtf8(text));
}

std::string colour(lighting::Rgb c) {
    char buf[8];
    std::snprintf(buf, sizeof buf, "#%02x%02x%02x", c.r, c.g, c.b);
    return jsonText(std::string_view(buf));
}

std::string boolean(bool b) {
    return b ? "true" : "false";
}

// "name": value pairs joined on one line.
std::string inlineObject(const std::vector<std::pair<std::string_view, std::string>>& members) {
    std::string out = "{";
    for (size_t i = 0; i < members.size(); ++i) {
        out += (i == 0 ? "" : ", ") + jsonText(members[i].first) + ": " + members[i].second;
    }
    return out + "}";
}

// A block of lines at one indentation; members and elements are separated by commas as they are added.
class Block {
public:
    Block(std::string& out, int indent, char open, char close) : out_(out), indent_(indent), close_(close) {
        out_ += open;
    }
    void item(std::string_view text) {
        out_ += first_ ? "\n" : ",\n";
        out_.append(static_cast<size_t>(indent_ + 2), ' ');
        out_ += text;
        first_ = false;
    }
    void member(std::string_view name, std::string_view value) {
        item(jsonText(name) + ": " + std::string(value));
    }
    // Starts a nested block as the value of a member (or as an element when name is empty).
    Block nested(std::string_view name, char open, char close) {
        item(name.empty() ? std::string() : jsonText(name) + ": ");
        return Block(out_, indent_ + 2, open, close);
    }
    ~Block() {
        if (!first_) {
            out_ += '\n';
            out_.append(static_cast<size_t>(indent_), ' ');
        }
        out_ += close_;
    }
    // Returned only as a prvalue (guaranteed elision), so a block always closes exactly once.
    Block(const Block&) = delete;
    Block& operator=(const Block&) = delete;

private:
    std::string& out_;
    int indent_;
    char close_;
    bool first_ = true;
};

std::string storedWords(const Assignment& a) {
    std::vector<std::pair<std::string_view, std::string>> m;
    if (a.storedAux) {
        m.emplace_back("aux", std::to_string(*a.storedAux));
    }
    if (a.storedValue) {
        m.emplace_back("value", std::to_string(*a.storedValue));
    }
    return inlineObject(m);
}

const model::Macro* macroWithId(const Document& doc, uint32_t id) {
    for (const auto& m : doc.macros) {
        if (m.id == id) {
            return &m;
        }
    }
    return nullptr;
}

std::string assignmentText(const Assignment& a, const Document& doc) {
    const bool stored = a.storedAux || a.storedValue;
    std::vector<std::pair<std::string_view, std::string>> m;
    switch (a.type) {
    case keyboard::ASSIGN_DEFAULT:
        m.emplace_back("default", "true");
        break;
    case keyboard::ASSIGN_NO_FUNCTION:
        if (!stored) {
            return jsonText(std::string_view("none"));
        }
        m.emplace_back("none", "true");
        break;
    case keyboard::ASSIGN_STOP_MACRO:
        if (!stored) {
            return jsonText(std::string_view("stopMacro"));
        }
        m.emplace_back("stopMacro", "true");
        break;
    case keyboard::ASSIGN_SINGLE_KEY:
        m.emplace_back("key", jsonText(fileKeyName(a.key)));
        break;
    case keyboard::ASSIGN_LAUNCH:
        m.emplace_back("launch", inlineObject({{"path", jsonText(a.text)}}));
        break;
    case keyboard::ASSIGN_TEXT_BLOCK:
        m.emplace_back("text", jsonText(a.text));
        break;
    case keyboard::ASSIGN_MACRO: {
        std::vector<std::pair<std::string_view, std::string>> ref;
        ref.emplace_back("id", std::to_string(a.macroId));
        if (const model::Macro* target = macroWithId(doc, a.macroId)) {
            ref.emplace_back("name", jsonText(target->name));
        }
        ref.emplace_back("cycles", std::to_string(a.cycles));
        m.emplace_back("macro", inlineObject(ref));
        break;
    }
    case keyboard::ASSIGN_MEDIA:
        m.emplace_back("media", jsonText(fileMediaName(a.index)));
        break;
    case keyboard::ASSIGN_FUNCTION_KEY:
        m.emplace_back("function", jsonText(fileFunctionName(a.index)));
        break;
    default:
        break;
    }
    if (stored) {
        m.emplace_back("stored", storedWords(a));
    }
    return inlineObject(m);
}

void writeProfile(Block& profiles, const model::Profile& p, const Document& doc) {
    Block obj = profiles.nested("", '{', '}');
    {
        Block keys = obj.nested("keys", '{', '}');
        for (const auto& [slot, a] : p.keys) {
            keys.member(fileKeyName(keyboard::KeyCodeFromIndex(static_cast<uint8_t>(slot))),
                        assignmentText(a, doc));
        }
    }
    {
        Block g = obj.nested("gKeys", '{', '}');
        for (int layer = 0; layer < 2; ++layer) {
            Block l = g.nested(layer == 0 ? "layer0" : "layer1", '{', '}');
            for (const auto& [slot, a] : p.gKeys) {
                if (model::isLayer1(slot) == (layer == 1)) {
                    l.member(fileGKeyName(slot), assignmentText(a, doc));
                }
            }
        }
    }
    obj.member("gKeyTags", boolean(p.gKeyTags));
    std::string colourKeys = "[";
    for (int position : p.colourKeys) {
        colourKeys += (colourKeys.size() > 1 ? ", " : "") + jsonText(fileLitKeyName(position));
    }
    obj.member("colourKeys", colourKeys + "]");
}

void writeMacro(Block& list, const model::Macro& m) {
    Block obj = list.nested("", '{', '}');
    obj.member("id", std::to_string(m.id));
    obj.member("name", jsonText(m.name));
    obj.member("cycles", std::to_string(m.cycles));
    Block actions = obj.nested("actions", '[', ']');
    for (const auto& a : m.actions) {
        actions.item(inlineObject({{"key", jsonText(fileKeyName(a.key))},
                                   {"down", boolean(a.down)},
                                   {"delayMs", std::to_string(a.delayMs)}}));
    }
}

void writeLighting(Block& root, const model::Lighting& l) {
    Block obj = root.nested("lighting", '{', '}');
    Block profiles = obj.nested("profiles", '[', ']');
    for (const auto& lp : l.profiles) {
        Block p = profiles.nested("", '{', '}');
        p.member("mode", std::to_string(lp.mode));
        p.member("brightness", std::to_string(lp.brightness));
        p.member("speed", std::to_string(lp.speed));
        p.member("direction", std::to_string(lp.direction));
        p.member("random", boolean(lp.random));
        p.member("effectColour", colour(lp.effectColour));
        p.member("preset", std::to_string(lp.preset));
        p.member("baseColour", colour(lp.baseColour));
        p.member("paintColour", colour(lp.paintColour));
        p.member("reportRate", std::to_string(lp.reportRate));
        Block user = p.nested("userLighting", '{', '}');
        user.member("currentSlot", std::to_string(lp.currentSlot));
        Block slots = user.nested("slots", '[', ']');
        for (const auto& s : lp.slots) {
            Block slot = slots.nested("", '{', '}');
            slot.member("name", jsonText(s.name));
            slot.member("brush", std::to_string(s.brush));
            slot.member("baseColour", colour(s.baseColour));
            slot.member("paintColour", colour(s.paintColour));
            Block keys = slot.nested("keys", '{', '}');
            for (int k = 0; k < kLitKeyCount; ++k) {
                const model::LightKey& key = s.keys[static_cast<size_t>(k)];
                keys.member(fileLitKeyName(k), inlineObject({{"colour", colour(key.colour)},
                                                             {"followsBase", boolean(key.followsBase)}}));
            }
        }
    }
}

} // namespace

std::string writeDocument(const model::Document& doc) {
    std::string out;
    {
        Block root(out, 0, '{', '}');
        root.member("format", jsonText(kFormatName));
        root.member("version", std::to_string(kFormatVersion));
        {
            Block profiles = root.nested("profiles", '[', ']');
            for (const auto& p : doc.profiles) {
                writeProfile(profiles, p, doc);
            }
        }
        {
            Block macros = root.nested("macros", '[', ']');
            for (const auto& m : doc.macros) {
                writeMacro(macros, m);
            }
        }
        if (doc.lighting) {
            writeLighting(root, *doc.lighting);
        }
    }
    out += '\n';
    return out;
}

} // namespace tarvik::profiles::json
