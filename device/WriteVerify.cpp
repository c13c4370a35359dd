#include "device/WriteVerify.h"

#include <algorithm>
#include <cstdio>

namespace tarvik::device {

namespace {

constexpr uint32_t kReadLimit = 56;

// The size of the record, block or table a byte of the area belongs to (0: the area is one piece).
constexpr uint32_t partSize(WriteArea area) {
    switch (area) {
    case WriteArea::Settings:
        return 42;
    case WriteArea::KeyBlocks:
        return 378;
    case WriteArea::Colours:
        return 512;
    case WriteArea::Macros:
        break;
    }
    return 0;
}

// Where a read starting at address must end at the latest: the keyboard addresses key blocks and colour
// tables block by block, so a read stays inside one. Settings reads may run on into the next record (the
// settings loader itself reads 56 bytes at 0 and 42).
constexpr uint32_t readBoundary(WriteArea area, uint32_t address) {
    if (area == WriteArea::KeyBlocks || area == WriteArea::Colours) {
        const uint32_t size = partSize(area);
        return (address / size + 1) * size;
    }
    return UINT32_MAX;
}

size_t index(WriteArea area) {
    return static_cast<size_t>(area);
}

} // namespace

unsigned WriteMismatch::part() const {
    const uint32_t size = partSize(area);
    return size == 0 ? 0u : static_cast<unsigned>(address / size);
}

uint32_t WriteMismatch::offset() const {
    const uint32_t size = partSize(area);
    return size == 0 ? address : address % size;
}

std::string describe(const WriteMismatch& m) {
    std::string where;
    switch (m.area) {
    case WriteArea::Settings:
        where = "settings of profile " + std::to_string(m.part());
        break;
    case WriteArea::KeyBlocks:
        where = "key block " + std::to_string(m.part());
        break;
    case WriteArea::Macros:
        where = "macro area";
        break;
    case WriteArea::Colours:
        where = "colours of profile " + std::to_string(m.part());
        break;
    }
    char bytes[40];
    std::snprintf(bytes, sizeof bytes, ": sent 0x%02X, read 0x%02X", unsigned{m.sent}, unsigned{m.found});
    return where + ", offset " + std::to_string(m.offset()) + bytes;
}

void WriteLog::clear() {
    for (auto& bytes : sent_) {
        bytes.clear();
    }
    order_.clear();
}

void WriteLog::note(WriteArea area, uint32_t address, std::span<const uint8_t> bytes) {
    if (bytes.empty()) {
        return;
    }
    std::vector<int16_t>& sent = sent_[index(area)];
    if (std::find(order_.begin(), order_.end(), area) == order_.end()) {
        order_.push_back(area);
    }
    const size_t end = size_t{address} + bytes.size();
    if (sent.size() < end) {
        sent.resize(end, int16_t{-1});
    }
    std::copy(bytes.begin(), bytes.end(), sent.begin() + address);
}

std::vector<ReadWindow> WriteLog::windows() const {
    std::vector<ReadWindow> out;
    for (WriteArea area : order_) {
        const std::vector<int16_t>& sent = sent_[index(area)];
        const uint32_t size = static_cast<uint32_t>(sent.size());
        uint32_t at = 0;
        while (at < size) {
            if (sent[at] < 0) {
                ++at;
                continue;
            }
            const uint32_t limit = std::min({at + kReadLimit, size, readBoundary(area, at)});
            uint32_t last = at;
            for (uint32_t i = at; i < limit; ++i) {
                if (sent[i] >= 0) {
                    last = i;
                }
            }
            out.push_back({area, at, static_cast<uint8_t>(last - at + 1)});
            at = limit;
        }
    }
    return out;
}

std::optional<WriteMismatch> WriteLog::compare(const ReadWindow& window,
                                               std::span<const uint8_t> read) const {
    const std::vector<int16_t>& sent = sent_[index(window.area)];
    const size_t n = std::min<size_t>(window.length, read.size());
    for (size_t i = 0; i < window.length; ++i) {
        const size_t address = size_t{window.address} + i;
        if (address >= sent.size() || sent[address] < 0) {
            continue;
        }
        const auto expected = static_cast<uint8_t>(sent[address]);
        // A reply shorter than the window cannot confirm the bytes it lacks.
        if (i >= n || read[i] != expected) {
            return WriteMismatch{window.area, static_cast<uint32_t>(address), expected,
                                 i < n ? read[i] : uint8_t{0}};
        }
    }
    return std::nullopt;
}

} // namespace tarvik::device
