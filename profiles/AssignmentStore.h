// The assignment store: the key assignment records of four profiles, the texts attached to some of them
// and the macro set, held twice. The working copy is what every editor changes; the applied copy is the
// snapshot taken at each download, from which the keyboard's key blocks and macro image are built. Once
// the keyboard has taken a download, or has been read, the applied copy is what it holds: the base that
// tells the user's edits from another program's changes (KeyboardGuard.h).
//
// Locks: the key-data lock guards the working copy, the applied-copy lock the applied copy. Both are
// re-entrant, and the applied-copy lock is only ever taken while the key-data lock is held: lockApplied()
// is the one way to take it and takes the key-data lock first.
#pragma once

#include "keyboard/KeyAssignment.h"
#include "macros/MacroRecord.h"
#include "profiles/KeyboardFingerprint.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace tarvik::profiles {

inline constexpr size_t kRecordCount = keyboard::kProfileCount * keyboard::kSlotsPerProfile; // 2048
inline constexpr size_t kHeaderAreaSize = 64; // file header + device identity block
inline constexpr size_t kRecordBlockSize = kHeaderAreaSize + kRecordCount * keyboard::KeyAssignment::kSize;
static_assert(kRecordBlockSize == 32832);

// The 64-byte header area of a profile file followed by the 2048 records; record p x 512 + slot belongs to
// profile p and key slot slot.
struct RecordBlock {
    std::array<uint8_t, kHeaderAreaSize> headerArea{};
    std::array<keyboard::KeyAssignment, kRecordCount> records{};

    keyboard::ProfileRecords profile(unsigned p) {
        return keyboard::ProfileRecords(records.data() + p * keyboard::kSlotsPerProfile,
                                        keyboard::kSlotsPerProfile);
    }
    keyboard::ConstProfileRecords profile(unsigned p) const {
        return keyboard::ConstProfileRecords(records.data() + p * keyboard::kSlotsPerProfile,
                                             keyboard::kSlotsPerProfile);
    }
};

// A text attached to a record: the units without the terminator; size is in bytes with the terminator
// (0 = no text).
struct TextSlot {
    std::u16string text;
    uint32_t size = 0;
};

// Only records of these types carry texts.
constexpr bool carriesText(uint16_t type) {
    return type == keyboard::ASSIGN_LAUNCH || type == keyboard::ASSIGN_TEXT_BLOCK;
}

class WorkingCopy final : public keyboard::AssignmentRecordSink {
public:
    WorkingCopy();

    RecordBlock& block() { return *block_; }
    const RecordBlock& block() const { return *block_; }
    std::span<keyboard::KeyAssignment> records() { return block_->records; }
    std::span<const keyboard::KeyAssignment> records() const { return block_->records; }

    const TextSlot& text(size_t recordIndex) const { return (*texts_)[recordIndex]; }
    uint64_t textSum() const { return textSum_; }

    macros::MacroSet& macros() { return macros_; }
    const macros::MacroSet& macros() const { return macros_; }

    // Releases every part: texts emptied (sum 0), no macros, all records and the header area zero.
    void release();
    void releaseTexts();

    // AssignmentRecordSink (the caller holds the key-data lock).
    void setRecord(size_t recordIndex, const keyboard::KeyAssignment& record) override;
    void releaseText(size_t recordIndex) override;
    void attachText(size_t recordIndex, std::u16string_view text) override;

private:
    std::unique_ptr<RecordBlock> block_;
    std::unique_ptr<std::array<TextSlot, kRecordCount>> texts_;
    uint64_t textSum_ = 0;
    macros::MacroSet macros_;
};

struct AppliedCopy {
    std::unique_ptr<RecordBlock> block = std::make_unique<RecordBlock>();
    std::vector<uint8_t> pool; // the texts packed as in a profile file
    macros::MacroSet macros;

    void release();
};

class AssignmentStore {
public:
    using Lock = std::unique_lock<std::recursive_mutex>;
    // Both locks, taken in their one allowed order and released in reverse.
    struct AppliedLock {
        Lock keyData;
        Lock applied;
    };

    // The working copy starts as a new default store without macros or texts.
    AssignmentStore();

    [[nodiscard]] Lock lockKeyData() { return Lock(keyDataMutex_); }
    // The key-data lock only when no other thread holds it (owns_lock() tells), without waiting.
    [[nodiscard]] Lock tryLockKeyData() { return Lock(keyDataMutex_, std::try_to_lock); }
    [[nodiscard]] AppliedLock lockApplied() {
        Lock k(keyDataMutex_);
        Lock a(appliedMutex_);
        return AppliedLock{std::move(k), std::move(a)};
    }

    // Under the key-data lock.
    WorkingCopy& working() { return working_; }
    // Under the applied-copy lock.
    AppliedCopy& applied() { return applied_; }
    // What the applied copy was last read from or written to the keyboard as (under the applied-copy lock).
    KeyboardFingerprint& fingerprint() { return fingerprint_; }

    // Releases both copies under their locks (at exit).
    void releaseAll();

private:
    std::recursive_mutex keyDataMutex_;
    std::recursive_mutex appliedMutex_;
    WorkingCopy working_;
    AppliedCopy applied_;
    KeyboardFingerprint fingerprint_;
};

// The record block of a new default store: header for no macros and no texts, the device identity block,
// every record zero except the G-key records of profile 0, whose aux holds their tag.
RecordBlock defaultRecordBlock();
// Makes the working copy's record block a new default one; its texts and macros stay as the caller left
// them (callers release them first).
void newDefaultStore(WorkingCopy& working);

// Packs the working copy's texts as a profile file stores them: each text of a type 3 or 6 record with its
// terminator, back to back in record order; the record's value becomes the text's offset. The pool is as
// long as the sum of all text sizes.
std::vector<uint8_t> packTexts(WorkingCopy& working);

} // namespace tarvik::profiles
