#pragma once
// CWriterEZ: the EZ-Writer (writer type 18) on a serial line. One-letter commands: "B" checks
// that the writer is there (it echoes "B"), "S" starts realtime, "R" sends the stored notes,
// "M" asks whether all notes have been sent. In realtime each stroke is a synchronisation
// byte and three stroke bytes (writers/EzProtocol.h).
//
// Modes: 2 and 3 realtime; 1 reads the stored notes over the cable into the capture file
// "EZWriter.000" in the temporary folder and lists it (notesFiles, notesListing), with the
// reader thread left at its gate; 0 reads notes files of the writer's diskette (a 1024-byte
// header, then 4 bytes a stroke) through OpenNotesFile and ReadStrokes.
#include <string>

#include "writers/EzProtocol.h"
#include "writers/FramedSerialWriter.h"

namespace platform {
class WaitDialog;
}
class CaptureFile;

class CWriterEZ : public FramedSerialWriter {
public:
    explicit CWriterEZ(platform::WindowHandle owner);
    ~CWriterEZ() override;

    void Start(unsigned argument) override;
    // Mode 0: records first .. first + count - 1 of the diskette file; else the base's.
    void ReadStrokes(int first, int count) override;
    // Mode 0: 4-byte records (bytes 1 to 3 the stroke, no time); else the base's 3-byte ones.
    void DecodeBuffer() override;

    // How long each presence check waits for the echo.
    int presenceWaitMs = 10;

protected:
    // The presence check (without asking), then realtime as Start begins it.
    bool RealtimeExchange() override;

private:
    // The presence check with the user's retries; false when the user gave up.
    bool CheckPresence();
    // Up to `attempts` checks; true at the first echo.
    bool PresentWithin(int attempts);
    bool PresenceAnswered();
    // "S": realtime from here on; the echo and what settles after it are dropped.
    void BeginRealtime();
    // Every byte that came in reply to what was just sent is dropped after `ms`.
    void DropEchoAfter(int ms);
    void ReadNotes();
    // One pass of the notes: false when the transfer must end (Cancel, the port gone, the
    // capture file failed). `anyBytes` tells whether the pass brought anything.
    bool ReadNotesPass(ez::NotesCollector& notes, platform::WaitDialog& wait,
                       CaptureFile& capture, bool& anyBytes);
    // Asks "M": true when the writer says every note has been sent; `answered` false when it
    // said nothing at all.
    bool NotesComplete(bool& answered);
};
