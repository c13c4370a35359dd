// A main window for code that has none (tarvikctl, tests, benchmarks): always ready, its messages handled
// at once with nothing to do, no icons and no timers. Message boxes are dropped unless a subclass shows them.
#pragma once

#include "device/MainWindowPort.h"

namespace tarvik::device {

class HeadlessWindowPort : public MainWindowPort {
public:
    intptr_t sendMessage(uint32_t, uint32_t) override { return 0; }
    void postMessage(uint32_t, uint32_t) override {}
    void hide() override {}
    bool isReady() const override { return true; }
    void setIcon(int) override {}
    void startTimer(int, int) override {}
    void showMessage(std::string_view) override {}
};

} // namespace tarvik::device
