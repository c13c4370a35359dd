// The key assignment model: the 16-byte record that gives a key (or a G key) a function other than its
// own, the three-byte key entry in which the keyboard stores a key's function, and the conversion of a
// profile's records into the keyboard's key block and back.
#pragma once

#include "keyboard/DefaultLayout.h"
#include "keyboard/KeyEntry.h"
#include "keyboard/KeyTable.h"
#include "keyboard/Layout.h"
#include "keyboard/MacroLookup.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace tarvik::keyboard {

// Values of KeyAssignment::type.
enum AssignmentType : uint16_t {
    ASSIGN_DEFAULT = 0,      // the key's own function
    ASSIGN_NO_FUNCTION = 1,  // key blocked
    ASSIGN_SINGLE_KEY = 2,   // value: KeyCode of the target key
    ASSIGN_LAUNCH = 3,       // attached text: program path; the keyboard keeps the default function
    ASSIGN_MACRO = 4,        // value: macro id; aux: repeat count 1-255
    ASSIGN_STOP_MACRO = 5,   //
    ASSIGN_TEXT_BLOCK = 6,   // attached text; the keyboard gets no function
    ASSIGN_MEDIA = 7,        // value: index in MediaKeyList
    ASSIGN_FUNCTION_KEY = 8, // value: index in FunctionKeyList
};

// 16 bytes, little-endian: type u16, aux u16, value u32, flag u32, reserved u32.
struct KeyAssignment {
    static constexpr size_t kSize = 16;

    uint16_t type = ASSIGN_DEFAULT;
    uint16_t aux = 0;      // macro repeat count (type 4), else the G-key tag or 0
    uint32_t value = 0;    // the type's argument
    uint32_t flag = 0;     // the colour-keys flag word; 0 whenever the record is assigned
    uint32_t reserved = 0; // always 0

    static KeyAssignment read(std::span<const uint8_t, kSize> bytes);
    void write(std::span<uint8_t, kSize> bytes) const;

    friend bool operator==(const KeyAssignment&, const KeyAssignment&) = default;
};

// The 512 records of one profile, indexed by KeySlot.
using ProfileRecords = std::span<KeyAssignment, kSlotsPerProfile>;
using ConstProfileRecords = std::span<const KeyAssignment, kSlotsPerProfile>;

struct MediaKey {
    std::string_view textKey; // the UI text naming it
    KeyCode key;              // the key code (for its name)
    uint16_t usage;           // consumer-page usage sent to the keyboard
};
inline constexpr size_t kMediaKeyCount = 18;
// In the order of the media combo box: the combo index is the record value.
std::span<const MediaKey, kMediaKeyCount> MediaKeyList();

struct FunctionKey {
    std::string_view textKey; // FUNC_KEY_DESC1 ... FUNC_KEY_DESC11 ("Open", "New", ...)
};
inline constexpr size_t kFunctionKeyCount = 11;
// Index = record value = the n of entry 05 05 n.
std::span<const FunctionKey, kFunctionKeyCount> FunctionKeyList();

// The key an entry stands for (used on default-layout entries to find a slot's key); 0 for none.
KeyCode KeyOfKeyEntry(const KeyEntry& entry);
// The entry the keyboard gets for a record in a slot whose default entry is defaultEntry.
KeyEntry EncodeKeyEntry(const KeyAssignment& record, const KeyEntry& defaultEntry, const MacroLookup& macros);

// One profile's key block from its records (in the applied copy). G-key records are never read.
KeyBlock BuildKeyBlock(ConstProfileRecords records, const MacroLookup& macros, const DefaultLayout& layout);
KeyBlock BuildKeyBlock(ConstProfileRecords records, const MacroLookup& macros); // current default layout

// Replaces all 512 records of a profile from a key block read from the keyboard.
void ReadKeyBlock(std::span<const uint8_t, kKeyBlockSize> block, ProfileRecords records,
                  const DefaultLayout& layout);
void ReadKeyBlock(std::span<const uint8_t, kKeyBlockSize> block, ProfileRecords records);

// Zeroes the 512 records and writes each G-key record's tag.
void ResetProfileRecords(ProfileRecords records);
// Restore defaults for the keys (records part): zeroes the whole record of the nine G keys of the given
// layer and of the slot of every key button; other records are left as they are.
void ResetCurrentKeyboardKeys(ProfileRecords records, int gKeyLayer);

// The tooltip of a button and whether it shows its assigned look.
struct AssignmentSummaryText {
    std::u16string text;
    bool assigned = false;
};
// controlId is a key button or a G button; slot its slot; record the slot's record.
AssignmentSummaryText AssignmentSummary(int controlId, KeySlot slot, const KeyAssignment& record,
                                        const MacroLookup& macros);

// The records and attached texts of the working copy as AssignToSlot reaches them. The assignment
// store implements it; the caller holds the key-data lock.
class AssignmentRecordSink {
public:
    virtual ~AssignmentRecordSink() = default;
    // Index p x 512 + slot over all profiles.
    virtual void setRecord(size_t recordIndex, const KeyAssignment& record) = 0;
    // Releases the text attached to a record and takes its size off the store's total; no text: nothing.
    virtual void releaseText(size_t recordIndex) = 0;
    // Attaches a text (its size in bytes including the terminator joins the store's total).
    virtual void attachText(size_t recordIndex, std::u16string_view text) = 0;
};

// Writes one record of the given profile: releases any text attached to it, writes the record whole
// with its flag and reserved words as 0, and attaches text when given. Returns the record index written, or
// -1 for a profile or slot out of range.
long AssignToSlot(AssignmentRecordSink& store, unsigned profile, KeySlot slot, const KeyAssignment& record,
                  std::optional<std::u16string_view> text = std::nullopt);

} // namespace tarvik::keyboard
