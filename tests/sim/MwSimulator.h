#pragma once
// A simulated MeritWriter (or TurboWriter, StenoWriter, DiscWriter), written from its
// protocol. Commands are text ending in a carriage return; the writer echoes each whole
// command ("JOBS\r" with one byte more). After "RTON" it is in realtime and the test sends
// strokes (RealtimeStroke): three key bytes, optionally after 0xFF, where key byte 0's bit 0
// is the coded-command flag, bit 1 the number bar and bits 2-7 keys 0-5, key byte 1's bits
// 0-7 keys 6-13 and key byte 2's bits 0-7 keys 14-21. After "FU" it sends its stored notes one record
// at a time, the first at once and each further one when asked with "U": a sync byte 0xFF and
// the stroke's three key bytes; after the last stroke, the end record FF FF FF FF.
#include <atomic>
#include <mutex>
#include <string>
#include <vector>

#include "core/Stroke.h"
#include "tests/sim/WriterSimulator.h"

namespace sim {

class MwSimulator : public WriterSimulator {
public:
    explicit MwSimulator(int comNumber = 1);
    ~MwSimulator() override { StopThread(); }  // first: the thread calls Answer

    // The three key bytes of a stroke (bytes 0-2 of `stroke`).
    static std::string KeyBytes(const Stroke& stroke);
    // A realtime stroke as the writer sends it, with or without the lead byte.
    static std::string RealtimeStroke(const ::Stroke& stroke, bool lead = false);

    // The stored notes, and how the transfer goes wrong: bytes sent before every record's sync
    // byte (no 0xFF among them); after `recordsBeforeSilence` records (-1: never) the writer
    // answers nothing more; with `cutLastRecord` its last record before that is cut after one
    // key byte.
    void SetNotes(std::vector<::Stroke> strokes);
    void SetNoise(std::string beforeEachRecord);
    std::atomic<int> recordsBeforeSilence{-1};
    std::atomic<bool> cutLastRecord{false};

    // False: the writer ignores every command (not plugged in, switched off).
    std::atomic<bool> answerCommands{true};
    // True: the writer echoes each "U" instead of sending a record (counted in asks).
    std::atomic<bool> echoAsks{false};
    std::atomic<int> asks{0};  // "U" received
    std::atomic<bool> realtime{false};
    std::atomic<int> recordsSent{0};

    // Every whole command received, without its carriage return, in order.
    std::vector<std::string> Commands() const;

private:
    std::size_t Answer(const std::string& pending, std::string& reply);
    // The next record, or nothing once silent; only the simulator's thread calls it.
    std::string NextRecord();

    mutable std::mutex lock_;
    std::vector<::Stroke> notes_;
    std::string noise_;
    std::vector<std::string> commands_;
    std::size_t nextRecord_ = 0;
    bool sending_ = false;  // "FU" came and the end record has not gone out
};

}  // namespace sim
