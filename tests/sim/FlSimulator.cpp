#include "tests/sim/FlSimulator.h"

#include <random>

namespace sim {

// Installed as the request handler, not an override: the handler is handed over under the
// simulator's lock, so its thread never calls into an object still being built.
FlSimulator::FlSimulator(int comNumber) : WriterSimulator(comNumber) {
    SetRequestHandler([this](const std::string& pending, std::string& reply) { return Answer(pending, reply); });
}

std::string FlSimulator::Group(const Stroke& stroke) {
    return {char(stroke[0]), char(stroke[1]), char(stroke[2]), char(0xFF)};
}

std::string FlSimulator::JobBytes(const std::vector<Stroke>& strokes, int jobEndGroups) {
    std::string bytes = Group({0x40, 0x00, 0x00});
    bytes += Group({0x0C, 0x07, 0x11});  // date and time of the job
    bytes += Group({0x09, 0x2D, 0x00});
    bytes += std::string("\x7A\x00\x00\x01\xFF", 5);  // the writer's status, not a stroke
    for (const Stroke& s : strokes) bytes += Group(s);
    for (int i = 0; i < jobEndGroups; ++i) bytes += Group({0x40, 0x10, 0x00});
    return bytes;
}

std::vector<Stroke> FlSimulator::NoteStrokes(std::size_t count, unsigned seed) {
    std::mt19937 random(seed);
    std::vector<Stroke> strokes;
    while (strokes.size() < count) {
        Stroke s{std::uint8_t(random() & 0x77), std::uint8_t(random()), std::uint8_t(random())};
        const bool marker = s[0] == 0x40 && s[2] == 0x00 && (s[1] == 0x00 || s[1] == 0x10);
        if (!marker) strokes.push_back(s);
    }
    return strokes;
}

void FlSimulator::SetJobs(std::vector<std::vector<Stroke>> jobs, int jobEndGroups) {
    std::lock_guard<std::mutex> guard(jobsLock_);
    jobs_ = std::move(jobs);
    jobEndGroups_ = jobEndGroups;
}

std::size_t FlSimulator::Answer(const std::string& pending, std::string& reply) {
    const char c = pending[0];
    if (c == 'X') {
        attention_ = true;
        return 1;
    }
    if (attention_ && c == 'C') reply = std::string("FLASH1").substr(0, std::size_t(handshakeBytes.load()));
    if (attention_ && c == 'D') {
        std::lock_guard<std::mutex> guard(jobsLock_);
        for (const auto& job : jobs_) reply += JobBytes(job, jobEndGroups_);
    }
    attention_ = false;
    return 1;
}

}  // namespace sim
