#include "tests/sim/PassportSimulator.h"

#include <chrono>
#include <cstdlib>

namespace sim {

PassportSimulator::PassportSimulator(int comNumber) : WriterSimulator(comNumber) {
    SetRequestHandler([this](const std::string& pending, std::string& reply) { return Answer(pending, reply); });
}

void PassportSimulator::NumberFrom(int number) {
    std::lock_guard<std::mutex> guard(historyLock_);
    next_ = number;
}

int PassportSimulator::Keep(std::string_view pressedKeys, std::string_view lightKeys,
                            std::string& packet) {
    std::lock_guard<std::mutex> guard(historyLock_);
    const int number = next_++;
    packet = simwire::PassportPacket(number, pressedKeys, lightKeys);
    history_[number] = packet;
    return number;
}

int PassportSimulator::Stroke(std::string_view pressedKeys, std::string_view lightKeys) {
    std::string packet;
    const int number = Keep(pressedKeys, lightKeys, packet);
    Send(packet);
    return number;
}

int PassportSimulator::LoseStroke(std::string_view pressedKeys) {
    std::string packet;
    return Keep(pressedKeys, "", packet);
}

int PassportSimulator::CutStroke(std::string_view pressedKeys, std::size_t keep) {
    std::string packet;
    const int number = Keep(pressedKeys, "", packet);
    Send(packet.substr(0, keep));
    return number;
}

std::string PassportSimulator::Kept(int number) const {
    std::lock_guard<std::mutex> guard(historyLock_);
    const auto it = history_.find(number);
    return it == history_.end() ? std::string() : it->second;
}

std::vector<std::pair<int, int>> PassportSimulator::Requests() const {
    std::lock_guard<std::mutex> guard(historyLock_);
    return requests_;
}

bool PassportSimulator::WaitForRequests(std::size_t count, int timeoutMs) const {
    std::unique_lock<std::mutex> lock(historyLock_);
    return requested_.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                               [&] { return requests_.size() >= count; });
}

void PassportSimulator::SetAnswering(bool answering) {
    std::lock_guard<std::mutex> guard(historyLock_);
    answering_ = answering;
}

std::size_t PassportSimulator::Answer(const std::string& pending, std::string& reply) {
    const std::size_t start = pending.find("<s");
    if (start == std::string::npos) return pending.size() > 1 ? pending.size() - 1 : 0;
    const std::size_t end = pending.find('>', start);
    if (end == std::string::npos) return start;  // what comes before the request is dropped
    const std::string body = pending.substr(start + 2, end - start - 2);
    const std::size_t slash = body.find('/');
    if (slash != std::string::npos) {
        const int first = std::atoi(body.c_str());
        const int count = std::atoi(body.c_str() + slash + 1);
        std::lock_guard<std::mutex> guard(historyLock_);
        requests_.emplace_back(first, count);
        requested_.notify_all();
        if (answering_)
            for (auto it = history_.lower_bound(first); it != history_.end() && it->first < first + count; ++it)
                reply += it->second;
    }
    return end + 1;
}

}  // namespace sim
