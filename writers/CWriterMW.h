#pragma once
// CWriterMW: the MeritWriter, TurboWriter, StenoWriter and DiscWriter (types 13 to 16) on a
// serial line (writers/MwProtocol.h).
//
// Modes: 2 realtime ("F1\rRTON\r", then each stroke as three key bytes, optionally after
// 0xFF); 1 reads the stored notes over the cable into the capture file "MWNotes.000" in the
// temporary folder and lists it, with the reader thread left at its gate; 3 asks whether to
// erase the writer's files or format its disk (message 5081) and sends that command.
#include <memory>
#include <string>

#include "writers/CaptureFile.h"
#include "writers/FramedSerialWriter.h"

namespace platform {
class WaitDialog;
}

constexpr int kMessageEraseOrFormat = 5081;

class CWriterMW : public FramedSerialWriter {
public:
    explicit CWriterMW(platform::WindowHandle owner);
    ~CWriterMW() override;

    void Start(unsigned argument) override;

    // Bounds of the cable transfer: each echo byte and each key byte of a record must come
    // within byteWaitMs, and the next record's sync byte within recordWaitMs; else the
    // transfer ends as Cancel ends it, keeping what was captured.
    int byteWaitMs = 2000;
    int recordWaitMs = 10000;

    // The capture file of mode 1 while the transfer runs.
    CaptureFile captureFile;

protected:
    // "F1\rRTON\r" once, without asking: true when the writer answered.
    bool RealtimeExchange() override;

private:
    bool StartRealtime();
    // "F1\r" up to ten times until the writer answers; asks Retry/Cancel when it does not.
    bool WakeUp();
    void ReadNotes();
    // The exchange before the records; false when it ended (Cancel, silence, vanished).
    bool AskForNotes(platform::WaitDialog& wait);
    // Records into captureFile until the end record; the count of records written.
    int ReceiveRecords(platform::WaitDialog& wait);
    bool AwaitSync(platform::WaitDialog& wait, int recordCount);
    void EraseOrFormat();

    // Waits up to `ms` for input with the user interface answering; false on Cancel, a quit,
    // or when no input came.
    bool InputAnswering(platform::WaitDialog& wait, int ms);
    // A pacing pause of `ms` with the user interface answering; false on Cancel or a quit.
    bool PauseAnswering(platform::WaitDialog& wait, int ms);
    // One byte within byteWaitMs, Cancel honoured.
    bool ReadByteAnswering(platform::WaitDialog& wait, std::uint8_t& byte);
    void Send(std::string_view command);
};
