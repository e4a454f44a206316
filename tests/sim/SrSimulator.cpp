#include "tests/sim/SrSimulator.h"

#include <chrono>
#include <thread>
#include <utility>

namespace sim {
namespace {

constexpr std::size_t kRequestSize = 28;
constexpr std::uint8_t kRequestStart = 0x16;

std::uint8_t Byte(const std::string& s, std::size_t i) { return std::uint8_t(s[i]); }

// Adds with the carry out of bit 7 brought back into bit 0.
std::uint8_t OnesComplementAdd(unsigned a, unsigned b) {
    unsigned sum = a + b;
    return std::uint8_t(sum > 0xFF ? (sum - 0x100) + 1 : sum);
}

std::string Number24(int value) {
    return {char(value & 0xFF), char((value >> 8) & 0xFF), char((value >> 16) & 0xFF)};
}

// The time record holds its value high byte first (b * 65536 + p * 256 + q).
std::string TimeRecord(int value) {
    return {char((value >> 16) & 0x7F), char((value >> 8) & 0xFF), char(value & 0xFF)};
}

std::string AsString(const std::array<std::uint8_t, 4>& sum) {
    return {char(sum[0]), char(sum[1]), char(sum[2]), char(sum[3])};
}

// The header with `length` in place, its checksums over `dataForChecksum`.
std::string Sealed(std::uint8_t action, std::size_t length, const std::string& dataForChecksum) {
    std::string header{char(0x16), char(0x03), 0, 0, char(action), 0, 0, char(0xFF),
                       char(length & 0xFF), char(length >> 8)};
    header += AsString(SrSimulator::Checksum(dataForChecksum));
    header += AsString(SrSimulator::Checksum(header));
    return header;
}

}  // namespace

SrSimulator::SrSimulator(int comNumber) : WriterSimulator(comNumber) {
    SetRequestHandler([this](const std::string& pending, std::string& reply) { return Answer(pending, reply); });
}

std::array<std::uint8_t, 4> SrSimulator::Checksum(const std::string& bytes) {
    unsigned a = 0, b = 0, c = 0, d = 0;
    for (unsigned char x : bytes) {
        b ^= x;
        d = OnesComplementAdd(d, b);
        c = OnesComplementAdd(c, d);
        a = (a + c) & 0xFF;
        b ^= a ^ c ^ d;
    }
    return {std::uint8_t(b), std::uint8_t(d), std::uint8_t(c), std::uint8_t(a)};
}

std::string SrSimulator::Packet(std::uint8_t action, const std::string& data) {
    return Sealed(action, data.size(), data) + data;
}

std::string SrSimulator::StatusRequest() {
    std::string data("\x04\x00\x00\xFF\x00\x00\x02\x01\x03", 9);
    std::string packet = Packet(0x01, data) + std::string(1, '\0');
    return packet;
}

std::string SrSimulator::Encode(const Keys& k) {
    // A few strokes the writer keeps as one or two bytes (from its tables).
    if (k == Keys{0x35, 0x02, 0xA8}) return "\x81";
    if (k == Keys{0x10, 0x00, 0x00}) return "\xB0";
    if (k == Keys{0x00, 0x40, 0x00}) return "\xBF";
    if (k == Keys{0x09, 0xC5, 0x50}) return "\xC3\x25";
    // Otherwise the 23 key bits rotated left by one: b, p, q.
    const unsigned bits = unsigned(k[0] & 0x7F) << 16 | unsigned(k[1]) << 8 | k[2];
    const unsigned rotated = ((bits << 1) | (bits >> 22)) & 0x7FFFFF;
    return {char(rotated >> 16), char((rotated >> 8) & 0xFF), char(rotated & 0xFF)};
}

void SrSimulator::Write(const Keys& keys) {
    std::lock_guard<std::mutex> guard(lock_);
    strokes_.push_back(keys);
}

void SrSimulator::WriteTimeMarker(int value) {
    std::lock_guard<std::mutex> guard(lock_);
    markers_[int(strokes_.size())] = value;
}

void SrSimulator::Restart() {
    std::lock_guard<std::mutex> guard(lock_);
    strokes_.clear();
    markers_.clear();
}

void SrSimulator::SetTrailingBytes(std::string bytes) {
    std::lock_guard<std::mutex> guard(lock_);
    trailing_ = std::move(bytes);
}

int SrSimulator::StrokeCount() const {
    std::lock_guard<std::mutex> guard(lock_);
    return int(strokes_.size());
}

std::vector<std::pair<int, int>> SrSimulator::ReadRequests() const {
    std::lock_guard<std::mutex> guard(lock_);
    return reads_;
}

void SrSimulator::OnStrokeData(std::function<void(int, int)> callback) {
    std::lock_guard<std::mutex> guard(lock_);
    onStrokeData_ = std::move(callback);
}

std::string SrSimulator::StrokeData(int first, int count, int& strokesSent) {
    std::lock_guard<std::mutex> guard(lock_);
    reads_.emplace_back(first, count);
    std::string records;
    strokesSent = 0;
    for (int n = first; n < first + count && n < int(strokes_.size()); ++n) {
        // The time of a stroke goes with it, but never ahead of the first stroke of a reply.
        const auto marker = markers_.find(n);
        if (n > first && marker != markers_.end())
            records += std::string("\x00\x00\x01", 3) + TimeRecord(marker->second);
        records += Encode(strokes_[std::size_t(n)]);
        ++strokesSent;
    }
    const int last = first + strokesSent - 1;
    std::string data = std::string(2, '\0') + Number24(last) + std::string(1, '\0') + records;
    return data;
}

void SrSimulator::SendAnswer(std::string packet, Damage damageIt) {
    const int delay = replyDelayMs;
    if (delay > 0) std::this_thread::sleep_for(std::chrono::milliseconds(delay));
    switch (damageIt) {
        case Damage::None:
        case Damage::CutRecord:
            break;
        case Damage::DataChecksum:
            packet.back() = char(packet.back() ^ 0x01);
            break;
        case Damage::HeaderChecksum:
            packet[17] = char(packet[17] ^ 0x80);
            break;
        case Damage::LongLength: {
            const std::string data = packet.substr(18);
            packet = Sealed(Byte(packet, 4), data.size() + 5, data) + data;
            break;
        }
        case Damage::CutShort:
            packet.resize(packet.size() / 2);
            break;
    }
    {
        std::lock_guard<std::mutex> guard(lock_);
        packet += trailing_;
    }
    Send(packet);
}

std::size_t SrSimulator::Answer(const std::string& pending, std::string& /*reply*/) {
    if (Byte(pending, 0) != kRequestStart) return 1;  // not the start of a request
    if (pending.size() < kRequestSize) {
        requestInPieces_ = true;
        return 0;
    }
    const bool inPieces = std::exchange(requestInPieces_, false);
    const std::string request = pending.substr(0, kRequestSize);
    const std::size_t length = Byte(request, 8) | std::size_t(Byte(request, 9)) << 8;
    const bool sound = length == 9 && AsString(Checksum(request.substr(18, 9))) == request.substr(10, 4) &&
                       AsString(Checksum(request.substr(0, 14))) == request.substr(14, 4);
    if (!sound) return kRequestSize;  // the writer ignores a damaged request
    if (needsPacedBytes && !inPieces) {
        ++ignoredWholeRequests;
        return kRequestSize;
    }
    if (silentRequests > 0) {
        --silentRequests;
        return kRequestSize;
    }
    const std::uint8_t kind = Byte(request, 18);
    if (kind == 0x04) {
        ++statusRequests;
        std::string answer = Packet(0x06, Number24(StrokeCount()));
        if (badStatusAnswers > 0) {
            --badStatusAnswers;
            answer[12] = char(answer[12] ^ 0x10);
        }
        SendAnswer(answer, Damage::None);
    } else if (kind == 0x01) {
        const int first = Byte(request, 19) | Byte(request, 20) << 8 | Byte(request, 21) << 16;
        const int count = Byte(request, 22);
        int sent = 0;
        std::string data = StrokeData(first, count, sent);
        const Damage damageIt = damage.exchange(Damage::None);
        if (damageIt == Damage::CutRecord && data.size() > 6) data.pop_back();
        SendAnswer(Packet(0x03, data), damageIt);
        std::function<void(int, int)> callback;
        {
            std::lock_guard<std::mutex> guard(lock_);
            callback = onStrokeData_;
        }
        if (callback) callback(first, sent);
    }
    return kRequestSize;
}

}  // namespace sim
