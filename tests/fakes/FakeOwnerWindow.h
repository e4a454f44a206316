#pragma once
// An owner window for writer tests, without widgets. It is a real entry in the window
// registry, so a writer posts to it exactly as to a dialog. Posted messages wait in its inbox
// until the test handles them on its own thread (as a dialog's thread would): each stroke
// message takes every stroke queued in the writer.
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <mutex>
#include <string>
#include <vector>

#include "platform/WindowRegistry.h"
#include "writers/CWriter.h"

namespace fakes {

class FakeOwnerWindow final : public platform::MessageTarget {
public:
    FakeOwnerWindow();
    ~FakeOwnerWindow() override;
    FakeOwnerWindow(const FakeOwnerWindow&) = delete;
    FakeOwnerWindow& operator=(const FakeOwnerWindow&) = delete;

    platform::WindowHandle Handle() const { return handle_; }
    // The window goes away: its handle is dead, later posts reach nothing.
    void Destroy();

    // Handles the messages received so far; each stroke message takes every queued stroke.
    void HandleMessages(CWriter& writer);
    // Handles messages as they come until `count` strokes have been taken in all; false when
    // timeoutMs (real time) passed first.
    bool WaitForStrokes(CWriter& writer, std::size_t count, int timeoutMs);
    // Waits until `count` messages have been received in all, handling none.
    bool WaitForMessages(std::size_t count, int timeoutMs) const;
    // The same for stroke messages only (connection messages come between them).
    bool WaitForStrokeMessages(std::size_t count, int timeoutMs) const;

    // From now on each connection message notes the writer's status as it is then.
    void WatchStatus(CWriter& writer) { watched_ = &writer; }
    std::vector<ConnectionStatus> Statuses() const;
    // The states noted, in order, with repeats of one state folded.
    std::vector<ConnectionState> States() const;
    // Waits until a status of that state has been noted after the first `after` ones.
    bool WaitForState(ConnectionState state, int timeoutMs, std::size_t after = 0) const;
    // Waits until a status that `holds` has been noted.
    template <class Predicate>
    bool WaitForStatus(Predicate holds, int timeoutMs) const {
        std::unique_lock<std::mutex> lock(lock_);
        return arrived_.wait_for(lock, std::chrono::milliseconds(timeoutMs), [&] {
            for (const ConnectionStatus& s : statuses_)
                if (holds(s)) return true;
            return false;
        });
    }

    // Every message received, in order (handled or not).
    std::vector<unsigned> Messages() const;
    std::size_t StrokeMessageCount() const;
    // The strokes taken so far, in order.
    const std::vector<TrackStroke>& Strokes() const { return strokes_; }
    // The six key bytes of each stroke taken, as "20 00 00 00 00 00".
    std::vector<std::string> StrokeKeys() const;

    void Deliver(unsigned message, std::uintptr_t wParam, std::intptr_t lParam) override;

private:
    platform::WindowHandle handle_;
    mutable std::mutex lock_;
    mutable std::condition_variable arrived_;
    std::vector<unsigned> messages_;
    std::size_t handled_ = 0;
    std::vector<TrackStroke> strokes_;
    std::atomic<CWriter*> watched_{nullptr};
    std::vector<ConnectionStatus> statuses_;
};

// The six key bytes of a stroke as "20 00 00 00 00 00".
std::string KeysText(const StrokeRecord& stroke);

}  // namespace fakes
