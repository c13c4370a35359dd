// A profile file as meanings rather than bytes: per profile the assignments of the keys and G keys that
// are not at their default, the colour-keys flags, the macros with their actions, and optionally the
// lighting of the three on-board profiles. The readable (JSON) profile file and the profile diff are both
// built on it.
//
// The model carries every byte the program ever writes into a profile file, so a file goes to the model
// and back byte for byte. The record words that the kind of an assignment does not fix (a tag left in a
// G key's record, the macro id and repeat count a reset record kept) travel as "stored" words.
#pragma once

#include "keyboard/KeyAssignment.h"
#include "lighting/Colour.h"
#include "macros/MacroRecord.h"
#include "profiles/AssignmentStore.h"
#include "profiles/ProfileKeyNames.h"

#include <array>
#include <cstdint>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace tarvik::profiles::model {

// The longest delay the keyboard can play: 10 ms units in 12 bits.
inline constexpr uint32_t kMaxStoredDelayMs = 0x0FFF * 10;

struct Assignment {
    uint16_t type = keyboard::ASSIGN_DEFAULT;
    keyboard::KeyCode key = 0; // ASSIGN_SINGLE_KEY
    uint32_t index = 0;        // ASSIGN_MEDIA, ASSIGN_FUNCTION_KEY
    uint32_t macroId = 0;      // ASSIGN_MACRO: 0-100, an id no macro has plays the first macro
    uint16_t cycles = 0;       // ASSIGN_MACRO: repeat count 0-255 (0 as read back from the keyboard)
    std::u16string text;       // ASSIGN_LAUNCH (the program path), ASSIGN_TEXT_BLOCK
    // Record words the kind does not fix, when they differ from what the kind implies: aux for every kind
    // but a macro, value for default, none and stop macro.
    std::optional<uint16_t> storedAux;
    std::optional<uint32_t> storedValue;

    friend bool operator==(const Assignment&, const Assignment&) = default;
};

struct Profile {
    std::map<keyboard::KeySlot, Assignment> keys;  // slots 1-255: not at the default or with stored words
    std::map<keyboard::KeySlot, Assignment> gKeys; // slots 256-273, likewise
    // Whether the G keys' records carry their tag (in aux) unless an assignment says otherwise.
    bool gKeyTags = true;
    std::set<int> colourKeys; // key button positions 0-103 whose colour-keys flag is on

    friend bool operator==(const Profile&, const Profile&) = default;
};

struct MacroAction {
    keyboard::KeyCode key = 0; // 0: an action without a key, as the keyboard may hand back
    bool down = true;
    uint32_t delayMs = 0;
    friend bool operator==(const MacroAction&, const MacroAction&) = default;
};

struct Macro {
    uint16_t id = 0; // 1-100, unique
    std::u16string name;
    uint8_t cycles = 1;
    std::vector<MacroAction> actions;
    friend bool operator==(const Macro&, const Macro&) = default;
};

// One colour layout of a user lighting file, for the 104 key buttons and Fn (lit keys).
struct LightKey {
    lighting::Rgb colour{255, 0, 0};
    bool followsBase = true;
    friend bool operator==(const LightKey&, const LightKey&) = default;
};
struct LightSlot {
    std::u16string name = u"0";
    int brush = 0;
    lighting::Rgb baseColour;
    lighting::Rgb paintColour;
    std::array<LightKey, kLitKeyCount> keys{};
    friend bool operator==(const LightSlot&, const LightSlot&) = default;
};
inline constexpr int kLightSlots = 10;

struct LightingProfile {
    uint8_t mode = 1;
    uint8_t brightness = 0;
    uint8_t speed = 0;
    uint8_t direction = 0;
    bool random = false;
    lighting::Rgb effectColour;
    uint8_t preset = 0;
    lighting::Rgb baseColour;
    lighting::Rgb paintColour;
    uint8_t reportRate = 0;
    int currentSlot = 0;
    std::array<LightSlot, kLightSlots> slots{};
    friend bool operator==(const LightingProfile&, const LightingProfile&) = default;
};

struct Lighting {
    std::array<LightingProfile, 3> profiles{};
    friend bool operator==(const Lighting&, const Lighting&) = default;
};

struct Document {
    std::array<Profile, keyboard::kProfileCount> profiles{};
    std::vector<Macro> macros;
    std::optional<Lighting> lighting;
    friend bool operator==(const Document&, const Document&) = default;
};

// Where something is wrong, as a JSON path into the readable file ("$.profiles[1].keys.A"), and what.
struct Problem {
    std::string path;
    std::string message;
};

// JSON path pieces: ".name" for a plain name, "[\"Caps Lock\"]" otherwise; "[3]" for an array index.
std::string memberPath(std::string_view parent, std::string_view name);
std::string indexPath(std::string_view parent, size_t index);
// The path of the assignment of a slot of profile p.
std::string slotPath(unsigned profile, keyboard::KeySlot slot);

bool isGSlot(keyboard::KeySlot slot);
bool isLayer1(keyboard::KeySlot slot);
// The aux a record of this slot gets when nothing else is said: the G key's tag when the profile's
// G keys carry them, else 0.
uint16_t impliedAux(keyboard::KeySlot slot, bool gKeyTags);

// The model of a working copy. False, with the place of the first content the model cannot carry (a
// value out of range, words no writer of the program leaves behind), and out unspecified.
bool documentFromStore(const WorkingCopy& working, Document& out, Problem& problem);

// The checks a document must pass before it may become a store: every value in range, macro ids
// unique, macro names without a 0 unit. The readable file's reader checks the same as it reads.
bool checkDocument(const Document& doc, Problem& problem);

// The working copy a checked document stands for (the lighting is not part of it).
void storeFromDocument(const Document& doc, WorkingCopy& out);

// The bytes of the profile file a checked document stands for.
std::vector<uint8_t> profileBytesFromDocument(const Document& doc);

} // namespace tarvik::profiles::model
