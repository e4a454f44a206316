#include "platform/Clock.h"

#include <chrono>
#include <thread>

namespace platform {
namespace {

class RealClock final : public Clock {
public:
    std::int64_t NowMs() override {
        using namespace std::chrono;
        return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
    }
    void Sleep(int ms) override {
        if (ms > 0) std::this_thread::sleep_for(std::chrono::milliseconds(ms));
    }
};

RealClock gRealClock;
std::atomic<Clock*> gClock{&gRealClock};

}  // namespace

std::int64_t MonotonicMs() { return gClock.load()->NowMs(); }

void SleepMs(int ms) {
    if (ms > 0) gClock.load()->Sleep(ms);
}

void InstallClock(Clock* clock) { gClock.store(clock ? clock : &gRealClock); }

bool RealClockInstalled() { return gClock.load() == &gRealClock; }

void FastClock::Sleep(int ms) {
    if (ms > 0) now_ += ms;
    std::this_thread::yield();
}

}  // namespace platform
