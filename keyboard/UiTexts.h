// The keyboard model's reach into the UI text table: names of media and function keys, the unknown-key
// format and the parts of the assignment summary. Internal to keyboard/.
#pragma once

#include <string>
#include <string_view>

namespace tarvik::keyboard::detail {

// The current text of a UI text table key.
std::u16string uiText(std::string_view key);

// Fills the first integer conversion of a printf-style format (flags, width and d/i/u/x/X/o) with value;
// "%%" gives "%". The format comes from a user-editable language file, so anything else (a second
// conversion, %s, %n, a malformed one) is copied as it stands instead of being handed to printf.
std::u16string formatNumber(std::u16string_view format, unsigned value);

} // namespace tarvik::keyboard::detail
