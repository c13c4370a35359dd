#include "app/TrayClicks.h"

namespace tarvik::app {

bool TrayClicks::opens(TrayActivation reason) {
    const bool afterTrigger = afterTrigger_;
    afterTrigger_ = reason == TrayActivation::Trigger;
    switch (reason) {
    case TrayActivation::Trigger:
        return true;
    case TrayActivation::DoubleClick:
        // The second half of a double click whose first press already opened the window.
        return !afterTrigger;
    case TrayActivation::Unknown:
    case TrayActivation::Context:
    case TrayActivation::MiddleClick:
        return false;
    }
    return false;
}

} // namespace tarvik::app
