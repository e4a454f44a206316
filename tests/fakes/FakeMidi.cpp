#include "tests/fakes/FakeMidi.h"

#include <algorithm>
#include <chrono>

namespace fakes {

FakeMidi::~FakeMidi() { calls_.destroyed = true; }

void FakeMidi::Push(std::vector<MidiEvent> batch, unsigned claimed) {
    {
        std::lock_guard<std::mutex> guard(lock_);
        batches_.push_back({std::move(batch), claimed});
    }
    pushed_.notify_all();
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
