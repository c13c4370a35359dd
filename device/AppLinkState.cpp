#include "device/AppLinkState.h"

namespace tarvik::device {

AppLinkState& appLinkState() {
    // Never destroyed: workers and the service library's threads may still use it while the process ends.
    static auto* state = new AppLinkState;
    return *state;
}

} // namespace tarvik::device
