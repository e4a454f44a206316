#include "tests/sim/EzSimulator.h"

#include <algorithm>
#include <chrono>
#include <thread>

namespace sim {

// Installed as the request handler, not an override: the handler is handed over under the
// simulator's lock, so its thread never calls into an object still being built.
EzSimulator::EzSimulator(int comNumber) : WriterSimulator(comNumber) {
    SetRequestHandler([this](const std::string& pending, std::string& reply) { return Answer(pending, reply); });
}

std::string EzSimulator::RealtimePacket(const Stroke& stroke, std::uint8_t sync) {
    return {char(sync), char(stroke[0]), char(stroke[1]), char(stroke[2])};
}

std::string EzSimulator::NotesBlock(const std::vector<Stroke>& strokes) {
    std::string bytes;
    for (const Stroke& s : strokes) bytes += RealtimePacket(s);
    return bytes + std::string(8, '\0');
}

void EzSimulator::SetStoredNotes(std::vector<Stroke> strokes, std::size_t blockStrokes) {
    std::lock_guard<std::mutex> guard(notesLock_);
    notes_ = std::move(strokes);
    blockStrokes_ = std::max<std::size_t>(blockStrokes, 1);
    nextStroke_ = 0;
}

std::string EzSimulator::NextBlock() {
    std::lock_guard<std::mutex> guard(notesLock_);
    const std::size_t end = std::min(notes_.size(), nextStroke_ + blockStrokes_);
    std::vector<Stroke> block(notes_.begin() + std::ptrdiff_t(nextStroke_), notes_.begin() + std::ptrdiff_t(end));
    nextStroke_ = end;
    return NotesBlock(block);
}

std::size_t EzSimulator::Answer(const std::string& pending, std::string& reply) {
    switch (pending[0]) {
        case 'B': {
            const int seen = presenceChecks++;
            const int ignore = ignorePresenceChecks;
            if (ignore >= 0 && seen >= ignore) reply = "B";
            break;
        }
        case 'S':
            realtime = true;
            break;
        case 'R':
            std::this_thread::sleep_for(std::chrono::milliseconds(notesDelayMs.load()));
            reply = NextBlock();
            break;
        case 'M': {
            const std::string block = NextBlock();
            reply = block.size() > 8 ? "N" + block : "M";  // more than padding: notes follow
            break;
        }
        default:  // line feeds and anything else: taken, not answered
            break;
    }
    return 1;
}

}  // namespace sim
