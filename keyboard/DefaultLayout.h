// The keyboard's default layout: the factory key function of each of the 126 slots of a key block. It
// tells which key a slot belongs to (the key its default entry decodes to). The built-in value holds
// until a keyboard is attached and its own layout has been read.
#pragma once

#include "keyboard/KeyEntry.h"

#include <span>

namespace tarvik::keyboard {

class DefaultLayout {
public:
    // The built-in layout.
    DefaultLayout();
    explicit DefaultLayout(std::span<const uint8_t, kKeyBlockSize> bytes);

    static const DefaultLayout& builtIn();

    // Entry of slot 0-125; 00 00 00 for a slot out of range.
    KeyEntry entry(size_t slot) const;
    const KeyBlock& bytes() const { return bytes_; }

    friend bool operator==(const DefaultLayout&, const DefaultLayout&) = default;

private:
    KeyBlock bytes_;
};

// The process-wide layout. Safe to call from any thread (the presence worker sets it at attach).
void SetDefaultLayout(std::span<const uint8_t, kKeyBlockSize> bytes);
KeyEntry DefaultLayoutEntry(size_t slot);
DefaultLayout CurrentDefaultLayout();

} // namespace tarvik::keyboard
