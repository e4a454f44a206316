// The pace of repeated requests, on explicit times: a request never goes sooner than one cycle
// after the one before, however soon the writer answered it.
#include <gtest/gtest.h>

#include "writers/RequestPacer.h"

namespace {

TEST(RequestPacer, TheNextRequestWaitsForItsCycle) {
    RequestPacer pacer(210);
    EXPECT_TRUE(pacer.Due(1000));  // the first goes at once
    pacer.Sent(1000);
    const struct {
        std::int64_t at;
        int waitMs;
    } rows[] = {{1000, 210}, {1001, 209}, {1150, 60}, {1209, 1}, {1210, 0}, {5000, 0}};
    for (const auto& row : rows) {
        EXPECT_EQ(pacer.WaitMs(row.at), row.waitMs) << row.at;
        EXPECT_EQ(pacer.Due(row.at), row.waitMs == 0) << row.at;
    }
}

// An answer at once, polls as soon as they are due: one request a cycle, never more.
TEST(RequestPacer, AnAnswerAtOnceNeverHastensTheNext) {
    RequestPacer pacer(50);
    int sent = 0;
    for (std::int64_t now = 0; now < 10'000; ++now) {  // looked at every millisecond
        if (!pacer.Due(now)) continue;
        pacer.Sent(now);
        ++sent;
    }
    EXPECT_EQ(sent, 200);
}

}  // namespace
