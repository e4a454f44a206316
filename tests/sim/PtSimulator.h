#pragma once
// A simulated Palantype writer, written from its protocol: it takes the five wake-up bytes
// 0x81 0x91 0x90 0x93 0xAA and answers the last with `wakeAnswer`, takes the idle polls 0x80
// (counting them), and sends each stroke as a key packet of four active-low bytes, one key per
// wire bit:
//
//   p1: bit 0 key 1, 1 key 0, 2 key 2, 3 key 3, 4 key 4, 5 and 6 key 5, 7 key 6
//   p2: bits 0-7 keys 7-14
//   p3: bit 0 key 15, 1 key 16, 2 and 3 key 17, 4-7 keys 18-21
//   p4: bits 0-4 keys 22-26, 5 key 28, 6 key 27, 7 unused (sent as 1)
//
// Faults beyond the kit's: a line that never falls quiet (StartNoise), for the wake-up drain.
#include <atomic>
#include <cstdint>
#include <initializer_list>
#include <mutex>
#include <string>
#include <thread>

#include "tests/sim/WriterSimulator.h"

namespace sim {

class PtSimulator : public WriterSimulator {
public:
    explicit PtSimulator(int comNumber = 1);
    ~PtSimulator() override;

    // The packet of the keys (key numbers 0-28 of the Palantype layouts). Keys 5 and 17, which
    // two wire bits carry, go on their first bit, or on their second with `secondBits`.
    static std::string Packet(std::initializer_list<int> keys, bool secondBits = false);

    // What the writer answers to the end of its wake-up, and to each idle poll (nothing at
    // first).
    void SetWakeAnswer(std::string bytes);
    void SetPollAnswer(std::string bytes);
    std::atomic<int> wakeUps{0};  // complete wake-up sequences seen
    std::atomic<int> polls{0};    // idle polls seen

    // Sends `byte` every `intervalMs` until StopNoise (or the simulator goes).
    void StartNoise(std::uint8_t byte, int intervalMs);
    void StopNoise();

private:
    std::size_t Answer(const std::string& pending, std::string& reply);

    std::mutex lock_;
    std::string wakeAnswer_;
    std::string pollAnswer_;
    std::size_t wakeProgress_ = 0;  // only the simulator's thread uses it
    std::atomic<bool> noiseOn_{false};
    std::thread noise_;
};

}  // namespace sim
