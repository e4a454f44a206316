#pragma once
// The monotonic millisecond clock for time-outs and elapsed times, and the sleep of the
// pacing waits. Tests may install another clock (FastClock) so that multi-second exchanges
// with scripted fakes run in milliseconds; sessions against a simulator keep the real one.
#include <atomic>
#include <cstdint>

namespace platform {

class Clock {
public:
    virtual ~Clock() = default;
    virtual std::int64_t NowMs() = 0;
    virtual void Sleep(int ms) = 0;
};

// Milliseconds from an arbitrary fixed point; never goes back, never restarts at midnight.
std::int64_t MonotonicMs();
// Sleeps on the installed clock; negative or zero sleeps return at once.
void SleepMs(int ms);

// Installs a clock for the whole process (null restores the real one). The caller keeps
// ownership and must restore the real clock before destroying it.
void InstallClock(Clock* clock);
// True while the real clock is installed: waits that can also end on a signal (a stop request)
// then wait on the real clock; under a test clock they sleep on it instead.
bool RealClockInstalled();

// Virtual time: Sleep advances the clock at once (yielding the CPU), NowMs reads it.
// Real time passing does not move it, so a scripted exchange is exact and fast.
class FastClock final : public Clock {
public:
    explicit FastClock(std::int64_t startMs = 1'000'000) : now_(startMs) {}
    std::int64_t NowMs() override { return now_.load(); }
    void Sleep(int ms) override;
    void Advance(std::int64_t ms) { now_ += ms; }

private:
    std::atomic<std::int64_t> now_;
};

// Installs a clock for one scope.
class ScopedClock {
public:
    explicit ScopedClock(Clock& clock) { InstallClock(&clock); }
    ~ScopedClock() { InstallClock(nullptr); }
    ScopedClock(const ScopedClock&) = delete;
    ScopedClock& operator=(const ScopedClock&) = delete;
};

}  // namespace platform
