#pragma once
// CWriterMD: a steno keyboard that sends MIDI notes (writer type 22, "MIDI Michela"). Each key
// is a note: a note-on with a velocity presses it, a note-on with velocity 0 releases it; one
// stroke is queued each time every key is up, also several in one batch of notes. Realtime
// only; the notes come from the Midi library, which also lets go of the notes held on a port
// that goes away.
#include <cstdint>
#include <memory>
#include <vector>

#include "platform/midi/Midi.h"
#include "writers/CWriter.h"

class CWriterMD : public CWriter {
public:
    explicit CWriterMD(platform::WindowHandle owner);
    // With a library object of the caller's (null: none); the writer owns it.
    CWriterMD(platform::WindowHandle owner, std::unique_ptr<Midi> library);
    ~CWriterMD() override;

    // Modes 0 and 1: nothing. Otherwise starts the library's input and the reader thread; no
    // serial port is opened.
    void Start(unsigned argument) override;
    // Ends the reader thread, then the library's input, and deletes the library object.
    void Stop() override;
    // Takes the notes that came since the last call; a stroke each time all keys are up.
    void Poll() override;

    // The key bit of a note (bit 21 - k for key k), 0 for a note that is no key.
    static std::uint32_t NoteKeyBit(int note);

    std::uint32_t keysDown = 0;
    std::uint32_t strokeKeys = 0;
    Midi* midi = nullptr;

protected:
    void WakeReader() override;

private:
    std::vector<MidiEvent> events_;
};
