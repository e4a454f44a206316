#pragma once
// A simulated EZ-Writer, written from its protocol: it echoes the presence check "B", takes
// the line feeds, starts realtime on "S", sends its stored notes on "R" and answers "M".
//
// Realtime strokes are sent by the test (RealtimePacket): a synchronisation byte and three
// stroke bytes. The stored notes go out in blocks: each stroke as a synchronisation byte and
// its three bytes, each block followed by eight zero bytes; the writer then waits for "M" and
// answers "N" followed by the next block, or "M" once every block has been sent.
#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

#include "core/Stroke.h"
#include "tests/sim/WriterSimulator.h"

namespace sim {

class EzSimulator : public WriterSimulator {
public:
    explicit EzSimulator(int comNumber = 1);
    ~EzSimulator() override { StopThread(); }  // first: the thread calls Answer

    static std::string RealtimePacket(const Stroke& stroke, std::uint8_t sync = 0x7E);
    // The bytes of one block of stored notes.
    static std::string NotesBlock(const std::vector<Stroke>& strokes);

    // Presence checks left unanswered before the writer starts answering (-1: never).
    std::atomic<int> ignorePresenceChecks{0};
    // Set before the notes are asked for: the stored notes, sent in blocks of `blockStrokes`.
    void SetStoredNotes(std::vector<Stroke> strokes, std::size_t blockStrokes);
    // How long the writer takes before its first block after "R".
    std::atomic<int> notesDelayMs{300};

    std::atomic<int> presenceChecks{0};
    std::atomic<bool> realtime{false};

private:
    // The writer's answer to what the driver wrote (the request handler).
    std::size_t Answer(const std::string& pending, std::string& reply);
    std::string NextBlock();

    std::mutex notesLock_;
    std::vector<Stroke> notes_;
    std::size_t blockStrokes_ = 0;
    std::size_t nextStroke_ = 0;
};

}  // namespace sim
