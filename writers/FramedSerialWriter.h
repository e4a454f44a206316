#pragma once
// The realtime reading shared by drivers whose writer sends each stroke as a frame of a fixed
// protocol on a serial line (CWriterEZ, CWriterFL): Poll waits for input, reads what has come
// and queues a stroke the moment a frame is whole. A frame cut short is dropped whole after
// its time; an idle line makes Poll return after the idle wait; a vanished port never spins.
#include <cstdint>
#include <string>
#include <string_view>

#include "core/Stroke.h"
#include "writers/CWriter.h"
#include "writers/FramedReader.h"

class FramedSerialWriter : public CWriter {
public:
    using Decoder = Stroke (*)(std::string_view frame);

    // resumeMs: see FramedReader (0: a frame that falls silent is dropped at once).
    FramedSerialWriter(platform::WindowHandle owner, FramedReader::Framer framer, Decoder decoder,
                       int idleWaitMs, int frameTimeoutMs, int resumeMs = 0);
    ~FramedSerialWriter() override;

    void Poll() override;

protected:
    // A frame the old line cut off is forgotten, then the driver's own exchange runs.
    bool Reestablish() override;
    // The realtime start-up exchange as a reconnect redoes it, asking nothing: true when the
    // writer answered (or there is none).
    virtual bool RealtimeExchange() { return true; }
    // Every byte waiting on the port now (up to 4 KiB), without waiting; empty when none.
    std::string TakeWaitingBytes();
    // The start of realtime reading: forgets a frame left from before.
    void ResetFrames() { frames_.Reset(); }

private:
    FramedReader frames_;
    Decoder decoder_;
};
