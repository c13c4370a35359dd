// Stores to carry through keyboards and files in tests: assignments of every kind, in the three on-board
// profiles and in profile 3, and macros with names that need escaping.
#pragma once

#include "keyboard/KeyAssignment.h"
#include "profiles/AssignmentStore.h"

#include <gtest/gtest.h>

#include <span>
#include <string_view>
#include <vector>

namespace tarvik::testing {

struct SampleAssignment {
    unsigned profile;
    keyboard::KeySlot slot;
    uint16_t type;
    uint32_t value;
    // What reading the keyboard gives back for it: launch program keeps the default entry (type 0), a
    // text block sends no function (type 1); the key block carries no repeat count.
    uint16_t typeBack;
    uint32_t valueBack;
};

// Key A 0x1E, B 0x30, S 0x1F, D 0x20, F 0x21, G 0x22, H 0x23, J 0x24, K 0x25, Q 0x10.
inline const std::vector<SampleAssignment>& sampleAssignments() {
    using namespace keyboard;
    static const std::vector<SampleAssignment> list = {
        {0, 0x1E, ASSIGN_SINGLE_KEY, 0x030, ASSIGN_SINGLE_KEY, 0x030},
        {0, 0x30, ASSIGN_NO_FUNCTION, 0, ASSIGN_NO_FUNCTION, 0},
        {0, 0x10, ASSIGN_SINGLE_KEY, 0x138, ASSIGN_SINGLE_KEY, 0x138}, // Right Alt: a modifier entry
        {1, 0x1F, ASSIGN_MACRO, 2, ASSIGN_MACRO, 2},
        {1, 0x20, ASSIGN_STOP_MACRO, 0, ASSIGN_STOP_MACRO, 0},
        {1, 0x24, ASSIGN_MACRO, 1, ASSIGN_MACRO, 1},
        {2, 0x21, ASSIGN_MEDIA, 15, ASSIGN_MEDIA, 15},
        {2, 0x22, ASSIGN_FUNCTION_KEY, 10, ASSIGN_FUNCTION_KEY, 10},
        {2, 0x23, ASSIGN_LAUNCH, 0, ASSIGN_DEFAULT, 0},
        {2, 0x25, ASSIGN_TEXT_BLOCK, 0, ASSIGN_NO_FUNCTION, 0},
        {3, 0x1E, ASSIGN_SINGLE_KEY, 0x030, ASSIGN_DEFAULT, 0}, // profile 3 never reaches the keyboard
    };
    return list;
}

inline macros::MacroRecord sampleMacro(const macros::MacroSet& list, std::u16string_view name, uint8_t cycles,
                                       size_t actions) {
    macros::MacroRecord m = macros::createMacroRecord(list, name);
    m.setIsNew(0);
    m.setCycles(cycles);
    std::vector<macros::MacroAction> a;
    for (size_t i = 0; i < actions; ++i) {
        const uint16_t keys[] = {0x1E, 0x138, 0x130, 0x15E, 0x02A};
        a.push_back(
            macros::MacroAction{static_cast<uint32_t>(10 * i), keys[i % 5], static_cast<uint16_t>(i % 2)});
    }
    m.setActions(a);
    return m;
}

// Fills the working copy (caller holds nothing; the key-data lock is taken here).
inline void fillSampleStore(profiles::AssignmentStore& store) {
    auto lock = store.lockKeyData();
    profiles::WorkingCopy& w = store.working();
    // After any read from the keyboard every on-board profile carries its G-key tags.
    keyboard::ResetProfileRecords(w.block().profile(1));
    keyboard::ResetProfileRecords(w.block().profile(2));
    auto& list = w.macros();
    list.push_back(sampleMacro(list, u"first", 4, 3));
    list.push_back(sampleMacro(list, u"Q\"ü✓\\", 2, 7));
    list.push_back(sampleMacro(list, u"third", 255, 0));
    for (const auto& s : sampleAssignments()) {
        keyboard::KeyAssignment r;
        r.type = s.type;
        r.value = s.value;
        r.aux = s.type == keyboard::ASSIGN_MACRO ? 3 : 0;
        size_t index = s.profile * 512 + s.slot;
        w.setRecord(index, r);
        if (profiles::carriesText(s.type)) {
            w.attachText(index, u"/usr/bin/true");
        }
    }
}

// What reading the keyboard gives back after the sample store was downloaded: the on-board profiles
// reset (with their G-key tags) and the samples as the key blocks carry them; profile 3 all zero.
inline std::vector<keyboard::KeyAssignment> sampleRecordsBack() {
    std::vector<keyboard::KeyAssignment> expected(2048);
    for (unsigned p = 0; p < 3; ++p) {
        keyboard::ResetProfileRecords(
            std::span<keyboard::KeyAssignment, 512>(expected.data() + p * 512, 512));
    }
    for (const auto& s : sampleAssignments()) {
        if (s.profile < 3) {
            expected[s.profile * 512 + s.slot].type = s.typeBack;
            expected[s.profile * 512 + s.slot].value = s.valueBack;
        }
    }
    return expected;
}

// The sample store read back from a keyboard: records as above, macros renumbered 1, 2, ... with their
// names, cycles and actions.
inline void expectSampleStoreBack(profiles::AssignmentStore& sent, profiles::AssignmentStore& back) {
    auto sentLock = sent.lockKeyData();
    auto backLock = back.lockKeyData();
    std::vector<keyboard::KeyAssignment> expected = sampleRecordsBack();
    for (size_t i = 0; i < 2048; ++i) {
        ASSERT_EQ(back.working().records()[i], expected[i]) << "record " << i;
    }
    const auto& got = back.working().macros();
    const auto& macros = sent.working().macros();
    ASSERT_EQ(got.size(), macros.size());
    for (size_t i = 0; i < got.size(); ++i) {
        EXPECT_EQ(got[i].id(), i + 1);
        EXPECT_EQ(got[i].name(), macros[i].name());
        EXPECT_EQ(got[i].cycles(), macros[i].cycles());
        EXPECT_EQ(got[i].actions(), macros[i].actions());
    }
}

} // namespace tarvik::testing
