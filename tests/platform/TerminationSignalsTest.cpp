// The termination signals reach the event loop through a pipe, one by one, and the handlers they
// replaced come back when the object goes.
#include "platform/TerminationSignals.h"

#include <gtest/gtest.h>

#include <csignal>
#include <fcntl.h>

namespace tarvik {
namespace {

volatile sig_atomic_t gOldHandlerRan = 0;
extern "C" void oldHandler(int) {
    gOldHandlerRan = 1;
}

TEST(TerminationSignals, EachSignalArrivesOnThePipeOnceAndInOrder) {
    TerminationSignals signals;
    ASSERT_TRUE(signals.ok());
    EXPECT_EQ(signals.take(), 0); // nothing yet, and the read does not block
    for (int s : kTerminationSignals) {
        ASSERT_EQ(::raise(s), 0);
        EXPECT_EQ(signals.take(), s);
        EXPECT_EQ(signals.take(), 0);
    }
    ASSERT_EQ(::raise(SIGHUP), 0);
    ASSERT_EQ(::raise(SIGTERM), 0);
    EXPECT_EQ(signals.take(), SIGHUP);
    EXPECT_EQ(signals.take(), SIGTERM);
}

TEST(TerminationSignals, ThePipeStaysOutOfStartedPrograms) {
    TerminationSignals signals;
    ASSERT_TRUE(signals.ok());
    EXPECT_NE(::fcntl(signals.fd(), F_GETFD) & FD_CLOEXEC, 0);
}

TEST(TerminationSignals, OneAtATimeAndTheOldHandlersComeBack) {
    struct sigaction old {};
    old.sa_handler = oldHandler;
    sigemptyset(&old.sa_mask);
    struct sigaction saved[std::size(kTerminationSignals)];
    for (size_t i = 0; i < std::size(kTerminationSignals); ++i) {
        ASSERT_EQ(::sigaction(kTerminationSignals[i], &old, &saved[i]), 0);
    }
    {
        TerminationSignals signals;
        ASSERT_TRUE(signals.ok());
        TerminationSignals second;
        EXPECT_FALSE(second.ok()) << "two objects would share one handler";
        ASSERT_EQ(::raise(SIGINT), 0);
        EXPECT_EQ(signals.take(), SIGINT);
        EXPECT_EQ(gOldHandlerRan, 0);
    }
    for (int s : kTerminationSignals) {
        gOldHandlerRan = 0;
        ASSERT_EQ(::raise(s), 0);
        EXPECT_EQ(gOldHandlerRan, 1) << "signal " << s;
    }
    for (size_t i = 0; i < std::size(kTerminationSignals); ++i) {
        ::sigaction(kTerminationSignals[i], &saved[i], nullptr);
    }
}

} // namespace
} // namespace tarvik
