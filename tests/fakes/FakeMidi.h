#pragma once
// A MIDI library that plays scripted batches: each poll hands out the next batch pushed, and a
// waiting reader wakes the moment one is pushed, as the real library does when notes arrive.
#include <condition_variable>
#include <deque>
#include <mutex>
#include <vector>

#include "platform/midi/Midi.h"

namespace fakes {

struct MidiCalls {
    int begun = 0;
    int polls = 0;
    int ended = 0;
    bool destroyed = false;
};

class FakeMidi final : public Midi {
public:
    // `calls` outlives the object: it records what the driver did, also after deleting it.
    explicit FakeMidi(MidiCalls& calls) : Midi(0), calls_(calls) {}
    ~FakeMidi() override;

    // The next poll returns these events; `claimed` (when not 0) is the count it answers, so
    // a library that over-reports can be played (it never writes more than kMaxEvents).
    void Push(std::vector<MidiEvent> batch, unsigned claimed = 0);
    // The keyboard's port goes away: as the library promises, every note still held is let go
    // (a note-on with velocity 0 each, in one batch of their own).
    void LosePort();

    void threadBegin() override;
    unsigned poll(MidiEvent* buffer) override;
    void threadEnd() override;
    bool wait(int ms) override;
    void interrupt() override;

private:
    struct Batch {
        std::vector<MidiEvent> events;
        unsigned claimed;
    };
    MidiCalls& calls_;
    std::mutex lock_;
    std::condition_variable pushed_;
    std::deque<Batch> batches_;
    std::vector<std::pair<int, int>> held_;  // (status of the press, note), as pushed
    bool interrupted_ = false;
};

// Note-on events: a press (velocity 64) and a release (velocity 0).
inline MidiEvent Press(int note) { return {0x90, note, 64}; }
inline MidiEvent Release(int note) { return {0x90, note, 0}; }

}  // namespace fakes
