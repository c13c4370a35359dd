#include "lighting/UserLightingFile.h"

#include <algorithm>
#include <array>
#include <cstdint>

namespace tarvik::lighting {

namespace {
constexpr std::u16string_view kPresentSection = u"PRESENTMODE";
constexpr std::u16string_view kPresentKey = u"mode";
constexpr std::u16string_view kNameSection = u"MODENAME";
constexpr std::u16string_view kToolKey = u"tool";
constexpr std::u16string_view kBaseKey = u"jcolor";
constexpr std::u16string_view kPaintKey = u"color";
constexpr std::u16string_view kMissingKey = u"255,0,0,1";

std::u16string decimal(long long v) {
    std::u16string s;
    bool negative = v < 0;
    unsigned long long u =
        negative ? 0ull - static_cast<unsigned long long>(v) : static_cast<unsigned long long>(v);
    do {
        s.insert(s.begin(), static_cast<char16_t>(u'0' + u % 10));
        u /= 10;
    } while (u != 0);
    if (negative) {
        s.insert(s.begin(), u'-');
    }
    return s;
}

std::u16string slotSection(int slot) {
    return u"Mode" + decimal(slot);
}

// Up to N numbers in the "%d,%d,..." form; fields that cannot be read stay 0.
template <size_t N> std::array<long long, N> scanNumbers(std::u16string_view text) {
    std::array<long long, N> out{};
    size_t i = 0;
    for (size_t field = 0; field < N; ++field) {
        if (field > 0) {
            if (i >= text.size() || text[i] != u',') {
                break;
            }
            ++i;
        }
        while (i < text.size() && (text[i] == u' ' || text[i] == u'\t')) {
            ++i;
        }
        bool negative = false;
        if (i < text.size() && (text[i] == u'-' || text[i] == u'+')) {
            negative = text[i] == u'-';
            ++i;
        }
        if (i >= text.size() || text[i] < u'0' || text[i] > u'9') {
            break;
        }
        long long v = 0;
        while (i < text.size() && text[i] >= u'0' && text[i] <= u'9') {
            // Saturate: the value only has to stay comparable with 0 and 255.
            v = std::min<long long>(v * 10 + (text[i] - u'0'), 1'000'000'000LL);
            ++i;
        }
        out[field] = negative ? -v : v;
    }
    return out;
}

uint8_t channel(long long v) {
    return static_cast<uint8_t>(std::clamp<long long>(v, 0, 255));
}

int toSlot(long long v) {
    return v >= 0 && v < kSlotCount ? static_cast<int>(v) : 0;
}
} // namespace

std::u16string formatRgb(Rgb c) {
    return decimal(c.r) + u"," + decimal(c.g) + u"," + decimal(c.b);
}

std::u16string formatKeyValue(const KeyValue& v) {
    return formatRgb(v.colour) + u"," + decimal(v.followsBase ? 1 : 0);
}

Rgb parseRgb(std::u16string_view text) {
    auto n = scanNumbers<3>(text);
    return Rgb{channel(n[0]), channel(n[1]), channel(n[2])};
}

KeyValue parseKeyValue(std::u16string_view text) {
    auto n = scanNumbers<4>(text);
    return KeyValue{Rgb{channel(n[0]), channel(n[1]), channel(n[2])}, n[3] != 0};
}

UserLightingFile UserLightingFile::load(const std::filesystem::path& path) {
    UserLightingFile f;
    f.path_ = path;
    if (auto ini = IniFile::tryLoad(path)) {
        f.ini_ = std::move(*ini);
        f.writable_ = true;
    }
    return f;
}

int UserLightingFile::presentSlot() const {
    return toSlot(scanNumbers<1>(ini_.get(kPresentSection, kPresentKey, u"0"))[0]);
}

void UserLightingFile::setPresentSlot(int slot) {
    ini_.set(kPresentSection, kPresentKey, decimal(slot));
}

std::u16string UserLightingFile::slotName(int slot) const {
    return ini_.get(kNameSection, decimal(slot), u"0");
}

void UserLightingFile::setSlotName(int slot, std::u16string_view name) {
    ini_.set(kNameSection, decimal(slot), name);
}

SlotHeader UserLightingFile::header(int slot) const {
    auto section = slotSection(slot);
    SlotHeader h;
    h.brush = static_cast<int>(scanNumbers<1>(ini_.get(section, kToolKey, u"0"))[0]);
    h.baseColour = parseRgb(ini_.get(section, kBaseKey, u"0,0,0"));
    h.paintColour = parseRgb(ini_.get(section, kPaintKey, u"0,0,0"));
    return h;
}

void UserLightingFile::setHeader(int slot, const SlotHeader& header) {
    auto section = slotSection(slot);
    ini_.set(section, kToolKey, decimal(header.brush));
    ini_.set(section, kBaseKey, formatRgb(header.baseColour));
    ini_.set(section, kPaintKey, formatRgb(header.paintColour));
}

KeyValue UserLightingFile::key(int slot, int position) const {
    return parseKeyValue(ini_.get(slotSection(slot), decimal(position), kMissingKey));
}

void UserLightingFile::setKey(int slot, int position, const KeyValue& value) {
    ini_.set(slotSection(slot), decimal(position), formatKeyValue(value));
}

bool UserLightingFile::save() const {
    if (!writable_ || path_.empty()) {
        return false;
    }
    return ini_.save(path_);
}

} // namespace tarvik::lighting
