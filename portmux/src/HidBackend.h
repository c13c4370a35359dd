// Back end `hid`: real keyboards through hidapi (hidraw), behind a small transport interface.
#pragma once

#include "portmux/src/Backend.h"

#include <memory>

namespace portmux::hid {

// The back end over the system's hidapi (hidraw); nullptr when hidapi cannot start.
std::unique_ptr<Backend> makeHidapiBackend();

} // namespace portmux::hid
