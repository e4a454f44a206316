#pragma once
// A Passport writer in realtime: each stroke a numbered text packet (see PassportWire.h),
// every packet kept in a numbered history, and the request "<s" first "/" count ">" answered
// by sending the kept packets from `first` on again, up to `count` of them. It can lose a
// packet on the line (kept but not sent), cut one short, and send garbage, fall silent or
// vanish (the base).
#include <condition_variable>
#include <map>
#include <mutex>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "tests/sim/PassportWire.h"
#include "tests/sim/WriterSimulator.h"

namespace sim {

class PassportSimulator : public WriterSimulator {
public:
    explicit PassportSimulator(int comNumber = 1);
    ~PassportSimulator() override { StopThread(); }  // first: the thread answers through *this

    // The number of the next stroke (0 at first).
    void NumberFrom(int number);

    // Numbers, keeps and sends the next stroke; its number.
    int Stroke(std::string_view pressedKeys, std::string_view lightKeys = "");
    // Numbers and keeps the next stroke without sending it: lost on the line.
    int LoseStroke(std::string_view pressedKeys);
    // Numbers and keeps the next stroke, sending only its first `keep` bytes.
    int CutStroke(std::string_view pressedKeys, std::size_t keep);
    // The packet kept for stroke `number` (empty when none).
    std::string Kept(int number) const;

    // Resend requests received, as (first, count), in order.
    std::vector<std::pair<int, int>> Requests() const;
    // True once `count` requests have been received (waits at most timeoutMs, real time).
    bool WaitForRequests(std::size_t count, int timeoutMs) const;
    // Whether requests are answered (they are by default).
    void SetAnswering(bool answering);

private:
    // The request handler. Given as a handler rather than an override of OnRequest: the
    // handler is handed over under the base's lock, so the simulator's thread never sees
    // this object half-built.
    std::size_t Answer(const std::string& pending, std::string& reply);
    int Keep(std::string_view pressedKeys, std::string_view lightKeys, std::string& packet);

    mutable std::mutex historyLock_;
    mutable std::condition_variable requested_;
    std::map<int, std::string> history_;
    std::vector<std::pair<int, int>> requests_;
    int next_ = 0;
    bool answering_ = true;
};

}  // namespace sim
