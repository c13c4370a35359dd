// Link timing for the tests: the same rules, much shorter waits. The reply wait stays generous enough
// that a loaded machine or a sanitizer build does not turn a normal reply into a lost one.
#pragma once

#include "device/Timing.h"

namespace tarvik::device::test {

inline LinkTiming testTiming() {
    using ms = LinkTiming::ms;
    LinkTiming t;
    t.takeOver = ms{100};
    t.replyWait = ms{100};
    t.retryPause = ms{1};
    t.endWritePause = ms{1};
    t.readyPoll = ms{1};
    t.readyLimit = ms{5000};
    t.iconPause = ms{1};
    return t;
}

} // namespace tarvik::device::test
