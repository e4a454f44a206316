#pragma once
// A simulated StenoRAM writer, written from its protocol. It holds strokes numbered from 0 and
// answers two 28-byte requests: the status request (data 04 00 00 FF ...) with its stroke count,
// and the read request (data 01, first stroke as 3 bytes, count, ...) with the strokes from
// `first` on, each as a compressed record, a time marker and its time record before the
// strokes that have one. Every packet carries the two 4-byte checksums.
//
//   sr::SrSimulator sim{1};
//   sim.Write({0x01, 0x00, 0x00});                  // a stroke written on the machine
//   sim.WriteTimeMarker(1500);                      // 25:00 -> hours 1, minutes 0
//   sim.damage = sim::SrSimulator::Damage::DataChecksum;  // the next stroke data, damaged
#include <array>
#include <atomic>
#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "tests/sim/WriterSimulator.h"

namespace sim {

class SrSimulator : public WriterSimulator {
public:
    using Keys = std::array<std::uint8_t, 3>;
    enum class Damage {
        None,
        DataChecksum,    // one data byte changed after the checksums were made
        HeaderChecksum,  // the header checksum's last byte changed
        LongLength,      // the length field claims more bytes than are sent
        CutShort,        // the reply ends half-way
        CutRecord,       // the last record loses its last byte (length and checksums agree)
    };

    explicit SrSimulator(int comNumber = 1);
    ~SrSimulator() override { StopThread(); }  // first: the thread calls Answer

    // The packet checksum: B, D, C, A of four accumulators with end-around carry.
    static std::array<std::uint8_t, 4> Checksum(const std::string& bytes);
    // A packet with `action` and `data`, both checksums in place.
    static std::string Packet(std::uint8_t action, const std::string& data);
    // The shortest record the writer has for the keys (1, 2 or 3 bytes).
    static std::string Encode(const Keys& keys);
    static std::string StatusRequest();

    void Write(const Keys& keys);
    // The writer is restarted (a power cycle, a new job): it holds no strokes and counts again
    // from none.
    void Restart();
    // A time marker and time record (value = hours * 60 + minutes) before the next stroke.
    void WriteTimeMarker(int value);
    int StrokeCount() const;

    // Faults of the next stroke-data reply (one reply each), and of status answers.
    std::atomic<Damage> damage{Damage::None};
    std::atomic<int> badStatusAnswers{0};  // status requests answered with a damaged checksum
    std::atomic<int> silentRequests{0};    // requests left unanswered before answering again
    std::atomic<int> replyDelayMs{0};      // before each answer
    // Bytes the writer sends after every answer, in the same write (a writer that appends 00).
    void SetTrailingBytes(std::string bytes);
    // A writer that misses bytes sent at full speed: it answers only requests whose bytes came
    // with pauses between them (in more than one piece), and ignores one that came whole.
    std::atomic<bool> needsPacedBytes{false};
    std::atomic<int> ignoredWholeRequests{0};

    std::atomic<int> statusRequests{0};
    // (first, count) of every read request, in order.
    std::vector<std::pair<int, int>> ReadRequests() const;
    // Called on the simulator's thread right after a stroke-data reply has been written, with
    // the numbers of the first stroke in it and of the strokes it held.
    void OnStrokeData(std::function<void(int first, int strokes)> callback);

private:
    std::size_t Answer(const std::string& pending, std::string& reply);
    std::string StrokeData(int first, int count, int& strokesSent);
    void SendAnswer(std::string packet, Damage damageIt);

    mutable std::mutex lock_;
    std::vector<Keys> strokes_;
    std::map<int, int> markers_;  // stroke number -> time value written before it
    std::vector<std::pair<int, int>> reads_;
    std::function<void(int, int)> onStrokeData_;
    std::string trailing_;
    bool requestInPieces_ = false;  // simulator thread: the request being gathered came in pieces
};

}  // namespace sim
