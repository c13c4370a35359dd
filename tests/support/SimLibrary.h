// What the tests that load the program folder's libportmux.so share: where the folder is, the
// environment that selects the virtual keyboard, and the keyboard's control interface.
#pragma once

#include "TestPaths.h"
#include "portmux/include/portmux_sim.h"

#include <cstdlib>
#include <dlfcn.h>
#include <string>

namespace tarvik::testsupport {

// The program folder: from the test environment, else the one this test was built for.
inline std::string programFolder() {
    const char* dir = std::getenv("TARVIK_BIN_DIR");
    return dir != nullptr && dir[0] != '\0' ? dir : TARVIK_TEST_BIN_DIR;
}

// Whatever the environment says, the virtual keyboard, and its flash never persisted.
inline void useVirtualKeyboard() {
    ::setenv("PORTMUX_BACKEND", "sim", 1);
    ::setenv("PORTMUX_SIM_STATE", "", 1);
}

// The virtual keyboard's control interface of a loaded libportmux.so; null when it has none.
inline PortmuxSimControl* simControlOf(void* module) {
    auto get = reinterpret_cast<PortmuxSimControlGetFn>(::dlsym(module, "PortmuxSimControlGet"));
    return get != nullptr ? get() : nullptr;
}

} // namespace tarvik::testsupport
