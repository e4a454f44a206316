#include "tests/fakes/FakeMidi.h"

#include <algorithm>
#include <chrono>

namespace fakes {

FakeMidi::~FakeMidi() { calls_.destroyed = true; }

void FakeMidi::Push(std::vector<MidiEvent> batch, unsigned claimed) {
    {
        std::lock_guard<std::mutex> guard(lock_);
        for (const MidiEvent& e : batch) {
            const bool noteOn = (e.status & 0xF0) == 0x90, noteOff = (e.status & 0xF0) == 0x80;
            const std::pair<int, int> note{0x90 | (e.status & 0x0F), e.note};
            const auto at = std::find(held_.begin(), held_.end(), note);
            if (noteOn && e.velocity > 0 && at == held_.end()) held_.push_back(note);
            if ((noteOff || (noteOn && e.velocity == 0)) && at != held_.end()) held_.erase(at);
        }
        batches_.push_back({std::move(batch), claimed});
    }
    pushed_.notify_all();
}

void FakeMidi::LosePort() {
    std::vector<MidiEvent> releases;
    {
        std::lock_guard<std::mutex> guard(lock_);
        for (const auto& [status, note] : held_) releases.push_back({status, note, 0});
        held_.clear();
    }
    Push(std::move(releases));
}

void FakeMidi::threadBegin() {
    std::lock_guard<std::mutex> guard(lock_);
    ++calls_.begun;
    interrupted_ = false;
}

unsigned FakeMidi::poll(MidiEvent* buffer) {
    std::lock_guard<std::mutex> guard(lock_);
    ++calls_.polls;
    if (batches_.empty()) return 0;
    Batch batch = std::move(batches_.front());
    batches_.pop_front();
    const std::size_t n = std::min<std::size_t>(batch.events.size(), kMaxEvents);
    std::copy_n(batch.events.begin(), n, buffer);
    return batch.claimed ? batch.claimed : unsigned(n);
}

void FakeMidi::threadEnd() {
    std::lock_guard<std::mutex> guard(lock_);
    ++calls_.ended;
}

bool FakeMidi::wait(int ms) {
    std::unique_lock<std::mutex> lock(lock_);
    pushed_.wait_for(lock, std::chrono::milliseconds(ms),
                     [this] { return !batches_.empty() || interrupted_; });
    return !batches_.empty();
}

void FakeMidi::interrupt() {
    {
        std::lock_guard<std::mutex> guard(lock_);
        interrupted_ = true;
    }
    pushed_.notify_all();
}

}  // namespace fakes
