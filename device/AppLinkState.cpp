#include "device/AppLinkState.h"

namespace tarvik::device {

AppLinkState& appLinkState() {
    static AppLinkState state;
    return state;
}

} // namespace tarvik::device
