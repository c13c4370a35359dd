#include "platform/Utf.h"

#include <cstdint>

namespace tarvik {

namespace {
constexpr char16_t kReplacement = 0xFFFD;

void appendCodePoint(std::u16string& out, uint32_t cp) {
    if (cp < 0x10000) {
        out.push_back(static_cast<char16_t>(cp));
    } else {
        cp -= 0x10000;
        out.push_back(static_cast<char16_t>(0xD800 + (cp >> 10)));
        out.push_back(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
    }
}
} // namespace

std::u16string toUtf16(std::string_view utf8) {
    std::u16string out;
    out.reserve(utf8.size());
    const size_t n = utf8.size();
    size_t i = 0;
    while (i < n) {
        const auto b0 = static_cast<uint8_t>(utf8[i]);
        if (b0 < 0x80) {
            out.push_back(b0);
            ++i;
            continue;
        }
        // Length and the allowed range of the second byte; the narrowed ranges exclude overlong forms,
        // encoded surrogates and values above U+10FFFF.
        size_t len = 0;
        uint8_t lo = 0x80;
        uint8_t hi = 0xBF;
        if (b0 >= 0xC2 && b0 <= 0xDF) {
            len = 2;
        } else if (b0 == 0xE0) {
            len = 3;
            lo = 0xA0;
        } else if ((b0 >= 0xE1 && b0 <= 0xEC) || b0 == 0xEE || b0 == 0xEF) {
            len = 3;
        } else if (b0 == 0xED) {
            len = 3;
            hi = 0x9F;
        } else if (b0 == 0xF0) {
            len = 4;
            lo = 0x90;
        } else if (b0 >= 0xF1 && b0 <= 0xF3) {
            len = 4;
        } else if (b0 == 0xF4) {
            len = 4;
            hi = 0x8F;
        } else {
            out.push_back(kReplacement);
            ++i;
            continue;
        }
        uint32_t cp = b0 & (0xFFu >> (len + 1));
        size_t j = i + 1;
        bool ok = true;
        for (size_t k = 1; k < len; ++k, ++j) {
            if (j >= n) {
                ok = false;
                break;
            }
            const auto b = static_cast<uint8_t>(utf8[j]);
            if (b < lo || b > hi) {
                ok = false;
                break;
            }
            lo = 0x80;
            hi = 0xBF;
            cp = (cp << 6) | (b & 0x3Fu);
        }
        // A broken sequence gives one replacement for its valid prefix; the offending byte starts anew.
        if (ok) {
            appendCodePoint(out, cp);
        } else {
            out.push_back(kReplacement);
        }
        i = j;
    }
    return out;
}

std::string toUtf8(std::u16string_view utf16) {
    std::string out;
    out.reserve(utf16.size());
    const size_t n = utf16.size();
    for (size_t i = 0; i < n; ++i) {
        uint32_t cp = utf16[i];
        if (cp >= 0xD800 && cp <= 0xDBFF && i + 1 < n && utf16[i + 1] >= 0xDC00 && utf16[i + 1] <= 0xDFFF) {
            cp = 0x10000 + ((cp - 0xD800) << 10) + (utf16[i + 1] - 0xDC00u);
            ++i;
        } else if (cp >= 0xD800 && cp <= 0xDFFF) {
            cp = kReplacement;
        }
        if (cp < 0x80) {
            out.push_back(static_cast<char>(cp));
        } else if (cp < 0x800) {
            out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
            out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
        } else if (cp < 0x10000) {
            out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
            out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
        } else {
            out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
            out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
        }
    }
    return out;
}

} // namespace tarvik
