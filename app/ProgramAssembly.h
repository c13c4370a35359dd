// The parts of the program that are not windows: the device link's commands, the hub that makes the main
// window's decisions and the lighting state. The program makes them when its main window starts (the
// link reports to the window, the hub draws on it) and hands them over; the window keeps them for its
// lifetime, so they go in the order its parts need.
#pragma once

#include "app/MainHub.h"
#include "device/Commands.h"
#include "lighting/LightingState.h"

#include <memory>

namespace tarvik::app {

class MainWindow;

struct ProgramParts {
    device::Commands& commands;
    std::unique_ptr<MainHub> hub;
    std::unique_ptr<lighting::LightingState> lighting;
};

// Makes the hub and the lighting state on commands (the link the caller has opened) for window, from
// the window's setup; and the first-run copy of the user lighting files.
ProgramParts assembleProgram(MainWindow& window, device::Commands& commands);

} // namespace tarvik::app
