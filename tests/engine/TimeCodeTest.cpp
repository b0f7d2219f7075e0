// Time codes "000:00:00.000" to and from milliseconds, the clamping of typed
// text, and the strict parsing of command-line times.
#include <gtest/gtest.h>

#include "engine/TimeCode.h"

namespace {

// A text and the milliseconds it stands for.
struct TTextAndMs {
    const char* Text;
    int64_t Ms;
};

TEST(TimeCode, MillisecondsToText) {
    const struct {
        int64_t Ms;
        const char* Text;
    } Cases[] = {
        {0, "000:00:00.000"},
        {7, "000:00:00.007"},
        {59999, "000:00:59.999"},
        {60000, "000:01:00.000"},
        {3600000, "001:00:00.000"},
        {3723004, "001:02:03.004"},
        {3599999999, "999:59:59.999"},
        // Hours of 1000 and more keep all their digits.
        {3600000000, "1000:00:00.000"},
    };
    for (const auto& C : Cases) EXPECT_EQ(MsToTimeCode(C.Ms), C.Text) << C.Ms;
}

TEST(TimeCode, PaddingNeverCutsDigits) {
    EXPECT_EQ(ZeroPad2(5), "05");
    EXPECT_EQ(ZeroPad2(123), "123");
    EXPECT_EQ(ZeroPad3(5), "005");
    EXPECT_EQ(ZeroPad3(42), "042");
    EXPECT_EQ(ZeroPad3(12345), "12345");
}

TEST(TimeCode, NormalizeClampsTensDigitsAndFillsBlanks) {
    const struct {
        const char *Typed, *Normal;
    } Cases[] = {
        // Only the tens of minutes and seconds are clamped: 75 becomes 55, not 59.
        {"000:75:00.000", "000:55:00.000"},
        {"000:99:99.999", "000:59:59.999"},
        {"000:00:69.000", "000:00:59.000"},
        {"999:59:59.999", "999:59:59.999"},
        // Unfilled positions read as spaces and become zeros.
        {"0 1: 2:3 .4 5", "001:02:30.405"},
        {"   :  :  .   ", "000:00:00.000"},
        {"000: 7:00.000", "000:07:00.000"},
    };
    for (const auto& C : Cases) EXPECT_EQ(NormalizeTimeCode(C.Typed), C.Normal) << C.Typed;
}

TEST(TimeCode, TextToMilliseconds) {
    const TTextAndMs Cases[] = {
        {"000:00:00.000", 0},
        {"001:02:03.004", 3723004},
        {"999:59:59.999", 3599999999},
        // A field that is no number counts 0, the others still count.
        {"0a0:01:02.003", 62003},
        {"000:01:02.0b3", 62000},
    };
    for (const auto& C : Cases) EXPECT_EQ(TimeCodeToMs(C.Text), C.Ms) << C.Text;
}

TEST(TimeCode, RoundTrip) {
    for (int64_t Ms : {int64_t(0), int64_t(1), int64_t(999), int64_t(1000), int64_t(61001), int64_t(3599999),
                       int64_t(3600001), int64_t(86399999), int64_t(3599999999)})
        EXPECT_EQ(TimeCodeToMs(NormalizeTimeCode(MsToTimeCode(Ms))), Ms) << Ms;
}

TEST(TimeArgument, PlainMillisecondsOrTimeCode) {
    const TTextAndMs Cases[] = {
        {"1500", 1500},
        {"0", 0},
        {"000:00:01.500", 1500},
        {"001:02:03.004", 3723004},
        // Hours of any width.
        {"1:00:00.000", 3600000},
        {"1000:00:00.000", 3600000000},
        // The widest minutes print as hours of ten digits, which read back.
        {"123456783459:59.999", 7407407007599999},
        {"2057613057:39:59.999", 7407407007599999},
        {"999999999999:59:59.999", 3599999999999999999},
        // Shorter clocks, and fractions of any length rounded to whole milliseconds.
        {"0:30:00", 1800000},
        {"30:00", 1800000},
        {"90:00", 5400000},
        {"1:23.5", 83500},
        {"000:00:01.5", 1500},
        {"00:00.000", 0},
        {"0:00:01.0005", 1001},
        {"00:01:23.456789", 83457},
        // A number with a unit.
        {"1500ms", 1500},
        {"90s", 90000},
        {"1.5s", 1500},
        {"0.0004s", 0},
        {"2m", 120000},
        {"1.25m", 75000},
        {"1h", 3600000},
    };
    for (const auto& C : Cases) {
        int64_t Ms = -1;
        EXPECT_TRUE(ParseTimeArgument(C.Text, Ms)) << C.Text;
        EXPECT_EQ(Ms, C.Ms) << C.Text;
    }
}

TEST(TimeArgument, AnythingElseIsRefused) {
    // clang-format off
    const char* const Refused[] = {"", "abc", "-5", "+5", "1.5", "1500 ms", " 1500", "1500 ", "000:60:00.000",
                                   "000:00:60.000", "000:00:1.500", "000:00:01,500", "1:2:3:04", ":00:00.000", "1:5",
                                   "1:05.", "1.s", ".5s", "1.2.3s", "1sec", "2M", "1:00s", "000:0a:01.500",
                                   "99999999999999999999", "1000000000000:00:00"};
    // clang-format on
    for (const char* Text : Refused) {
        int64_t Ms = 42;
        EXPECT_FALSE(ParseTimeArgument(Text, Ms)) << '"' << Text << '"';
    }
}

}  // namespace
