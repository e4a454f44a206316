#include "tests/sim/TxSimulator.h"

#include <chrono>
#include <thread>

namespace sim {
namespace {

constexpr std::uint8_t kSync = 0xC0;
constexpr std::uint8_t kWake = 0xFF;
constexpr std::size_t kBlockData = 256;
constexpr int kBlocksPerHigh = 127;  // low runs 1 to 127

}  // namespace

TxSimulator::TxSimulator(int comNumber) : WriterSimulator(comNumber) {
    SetRequestHandler([this](const std::string& pending, std::string& reply) { return Answer(pending, reply); });
}

std::string TxSimulator::StrokeBytes(const Keys& k) {
    // Which stroke bit each group bit carries, bit 0 first: {stroke byte, mask}.
    static const std::uint8_t kMap[4][6][2] = {
        {{0, 0x20}, {0, 0x10}, {0, 0x08}, {0, 0x04}, {0, 0x02}, {0, 0x01}},
        {{1, 0x80}, {1, 0x40}, {1, 0x20}, {1, 0x10}, {1, 0x08}, {1, 0x04}},
        {{1, 0x02}, {1, 0x01}, {2, 0x80}, {2, 0x40}, {2, 0x20}, {2, 0x10}},
        {{2, 0x08}, {2, 0x04}, {2, 0x02}, {2, 0x01}, {0, 0x40}, {0, 0x00}},
    };
    std::string bytes;
    for (int group = 0; group < 4; ++group) {
        std::uint8_t bits = 0;
        for (int j = 0; j < 6; ++j)
            if (kMap[group][j][1] != 0 && (k[kMap[group][j][0]] & kMap[group][j][1])) bits |= std::uint8_t(1 << j);
        if (bits) bytes += char(group << 6 | bits);
    }
    return bytes;
}

void TxSimulator::SetNotes(std::string notesBytes) {
    std::lock_guard<std::mutex> guard(lock_);
    notes_ = std::move(notesBytes);
}

std::vector<std::pair<int, int>> TxSimulator::BlockRequests() const {
    std::lock_guard<std::mutex> guard(lock_);
    return requests_;
}

std::string TxSimulator::Block(int index, BlockFault blockFault) const {
    std::string data;
    {
        std::lock_guard<std::mutex> guard(lock_);
        const std::size_t from = std::size_t(index) * kBlockData;
        if (from < notes_.size()) data = notes_.substr(from, kBlockData);
    }
    int length = int(data.size()) + 3;
    if (blockFault == BlockFault::LongLength) {
        length = 300;
        data.resize(297, '\x01');
    }
    if (blockFault == BlockFault::ShortLength) length = 2;
    std::string block{char(length & 0xFF), char(length >> 8), '\x5A', '\xA5'};
    return block + data + "\x12\x34";
}

std::size_t TxSimulator::Answer(const std::string& pending, std::string& reply) {
    const auto b0 = std::uint8_t(pending[0]);
    if (!transfer_) {
        if (b0 == kWake) {
            ++wakes;
            const int ignore = ignoreWakes;
            if (ignore == 0) reply = std::string(1, char(kWake));
            else if (ignore > 0) --ignoreWakes;
            command_.clear();
            return 1;
        }
        command_ += char(b0);
        if (command_ == "*T*") {
            transfer_ = true;
            command_.clear();
            reply = "*";
        } else if (std::string("*T*").compare(0, command_.size(), command_) != 0) {
            command_.clear();
        }
        return 1;
    }
    if (b0 == kSync) {  // the closing pairs
        if (pending.size() < 2) return 0;
        if (std::uint8_t(pending[1]) == kWake) ++closingPairs;
        return 2;
    }
    if (pending.size() < 3) return 0;
    if (std::uint8_t(pending[1]) != kSync) return 1;
    const int high = std::uint8_t(pending[0]), low = std::uint8_t(pending[2]);
    {
        std::lock_guard<std::mutex> guard(lock_);
        requests_.emplace_back(high, low);
    }
    const int index = high * kBlocksPerHigh + low - 1;
    const BlockFault blockFault = index == faultBlock ? fault.load() : BlockFault::None;
    if (blockFault == BlockFault::NoSync) {
        // noiseMs is read on every pass, so a test can end the stream early.
        const auto start = std::chrono::steady_clock::now();
        while (std::chrono::steady_clock::now() < start + std::chrono::milliseconds(noiseMs.load()) &&
               Send(std::string(8, '\x33')))
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        return 3;
    }
    std::string echo = echoHighToo ? std::string{char(high), char(low)} : std::string(1, char(low));
    std::string whole = std::string(1, char(kSync)) + echo + Block(index, blockFault);
    if (blockFault == BlockFault::StallMidway || blockFault == BlockFault::VanishMidway) {
        Send(whole.substr(0, whole.size() / 2));
        if (blockFault == BlockFault::VanishMidway) {
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
            Vanish();
        }
        return 3;
    }
    reply = whole;
    return 3;
}

}  // namespace sim
