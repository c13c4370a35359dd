// Holding the keyboard while keys are captured: the desktop's own shortcuts (an overview on the Windows
// key, a screenshot tool on Print Screen, window switching on Alt+Tab) would otherwise take those keys
// before the capturing window sees them.
//
// KeyboardGrabber is the desktop's way of doing it for one window (an X11 keyboard grab, the Wayland
// keyboard-shortcuts inhibitor); KeyboardHold decides when: only while the window captures and is the
// active window, so that every way out of a capture (OK, Cancel, another tab, focus lost, the keyboard
// unplugged, the window closed or the program ending) gives the keyboard back. User-interface thread only.
#pragma once

namespace tarvik {

class KeyboardGrabber {
public:
    virtual ~KeyboardGrabber() = default;
    // Takes the keyboard for the window; false when the desktop offers no way or refused.
    virtual bool grab() = 0;
    // Gives it back; called only after a grab that succeeded.
    virtual void release() = 0;
};

class KeyboardHold {
public:
    explicit KeyboardHold(KeyboardGrabber& grabber) : grabber_(grabber) {}
    KeyboardHold(const KeyboardHold&) = delete;
    KeyboardHold& operator=(const KeyboardHold&) = delete;
    ~KeyboardHold();

    // A capture or a recording starts or ends.
    void setCapturing(bool capturing);
    // The capturing window became the active window or lost that.
    void setWindowActive(bool active);

    bool held() const { return held_; }
    // Capturing, but the desktop gave no hold when it was asked: it may keep some keys for itself.
    bool desktopMayKeepKeys() const { return capturing_ && refused_; }

private:
    void update();

    KeyboardGrabber& grabber_;
    bool capturing_ = false;
    bool active_ = false;
    bool held_ = false;
    bool refused_ = false;
};

} // namespace tarvik
