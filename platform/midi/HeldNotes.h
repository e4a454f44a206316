#pragma once
// The notes a MIDI keyboard holds down, as its events tell them: a note-on with a velocity
// presses a note of its channel, a note-on with velocity 0 or a note-off lets it go. When the
// keyboard's port goes away, its releases never come: ReleaseAll makes them.
#include <algorithm>
#include <utility>
#include <vector>

#include "platform/midi/Midi.h"

class HeldNotes {
public:
    void Note(const MidiEvent& event) {
        const int kind = event.status & 0xF0;
        if (kind != 0x90 && kind != 0x80) return;
        const std::pair<int, int> key{event.status & 0x0F, event.note};
        const auto it = std::find(held_.begin(), held_.end(), key);
        if (kind == 0x90 && event.velocity > 0) {
            if (it == held_.end()) held_.push_back(key);
        } else if (it != held_.end()) {
            held_.erase(it);
        }
    }

    // A note-on with velocity 0 for each note still held, in the order they were pressed; none
    // is held afterwards.
    std::vector<MidiEvent> ReleaseAll() {
        std::vector<MidiEvent> releases;
        for (const auto& [channel, note] : held_) releases.push_back({0x90 | channel, note, 0});
        held_.clear();
        return releases;
    }

private:
    std::vector<std::pair<int, int>> held_;  // (channel, note)
};
