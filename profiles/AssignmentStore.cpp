#include "profiles/AssignmentStore.h"

#include "keyboard/Layout.h"
#include "platform/Bytes.h"
#include "profiles/ProfileFile.h"

#include <algorithm>

namespace tarvik::profiles {

WorkingCopy::WorkingCopy()
    : block_(std::make_unique<RecordBlock>()),
      texts_(std::make_unique<std::array<TextSlot, kRecordCount>>()) {}

void WorkingCopy::releaseTexts() {
    for (auto& t : *texts_) {
        t = TextSlot{};
    }
    textSum_ = 0;
}

void WorkingCopy::release() {
    releaseTexts();
    macros_ = macros::MacroSet{};
    *block_ = RecordBlock{};
}

void WorkingCopy::setRecord(size_t recordIndex, const keyboard::KeyAssignment& record) {
    if (recordIndex < kRecordCount) {
        block_->records[recordIndex] = record;
    }
}

void WorkingCopy::releaseText(size_t recordIndex) {
    if (recordIndex >= kRecordCount) {
        return;
    }
    TextSlot& t = (*texts_)[recordIndex];
    textSum_ -= std::min<uint64_t>(textSum_, t.size);
    t = TextSlot{};
}

void WorkingCopy::attachText(size_t recordIndex, std::u16string_view text) {
    if (recordIndex >= kRecordCount) {
        return;
    }
    releaseText(recordIndex);
    // The stored text ends at its first terminator, as it will in the file's pool.
    auto end = text.find(u'\0');
    TextSlot& t = (*texts_)[recordIndex];
    t.text = std::u16string(text.substr(0, end));
    t.size = static_cast<uint32_t>((t.text.size() + 1) * 2);
    textSum_ += t.size;
}

void AppliedCopy::release() {
    pool.clear();
    pool.shrink_to_fit();
    macros = macros::MacroSet{};
    *block = RecordBlock{};
}

AssignmentStore::AssignmentStore() {
    newDefaultStore(working_);
}

void AssignmentStore::releaseAll() {
    AppliedLock lock = lockApplied();
    applied_.release();
    working_.release();
}

RecordBlock defaultRecordBlock() {
    RecordBlock b;
    ProfileFileHeader header = ProfileFileHeader::forContents(0, 0);
    header.write(std::span<uint8_t, kProfileHeaderSize>(b.headerArea.data(), kProfileHeaderSize));
    std::copy(kDeviceIdentityBlock.begin(), kDeviceIdentityBlock.end(),
              b.headerArea.begin() + kProfileHeaderSize);
    for (keyboard::KeySlot s = keyboard::kFirstGSlotLayer0;
         s < keyboard::kFirstGSlotLayer1 + keyboard::kGKeyCount; ++s) {
        b.records[s].aux = keyboard::GKeyTagOfSlot(s);
    }
    return b;
}

void newDefaultStore(WorkingCopy& working) {
    working.block() = defaultRecordBlock();
}

std::vector<uint8_t> packTexts(WorkingCopy& working) {
    std::vector<uint8_t> pool(static_cast<size_t>(working.textSum()), 0);
    size_t offset = 0;
    auto records = working.records();
    for (size_t i = 0; i < kRecordCount; ++i) {
        const TextSlot& t = working.text(i);
        size_t z = t.size;
        if (z == 0 || pool.size() < offset + z || !carriesText(records[i].type)) {
            continue;
        }
        size_t at = offset & ~size_t{1};
        // The text's units, then zeros up to its size (its terminator).
        size_t units = std::min(t.text.size(), z / 2);
        for (size_t u = 0; u < units; ++u) {
            writeLe16(&pool[at + 2 * u], static_cast<uint16_t>(t.text[u]));
        }
        records[i].value = static_cast<uint32_t>(at);
        offset += z;
    }
    return pool;
}

} // namespace tarvik::profiles
