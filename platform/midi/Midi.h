#pragma once
// The MIDI input library: notes of a MIDI steno keyboard, read through the ALSA sequencer.
//
// A Midi object owns one input port of the program's own ("Steno keyboard"), connected to every
// readable hardware port present when input begins and to ports that appear later. Events are
// kept from threadBegin to threadEnd and handed out by poll in the order they came, as
// (status, note, velocity); a note-on with velocity 0 stays a note-on. When a port it reads goes
// away (unplugged, or disconnected), every note still held is let go: a note-on with velocity 0
// follows for each, since the keyboard can no longer send it. Without a sequencer (no
// /dev/snd/seq) the object is still made and begun; it only never has events.
#include <cstdint>
#include <memory>

struct MidiEvent {
    std::int32_t status;
    std::int32_t note;
    std::int32_t velocity;
};

class Midi {
public:
    // Most events one poll hands out: the caller's buffer holds this many.
    static constexpr unsigned kMaxEvents = 8192;

    // `flags` is reserved (0).
    explicit Midi(unsigned flags);
    virtual ~Midi();
    Midi(const Midi&) = delete;
    Midi& operator=(const Midi&) = delete;

    // Starts the input: opens the port and connects it. Events before this are not kept.
    virtual void threadBegin();
    // Moves the events received since the last call into `buffer` (at most kMaxEvents), oldest
    // first, and returns their number; 0 when none.
    virtual unsigned poll(MidiEvent* buffer);
    // Ends the input; the events not yet polled are dropped.
    virtual void threadEnd();

    // Waits up to `ms` milliseconds for an event, or until interrupt(); true when events are
    // waiting. Lets a reader handle a note the moment it arrives instead of polling.
    virtual bool wait(int ms);
    // Ends the current wait and every later one at once, until the next threadBegin.
    virtual void interrupt();

private:
    struct Input;
    std::unique_ptr<Input> input_;
};
