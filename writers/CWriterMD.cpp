#include "writers/CWriterMD.h"

#include <new>

namespace {
constexpr int kNoteOn = 0x90;
// Without events the reader waits for the next one; the wait only bounds how long it sleeps.
constexpr int kIdleWaitMs = 100;
}  // namespace

CWriterMD::CWriterMD(platform::WindowHandle owner)
    : CWriterMD(owner, std::unique_ptr<Midi>(new (std::nothrow) Midi(0))) {}

CWriterMD::CWriterMD(platform::WindowHandle owner, std::unique_ptr<Midi> library)
    : CWriter(owner), midi(library.release()), events_(Midi::kMaxEvents) {}

CWriterMD::~CWriterMD() { CWriterMD::Stop(); }

std::uint32_t CWriterMD::NoteKeyBit(int note) {
    int key = -1;
    if (note >= 48 && note <= 57) key = note - 48;
    else if (note >= 63 && note <= 72) key = note - 53;
    return key < 0 ? 0 : std::uint32_t(1) << (21 - key);
}

void CWriterMD::Start(unsigned /*argument*/) {
    if (mode == kModeNotesFolder || mode == kModeNotesCable) return;
    if (midi) midi->threadBegin();
    CreateReaderThread();
    ResumeReaderThread();
}

void CWriterMD::Stop() {
    StopReaderThread();
    if (!midi) return;
    midi->threadEnd();
    delete midi;
    midi = nullptr;
}

void CWriterMD::WakeReader() {
    if (midi) midi->interrupt();
}

void CWriterMD::Poll() {
    if (!midi) {
        // Nothing will ever come: wait for Stop rather than spin.
        PauseMs(kIdleWaitMs);
        return;
    }
    unsigned n = midi->poll(events_.data());
    if (n > Midi::kMaxEvents) n = Midi::kMaxEvents;
    if (n == 0) {
        midi->wait(kIdleWaitMs);
        return;
    }
    // A stroke ends where its last key comes up, wherever that falls in the batch; the owner,
    // woken by the batch's first stroke, finds all of them queued.
    HoldStrokeMessages();
    for (unsigned i = 0; i < n; ++i) {
        const MidiEvent& event = events_[i];
        if (event.status != kNoteOn) continue;
        const std::uint32_t bit = NoteKeyBit(event.note);
        if (event.velocity > 0) {
            keysDown |= bit;
            strokeKeys |= keysDown;
            continue;
        }
        keysDown &= ~bit;
        if (keysDown == 0 && strokeKeys != 0) {
            AddStroke(std::uint8_t(strokeKeys >> 16), std::uint8_t(strokeKeys >> 8),
                      std::uint8_t(strokeKeys));
            strokeKeys = 0;
        }
    }
    ReleaseStrokeMessages();
}
