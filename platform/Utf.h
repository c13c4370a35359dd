// Conversions between UTF-8 and UTF-16. Invalid sequences become U+FFFD; nothing throws.
#pragma once

#include <string>
#include <string_view>

namespace tarvik {

std::u16string toUtf16(std::string_view utf8);
std::string toUtf8(std::u16string_view utf16);

} // namespace tarvik
