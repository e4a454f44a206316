#include "tests/sim/PtSimulator.h"

#include <chrono>

namespace sim {

namespace {

constexpr int kUnused = -1;
// The key of each wire bit, bit 0 first.
constexpr int kWireKeys[4][8] = {
    {1, 0, 2, 3, 4, 5, 5, 6},
    {7, 8, 9, 10, 11, 12, 13, 14},
    {15, 16, 17, 17, 18, 19, 20, 21},
    {22, 23, 24, 25, 26, 28, 27, kUnused},
};
constexpr std::uint8_t kWake[] = {0x81, 0x91, 0x90, 0x93, 0xAA};
constexpr std::uint8_t kPoll = 0x80;

}  // namespace

PtSimulator::PtSimulator(int comNumber) : WriterSimulator(comNumber) {
    SetRequestHandler([this](const std::string& pending, std::string& reply) { return Answer(pending, reply); });
}

PtSimulator::~PtSimulator() {
    StopNoise();
    StopThread();
}

std::string PtSimulator::Packet(std::initializer_list<int> keys, bool secondBits) {
    std::string packet(4, char(0xFF));
    for (int key : keys) {
        int byte = -1, bit = -1;
        for (int b = 0; b < 4; ++b)
            for (int i = 0; i < 8; ++i)
                if (kWireKeys[b][i] == key && (byte < 0 || secondBits)) byte = b, bit = i;
        if (byte >= 0) packet[std::size_t(byte)] = char(std::uint8_t(packet[std::size_t(byte)]) & ~(1u << bit));
    }
    return packet;
}

void PtSimulator::SetWakeAnswer(std::string bytes) {
    std::lock_guard<std::mutex> guard(lock_);
    wakeAnswer_ = std::move(bytes);
}

void PtSimulator::SetPollAnswer(std::string bytes) {
    std::lock_guard<std::mutex> guard(lock_);
    pollAnswer_ = std::move(bytes);
}

std::size_t PtSimulator::Answer(const std::string& pending, std::string& reply) {
    const std::uint8_t b = std::uint8_t(pending[0]);
    if (b == kPoll) {
        ++polls;
        std::lock_guard<std::mutex> guard(lock_);
        reply = pollAnswer_;
        return 1;
    }
    wakeProgress_ = b == kWake[wakeProgress_] ? wakeProgress_ + 1 : (b == kWake[0] ? 1 : 0);
    if (wakeProgress_ == sizeof kWake) {
        wakeProgress_ = 0;
        ++wakeUps;
        std::lock_guard<std::mutex> guard(lock_);
        reply = wakeAnswer_;
    }
    return 1;
}

void PtSimulator::StartNoise(std::uint8_t byte, int intervalMs) {
    StopNoise();
    noiseOn_ = true;
    noise_ = std::thread([this, byte, intervalMs] {
        while (noiseOn_ && Send(std::string(1, char(byte))))
            std::this_thread::sleep_for(std::chrono::milliseconds(intervalMs));
    });
}

void PtSimulator::StopNoise() {
    noiseOn_ = false;
    if (noise_.joinable()) noise_.join();
}

}  // namespace sim
