// A macro area as a keyboard may return it: any bytes. Decoding must stay inside them and within the
// record's limits, and what was decoded must survive a build and a second decode unchanged.
#include "macros/MacroImage.h"

#include <cstdint>
#include <cstdlib>
#include <span>

using namespace tarvik::macros;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::span<const uint8_t> image(data, size);
    MacroSet set = decodeMacroImage(image);
    if (set.size() > kMaxMacros) {
        std::abort();
    }
    for (size_t i = 0; i < set.size(); ++i) {
        const MacroRecord& m = set[i];
        if (m.id() != i + 1 || m.isNew() != 0 || m.storedActionCount() > kMaxActions ||
            m.nameLength() > kMaxNameUnits) {
            std::abort();
        }
        for (const MacroAction& a : m.actions()) {
            if (a.delayMs % 10 != 0 || a.delayMs > 0x0FFF * 10 || a.direction > 1) {
                std::abort();
            }
        }
    }

    MacroImageSizes sizes = macroImageSizes(set);
    if (sizes.withoutNames > sizes.withNames) {
        std::abort();
    }
    for (bool withNames : {true, false}) {
        size_t n = withNames ? sizes.withNames : sizes.withoutNames;
        std::vector<uint8_t> rebuilt = buildMacroImage(set, n, withNames);
        if (n > kMaxMacroImageSize) {
            if (!rebuilt.empty()) {
                std::abort();
            }
            continue;
        }
        if (rebuilt.size() != n) {
            std::abort();
        }
        MacroSet again = decodeMacroImage(rebuilt);
        if (again.size() != set.size()) {
            std::abort();
        }
        for (size_t i = 0; i < set.size(); ++i) {
            // A key can come back as another key of the same device code (keyboard-page usage 0xD4
            // decodes to a consumer key whose usage is 0), so the rebuilt image is compared with each
            // action after one pass through the action codec, and that pass must be stable.
            std::vector<MacroAction> expected = set[i].actions();
            for (MacroAction& a : expected) {
                a = decodeMacroAction(encodeMacroAction(a));
                if (decodeMacroAction(encodeMacroAction(a)) != a) {
                    std::abort();
                }
            }
            if (again[i].actions() != expected || again[i].cycles() != set[i].cycles()) {
                std::abort();
            }
            // A name survives when the image carries names and it is not empty (an empty one is
            // replaced by the default name).
            if (withNames && set[i].nameLength() > 0 && again[i].name() != set[i].name()) {
                std::abort();
            }
        }
    }
    return 0;
}
