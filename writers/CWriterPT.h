#pragma once
// CWriterPT: the Palantype writer (type 20) on a serial line, writing the 30-key Palantype
// layouts (stroke bytes 0 to 3).
//
// Realtime (modes 2 and 3): Start sends the wake-up bytes and drains the machine's answer,
// then Poll sends the idle poll 0x80 while the line is quiet and takes the 4-byte key packets
// (writers/PtProtocol.h). Stored notes (a file opened with OpenNotesFile): ReadStrokes reads a
// window of the file and DecodeBuffer turns its text records into strokes.
#include <cstdint>
#include <string>

#include "writers/CWriter.h"
#include "writers/FramedReader.h"

class CWriterPT : public CWriter {
public:
    explicit CWriterPT(platform::WindowHandle owner);
    ~CWriterPT() override;

    void Start(unsigned argument) override;
    void Poll() override;
    // Reads count x 10 bytes of the notes file (from its start when first is 0) into auxBuffer
    // and decodes them. A record longer than that window is read whole all the same.
    void ReadStrokes(int first, int count) override;
    // Queues the strokes of the whole records in auxBuffer, consuming it. A record cut by the
    // end of the buffer is read again by the next ReadStrokes, unless the file has ended.
    void DecodeBuffer() override;

    // The wake-up's answer is drained for at most this long and this many bytes, so a line
    // that never falls quiet cannot hold Start.
    static constexpr int kDrainQuietMs = 1000;
    static constexpr int kDrainLimitMs = 2000;
    static constexpr std::size_t kDrainLimitBytes = 4096;

protected:
    // The wake-up and its answer again; a packet the old line cut off is forgotten.
    bool Reestablish() override;

private:
    // The wake-up bytes, paced, and the answer drained.
    void WakeUp();
    void DrainWakeUpAnswer();
    bool NotesFileBeforeEnd();
    void QueueStroke(const Stroke& s);

    // The key packet under way (the protocol's packetCount and packet are its pending bytes).
    FramedReader packets_;
};
