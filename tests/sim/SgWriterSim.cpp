#include "tests/sim/SgWriterSim.h"

#include <poll.h>
#include <unistd.h>

#include <chrono>

namespace sim {

SgWriterSim::SgWriterSim(int comNumber) : pty_(comNumber) {
    if (pty_.IsOpen()) thread_ = std::thread([this] { Run(); });
}

SgWriterSim::~SgWriterSim() {
    stop_ = true;
    if (thread_.joinable()) thread_.join();
}

void SgWriterSim::OnReplySent(std::function<void(const std::string&)> callback) {
    std::lock_guard lock(mutex_);
    onReply_ = std::move(callback);
}

void SgWriterSim::DropOffLine() {
    dropRequested_ = true;
    std::unique_lock lock(mutex_);
    changed_.wait_for(lock, std::chrono::seconds(10), [&] { return dropped_ || !thread_.joinable(); });
}

bool SgWriterSim::AwaitRequests(std::uint16_t action, int count, int timeoutMs) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (model_.CountOf(action) < count) {
        if (std::chrono::steady_clock::now() >= end) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return true;
}

void SgWriterSim::Run() {
    while (!stop_) {
        if (dropRequested_) {
            // Only this thread touches the master, so closing it here races with nothing.
            pty_.Vanish();
            std::lock_guard lock(mutex_);
            dropped_ = true;
            changed_.notify_all();
            return;
        }
        pollfd p{pty_.MasterFd(), POLLIN, 0};
        if (poll(&p, 1, 5) <= 0) continue;
        if (!(p.revents & POLLIN)) {
            std::this_thread::sleep_for(std::chrono::milliseconds(5));  // a hang-up: do not spin
            continue;
        }
        char buffer[512];
        const ssize_t n = read(pty_.MasterFd(), buffer, sizeof buffer);
        if (n <= 0) continue;
        const std::string reply = model_.Feed(std::string_view(buffer, std::size_t(n)));
        if (reply.empty()) continue;
        if (const int delay = replyDelayMs_; delay > 0) {
            std::this_thread::sleep_for(std::chrono::milliseconds(delay));
        }
        pty_.Send(reply);
        std::function<void(const std::string&)> callback;
        {
            std::lock_guard lock(mutex_);
            callback = onReply_;
        }
        if (callback) callback(reply);
    }
}

}  // namespace sim
