// Stores and documents to carry through the readable profile file: the program's own shapes (a new
// default store, a store read back from a keyboard) and the odd ones it also leaves behind (records a
// deleted macro left, G keys with and without tags, colour-keys flags, texts that need escaping).
#pragma once

#include "keyboard/KeyAssignment.h"
#include "profiles/AssignmentStore.h"
#include "profiles/ProfileFile.h"
#include "profiles/ProfileModel.h"
#include "tests/profiles/StoreSamples.h"

#include <string>
#include <vector>

namespace tarvik::testing {

struct NamedBytes {
    std::string name;
    std::vector<uint8_t> bytes;
};

inline std::vector<uint8_t> bytesOf(profiles::AssignmentStore& store) {
    auto lock = store.lockKeyData();
    return profiles::serializeProfile(store.working());
}

// Everything a writer of the program leaves in a file, each in its own store.
inline std::vector<NamedBytes> programShapedFiles() {
    using namespace keyboard;
    std::vector<NamedBytes> files;
    {
        profiles::AssignmentStore s; // a new default store: tags on profile 0 only
        files.push_back({"default store", bytesOf(s)});
    }
    {
        profiles::AssignmentStore s;
        fillSampleStore(s);
        files.push_back({"sample store", bytesOf(s)});
    }
    {
        profiles::AssignmentStore s;
        fillSampleStore(s);
        auto lock = s.lockKeyData();
        profiles::WorkingCopy& w = s.working();
        // A macro deleted in the editor: the record goes back to type 0 and keeps id and repeat count.
        KeyAssignment leftover;
        leftover.type = ASSIGN_DEFAULT;
        leftover.value = 7;
        leftover.aux = 3;
        w.setRecord(1 * 512 + 0x1E, leftover);
        // Restore defaults zeroed the layer-1 G keys of profile 0 (their tags with them).
        for (KeySlot g = kFirstGSlotLayer1; g < kFirstGSlotLayer1 + kGKeyCount; ++g) {
            w.setRecord(g, KeyAssignment{});
        }
        // A G key of an untagged profile given a key, with its tag, as the dialog writes it.
        KeyAssignment gKey;
        gKey.type = ASSIGN_SINGLE_KEY;
        gKey.value = 0x03B;
        gKey.aux = GKeyTagOfSlot(258);
        w.setRecord(3 * 512 + 258, gKey);
        KeyAssignment gMacro;
        gMacro.type = ASSIGN_MACRO;
        gMacro.value = 2;
        gMacro.aux = 0; // read back from a keyboard: no repeat count
        w.setRecord(0 * 512 + 266, gMacro);
        // Colour-keys flags of key button positions 0, 5 and 103.
        for (size_t r : {size_t{0}, size_t{5}, size_t{103}}) {
            KeyAssignment withFlag = w.records()[r];
            withFlag.flag = 1;
            w.setRecord(r, withFlag);
        }
        // Texts that need escaping, a key that has no unique name, a macro id no macro has.
        KeyAssignment launch;
        launch.type = ASSIGN_LAUNCH;
        w.setRecord(2 * 512 + 0x2C, launch);
        w.attachText(2 * 512 + 0x2C, u"/opt/\u00fc \u2713/run \"x\"\\y");
        KeyAssignment text;
        text.type = ASSIGN_TEXT_BLOCK;
        w.setRecord(3 * 512 + 0x2D, text);
        w.attachText(3 * 512 + 0x2D, u"line one\nline\ttwo \U0001F3AE");
        KeyAssignment second;
        second.type = ASSIGN_SINGLE_KEY;
        second.value = 0x136; // the second "Right Shift" row
        w.setRecord(0 * 512 + 0xB6, second);
        KeyAssignment dangling;
        dangling.type = ASSIGN_MACRO;
        dangling.value = 77;
        dangling.aux = 9;
        w.setRecord(1 * 512 + 0x2E, dangling);
        // Macro actions as a keyboard may hand them back: a key it has no code for, the longest delay.
        macros::MacroRecord m = macros::createMacroRecord(w.macros(), u"\U0001F3AE play");
        m.setIsNew(0);
        m.setCycles(255);
        m.setActions(
            std::vector<macros::MacroAction>{{40950, 0, macros::kPress}, {0, 0x155, macros::kRelease}});
        w.macros().push_back(m);
        files.push_back({"odd store", profiles::serializeProfile(w)});
    }
    {
        profiles::AssignmentStore s; // the limits of a file: 100 macros, 2000 actions in one of them
        auto lock = s.lockKeyData();
        auto& list = s.working().macros();
        for (int i = 0; i < 100; ++i) {
            const std::u16string name = u"m" + std::u16string(1, static_cast<char16_t>(u'A' + i % 26));
            list.push_back(sampleMacro(list, name, 1, i == 50 ? 2000 : 2));
        }
        files.push_back({"macro limits", profiles::serializeProfile(s.working())});
    }
    return files;
}

// A lighting part with every field away from its default.
inline profiles::model::Lighting sampleLighting() {
    profiles::model::Lighting l;
    for (size_t p = 0; p < 3; ++p) {
        auto& lp = l.profiles[p];
        lp.mode = p == 2 ? 20 : static_cast<uint8_t>(5 + p);
        lp.brightness = static_cast<uint8_t>(p + 1);
        lp.speed = 4;
        lp.direction = 0xFF;
        lp.random = p == 1;
        lp.effectColour = {10, 20, static_cast<uint8_t>(30 + p)};
        lp.preset = 8;
        lp.baseColour = {255, 255, 255};
        lp.paintColour = {1, 2, 3};
        lp.reportRate = static_cast<uint8_t>(p);
        lp.currentSlot = static_cast<int>(p) + 3;
        for (size_t s = 0; s < lp.slots.size(); ++s) {
            auto& slot = lp.slots[s];
            slot.name =
                s == 1 ? u"Game \u6e38\u620f" : u"slot " + std::u16string(1, static_cast<char16_t>(u'0' + s));
            slot.brush = static_cast<int>(s % 2);
            slot.baseColour = {static_cast<uint8_t>(s), 0, 0};
            slot.paintColour = {0, static_cast<uint8_t>(s), 0};
            slot.keys[s * 10] = {{0, 0, static_cast<uint8_t>(s + 1)}, false};
            slot.keys[104] = {{9, 9, 9}, s % 2 == 0}; // Fn
        }
    }
    return l;
}

} // namespace tarvik::testing
