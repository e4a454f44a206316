#pragma once
// Helpers for driver sessions against a simulator: bounded checks that a call returns, and
// the processor time spent while a writer is left alone (a busy loop shows up there, a wait
// does not).
#include <time.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <thread>

#include <gtest/gtest.h>

#include "tests/fakes/FakeOwnerWindow.h"
#include "tests/fakes/TestWriters.h"
#include "writers/CWriter.h"

namespace session {

constexpr int kBoundMs = 5000;  // generous bound for anything that should happen "now"
constexpr int kNothingMs = 300;  // how long to watch for something that must not happen

// Runs `call` on another thread; true when it came back within the bound.
inline bool ReturnsSoon(const std::function<void()>& call) {
    std::atomic<bool> done{false};
    std::thread t([&] {
        call();
        done = true;
    });
    for (int i = 0; i < kBoundMs / 10 && !done; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    const bool returned = done;
    t.join();  // waits anyway: a hang fails the test by its time-out
    return returned;
}

// Processor time of the whole process, in milliseconds.
inline double ProcessCpuMs() {
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return double(t.tv_sec) * 1000.0 + double(t.tv_nsec) / 1e6;
}

// Processor time the process spends during `ms` of real time while this thread sleeps. A
// reader thread that spins uses about all of it; one that waits, next to nothing.
inline double CpuMsWhileIdle(int ms) {
    const double before = ProcessCpuMs();
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
    return ProcessCpuMs() - before;
}

// A realtime writer of the driver, started on the settings' port (COM1 unless changed).
template <class Driver>
std::unique_ptr<CWriter> StartRealtime(platform::WindowHandle owner) {
    std::unique_ptr<CWriter> writer(NewWriter<Driver>(owner));
    writer->mode = kModeRealtime;
    writer->Start(1);
    return writer;
}

// A realtime writer of the driver on COM1, facing a simulator of its writer.
template <class Driver, class Simulator>
class Session : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(sim.IsOpen()) << sim.Error();
        fakes::UseLineSettings(1);
        writer = StartRealtime<Driver>(owner.Handle());
    }
    Simulator sim{1};
    fakes::FakeOwnerWindow owner;
    std::unique_ptr<CWriter> writer;
};

}  // namespace session
