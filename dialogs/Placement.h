// Where the key assignment dialog opens: beside the button that was clicked, on whichever side the
// screen has room for it; where the window system does not let a program place its windows, centred on
// the main window.
#pragma once

namespace tarvik::dialogs {

// Screen pixels; right and bottom lie just outside the rectangle.
struct ScreenRect {
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;
};

struct ScreenPoint {
    int x = 0;
    int y = 0;
    friend bool operator==(const ScreenPoint&, const ScreenPoint&) = default;
};

// The dialog's top-left corner for a dialog of width x height next to button on screen: below right of
// the button, else above right, else below left, else above left, else below right anyway.
ScreenPoint placeNextToButton(const ScreenRect& button, int width, int height, const ScreenRect& screen);

// The same where placementAllowed; where the window system places every window itself (Wayland) a spot
// beside the button cannot be had, and the dialog asks for the middle of the main window instead, the
// place such a system gives a dialog of that window.
ScreenPoint placeKeyDialog(const ScreenRect& button, const ScreenRect& mainWindow, int width, int height,
                           const ScreenRect& screen, bool placementAllowed);

} // namespace tarvik::dialogs
