#pragma once
// CWriterFL: the Flash (writer type 11) and Stylus (type 24) writers on a serial line. Each
// stroke is three key bytes and the end marker 0xFF (writers/FlProtocol.h).
//
// Modes: 2 and 3 realtime, with no handshake; 1 reads the stored notes over the cable into
// capture files "Flash.000", "Flash.001", ... in the temporary folder (a new file after each
// job's end markers), deletes those an earlier, longer transfer left, and lists them
// (notesFiles, notesListing) with the reader thread left at its gate. The factory makes
// CWriterSR for mode 0.
#include <memory>
#include <string>

#include "writers/FramedSerialWriter.h"

namespace platform {
class WaitDialog;
}
class CaptureFile;

class CWriterFL : public FramedSerialWriter {
public:
    explicit CWriterFL(platform::WindowHandle owner);
    ~CWriterFL() override;

    void Start(unsigned argument) override;

protected:
    // Flow control off, no frame left from before.
    bool RealtimeExchange() override;

private:
    enum class Outcome { Answered, NoAnswer, Cancelled };

    void ReadNotes();
    // "X" "C" and the writer's six bytes.
    Outcome Handshake(platform::WaitDialog& wait);
    // "X" "D", then the first byte of the notes.
    Outcome RequestNotes(platform::WaitDialog& wait);
    // Takes the notes into the capture files while bytes keep coming; the number of the last
    // file. `failed`: that file could not be written (the user has been told).
    int ReceiveNotes(platform::WaitDialog& wait, CaptureFile& capture, bool& failed);
};
