// The owner a box or dialog opened for a window should get: the window while it shows, otherwise none.
// A hidden owner (the resident main window) would take the box with it, or place it where nobody looks.
#pragma once

#include <QWidget>

namespace tarvik::ui {

inline QWidget* visibleOwner(QWidget* window) {
    return window != nullptr && window->isVisible() ? window : nullptr;
}

} // namespace tarvik::ui
