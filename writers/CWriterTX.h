#pragma once
// CWriterTX: the TranscriptorX and the Lightspeed (writer types 12 and 27) on a serial line.
// In realtime the writer sends its keys as single bytes (writers/TxProtocol.h); nothing is sent
// to it. In mode 1 Start wakes the writer, pulls its stored notes block by block into the
// capture file "TXNotes.000" in the temporary folder and lists the capture files, with the
// reader thread left at its gate.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "writers/CWriter.h"
#include "writers/TxProtocol.h"

namespace platform {
class WaitDialog;
}
class CaptureFile;

class CWriterTX : public CWriter {
public:
    explicit CWriterTX(platform::WindowHandle owner);
    ~CWriterTX() override;

    void Start(unsigned argument) override;
    void Poll() override;

    // Places one key byte; may hand on the pending stroke first.
    void DecodeByte(std::uint8_t b);
    // Hands on the pending stroke (queued in realtime, a record of the capture file in mode 1).
    void FlushStroke();

    std::int64_t lastByteTime = 0;  // monotonic ms when the last realtime byte came

    // The longest wait for each byte of a block once the block has begun, for the block's sync
    // byte, and the pause between the bytes of a request. Tests shorten them.
    int blockByteLimitMs = 2000;
    int syncWaitMs = 3 * 2000;
    int commandGapMs = 40;

protected:
    // A stroke the old line cut off is forgotten.
    bool Reestablish() override;

private:
    // Queues finished strokes (realtime) or adds them to the records, written to the capture
    // file in pieces (mode 1).
    void HandOn(const std::vector<tx::Keys>& done);
    // Wakes the writer and asks it for its notes: false when it did not answer.
    bool WakeWriter();
    void ReadNotes();
    // One block exchange: false when the transfer ends (failure, Cancel, or a short block).
    bool ReadBlock(int high, int low, platform::WaitDialog& wait);
    // A byte within `ms`, while Cancel is not pressed and the port is there.
    bool ReadByteBounded(std::uint8_t& b, int ms, platform::WaitDialog& wait);
    void SendByte(std::uint8_t b);
    void EndTransfer();

    tx::StrokeGatherer gatherer_;
    CaptureFile* capture_ = nullptr;  // mode 1, while the transfer runs
    std::string records_;             // mode 1: records not yet written
    bool captureFailed_ = false;
    int blocks_ = 0;  // blocks received in this transfer
};
