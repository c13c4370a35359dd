#include "portmux/src/HidReportDescriptor.h"

#include <map>
#include <utility>

namespace portmux::hid {

namespace {

constexpr size_t kMaxDescriptor = 4096;
constexpr int kMaxDepth = 32;
constexpr size_t kMaxPush = 16;
constexpr uint64_t kMaxReportBits = 8u * kMaxDescriptor; // far above any report a keyboard sends

enum ItemType : uint8_t { kMain = 0, kGlobal = 1, kLocal = 2 };
enum MainTag : uint8_t { kInput = 8, kCollection = 10, kEndCollection = 12 };
enum GlobalTag : uint8_t {
    kUsagePage = 0,
    kReportSize = 7,
    kReportId = 8,
    kReportCount = 9,
    kPush = 10,
    kPop = 11
};
enum LocalTag : uint8_t { kUsage = 0 };

struct Globals {
    uint32_t usagePage = 0;
    uint32_t reportSize = 0;
    uint32_t reportCount = 0;
    uint8_t reportId = 0;
};

} // namespace

std::optional<std::vector<InputReport>> inputReportsOf(std::span<const uint8_t> d) {
    if (d.size() > kMaxDescriptor) {
        return std::nullopt;
    }
    Globals g;
    std::vector<Globals> stack;
    bool hasUsage = false; // a Usage since the last main item; the first one counts
    uint32_t firstUsage = 0;
    bool firstUsageExtended = false;
    int depth = 0;
    bool ids = false;
    // (collection number, report id) -> bits, in the order they first appear.
    std::map<std::pair<int, uint8_t>, uint64_t> bits;
    std::vector<std::pair<int, uint8_t>> order;
    std::vector<std::pair<uint16_t, uint16_t>> collections;

    for (size_t i = 0; i < d.size();) {
        const uint8_t prefix = d[i];
        if (prefix == 0xFE) { // long item: size, tag, data; none of them matters here
            if (i + 2 >= d.size() || i + 3 + d[i + 1] > d.size()) {
                return std::nullopt;
            }
            i += 3 + d[i + 1];
            continue;
        }
        const size_t n = (prefix & 3) == 3 ? 4 : (prefix & 3);
        if (i + 1 + n > d.size()) {
            return std::nullopt;
        }
        uint32_t data = 0;
        for (size_t k = 0; k < n; ++k) {
            data |= uint32_t{d[i + 1 + k]} << (8 * k);
        }
        const uint8_t type = (prefix >> 2) & 3;
        const uint8_t tag = prefix >> 4;
        i += 1 + n;

        if (type == kMain) {
            if (tag == kCollection) {
                if (depth == 0) {
                    // A 4-byte usage names its page in the high half; a shorter one is on the page in
                    // effect at this main item.
                    const uint32_t usage = !hasUsage            ? g.usagePage << 16
                                           : firstUsageExtended ? firstUsage
                                                                : (g.usagePage << 16) | firstUsage;
                    collections.emplace_back(static_cast<uint16_t>(usage >> 16),
                                             static_cast<uint16_t>(usage & 0xFFFF));
                }
                if (++depth > kMaxDepth) {
                    return std::nullopt;
                }
            } else if (tag == kEndCollection) {
                if (--depth < 0) {
                    return std::nullopt;
                }
            } else if (tag == kInput && depth > 0) {
                const auto key = std::make_pair(static_cast<int>(collections.size()) - 1, g.reportId);
                auto [it, fresh] = bits.try_emplace(key, 0);
                if (fresh) {
                    order.push_back(key);
                }
                it->second += uint64_t{g.reportSize} * g.reportCount;
                if (it->second > kMaxReportBits) {
                    return std::nullopt;
                }
            }
            hasUsage = false;
        } else if (type == kGlobal) {
            switch (tag) {
            case kUsagePage:
                g.usagePage = data;
                break;
            case kReportSize:
                g.reportSize = data;
                break;
            case kReportCount:
                g.reportCount = data;
                break;
            case kReportId:
                if (data == 0 || data > 0xFF) {
                    return std::nullopt;
                }
                g.reportId = static_cast<uint8_t>(data);
                ids = true;
                break;
            case kPush:
                if (stack.size() >= kMaxPush) {
                    return std::nullopt;
                }
                stack.push_back(g);
                break;
            case kPop:
                if (stack.empty()) {
                    return std::nullopt;
                }
                g = stack.back();
                stack.pop_back();
                break;
            default:
                break;
            }
        } else if (type == kLocal && tag == kUsage && !hasUsage) {
            hasUsage = true;
            firstUsage = data;
            firstUsageExtended = n == 4;
        }
    }
    if (depth != 0) {
        return std::nullopt;
    }
    std::vector<InputReport> out;
    for (const auto& key : order) {
        const auto [page, usage] = collections[static_cast<size_t>(key.first)];
        out.push_back({page, usage, ids ? key.second : uint8_t{0}, static_cast<uint32_t>(bits[key])});
    }
    return out;
}

ConsumerReports ConsumerReports::fromDescriptor(std::span<const uint8_t> descriptor) {
    ConsumerReports c;
    if (descriptor.empty()) {
        return c;
    }
    const auto reports = inputReportsOf(descriptor);
    if (!reports) {
        return c;
    }
    for (const InputReport& r : *reports) {
        if (r.usagePage == 0x000C && r.usage == 0x0001 && r.bits > 0) {
            c.reports_.push_back(r);
            c.ids_ = r.reportId != 0;
        }
    }
    c.described_ = !c.reports_.empty();
    return c;
}

std::optional<uint16_t> ConsumerReports::usageOf(const uint8_t* report, size_t length) const {
    if (!described_) {
        if (length != 3) {
            return std::nullopt;
        }
        return static_cast<uint16_t>(report[1] | (report[2] << 8));
    }
    for (const InputReport& r : reports_) {
        const size_t head = ids_ ? 1 : 0;
        if (length != head + (r.bits + 7) / 8 || (ids_ && report[0] != r.reportId)) {
            continue;
        }
        const uint8_t* data = report + head;
        return static_cast<uint16_t>(length - head >= 2 ? data[0] | (data[1] << 8) : data[0]);
    }
    return std::nullopt;
}

} // namespace portmux::hid
