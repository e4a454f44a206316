#pragma once
// A simulated Flash (or Stylus) writer, written from its protocol. Realtime strokes are sent
// by the test (Group): three stroke bytes and the end marker 0xFF. Asked "X" "C", it answers
// six bytes; asked "X" "D", it sends its stored notes job by job, each job as the marker
// group 40 00 00 and two groups about the job, a writer's own status group, the strokes, and
// the job-end group 40 10 00 repeated `jobEndGroups` times; then it falls quiet.
#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

#include "core/Stroke.h"
#include "tests/sim/WriterSimulator.h"

namespace sim {

class FlSimulator : public WriterSimulator {
public:
    explicit FlSimulator(int comNumber = 1);
    ~FlSimulator() override { StopThread(); }  // first: the thread calls Answer

    static std::string Group(const Stroke& stroke);
    // The stored notes of one job as they go out on the line.
    static std::string JobBytes(const std::vector<Stroke>& strokes, int jobEndGroups);
    // Strokes that cannot be taken for the writer's markers or own groups.
    static std::vector<Stroke> NoteStrokes(std::size_t count, unsigned seed);

    void SetJobs(std::vector<std::vector<Stroke>> jobs, int jobEndGroups = 5);
    // Answer "C" with fewer than six bytes (the handshake then fails).
    std::atomic<int> handshakeBytes{6};

private:
    // The writer's answer to what the driver wrote (the request handler).
    std::size_t Answer(const std::string& pending, std::string& reply);
    std::mutex jobsLock_;
    std::vector<std::vector<Stroke>> jobs_;
    int jobEndGroups_ = 5;
    bool attention_ = false;  // "X" came; only the simulator's thread uses it
};

}  // namespace sim
