#pragma once
// CWriterFN: the Foniks writer (type 23), a serial writer that sends each stroke as steno text
// between braces (see FnProtocol.h). Realtime and erase modes read packets. Mode 0 converts the
// text notes files of the notes folder into capture files of 3-byte stroke records in the
// temporary folder and then serves them as stored notes (mode 1) through the base.
#include <string>
#include <string_view>
#include <vector>

#include "writers/CSimpleWriter.h"
#include "writers/FnProtocol.h"
#include "writers/FramedReader.h"

class CWriterFN : public CSimpleWriter {
public:
    using CSimpleWriter::CSimpleWriter;
    ~CWriterFN() override;

    void Start(unsigned argument) override;
    // Reads what is waiting and queues the stroke of every complete packet.
    void Poll() override;

    // Nothing waiting for this long ends a Poll.
    static constexpr int kIdlePauseMs = 100;

    // Realtime bytes received and not yet consumed (at most an unfinished packet between
    // polls), with the time its packet began.
    FramedReader packetBuffer{FindFnFrame, kIdlePauseMs, kFnPacketTimeoutMs};
    // After a mode-0 start: "<notes file>: <reason>" for each notes file that could not be
    // converted (it is not listed). Also shown to the user once, in one notice.
    std::vector<std::string> conversionErrors;

protected:
    // A packet the old line cut off is forgotten.
    bool Reestablish() override;

private:
    void ConvertNotesFolder();
    void TakePacket(std::string_view packet);
};
