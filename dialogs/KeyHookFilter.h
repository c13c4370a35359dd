// Key capture for the key assignment dialog: an application-wide key event filter that stands in for
// the two key hooks of the original platform. Each key event becomes the pair (virtual key, lParam) of a
// Windows keyboard message, built from the event's native scan code, and goes first to the low-level
// hook procedure (which alone takes the Windows keys) and then, unless that swallowed it, to the thread
// hook procedure. A swallowed event reaches no widget, so Enter, Escape and Tab can be assigned.
#pragma once

#include "keyboard/KeyCapture.h"
#include "macros/Recorder.h"

#include <QObject>

#include <functional>
#include <optional>

class QKeyEvent;

namespace tarvik::dialogs {

class KeyHookFilter final : public QObject {
    Q_OBJECT

public:
    using LowLevelHook = std::function<macros::HookResult(uint32_t vk, bool keyDown)>;
    using ThreadHook = std::function<macros::HookResult(uint32_t vk, uint32_t lParam)>;

    explicit KeyHookFilter(QObject* parent = nullptr);
    ~KeyHookFilter() override;

    // Installs the filter on the application with these hook procedures (replacing earlier ones).
    void install(LowLevelHook lowLevel, ThreadHook thread);
    void remove();
    bool installed() const { return installed_; }
    // While this says so, every key event passes on untouched (keys typed into a menu or a question).
    void setPassOn(std::function<bool()> passOn) { passOn_ = std::move(passOn); }

    // The Windows message of a key event; nothing for a key the capture table lacks. An auto-repeated
    // release (which X11 sends between repeated presses) counts as one more repeated press.
    static std::optional<keyboard::KeyMessage> messageOf(const QKeyEvent& event);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    bool swallows(const QKeyEvent& event) const;

    LowLevelHook lowLevel_;
    ThreadHook thread_;
    std::function<bool()> passOn_;
    bool installed_ = false;
};

} // namespace tarvik::dialogs
