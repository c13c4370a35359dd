// The macro record: a named list of timed key presses and releases that the keyboard stores and plays by
// itself. The record is the same 16512 bytes in memory and in profile files, so it is kept as those bytes
// and read and written field by field; a record loaded from a file therefore saves back byte for byte.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace tarvik::macros {

inline constexpr size_t kMacroRecordSize = 16512;
inline constexpr size_t kMacroActionSize = 8;
inline constexpr size_t kMaxMacros = 100;
inline constexpr size_t kMaxActions = 2000;
inline constexpr size_t kMaxNameUnits = 249; // before the terminator
inline constexpr uint16_t kFirstMacroId = 1;
inline constexpr uint16_t kLastMacroId = 100;
inline constexpr uint32_t kMaxDelayMs = 40000; // as edited; the keyboard keeps 10 ms units

// Field offsets of the record.
inline constexpr size_t kOffName = 0; // 250 UTF-16 units, the last one for the terminator
inline constexpr size_t kOffCycles = 500;
inline constexpr size_t kOffReserved501 = 501;
inline constexpr size_t kOffIsNew = 502;
inline constexpr size_t kOffReserved504 = 504;
inline constexpr size_t kOffId = 506;
inline constexpr size_t kOffActionCount = 508;
inline constexpr size_t kOffReserved510 = 510;
inline constexpr size_t kOffActions = 512;
static_assert(kOffActions + kMaxActions * kMacroActionSize == kMacroRecordSize);
static_assert((kMaxNameUnits + 1) * 2 == kOffCycles);

inline constexpr uint16_t kPress = 0;
inline constexpr uint16_t kRelease = 1;

struct MacroAction {
    uint32_t delayMs = 0;   // pause after this action
    uint16_t key = 0;       // a KeyCode
    uint16_t direction = 0; // kPress or kRelease

    static MacroAction read(std::span<const uint8_t, kMacroActionSize> bytes);
    void write(std::span<uint8_t, kMacroActionSize> bytes) const;

    friend bool operator==(const MacroAction&, const MacroAction&) = default;
};

class MacroRecord {
public:
    // All 16512 bytes zero.
    MacroRecord() : bytes_{} {}
    explicit MacroRecord(std::span<const uint8_t, kMacroRecordSize> bytes);
    static MacroRecord fromBytes(std::span<const uint8_t, kMacroRecordSize> bytes) {
        return MacroRecord(bytes);
    }

    std::span<const uint8_t, kMacroRecordSize> bytes() const { return bytes_; }

    // The units before the terminator, never more than 249 (a stored name without terminator is cut).
    std::u16string name() const;
    size_t nameLength() const;
    // Stores at most 249 units (cut at an embedded 0) and zero-fills the rest of the field.
    void setName(std::u16string_view name);

    uint8_t cycles() const { return bytes_[kOffCycles]; }
    void setCycles(uint8_t c) { bytes_[kOffCycles] = c; }
    uint16_t isNew() const;
    void setIsNew(uint16_t v);
    uint16_t reserved504() const;
    void setReserved504(uint16_t v);
    uint16_t id() const;
    void setId(uint16_t id);

    // The stored count, which a file may set above 2000.
    uint16_t storedActionCount() const;
    // The count every user of the actions goes by: the stored count, at most 2000.
    size_t actionCount() const;
    MacroAction action(size_t i) const; // i < 2000
    std::vector<MacroAction> actions() const;
    // Stores the first 2000 actions and their count; the slots after them are zeroed.
    void setActions(std::span<const MacroAction> actions);

    friend bool operator==(const MacroRecord&, const MacroRecord&) = default;

private:
    // Filled by every constructor: zeroed, or copied whole.
    std::array<uint8_t, kMacroRecordSize> bytes_;
};

// A macro set: 0 to 100 records in list order.
using MacroSet = std::vector<MacroRecord>;

// The lowest id 1-100 that no macro of the list uses; 0 when all are taken.
uint16_t lowestFreeId(std::span<const MacroRecord> list);
// A new record for an editor's list: zeroed, the name, cycles 1, isNew 1, the lowest free id, no actions.
MacroRecord createMacroRecord(std::span<const MacroRecord> list, std::u16string_view name);

// The index of the first macro with this id; 0 when none has it (the keyboard then plays macro 0).
size_t macroPosition(std::span<const MacroRecord> list, uint32_t id);

} // namespace tarvik::macros
