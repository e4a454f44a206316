#pragma once
// Small drivers on the writer base, for tests of the base itself and for the latency
// benchmark. They also show the shape of a real driver in a few lines.
#include <atomic>
#include <cstdint>

#include "writers/CSimpleWriter.h"
#include "writers/CWriter.h"

namespace fakes {

// Points the settings at COM<port> with 9600,n,8,1 (a pseudo-terminal pair's port) and no USB.
void UseLineSettings(int port);

// Realtime strokes as 3-byte packets (stroke bytes 0-2), no start-up exchange.
class ThreeByteWriter : public CSimpleWriter {
public:
    using CSimpleWriter::CSimpleWriter;
    void Poll() override;

    int byteGapMs = 50;  // longest pause inside a packet before it counts as cut short
};

// Counts its polls and does nothing else; resumed by Start unless told not to.
class CountingWriter : public CWriter {
public:
    using CWriter::CWriter;
    void Start(unsigned argument) override;
    void Poll() override;

    bool resumeInStart = true;
    std::atomic<int> polls{0};
    // Exposed for tests of the pause and the wait for input.
    using CWriter::PauseMs;
    using CWriter::ResumeReaderThread;
    using CWriter::WaitForInput;
};

// A start-up exchange: writes "B" and expects "B" back within answerWithinMs, up to `attempts`
// times, then asks Retry/Cancel; resumes the reader thread once answered. Strokes as
// ThreeByteWriter.
class EchoCheckWriter : public ThreeByteWriter {
public:
    using ThreeByteWriter::ThreeByteWriter;
    void Start(unsigned argument) override;

    int attempts = 3;
    int answerWithinMs = 50;
    int exchanges = 0;    // presence checks written
    bool connected = false;
};

}  // namespace fakes
