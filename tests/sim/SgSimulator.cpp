#include "tests/sim/SgSimulator.h"

#include <chrono>
#include <thread>

SgSimulator::SgSimulator(int comNumber) : WriterSimulator(comNumber) {
    // A handler rather than an override: the simulator's thread runs from the base's
    // constructor on, and takes the handler under the base's lock, so it never sees this
    // object half built.
    SetRequestHandler([this](const std::string& pending, std::string& reply) {
        return Answer(pending, reply);
    });
}

void SgSimulator::OnReply(std::function<void(const std::string&)> callback) {
    std::lock_guard lock(callbackLock_);
    onReply_ = std::move(callback);
}

bool SgSimulator::WaitForRequests(std::uint16_t action, int count, int timeoutMs) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (model_.CountOf(action) < count) {
        if (std::chrono::steady_clock::now() >= end) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return true;
}

std::size_t SgSimulator::Answer(const std::string& pending, std::string& reply) {
    const std::size_t used = model_.Take(pending, reply);
    const std::uint16_t action =
        used >= sg::kRequestHeaderSize && std::uint8_t(pending[0]) == sg::kStartByte ? sg::RequestAction(pending) : 0;
    const auto now = std::chrono::steady_clock::now();
    if (action == sg::OpenFile) openedAt_ = now;
    if (action == sg::ReadRecords && now - openedAt_ < std::chrono::milliseconds(ignoreReadsAfterOpenMs_.load()))
        reply.clear();
    if (!reply.empty()) {
        std::lock_guard lock(callbackLock_);
        if (onReply_) onReply_(reply);
    }
    return used;
}
