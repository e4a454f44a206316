#pragma once
// CWriterAC: the AccuWriter (writer type 19), a serial writer that sends each stroke as a line
// of steno text in the letters of the configured keyboard layout (see AcProtocol.h). Realtime
// and erase modes read lines; mode 0 lists the notes folder and mode 1 reads 3-byte stored
// strokes through the base.
#include "writers/DelimitedSerialWriter.h"

class CWriterAC : public DelimitedSerialWriter {
public:
    using DelimitedSerialWriter::DelimitedSerialWriter;
    ~CWriterAC() override;

    // Reads one line and queues its stroke.
    void Poll() override;

    // A line also ends when no byte comes for this long.
    static constexpr int kLinePauseMs = 100;
};
