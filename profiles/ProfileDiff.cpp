#include "profiles/ProfileDiff.h"

#include "platform/Utf.h"

#include <cstdio>
#include <map>
#include <set>

namespace tarvik::profiles::diff {

namespace {

using model::Document;

// A text in double quotes with quotes, backslashes and line breaks escaped, so a description stays on
// one line and two different texts never read the same.
std::string quotedText(std::u16string_view text) {
    std::string out = "\"";
    for (char c : toUtf8(text)) {
        switch (c) {
        case '"':
        case '\\':
            out += '\\';
            out += c;
            break;
        case '\n':
            out += "\\n";
            break;
        case '\r':
            out += "\\r";
            break;
        case '\t':
            out += "\\t";
            break;
        default:
            out += c;
        }
    }
    return out + "\"";
}

std::string nameText(std::u16string_view name) {
    return "'" + toUtf8(name) + "'";
}

std::string colourText(lighting::Rgb c) {
    char buf[8];
    std::snprintf(buf, sizeof buf, "#%02x%02x%02x", c.r, c.g, c.b);
    return buf;
}

std::string onOff(bool b) {
    return b ? "on" : "off";
}

const model::Macro* macroWithId(const Document& doc, uint32_t id) {
    for (const auto& m : doc.macros) {
        if (m.id == id) {
            return &m;
        }
    }
    return nullptr;
}

std::string profileWhere(unsigned p) {
    return "profile " + std::to_string(p);
}

std::string slotWhere(unsigned p, keyboard::KeySlot slot) {
    if (model::isGSlot(slot)) {
        return profileWhere(p) + ", " + fileGKeyName(slot) + " (layer " +
               (model::isLayer1(slot) ? "1" : "0") + ")";
    }
    return profileWhere(p) + ", key " + fileKeyName(keyboard::KeyCodeFromIndex(static_cast<uint8_t>(slot)));
}

void compareSlots(unsigned p, const std::map<keyboard::KeySlot, model::Assignment>& a,
                  const std::map<keyboard::KeySlot, model::Assignment>& b, const Document& da,
                  const Document& db, std::vector<Difference>& out) {
    static const model::Assignment kDefault{};
    std::set<keyboard::KeySlot> slots;
    for (const auto& [s, _] : a) {
        slots.insert(s);
    }
    for (const auto& [s, _] : b) {
        slots.insert(s);
    }
    for (keyboard::KeySlot s : slots) {
        auto ia = a.find(s);
        auto ib = b.find(s);
        const model::Assignment& x = ia != a.end() ? ia->second : kDefault;
        const model::Assignment& y = ib != b.end() ? ib->second : kDefault;
        if (x == y) {
            continue;
        }
        out.push_back({slotWhere(p, s), model::slotPath(p, s), {{"", describe(x, da), describe(y, db)}}});
    }
}

std::string actionText(const model::MacroAction& a) {
    return fileKeyName(a.key) + (a.down ? " down, " : " up, ") + std::to_string(a.delayMs) + " ms";
}

std::string macroSummary(const model::Macro& m) {
    return std::to_string(m.actions.size()) + " actions, cycles " + std::to_string(m.cycles);
}

void compareMacros(const Document& a, const Document& b, std::vector<Difference>& out) {
    // Matched by id, which is what assignments name; listed in the order of the second file, then the
    // macros only the first one has.
    std::vector<uint16_t> order;
    std::set<uint16_t> seen;
    for (const auto& m : b.macros) {
        order.push_back(m.id);
        seen.insert(m.id);
    }
    for (const auto& m : a.macros) {
        if (seen.insert(m.id).second) {
            order.push_back(m.id);
        }
    }
    auto positionOf = [](const Document& d, uint16_t id) {
        for (size_t i = 0; i < d.macros.size(); ++i) {
            if (d.macros[i].id == id) {
                return i;
            }
        }
        return d.macros.size();
    };
    for (uint16_t id : order) {
        const model::Macro* x = macroWithId(a, id);
        const model::Macro* y = macroWithId(b, id);
        const size_t px = positionOf(a, id);
        const size_t py = positionOf(b, id);
        const model::Macro& named = y != nullptr ? *y : *x;
        Difference d{"macro " + nameText(named.name) + " (id " + std::to_string(id) + ")",
                     model::indexPath("$.macros", y != nullptr ? py : px),
                     {}};
        if (x == nullptr || y == nullptr) {
            d.changes.push_back(
                {"", x != nullptr ? macroSummary(*x) : "absent", y != nullptr ? macroSummary(*y) : "absent"});
            out.push_back(std::move(d));
            continue;
        }
        if (x->name != y->name) {
            d.changes.push_back({"name", nameText(x->name), nameText(y->name)});
        }
        if (x->actions.size() != y->actions.size()) {
            d.changes.push_back({"", std::to_string(x->actions.size()) + " actions",
                                 std::to_string(y->actions.size()) + " actions"});
        } else {
            for (size_t k = 0; k < x->actions.size(); ++k) {
                if (x->actions[k] != y->actions[k]) {
                    d.changes.push_back({"action " + std::to_string(k + 1), actionText(x->actions[k]),
                                         actionText(y->actions[k])});
                    break; // the first one tells where to look
                }
            }
        }
        if (x->cycles != y->cycles) {
            d.changes.push_back({"cycles", std::to_string(x->cycles), std::to_string(y->cycles)});
        }
        if (px != py) {
            // The position is the macro's number on the keyboard.
            d.changes.push_back({"position", std::to_string(px + 1), std::to_string(py + 1)});
        }
        if (!d.changes.empty()) {
            out.push_back(std::move(d));
        }
    }
}

template <typename T> void field(std::vector<Change>& changes, std::string name, const T& x, const T& y) {
    if (x != y) {
        changes.push_back({std::move(name), std::to_string(x), std::to_string(y)});
    }
}

void colourField(std::vector<Change>& changes, std::string name, lighting::Rgb x, lighting::Rgb y) {
    if (x != y) {
        changes.push_back({std::move(name), colourText(x), colourText(y)});
    }
}

std::string lightKeyText(const model::LightKey& k) {
    return colourText(k.colour) + (k.followsBase ? " (follows the base colour)" : "");
}

void compareLighting(const model::Lighting& a, const model::Lighting& b, std::vector<Difference>& out) {
    for (size_t p = 0; p < a.profiles.size(); ++p) {
        const model::LightingProfile& x = a.profiles[p];
        const model::LightingProfile& y = b.profiles[p];
        const std::string path = model::indexPath("$.lighting.profiles", p);
        Difference d{profileWhere(static_cast<unsigned>(p)) + " lighting", path, {}};
        field(d.changes, "mode", int{x.mode}, int{y.mode});
        field(d.changes, "brightness", int{x.brightness}, int{y.brightness});
        field(d.changes, "speed", int{x.speed}, int{y.speed});
        field(d.changes, "direction", int{x.direction}, int{y.direction});
        if (x.random != y.random) {
            d.changes.push_back({"random colours", onOff(x.random), onOff(y.random)});
        }
        colourField(d.changes, "effect colour", x.effectColour, y.effectColour);
        field(d.changes, "preset", int{x.preset}, int{y.preset});
        colourField(d.changes, "base colour", x.baseColour, y.baseColour);
        colourField(d.changes, "paint colour", x.paintColour, y.paintColour);
        field(d.changes, "report rate", int{x.reportRate}, int{y.reportRate});
        field(d.changes, "current user slot", x.currentSlot, y.currentSlot);
        if (!d.changes.empty()) {
            out.push_back(std::move(d));
        }
        for (size_t s = 0; s < x.slots.size(); ++s) {
            const model::LightSlot& sx = x.slots[s];
            const model::LightSlot& sy = y.slots[s];
            const std::string sp = model::indexPath(model::memberPath(path, "userLighting") + ".slots", s);
            const std::string where =
                profileWhere(static_cast<unsigned>(p)) + " user slot " + std::to_string(s);
            Difference h{where, sp, {}};
            if (sx.name != sy.name) {
                h.changes.push_back({"name", nameText(sx.name), nameText(sy.name)});
            }
            field(h.changes, "brush", sx.brush, sy.brush);
            colourField(h.changes, "base colour", sx.baseColour, sy.baseColour);
            colourField(h.changes, "paint colour", sx.paintColour, sy.paintColour);
            if (!h.changes.empty()) {
                out.push_back(std::move(h));
            }
            for (int k = 0; k < kLitKeyCount; ++k) {
                const model::LightKey& kx = sx.keys[static_cast<size_t>(k)];
                const model::LightKey& ky = sy.keys[static_cast<size_t>(k)];
                if (kx != ky) {
                    out.push_back({where + ", key " + fileLitKeyName(k),
                                   model::memberPath(sp + ".keys", fileLitKeyName(k)),
                                   {{"", lightKeyText(kx), lightKeyText(ky)}}});
                }
            }
        }
    }
}

} // namespace

std::string Difference::line() const {
    std::string out = where + ":";
    for (size_t i = 0; i < changes.size(); ++i) {
        const Change& c = changes[i];
        out += i == 0 ? " " : ", ";
        if (!c.field.empty()) {
            out += c.field + " ";
        }
        out += c.from + " \u2192 " + c.to;
    }
    return out;
}

std::string describe(const model::Assignment& a, const Document& doc) {
    std::string out;
    switch (a.type) {
    case keyboard::ASSIGN_DEFAULT:
        out = "default";
        break;
    case keyboard::ASSIGN_NO_FUNCTION:
        out = "none";
        break;
    case keyboard::ASSIGN_STOP_MACRO:
        out = "stop macro";
        break;
    case keyboard::ASSIGN_SINGLE_KEY:
        out = "key " + fileKeyName(a.key);
        break;
    case keyboard::ASSIGN_LAUNCH:
        out = "launch " + quotedText(a.text);
        break;
    case keyboard::ASSIGN_TEXT_BLOCK:
        out = "text " + quotedText(a.text);
        break;
    case keyboard::ASSIGN_MACRO: {
        const model::Macro* m = macroWithId(doc, a.macroId);
        out = "macro " + (m != nullptr ? nameText(m->name) + " " : std::string()) + "(id " +
              std::to_string(a.macroId) + ", cycles " + std::to_string(a.cycles) + ")";
        break;
    }
    case keyboard::ASSIGN_MEDIA:
        out = "media " + fileMediaName(a.index);
        break;
    case keyboard::ASSIGN_FUNCTION_KEY:
        out = "function " + fileFunctionName(a.index);
        break;
    default:
        out = "type " + std::to_string(a.type);
        break;
    }
    if (a.storedAux || a.storedValue) {
        out += " [stored";
        if (a.storedAux) {
            out += " aux " + std::to_string(*a.storedAux);
        }
        if (a.storedValue) {
            out += " value " + std::to_string(*a.storedValue);
        }
        out += "]";
    }
    return out;
}

std::vector<Difference> compare(const Document& a, const Document& b) {
    std::vector<Difference> out;
    for (unsigned p = 0; p < keyboard::kProfileCount; ++p) {
        const model::Profile& x = a.profiles[p];
        const model::Profile& y = b.profiles[p];
        compareSlots(p, x.keys, y.keys, a, b, out);
        compareSlots(p, x.gKeys, y.gKeys, a, b, out);
        if (x.gKeyTags != y.gKeyTags) {
            out.push_back({profileWhere(p) + ", G-key tags",
                           model::memberPath(model::indexPath("$.profiles", p), "gKeyTags"),
                           {{"", onOff(x.gKeyTags), onOff(y.gKeyTags)}}});
        }
        for (int position = 0; position < static_cast<int>(keyboard::kKeyButtonCount); ++position) {
            const bool fx = x.colourKeys.contains(position);
            const bool fy = y.colourKeys.contains(position);
            if (fx != fy) {
                out.push_back({profileWhere(p) + ", colour key " + fileLitKeyName(position),
                               model::memberPath(model::indexPath("$.profiles", p), "colourKeys"),
                               {{"", onOff(fx), onOff(fy)}}});
            }
        }
    }
    compareMacros(a, b, out);
    if (a.lighting && b.lighting) {
        compareLighting(*a.lighting, *b.lighting, out);
    } else if (a.lighting.has_value() != b.lighting.has_value()) {
        out.push_back({"lighting",
                       "$.lighting",
                       {{"", a.lighting ? "present" : "absent", b.lighting ? "present" : "absent"}}});
    }
    return out;
}

} // namespace tarvik::profiles::diff
