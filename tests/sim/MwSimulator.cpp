#include "tests/sim/MwSimulator.h"

namespace sim {

namespace {
constexpr char kLead = char(0xFF);
const std::string kEndRecord(4, kLead);
}  // namespace

MwSimulator::MwSimulator(int comNumber) : WriterSimulator(comNumber) {
    SetRequestHandler([this](const std::string& pending, std::string& reply) { return Answer(pending, reply); });
}

std::string MwSimulator::KeyBytes(const ::Stroke& stroke) {
    std::uint8_t wire[3]{};
    if (stroke[0] & kCommandFlag) wire[0] |= 0x01;
    if (stroke[0] & kNumberBarFlag) wire[0] |= 0x02;
    for (int key = 0; key < 22; ++key) {
        const KeyBit where = KeyPositionBit(key);
        if (!(stroke[std::size_t(where.byteIndex)] & where.mask)) continue;
        if (key < 6)
            wire[0] |= std::uint8_t(1u << (key + 2));
        else
            wire[1 + (key - 6) / 8] |= std::uint8_t(1u << ((key - 6) % 8));
    }
    return std::string(reinterpret_cast<const char*>(wire), 3);
}

std::string MwSimulator::RealtimeStroke(const ::Stroke& stroke, bool lead) {
    return (lead ? std::string(1, kLead) : std::string()) + KeyBytes(stroke);
}

void MwSimulator::SetNotes(std::vector<::Stroke> strokes) {
    std::lock_guard<std::mutex> guard(lock_);
    notes_ = std::move(strokes);
    nextRecord_ = 0;
}

void MwSimulator::SetNoise(std::string beforeEachRecord) {
    std::lock_guard<std::mutex> guard(lock_);
    noise_ = std::move(beforeEachRecord);
}

std::vector<std::string> MwSimulator::Commands() const {
    std::lock_guard<std::mutex> guard(lock_);
    return commands_;
}

std::string MwSimulator::NextRecord() {
    std::lock_guard<std::mutex> guard(lock_);
    if (!sending_) return {};
    const int silence = recordsBeforeSilence;
    if (silence >= 0 && recordsSent >= silence) {
        sending_ = false;
        return {};
    }
    ++recordsSent;
    if (nextRecord_ >= notes_.size()) {
        sending_ = false;
        return noise_ + kEndRecord;
    }
    std::string record = noise_ + kLead + KeyBytes(notes_[nextRecord_++]);
    if (cutLastRecord && silence >= 0 && recordsSent == silence) record.resize(noise_.size() + 2);
    return record;
}

std::size_t MwSimulator::Answer(const std::string& pending, std::string& reply) {
    if (pending[0] == 'U') {  // the only command without a carriage return
        ++asks;
        if (echoAsks)
            reply = "U";
        else if (answerCommands)
            reply = NextRecord();
        return 1;
    }
    const std::size_t end = pending.find('\r');
    if (end == std::string::npos) return 0;  // the rest of the command is still to come
    const std::string command = pending.substr(0, end);
    if (command.empty()) return 1;
    {
        std::lock_guard<std::mutex> guard(lock_);
        commands_.push_back(command);
    }
    if (!answerCommands) return end + 1;
    reply = pending.substr(0, end + 1);  // the echo
    if (command == "JOBS") reply += "1";
    if (command == "RTON") realtime = true;
    if (command == "FU") {
        {
            std::lock_guard<std::mutex> guard(lock_);
            sending_ = true;
        }
        reply += NextRecord();
    }
    return end + 1;
}

}  // namespace sim
