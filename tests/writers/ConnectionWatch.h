#pragma once
// An owner window that sees each connection status the moment it is posted (on the posting
// thread, so no brief state is missed) and takes every stroke as its message comes.
#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>
#include <vector>

#include "platform/WindowRegistry.h"
#include "tests/fakes/FakeOwnerWindow.h"
#include "writers/CWriter.h"

namespace session {

class StatusOwner final : public platform::MessageTarget {
public:
    StatusOwner() : registration_(this) {}
    ~StatusOwner() override { registration_.Unregister(); }
    platform::WindowHandle Handle() const { return registration_.Handle(); }
    void Watch(CWriter* writer) { writer_ = writer; }

    void Deliver(unsigned message, std::uintptr_t, std::intptr_t) override {
        CWriter* writer = writer_.load();
        if (!writer) return;
        std::lock_guard<std::mutex> guard(lock_);
        if (message == platform::kConnectionMessage) {
            statuses_.push_back(writer->GetConnectionStatus());
        } else if (message == platform::kStrokeMessage) {
            TrackStroke stroke;
            while (writer->GetStroke(&stroke)) keys_.push_back(fakes::KeysText(stroke));
        }
        changed_.notify_all();
    }

    // The states told, in order, with repeats of one state folded.
    std::vector<ConnectionState> States() const {
        std::lock_guard<std::mutex> guard(lock_);
        std::vector<ConnectionState> states;
        for (const ConnectionStatus& s : statuses_)
            if (states.empty() || states.back() != s.state) states.push_back(s.state);
        return states;
    }
    std::vector<ConnectionStatus> Statuses() const {
        std::lock_guard<std::mutex> guard(lock_);
        return statuses_;
    }
    std::vector<std::string> StrokeKeys() const {
        std::lock_guard<std::mutex> guard(lock_);
        return keys_;
    }
    // True once a status that `holds` has been told (false after timeoutMs of real time).
    template <class Predicate>
    bool WaitForStatus(Predicate holds, int timeoutMs) {
        std::unique_lock<std::mutex> lock(lock_);
        return changed_.wait_for(lock, std::chrono::milliseconds(timeoutMs), [&] {
            return std::any_of(statuses_.begin(), statuses_.end(), holds);
        });
    }
    bool WaitForState(ConnectionState state, int timeoutMs) {
        return WaitForStatus([state](const ConnectionStatus& s) { return s.state == state; }, timeoutMs);
    }
    bool WaitForStrokes(std::size_t count, int timeoutMs) {
        std::unique_lock<std::mutex> lock(lock_);
        return changed_.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                                 [&] { return keys_.size() >= count; });
    }

private:
    platform::WindowRegistration registration_;
    std::atomic<CWriter*> writer_{nullptr};
    mutable std::mutex lock_;
    std::condition_variable changed_;
    std::vector<ConnectionStatus> statuses_;
    std::vector<std::string> keys_;
};

}  // namespace session
