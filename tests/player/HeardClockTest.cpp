// The estimate of what has been heard, with made-up instants.
#include <gtest/gtest.h>

#include "player/AudioSink.h"

namespace {

using TClock = THeardClock::TClock;
using std::chrono::milliseconds;

TEST(HeardClock, NothingIsHeardBeforeTheFirstWrite) {
    THeardClock Clock;
    Clock.Reset(1000, 200);
    EXPECT_EQ(Clock.HeardAt(TClock::now()), 0);
}

TEST(HeardClock, FollowsTheClockFromTheFirstWriteButNeverPassesWhatWasWritten) {
    THeardClock Clock;
    Clock.Reset(1000, 200);  // 1000 frames a second: one frame a millisecond
    const auto T0 = TClock::now();
    Clock.BeforeWrite(T0);
    Clock.AfterWrite(300);
    EXPECT_EQ(Clock.HeardAt(T0), 100);  // the device holds at most 200
    EXPECT_EQ(Clock.HeardAt(T0 + milliseconds(150)), 150);
    EXPECT_EQ(Clock.HeardAt(T0 + milliseconds(290)), 290);
    EXPECT_EQ(Clock.HeardAt(T0 + milliseconds(1000)), 300);
}

TEST(HeardClock, ADeviceThatRanDryGoesOnFromWhereItStopped) {
    THeardClock Clock;
    Clock.Reset(1000, 200);
    const auto T0 = TClock::now();
    Clock.BeforeWrite(T0);
    Clock.AfterWrite(100);
    // Nothing came for 400 ms: 300 ms of silence were played meanwhile.
    const auto T1 = T0 + milliseconds(400);
    EXPECT_EQ(Clock.HeardAt(T1), 100);
    Clock.BeforeWrite(T1);
    Clock.AfterWrite(100);
    EXPECT_EQ(Clock.HeardAt(T1), 100);
    EXPECT_EQ(Clock.HeardAt(T1 + milliseconds(50)), 150);
    EXPECT_EQ(Clock.TimeOf(200), T1 + milliseconds(100));
}

TEST(HeardClock, ResetStartsAFreshSession) {
    THeardClock Clock;
    Clock.Reset(1000, 200);
    Clock.BeforeWrite(TClock::now());
    Clock.AfterWrite(100);
    Clock.Reset(48000, 9600);
    EXPECT_EQ(Clock.Written(), 0);
    EXPECT_EQ(Clock.HeardAt(TClock::now()), 0);
}

}  // namespace
