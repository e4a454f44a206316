#pragma once
// Helpers for driver sessions against a simulator: bounded checks that a call returns, and
// the processor time spent while a writer is left alone (a busy loop shows up there, a wait
// does not).
#include <time.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <regex>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "tests/fakes/FakeOwnerWindow.h"
#include "tests/fakes/TestWriters.h"
#include "tests/fakes/WaitDialogScript.h"
#include "tests/support/ScriptedPresenter.h"
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

// A capture file's line in notesListing: its name, its size in bytes and a date m/d/yyyy.
inline ::testing::AssertionResult ListsCaptureFile(const std::string& line, const std::string& name,
                                                   std::size_t size) {
    const std::string escaped = std::regex_replace(name, std::regex(R"(\.)"), R"(\.)");
    if (std::regex_match(line, std::regex(escaped + ": " + std::to_string(size) + R"( \d{1,2}/\d{1,2}/\d{4})")))
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << '"' << line << "\" does not list " << name << " of " << size << " bytes";
}

// The wait window of a notes transfer: "Read notes from writer" and "Reading..." with Cancel,
// closed once the transfer is over.
inline ::testing::AssertionResult IsClosedNotesWindow(const fakes::WaitDialogRecord& window) {
    if (window.headingId != kReadNotesHeading || window.actionId != kReadingAction)
        return ::testing::AssertionFailure() << "strings " << window.headingId << ", " << window.actionId;
    if (!window.allowCancel) return ::testing::AssertionFailure() << "no Cancel";
    if (!window.closed) return ::testing::AssertionFailure() << "left open";
    return ::testing::AssertionSuccess();
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

// An owner that takes nothing and notes, at each stroke message, how many strokes the
// writer had queued.
class QueueAtMessage final : public platform::MessageTarget {
public:
    QueueAtMessage() : registration_(this) {}
    ~QueueAtMessage() override { registration_.Unregister(); }
    platform::WindowHandle Handle() const { return registration_.Handle(); }
    void Watch(CWriter* writer) { writer_ = writer; }

    // The queue length at the first stroke message (waited for at most timeoutMs; 0 when
    // none came).
    std::size_t QueuedAtFirstMessage(int timeoutMs) {
        std::unique_lock<std::mutex> lock(lock_);
        arrived_.wait_for(lock, std::chrono::milliseconds(timeoutMs), [&] { return !seen_.empty(); });
        return seen_.empty() ? 0 : seen_.front();
    }

    void Deliver(unsigned message, std::uintptr_t, std::intptr_t) override {
        CWriter* writer = writer_.load();
        if (message != platform::kStrokeMessage || !writer) return;
        std::size_t queued;
        {
            std::lock_guard<std::mutex> guard(writer->queueLock);
            queued = writer->strokeQueue.size();
        }
        std::lock_guard<std::mutex> guard(lock_);
        seen_.push_back(queued);
        arrived_.notify_all();
    }

private:
    platform::WindowRegistration registration_;
    std::atomic<CWriter*> writer_{nullptr};
    std::mutex lock_;
    std::condition_variable arrived_;
    std::vector<std::size_t> seen_;
};

// A realtime writer of the driver (not started yet) whose owner window notes its connection
// statuses from the first on and takes its strokes.
template <class Driver>
struct WatchedWriter {
    WatchedWriter() {
        window.WatchStatus(*writer);
        writer->mode = kModeRealtime;
    }
    fakes::FakeOwnerWindow window;
    std::unique_ptr<Driver> writer{NewWriter<Driver>(window.Handle())};  // goes first
};

// The owner was told `first` and, later, `then` (each waited for at most timeoutMs).
inline bool ToldInOrder(const fakes::FakeOwnerWindow& window, ConnectionState first, ConnectionState then,
                        int timeoutMs) {
    if (!window.WaitForState(first, timeoutMs)) return false;
    const std::vector<ConnectionStatus> told = window.Statuses();
    const auto at = std::find_if(told.begin(), told.end(), [&](const ConnectionStatus& s) { return s.state == first; });
    return window.WaitForState(then, timeoutMs, std::size_t(at - told.begin()) + 1);
}

// Starts a realtime writer of the driver from the first stored stroke ("&First" answered to
// the start-from question, after `configure`) and returns how many strokes it had queued at
// its first stroke message. A reply carrying several strokes must have queued them all by
// then, so that the owner, woken by it, finds the whole reply.
template <class Driver>
std::size_t QueuedAtFirstMessageFromTheFirstStroke(int timeoutMs,
                                                    const std::function<void(Driver&)>& configure = {}) {
    ScriptedPresenter presenter;
    presenter.Answer(5018, 1);  // "&First"
    QueueAtMessage watcher;
    std::unique_ptr<Driver> writer(NewWriter<Driver>(watcher.Handle()));
    watcher.Watch(writer.get());
    writer->mode = kModeRealtime;
    if (configure) configure(*writer);
    writer->Start(0);
    const std::size_t queued = watcher.QueuedAtFirstMessage(timeoutMs);
    writer.reset();
    return queued;
}

}  // namespace session
