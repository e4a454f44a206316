#pragma once
// An SG writer on the far side of a pseudo-terminal: the kit's simulator (faults, recording,
// scripts) answering with the SG writer model.
//
//   SgSimulator sim{1};                       // COM1 links to it
//   sim.Model().SetRealtimeStrokes(5);        // already in the writer's realtime file
//   ... start CWriterSG on COM1 ...
//   sim.Model().Write(0x12, 0x34, 0x56);      // a stroke written on the machine
//   sim.Model().Inject(SgWriterModel::Fault::BadCrc, sg::ReadRecords, 1);
//   sim.SetByteDelay(40);  sim.Vanish();      // late replies; the writer drops off the line
#include <atomic>
#include <chrono>
#include <functional>
#include <mutex>
#include <string>

#include "tests/sim/SgWriterModel.h"
#include "tests/sim/WriterSimulator.h"

class SgSimulator : public sim::WriterSimulator {
public:
    explicit SgSimulator(int comNumber = 1);
    ~SgSimulator() override { StopThread(); }

    SgWriterModel& Model() { return model_; }
    // Called on the simulator's thread with each reply as it is handed to the line.
    void OnReply(std::function<void(const std::string& reply)> callback);
    // Called on the simulator's thread with each reply once its last byte is on the line.
    void OnReplySent(std::function<void(const std::string& reply)> callback) {
        SetReplySentHandler(std::move(callback));
    }
    // Waits (real time, at most timeoutMs) until the writer has had `count` requests of
    // `action`.
    bool WaitForRequests(std::uint16_t action, int count, int timeoutMs);
    // A writer slow to read after opening a file: read requests within `ms` of each OpenFile
    // are left unanswered (0: every one is answered).
    void IgnoreReadsAfterOpen(int ms) { ignoreReadsAfterOpenMs_ = ms; }

private:
    std::size_t Answer(const std::string& pending, std::string& reply);

    SgWriterModel model_;
    std::mutex callbackLock_;
    std::function<void(const std::string&)> onReply_;
    std::atomic<int> ignoreReadsAfterOpenMs_{0};
    std::chrono::steady_clock::time_point openedAt_{};  // the simulator's thread only
};
