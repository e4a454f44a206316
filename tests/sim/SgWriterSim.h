#pragma once
// An SG writer on the far side of a pseudo-terminal: a thread reads what the driver writes,
// hands it to the writer model (SgWriterModel) and sends the model's replies back, late
// when asked to. It can also drop off the line.
//
//   sim::SgWriterSim writer;            // COM1 links to it
//   writer.Model().SetRealtimeStrokes(5);
//   ... start the driver on "COM1:9600,n,8,1" ...
//   writer.Model().Write(0x12, 0x34, 0x56);   // a stroke written on the machine
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <thread>

#include "tests/sim/PtyPair.h"
#include "tests/sim/SgWriterModel.h"

namespace sim {

class SgWriterSim {
public:
    explicit SgWriterSim(int comNumber = 1);
    ~SgWriterSim();
    SgWriterSim(const SgWriterSim&) = delete;
    SgWriterSim& operator=(const SgWriterSim&) = delete;

    PtyPair& Pty() { return pty_; }
    SgWriterModel& Model() { return model_; }

    // Every reply is sent this long after its request has come (real time).
    void SetReplyDelay(int ms) { replyDelayMs_ = ms; }
    // Called on the simulator's thread with each reply just sent (for latency measurements).
    void OnReplySent(std::function<void(const std::string& reply)> callback);

    // The writer goes away: the master side closes, so the driver's port hangs up. Returns
    // once it has happened.
    void DropOffLine();
    // Waits (real time, at most timeoutMs) until the model has received `count` requests of
    // `action`; true when it has.
    bool AwaitRequests(std::uint16_t action, int count, int timeoutMs = 10000);

private:
    void Run();

    PtyPair pty_;
    SgWriterModel model_;
    std::atomic<int> replyDelayMs_{0};
    std::atomic<bool> stop_{false};
    std::atomic<bool> dropRequested_{false};
    std::mutex mutex_;
    std::condition_variable changed_;
    bool dropped_ = false;
    std::function<void(const std::string&)> onReply_;
    std::thread thread_;
};

}  // namespace sim
