#include "platform/KeyboardHold.h"

namespace tarvik {

KeyboardHold::~KeyboardHold() {
    capturing_ = false;
    update();
}

void KeyboardHold::setCapturing(bool capturing) {
    if (capturing != capturing_) {
        capturing_ = capturing;
        // A new capture asks the desktop again.
        refused_ = false;
        update();
    }
}

void KeyboardHold::setWindowActive(bool active) {
    if (active != active_) {
        active_ = active;
        // Coming back asks again: an X server refuses a grab while another client holds one.
        refused_ = refused_ && !active;
        update();
    }
}

void KeyboardHold::update() {
    const bool wanted = capturing_ && active_;
    if (wanted && !held_ && !refused_) {
        held_ = grabber_.grab();
        refused_ = !held_;
    } else if (!wanted && held_) {
        grabber_.release();
        held_ = false;
    }
}

} // namespace tarvik
