#pragma once
// A simulated TranscriptorX / Lightspeed writer, written from its protocol.
//
// Realtime: the writer sends each stroke as one byte per key group that has keys, groups
// rising (StrokeBytes), the test sends them with Send. Stored notes over the cable: 0xFF wakes
// the writer (it answers 0xFF), "*T*" starts the transfer (it answers one byte), then each
// request high, 0xC0, low is answered with a block: the sync byte 0xC0, the block number low,
// the length L (2 bytes, little-endian), two bytes, L - 3 bytes of notes and a two-byte
// trailer. A block of 256 notes bytes (L = 259) is followed by the next; a shorter one is the
// last. Pairs 0xC0 0xFF end the transfer.
#include <array>
#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

#include "tests/sim/WriterSimulator.h"

namespace sim {

class TxSimulator : public WriterSimulator {
public:
    using Keys = std::array<std::uint8_t, 3>;
    enum class BlockFault {
        None,
        NoSync,       // streams other bytes for noiseMs instead of the block
        LongLength,   // L = 300, and that many bytes
        ShortLength,  // L = 2
        StallMidway,  // half the block, then nothing
        VanishMidway, // half the block, then the writer goes
    };

    explicit TxSimulator(int comNumber = 1);
    ~TxSimulator() override { StopThread(); }  // first: the thread calls Answer

    // The key bytes of one stroke (stroke bytes 0-2), one per group with keys, groups rising.
    static std::string StrokeBytes(const Keys& keys);

    // The notes bytes the writer holds, sent in 256-byte blocks.
    void SetNotes(std::string notesBytes);

    std::atomic<int> ignoreWakes{0};     // wake bytes left unanswered (-1: all)
    std::atomic<bool> echoHighToo{false};// the block number as high, low instead of low alone
    // The fault of block `faultBlock` (0-based).
    std::atomic<BlockFault> fault{BlockFault::None};
    std::atomic<int> faultBlock{0};
    std::atomic<int> noiseMs{1500};  // read while streaming: 0 ends the stream

    std::atomic<int> wakes{0};
    std::atomic<int> closingPairs{0};
    // (high, low) of every block request, in order.
    std::vector<std::pair<int, int>> BlockRequests() const;

private:
    std::size_t Answer(const std::string& pending, std::string& reply);
    std::string Block(int index, BlockFault blockFault) const;

    mutable std::mutex lock_;
    std::string notes_;
    std::vector<std::pair<int, int>> requests_;
    std::string command_;   // "*T*" so far; only the simulator's thread uses it
    bool transfer_ = false; // only the simulator's thread uses it
};

}  // namespace sim
