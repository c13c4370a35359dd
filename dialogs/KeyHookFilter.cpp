#include "dialogs/KeyHookFilter.h"

#include <QCoreApplication>
#include <QKeyEvent>

namespace tarvik::dialogs {

namespace {

// Whether Num Lock is on, as far as a key event tells: a keypad key gives a digit or the decimal sign
// with Num Lock on and a cursor key with it off. Other keys do not depend on it.
bool numLockOn(const QKeyEvent& e) {
    if (!e.modifiers().testFlag(Qt::KeypadModifier)) {
        return true;
    }
    const int k = e.key();
    return (k >= Qt::Key_0 && k <= Qt::Key_9) || k == Qt::Key_Period || k == Qt::Key_Comma ||
           k == Qt::Key_Asterisk || k == Qt::Key_Plus || k == Qt::Key_Minus || k == Qt::Key_Slash ||
           k == Qt::Key_Enter;
}

bool isKeyEvent(QEvent::Type t) {
    return t == QEvent::KeyPress || t == QEvent::KeyRelease || t == QEvent::ShortcutOverride;
}

} // namespace

KeyHookFilter::KeyHookFilter(QObject* parent) : QObject(parent) {}

KeyHookFilter::~KeyHookFilter() {
    remove();
}

void KeyHookFilter::install(LowLevelHook lowLevel, ThreadHook thread) {
    lowLevel_ = std::move(lowLevel);
    thread_ = std::move(thread);
    if (!installed_ && QCoreApplication::instance() != nullptr) {
        QCoreApplication::instance()->installEventFilter(this);
        installed_ = true;
    }
}

void KeyHookFilter::remove() {
    if (installed_ && QCoreApplication::instance() != nullptr) {
        QCoreApplication::instance()->removeEventFilter(this);
    }
    installed_ = false;
    lowLevel_ = nullptr;
    thread_ = nullptr;
}

std::optional<keyboard::KeyMessage> KeyHookFilter::messageOf(const QKeyEvent& e) {
    keyboard::KeyEventState state;
    state.release = e.type() == QEvent::KeyRelease && !e.isAutoRepeat();
    state.wasDown = e.isAutoRepeat() || state.release;
    state.ctrlHeld = e.modifiers().testFlag(Qt::ControlModifier);
    state.altHeld = e.modifiers().testFlag(Qt::AltModifier);
    state.numLockOn = numLockOn(e);
    return keyboard::KeyMessageFromNativeScanCode(e.nativeScanCode(), state);
}

bool KeyHookFilter::swallows(const QKeyEvent& e) const {
    const auto message = messageOf(e);
    if (!message) {
        return false;
    }
    if (keyboard::WindowsKeyFromVirtualKey(message->vk, true) != 0) {
        return true;
    }
    const keyboard::KeyCode key = keyboard::KeyCodeFromKeyMessage(message->vk, message->lParam);
    return key != 0 && !keyboard::IsMediaKeyCode(key);
}

bool KeyHookFilter::eventFilter(QObject* watched, QEvent* event) {
    if (!installed_ || !isKeyEvent(event->type()) || (passOn_ && passOn_())) {
        return QObject::eventFilter(watched, event);
    }
    auto* key = static_cast<QKeyEvent*>(event);
    if (event->type() == QEvent::ShortcutOverride) {
        // Taken before any shortcut can claim the key; the press itself follows.
        if (swallows(*key)) {
            event->accept();
            return true;
        }
        return false;
    }
    const auto message = messageOf(*key);
    if (!message) {
        return false;
    }
    const bool keyDown = event->type() == QEvent::KeyPress || key->isAutoRepeat();
    // A hook procedure may remove the filter, which clears the procedures: call copies.
    const LowLevelHook lowLevel = lowLevel_;
    const ThreadHook thread = thread_;
    if (lowLevel && lowLevel(message->vk, keyDown) == macros::HookResult::Swallow) {
        return true;
    }
    return thread && thread(message->vk, message->lParam) == macros::HookResult::Swallow;
}

} // namespace tarvik::dialogs
