// Every pause and wait of the device link in one place. The defaults are the real values; tests run the
// same code with them scaled down.
#pragma once

#include <chrono>

namespace tarvik::device {

struct LinkTiming {
    using ms = std::chrono::milliseconds;
    // How long a new exchange waits after one that gave up while its reply may still be on its way.
    ms takeOver{1001};
    // How long one attempt waits for its reply.
    ms replyWait{1000};
    // Pause between two attempts of the same report.
    ms retryPause{10};
    // Pause before every endWrite, so the keyboard has finished the last write.
    ms endWritePause{10};
    // How often the presence worker looks at the main window's ready flag, and for how long at most.
    ms readyPoll{50};
    ms readyLimit{60000};
    // Pause after each icon change requested by the keyboard.
    ms iconPause{1};

    // Attempts of one report before transact gives up.
    static constexpr int kAttempts = 3;

    // The longest one transact can take once it holds the exchange.
    ms longestExchange() const { return takeOver + kAttempts * (replyWait + retryPause); }
    // How long a transact waits for other threads' exchanges to finish before it gives up with 0;
    // zero means twice the longest exchange.
    ms queueLimit{0};
    ms exchangeQueueLimit() const { return queueLimit.count() > 0 ? queueLimit : 2 * longestExchange(); }
    // How long a sequence (or a single command) waits for the sequence of another thread or process to
    // end before it gives up without sending anything. A whole Apply on a slow keyboard fits well inside.
    ms sequenceWait{30000};
    // How long closing the link waits for each worker to come back once it has been told to stop.
    ms closeLimit{2000};

    // All values divided by factor (at least 1 ms each), for tests.
    LinkTiming scaledDown(int factor) const {
        auto s = [factor](ms v) { return v / factor > ms{1} ? v / factor : ms{1}; };
        LinkTiming t;
        t.takeOver = s(takeOver);
        t.replyWait = s(replyWait);
        t.retryPause = s(retryPause);
        t.endWritePause = s(endWritePause);
        t.readyPoll = s(readyPoll);
        t.readyLimit = s(readyLimit);
        t.iconPause = s(iconPause);
        t.queueLimit = queueLimit.count() > 0 ? s(queueLimit) : ms{0};
        t.sequenceWait = s(sequenceWait);
        t.closeLimit = s(closeLimit);
        return t;
    }
};

} // namespace tarvik::device
