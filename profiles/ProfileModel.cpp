#include "profiles/ProfileModel.h"

#include "lighting/LightingModes.h"
#include "lighting/ProfileParams.h"
#include "platform/Utf.h"
#include "profiles/ProfileFile.h"

#include <algorithm>
#include <cstdio>

namespace tarvik::profiles::model {

namespace {

using keyboard::KeyAssignment;
using keyboard::KeySlot;

constexpr KeySlot kFirstGSlot = keyboard::kFirstGSlotLayer0;
constexpr KeySlot kLastGSlot = keyboard::kFirstGSlotLayer1 + keyboard::kGKeyCount - 1;
constexpr size_t kMaxTextUnits = 1u << 20; // far beyond any path or text block; keeps files small
constexpr size_t kMaxSlotNameUnits = 259;  // what a user lighting file's value holds

bool plainName(std::string_view name) {
    if (name.empty() || (name[0] >= '0' && name[0] <= '9')) {
        return false;
    }
    return std::all_of(name.begin(), name.end(), [](char c) {
        return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_';
    });
}

std::string hex(uint32_t v) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "0x%X", static_cast<unsigned>(v));
    return buf;
}

// A UTF-16 text survives the trip through UTF-8 (no unpaired surrogate).
bool utf8Safe(std::u16string_view text) {
    return toUtf16(toUtf8(text)) == text;
}

bool hasUnit(std::u16string_view text, char16_t unit) {
    return text.find(unit) != std::u16string_view::npos;
}

struct Checker {
    Problem& problem;
    bool fail(std::string path, std::string message) {
        problem.path = std::move(path);
        problem.message = std::move(message);
        return false;
    }
};

bool recordIsZero(const KeyAssignment& r) {
    return r.type == 0 && r.aux == 0 && r.value == 0 && r.flag == 0 && r.reserved == 0;
}

std::string profilePath(unsigned p) {
    return indexPath("$.profiles", p);
}

// The assignment of one record, or false when the record holds what the model cannot carry.
bool assignmentOf(const WorkingCopy& working, size_t index, KeySlot slot, bool gKeyTags, Assignment& a,
                  Checker& check) {
    const KeyAssignment& r = working.records()[index];
    const unsigned profile = static_cast<unsigned>(index / keyboard::kSlotsPerProfile);
    const std::string path = slotPath(profile, slot);
    a = Assignment{};
    a.type = r.type;
    const uint16_t aux = impliedAux(slot, gKeyTags);
    if (r.type != keyboard::ASSIGN_MACRO && r.aux != aux) {
        a.storedAux = r.aux;
    }
    switch (r.type) {
    case keyboard::ASSIGN_DEFAULT:
    case keyboard::ASSIGN_NO_FUNCTION:
    case keyboard::ASSIGN_STOP_MACRO:
        if (r.value != 0) {
            a.storedValue = r.value;
        }
        return true;
    case keyboard::ASSIGN_SINGLE_KEY:
        if (r.value > 0xFFFF || !isValidKeyCode(static_cast<keyboard::KeyCode>(r.value))) {
            return check.fail(path, "the key code " + hex(r.value) + " is not a key");
        }
        a.key = static_cast<keyboard::KeyCode>(r.value);
        return true;
    case keyboard::ASSIGN_LAUNCH:
    case keyboard::ASSIGN_TEXT_BLOCK:
        a.text = working.text(index).text;
        if (!utf8Safe(a.text)) {
            return check.fail(path, "the attached text is not valid UTF-16");
        }
        return true;
    case keyboard::ASSIGN_MACRO:
        if (r.value > macros::kLastMacroId) {
            return check.fail(path, "the macro id " + std::to_string(r.value) + " is above 100");
        }
        if (r.aux > 255) {
            return check.fail(path, "the repeat count " + std::to_string(r.aux) + " is above 255");
        }
        a.macroId = r.value;
        a.cycles = r.aux;
        return true;
    case keyboard::ASSIGN_MEDIA:
        if (r.value >= keyboard::kMediaKeyCount) {
            return check.fail(path, "the media key " + std::to_string(r.value) + " is not one of 0-17");
        }
        a.index = r.value;
        return true;
    case keyboard::ASSIGN_FUNCTION_KEY:
        if (r.value >= keyboard::kFunctionKeyCount) {
            return check.fail(path, "the function " + std::to_string(r.value) + " is not one of 0-10");
        }
        a.index = r.value;
        return true;
    default:
        return check.fail(path, "the assignment type " + std::to_string(r.type) + " is unknown");
    }
}

bool worthListing(const Assignment& a) {
    return a.type != keyboard::ASSIGN_DEFAULT || a.storedAux || a.storedValue;
}

// Whether the G records of a profile mostly carry their tags; records of type 4 keep a repeat count
// there and do not count.
bool mostlyTagged(const WorkingCopy& working, unsigned profile) {
    int tagged = 0;
    int plain = 0;
    for (KeySlot s = kFirstGSlot; s <= kLastGSlot; ++s) {
        const KeyAssignment& r = working.records()[profile * keyboard::kSlotsPerProfile + s];
        if (r.type == keyboard::ASSIGN_MACRO) {
            continue;
        }
        tagged += r.aux == keyboard::GKeyTagOfSlot(s) ? 1 : 0;
        plain += r.aux == 0 ? 1 : 0;
    }
    return tagged >= plain;
}

bool profileFromStore(const WorkingCopy& working, unsigned p, Profile& out, Checker& check) {
    out = Profile{};
    out.gKeyTags = mostlyTagged(working, p);
    for (size_t s = 0; s < keyboard::kSlotsPerProfile; ++s) {
        const size_t index = p * keyboard::kSlotsPerProfile + s;
        const KeyAssignment& r = working.records()[index];
        const auto slot = static_cast<KeySlot>(s);
        if (r.reserved != 0) {
            return check.fail(profilePath(p), "record " + std::to_string(s) +
                                                  " has a reserved word the program never writes");
        }
        if (r.flag != 0) {
            if (s >= keyboard::kKeyButtonCount || r.flag != 1) {
                return check.fail(profilePath(p), "record " + std::to_string(s) +
                                                      " has the colour-keys flag " + hex(r.flag) +
                                                      ", which the program never writes");
            }
            out.colourKeys.insert(static_cast<int>(s));
        }
        KeyAssignment withoutFlag = r;
        withoutFlag.flag = 0;
        if (s == 0 || s > kLastGSlot) {
            if (!recordIsZero(withoutFlag)) {
                return check.fail(profilePath(p),
                                  "record " + std::to_string(s) + " belongs to no key but is not empty");
            }
            continue;
        }
        Assignment a;
        if (!assignmentOf(working, index, slot, out.gKeyTags, a, check)) {
            return false;
        }
        if (worthListing(a)) {
            (isGSlot(slot) ? out.gKeys : out.keys)[slot] = std::move(a);
        }
    }
    return true;
}

// The record every writer of the program makes of these fields.
macros::MacroRecord canonicalMacro(const Macro& m) {
    macros::MacroRecord r;
    r.setName(m.name);
    r.setCycles(m.cycles);
    r.setId(m.id);
    std::vector<macros::MacroAction> actions;
    actions.reserve(m.actions.size());
    for (const auto& a : m.actions) {
        actions.push_back(macros::MacroAction{a.delayMs, a.key, a.down ? macros::kPress : macros::kRelease});
    }
    r.setActions(actions);
    return r;
}

bool macroFromRecord(const macros::MacroRecord& r, size_t i, Macro& out, Checker& check) {
    const std::string path = indexPath("$.macros", i);
    out = Macro{};
    out.id = r.id();
    out.name = r.name();
    out.cycles = r.cycles();
    if (r.storedActionCount() > macros::kMaxActions) {
        return check.fail(path, "the macro announces " + std::to_string(r.storedActionCount()) +
                                    " actions; a macro holds at most 2000");
    }
    for (const auto& a : r.actions()) {
        if (a.direction != macros::kPress && a.direction != macros::kRelease) {
            return check.fail(path, "an action has the direction " + std::to_string(a.direction) +
                                        "; 0 (press) and 1 (release) are the only ones");
        }
        out.actions.push_back(MacroAction{a.key, a.direction == macros::kPress, a.delayMs});
    }
    if (!utf8Safe(out.name)) {
        return check.fail(path, "the macro's name is not valid UTF-16");
    }
    if (canonicalMacro(out) != r) {
        if (r.isNew() != 0) {
            return check.fail(path, "the macro is still marked as new in an editor");
        }
        return check.fail(path, "the macro record holds bytes the program never writes (after its name, in "
                                "its reserved fields or after its last action)");
    }
    return true;
}

bool checkAssignment(const Assignment& a, KeySlot slot, const std::string& path, Checker& check) {
    switch (a.type) {
    case keyboard::ASSIGN_DEFAULT:
    case keyboard::ASSIGN_NO_FUNCTION:
    case keyboard::ASSIGN_STOP_MACRO:
        break;
    case keyboard::ASSIGN_SINGLE_KEY:
        if (!isValidKeyCode(a.key)) {
            return check.fail(path, "the key code " + hex(a.key) + " is not a key");
        }
        break;
    case keyboard::ASSIGN_LAUNCH:
    case keyboard::ASSIGN_TEXT_BLOCK:
        if (hasUnit(a.text, u'\0')) {
            return check.fail(path, "the text holds a NUL character");
        }
        if (a.text.size() > kMaxTextUnits) {
            return check.fail(path, "the text is longer than " + std::to_string(kMaxTextUnits) + " units");
        }
        break;
    case keyboard::ASSIGN_MACRO:
        if (a.macroId > macros::kLastMacroId) {
            return check.fail(path, "the macro id " + std::to_string(a.macroId) + " is above 100");
        }
        if (a.cycles > 255) {
            return check.fail(path, "the repeat count " + std::to_string(a.cycles) + " is above 255");
        }
        if (a.storedAux) {
            return check.fail(path, "a macro assignment keeps its repeat count in aux; no stored aux");
        }
        break;
    case keyboard::ASSIGN_MEDIA:
        if (a.index >= keyboard::kMediaKeyCount) {
            return check.fail(path, "the media key " + std::to_string(a.index) + " is not one of 0-17");
        }
        break;
    case keyboard::ASSIGN_FUNCTION_KEY:
        if (a.index >= keyboard::kFunctionKeyCount) {
            return check.fail(path, "the function " + std::to_string(a.index) + " is not one of 0-10");
        }
        break;
    default:
        return check.fail(path, "the assignment type " + std::to_string(a.type) + " is unknown");
    }
    if (a.storedValue && a.type != keyboard::ASSIGN_DEFAULT && a.type != keyboard::ASSIGN_NO_FUNCTION &&
        a.type != keyboard::ASSIGN_STOP_MACRO) {
        return check.fail(path, "only default, none and stopMacro keep a stored value");
    }
    (void)slot;
    return true;
}

bool checkLighting(const Lighting& l, Checker& check) {
    for (size_t p = 0; p < l.profiles.size(); ++p) {
        const LightingProfile& lp = l.profiles[p];
        const std::string path = indexPath("$.lighting.profiles", p);
        if (!lighting::isKnownMode(lp.mode)) {
            return check.fail(memberPath(path, "mode"),
                              "the lighting mode " + std::to_string(lp.mode) + " is not one of 1-18 and 20");
        }
        if (lp.brightness > lighting::kLevelMax) {
            return check.fail(memberPath(path, "brightness"), "the brightness must be 0-5");
        }
        if (lp.speed > lighting::kLevelMax) {
            return check.fail(memberPath(path, "speed"), "the speed must be 0-5");
        }
        if (lp.reportRate > lighting::kReportRateMax) {
            return check.fail(memberPath(path, "reportRate"), "the report rate must be 0-3");
        }
        const std::string user = memberPath(path, "userLighting");
        if (lp.currentSlot < 0 || lp.currentSlot >= kLightSlots) {
            return check.fail(memberPath(user, "currentSlot"), "the current slot must be 0-9");
        }
        for (size_t s = 0; s < lp.slots.size(); ++s) {
            const LightSlot& slot = lp.slots[s];
            const std::string sp = indexPath(memberPath(user, "slots"), s);
            if (slot.brush != 0 && slot.brush != 1) {
                return check.fail(memberPath(sp, "brush"), "the brush must be 0 (paint) or 1 (base colour)");
            }
            if (slot.name.size() > kMaxSlotNameUnits || hasUnit(slot.name, u'\0') ||
                hasUnit(slot.name, u'\r') || hasUnit(slot.name, u'\n')) {
                return check.fail(memberPath(sp, "name"),
                                  "a slot name is one line of at most 259 characters without NUL");
            }
        }
    }
    return true;
}

} // namespace

std::string memberPath(std::string_view parent, std::string_view name) {
    std::string out(parent);
    if (plainName(name)) {
        out += '.';
        out += name;
        return out;
    }
    out += "[\"";
    for (char c : name) {
        if (c == '"' || c == '\\') {
            out += '\\';
        }
        out += c;
    }
    out += "\"]";
    return out;
}

std::string indexPath(std::string_view parent, size_t index) {
    return std::string(parent) + "[" + std::to_string(index) + "]";
}

std::string slotPath(unsigned profile, keyboard::KeySlot slot) {
    const std::string p = profilePath(profile);
    if (isGSlot(slot)) {
        return memberPath(memberPath(memberPath(p, "gKeys"), isLayer1(slot) ? "layer1" : "layer0"),
                          fileGKeyName(slot));
    }
    return memberPath(memberPath(p, "keys"),
                      fileKeyName(keyboard::KeyCodeFromIndex(static_cast<uint8_t>(slot))));
}

bool isGSlot(keyboard::KeySlot slot) {
    return slot >= kFirstGSlot && slot <= kLastGSlot;
}

bool isLayer1(keyboard::KeySlot slot) {
    return slot >= keyboard::kFirstGSlotLayer1 && slot <= kLastGSlot;
}

uint16_t impliedAux(keyboard::KeySlot slot, bool gKeyTags) {
    return isGSlot(slot) && gKeyTags ? keyboard::GKeyTagOfSlot(slot) : 0;
}

bool documentFromStore(const WorkingCopy& working, Document& out, Problem& problem) {
    Checker check{problem};
    out = Document{};
    for (unsigned p = 0; p < keyboard::kProfileCount; ++p) {
        if (!profileFromStore(working, p, out.profiles[p], check)) {
            return false;
        }
    }
    const auto& list = working.macros();
    if (list.size() > macros::kMaxMacros) {
        return check.fail("$.macros", "more than 100 macros");
    }
    for (size_t i = 0; i < list.size(); ++i) {
        Macro m;
        if (!macroFromRecord(list[i], i, m, check)) {
            return false;
        }
        out.macros.push_back(std::move(m));
    }
    return checkDocument(out, problem);
}

bool checkDocument(const Document& doc, Problem& problem) {
    Checker check{problem};
    for (unsigned p = 0; p < keyboard::kProfileCount; ++p) {
        const Profile& profile = doc.profiles[p];
        for (const auto& [slot, a] : profile.keys) {
            if (slot == 0 || slot > 0xFF) {
                return check.fail(memberPath(profilePath(p), "keys"), "a key slot is out of range");
            }
            if (!checkAssignment(a, slot, slotPath(p, slot), check)) {
                return false;
            }
        }
        for (const auto& [slot, a] : profile.gKeys) {
            if (!isGSlot(slot)) {
                return check.fail(memberPath(profilePath(p), "gKeys"), "a G key slot is out of range");
            }
            if (!checkAssignment(a, slot, slotPath(p, slot), check)) {
                return false;
            }
        }
        for (int position : profile.colourKeys) {
            if (position < 0 || position >= static_cast<int>(keyboard::kKeyButtonCount)) {
                return check.fail(memberPath(profilePath(p), "colourKeys"), "a key button is out of range");
            }
        }
    }
    if (doc.macros.size() > macros::kMaxMacros) {
        return check.fail("$.macros", "more than 100 macros");
    }
    std::set<uint16_t> ids;
    for (size_t i = 0; i < doc.macros.size(); ++i) {
        const Macro& m = doc.macros[i];
        const std::string path = indexPath("$.macros", i);
        if (m.id < macros::kFirstMacroId || m.id > macros::kLastMacroId) {
            return check.fail(memberPath(path, "id"), "a macro id is 1-100");
        }
        if (!ids.insert(m.id).second) {
            return check.fail(memberPath(path, "id"),
                              "the macro id " + std::to_string(m.id) + " is taken twice");
        }
        if (m.name.size() > macros::kMaxNameUnits || hasUnit(m.name, u'\0')) {
            return check.fail(memberPath(path, "name"),
                              "a macro name has at most 249 UTF-16 units and no NUL");
        }
        if (m.cycles < 1) {
            return check.fail(memberPath(path, "cycles"), "a macro plays 1-255 times");
        }
        if (m.actions.size() > macros::kMaxActions) {
            return check.fail(memberPath(path, "actions"), "a macro holds at most 2000 actions");
        }
        for (size_t k = 0; k < m.actions.size(); ++k) {
            const MacroAction& a = m.actions[k];
            const std::string ap = indexPath(memberPath(path, "actions"), k);
            if (a.key != 0 && !isValidKeyCode(a.key)) {
                return check.fail(memberPath(ap, "key"), "the key code " + hex(a.key) + " is not a key");
            }
            if (a.delayMs > kMaxStoredDelayMs) {
                return check.fail(memberPath(ap, "delayMs"), "a delay is 0-40950 ms");
            }
        }
    }
    return !doc.lighting || checkLighting(*doc.lighting, check);
}

void storeFromDocument(const Document& doc, WorkingCopy& out) {
    WorkingCopy w;
    RecordBlock& block = w.block();
    block = defaultRecordBlock();
    for (unsigned p = 0; p < keyboard::kProfileCount; ++p) {
        const Profile& profile = doc.profiles[p];
        auto records = block.profile(p);
        for (size_t s = 0; s < records.size(); ++s) {
            records[s] = KeyAssignment{};
            records[s].aux = impliedAux(static_cast<KeySlot>(s), profile.gKeyTags);
        }
        auto place = [&](KeySlot slot, const Assignment& a) {
            KeyAssignment& r = records[slot];
            r.type = a.type;
            r.aux = a.storedAux.value_or(impliedAux(slot, profile.gKeyTags));
            switch (a.type) {
            case keyboard::ASSIGN_SINGLE_KEY:
                r.value = a.key;
                break;
            case keyboard::ASSIGN_MACRO:
                r.value = a.macroId;
                r.aux = a.cycles;
                break;
            case keyboard::ASSIGN_MEDIA:
            case keyboard::ASSIGN_FUNCTION_KEY:
                r.value = a.index;
                break;
            case keyboard::ASSIGN_LAUNCH:
            case keyboard::ASSIGN_TEXT_BLOCK:
                w.attachText(p * keyboard::kSlotsPerProfile + slot, a.text);
                break;
            default:
                r.value = a.storedValue.value_or(0);
                break;
            }
        };
        for (const auto& [slot, a] : profile.keys) {
            place(slot, a);
        }
        for (const auto& [slot, a] : profile.gKeys) {
            place(slot, a);
        }
        for (int position : profile.colourKeys) {
            records[static_cast<size_t>(position)].flag = 1;
        }
    }
    for (const Macro& m : doc.macros) {
        w.macros().push_back(canonicalMacro(m));
    }
    out = std::move(w);
}

std::vector<uint8_t> profileBytesFromDocument(const Document& doc) {
    WorkingCopy w;
    storeFromDocument(doc, w);
    return serializeProfile(w);
}

} // namespace tarvik::profiles::model
