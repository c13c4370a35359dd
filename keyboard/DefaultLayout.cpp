#include "keyboard/DefaultLayout.h"

#include <algorithm>
#include <mutex>
#include <string_view>

namespace tarvik::keyboard {

namespace {

// The factory key functions of the keyboard's 126 slots, three bytes each, as the keyboard reports them.
constexpr std::string_view kBuiltInHex = "050000 050000 050000 050000 050000 050000 000000 000000 020229 "
                                         "020235 02022B 020239 020102 020101 " // 0-13
                                         "000000 000000 02023A 02021E 020214 020204 02021D 020108 000000 "
                                         "000000 02023B 02021F 02021A 020216 " // 14-27
                                         "02021B 020104 000000 000000 02023C 020220 020208 020207 020206 "
                                         "02022C 020246 000000 02023D 020221 " // 28-41
                                         "020215 020209 020219 020140 020247 000000 02023E 020222 020217 "
                                         "02020A 020205 050202 02022E 000000 " // 42-55
                                         "02023F 020223 02021C 02020B 020211 020265 020248 000000 020240 "
                                         "020224 020218 02020D 020210 020110 " // 56-69
                                         "020249 000000 020241 020225 02020C 02020E 020236 020250 02024A "
                                         "000000 020242 020226 020212 02020F " // 70-83
                                         "020237 020251 02024B 000000 020243 020227 020213 020233 020238 "
                                         "020252 02024C 000000 020244 02022D " // 84-97
                                         "02022F 020234 020120 02024F 02024D 000000 020245 02022E 020230 "
                                         "020231 020228 02022A 02024E 000000 " // 98-111
                                         "03B600 020253 02025F 02025C 020259 020262 020256 000000 000000 "
                                         "000000 000000 000000 000000 000000 " // 112-125
    ;

constexpr uint8_t hexDigit(char c) {
    return static_cast<uint8_t>(c <= '9' ? c - '0' : c - 'A' + 10);
}

constexpr KeyBlock parseLayout(std::string_view hex) {
    KeyBlock bytes{};
    size_t n = 0;
    for (size_t i = 0; i + 1 < hex.size(); ++i) {
        if (hex[i] == ' ') {
            continue;
        }
        bytes[n++] = static_cast<uint8_t>(hexDigit(hex[i]) << 4 | hexDigit(hex[i + 1]));
        ++i;
    }
    return bytes;
}

static_assert(kBuiltInHex.size() == kKeyBlockSlots * 7, "126 entries of six digits and a blank");
constexpr KeyBlock kBuiltIn = parseLayout(kBuiltInHex);

std::mutex& currentMutex() {
    static std::mutex m;
    return m;
}

DefaultLayout& current() {
    static DefaultLayout layout;
    return layout;
}

} // namespace

DefaultLayout::DefaultLayout() : bytes_(kBuiltIn) {}

DefaultLayout::DefaultLayout(std::span<const uint8_t, kKeyBlockSize> bytes) {
    std::copy(bytes.begin(), bytes.end(), bytes_.begin());
}

const DefaultLayout& DefaultLayout::builtIn() {
    static const DefaultLayout layout;
    return layout;
}

KeyEntry DefaultLayout::entry(size_t slot) const {
    if (slot >= kKeyBlockSlots) {
        return {0, 0, 0};
    }
    const size_t at = slot * kKeyEntrySize;
    return {bytes_[at], bytes_[at + 1], bytes_[at + 2]};
}

void SetDefaultLayout(std::span<const uint8_t, kKeyBlockSize> bytes) {
    DefaultLayout layout(bytes);
    std::lock_guard lock(currentMutex());
    current() = layout;
}

KeyEntry DefaultLayoutEntry(size_t slot) {
    std::lock_guard lock(currentMutex());
    return current().entry(slot);
}

DefaultLayout CurrentDefaultLayout() {
    std::lock_guard lock(currentMutex());
    return current();
}

} // namespace tarvik::keyboard
