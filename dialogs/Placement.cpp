#include "dialogs/Placement.h"

namespace tarvik::dialogs {

ScreenPoint placeNextToButton(const ScreenRect& button, int width, int height, const ScreenRect& screen) {
    const bool right = screen.right - button.right >= width;
    const bool below = screen.bottom - button.bottom >= height;
    const bool left = button.left - screen.left >= width;
    const bool above = button.top - screen.top >= height;
    if (right && below) {
        return {button.right, button.bottom};
    }
    if (right && above) {
        return {button.right, button.top - height};
    }
    if (left && below) {
        return {button.left - width, button.bottom};
    }
    if (left && above) {
        return {button.left - width, button.top - height};
    }
    return {button.right, button.bottom};
}

ScreenPoint placeKeyDialog(const ScreenRect& button, const ScreenRect& mainWindow, int width, int height,
                           const ScreenRect& screen, bool placementAllowed) {
    if (placementAllowed) {
        return placeNextToButton(button, width, height, screen);
    }
    return {mainWindow.left + (mainWindow.right - mainWindow.left - width) / 2,
            mainWindow.top + (mainWindow.bottom - mainWindow.top - height) / 2};
}

} // namespace tarvik::dialogs
