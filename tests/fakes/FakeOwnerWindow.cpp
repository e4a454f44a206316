#include "tests/fakes/FakeOwnerWindow.h"

#include <algorithm>
#include <chrono>

#include "tests/sim/WriterSimulator.h"

namespace fakes {

std::string KeysText(const StrokeRecord& stroke) {
    return sim::Hex(std::string(stroke.keys.begin(), stroke.keys.end()));
}

FakeOwnerWindow::FakeOwnerWindow() : handle_(platform::RegisterWindow(this)) {}

FakeOwnerWindow::~FakeOwnerWindow() { Destroy(); }

void FakeOwnerWindow::Destroy() {
    platform::UnregisterWindow(handle_);
}

void FakeOwnerWindow::Deliver(unsigned message, std::uintptr_t, std::intptr_t) {
    ConnectionStatus status;
    CWriter* watched = watched_.load();
    if (message == platform::kConnectionMessage && watched) status = watched->GetConnectionStatus();
    std::lock_guard<std::mutex> guard(lock_);
    messages_.push_back(message);
    if (message == platform::kConnectionMessage && watched) statuses_.push_back(status);
    arrived_.notify_all();
}

std::vector<ConnectionStatus> FakeOwnerWindow::Statuses() const {
    std::lock_guard<std::mutex> guard(lock_);
    return statuses_;
}

std::vector<ConnectionState> FakeOwnerWindow::States() const {
    std::lock_guard<std::mutex> guard(lock_);
    std::vector<ConnectionState> states;
    for (const ConnectionStatus& s : statuses_)
        if (states.empty() || states.back() != s.state) states.push_back(s.state);
    return states;
}

bool FakeOwnerWindow::WaitForState(ConnectionState state, int timeoutMs, std::size_t after) const {
    std::unique_lock<std::mutex> lock(lock_);
    return arrived_.wait_for(lock, std::chrono::milliseconds(timeoutMs), [&] {
        for (std::size_t i = after; i < statuses_.size(); ++i)
            if (statuses_[i].state == state) return true;
        return false;
    });
}

void FakeOwnerWindow::HandleMessages(CWriter& writer) {
    std::size_t end;
    std::size_t strokeMessages = 0;
    {
        std::lock_guard<std::mutex> guard(lock_);
        end = messages_.size();
        for (std::size_t i = handled_; i < end; ++i)
            if (messages_[i] == platform::kStrokeMessage) ++strokeMessages;
        handled_ = end;
    }
    if (strokeMessages == 0) return;
    TrackStroke stroke;
    while (writer.GetStroke(&stroke)) strokes_.push_back(stroke);
}

bool FakeOwnerWindow::WaitForStrokes(CWriter& writer, std::size_t count, int timeoutMs) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        HandleMessages(writer);
        if (strokes_.size() >= count) return true;
        std::unique_lock<std::mutex> lock(lock_);
        if (!arrived_.wait_until(lock, deadline, [this] { return messages_.size() > handled_; })) {
            lock.unlock();
            HandleMessages(writer);
            return strokes_.size() >= count;
        }
    }
}

bool FakeOwnerWindow::WaitForMessages(std::size_t count, int timeoutMs) const {
    std::unique_lock<std::mutex> lock(lock_);
    return arrived_.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                             [&] { return messages_.size() >= count; });
}

bool FakeOwnerWindow::WaitForStrokeMessages(std::size_t count, int timeoutMs) const {
    std::unique_lock<std::mutex> lock(lock_);
    return arrived_.wait_for(lock, std::chrono::milliseconds(timeoutMs), [&] {
        return std::size_t(std::count(messages_.begin(), messages_.end(), platform::kStrokeMessage)) >= count;
    });
}

std::vector<unsigned> FakeOwnerWindow::Messages() const {
    std::lock_guard<std::mutex> guard(lock_);
    return messages_;
}

std::size_t FakeOwnerWindow::StrokeMessageCount() const {
    std::lock_guard<std::mutex> guard(lock_);
    std::size_t n = 0;
    for (unsigned m : messages_) n += m == platform::kStrokeMessage;
    return n;
}

std::vector<std::string> FakeOwnerWindow::StrokeKeys() const {
    std::vector<std::string> keys;
    for (const TrackStroke& s : strokes_) keys.push_back(KeysText(s));
    return keys;
}

}  // namespace fakes
