#include <gtest/gtest.h>

#include "platform/Clock.h"
#include "platform/Codepage.h"

TEST(Clock, MonotonicAndSleeps) {
    std::int64_t a = platform::MonotonicMs();
    platform::SleepMs(20);
    std::int64_t b = platform::MonotonicMs();
    EXPECT_GE(b - a, 19);
}

TEST(Clock, FastClockRunsOnVirtualTime) {
    platform::FastClock fast;
    {
        platform::ScopedClock scope(fast);
        EXPECT_FALSE(platform::RealClockInstalled());
        std::int64_t a = platform::MonotonicMs();
        platform::SleepMs(60'000);  // a minute in no real time
        EXPECT_EQ(platform::MonotonicMs() - a, 60'000);
    }
    // The real clock is back, and with it the waits that also end on a stop request.
    EXPECT_TRUE(platform::RealClockInstalled());
}

TEST(Codepage, Windows1252DiffersFromLatin1InTheC1Range) {
    EXPECT_EQ(platform::ByteToUnicode(0x80), u'\u20AC');  // euro sign
    EXPECT_EQ(platform::ByteToUnicode(0x9F), u'\u0178');
    EXPECT_EQ(platform::ByteToUnicode(0xE9), u'\u00E9');
    EXPECT_EQ(platform::ByteToUnicode(0x81), u'\u0081');  // unassigned keeps its value
    EXPECT_EQ(platform::UnicodeToByte(u'\u20AC'), 0x80);
    EXPECT_EQ(platform::UnicodeToByte(u'\u4E2D'), -1);
}

TEST(Codepage, Windows1255HasTheHebrewLetters) {
    using platform::Codepage;
    EXPECT_EQ(platform::ByteToUnicode(0xE0, Codepage::Windows1255), u'\u05D0');  // alef
    EXPECT_EQ(platform::ByteToUnicode(0xFA, Codepage::Windows1255), u'\u05EA');  // tav
    EXPECT_EQ(platform::UnicodeToByte(u'\u05E9', Codepage::Windows1255), 0xF9);
}

TEST(Codepage, EveryByteSurvivesARoundTrip) {
    using platform::Codepage;
    std::string all;
    for (int b = 0; b < 256; ++b) all.push_back(char(b));
    for (Codepage cp : {Codepage::Windows1252, Codepage::Windows1255}) {
        QString text = platform::ToQString(all, cp);
        EXPECT_EQ(text.size(), 256);
        EXPECT_EQ(platform::FromQString(text, cp), all);
    }
    EXPECT_EQ(platform::FromQString(QString::fromUtf8("a\xe4\xb8\xad" "b")), "a?b");
}
