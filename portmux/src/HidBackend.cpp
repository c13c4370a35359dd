#include "portmux/src/HidBackend.h"

namespace portmux::hid {

std::unique_ptr<Backend> makeHidapiBackend() {
    return nullptr;
}

} // namespace portmux::hid
