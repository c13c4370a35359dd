// The program's life: start-up in its fixed order (paths, texts, the store, command line and single
// instance, the companion daemon, the main window with the device link), the event loop with the window
// hidden in the notification area, and the orderly end. Every missing component ends the process quietly
// with exit code 0 before any window shows; so does a second start after handing its request over.
#pragma once

namespace tarvik::app {

int runProgram(int argc, char** argv);

} // namespace tarvik::app
