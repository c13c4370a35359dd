// The unknown-key format comes from the user-editable language file: any text must be filled safely.
#include "keyboard/UiTexts.h"

#include <cstdint>
#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 2) {
        return 0;
    }
    const unsigned value = data[0] | data[1] << 8;
    std::u16string format;
    for (size_t i = 2; i + 1 < size; i += 2) {
        format += static_cast<char16_t>(data[i] | data[i + 1] << 8);
    }
    const std::u16string out = tarvik::keyboard::detail::formatNumber(format, value);
    // One conversion adds at most 64 characters of padding or digits.
    if (out.size() > format.size() + 64) {
        std::abort();
    }
    return 0;
}
