#include "writers/FramedSerialWriter.h"

#include "platform/Clock.h"

namespace {
constexpr int kMaxReadBytes = 4096;
}

FramedSerialWriter::FramedSerialWriter(platform::WindowHandle owner, FramedReader::Framer framer,
                                       Decoder decoder, int idleWaitMs, int frameTimeoutMs, int resumeMs)
    : CWriter(owner),
      frames_(framer, idleWaitMs, frameTimeoutMs, FramedReader::FrameTime::FromFirstByte, resumeMs),
      decoder_(decoder) {}

FramedSerialWriter::~FramedSerialWriter() { StopReaderThread(); }

void FramedSerialWriter::Poll() {
    if (!WaitForInput(frames_.WaitMs(platform::MonotonicMs()))) {
        frames_.NoInput(platform::MonotonicMs());
        return;
    }
    frames_.Add(TakeWaitingBytes(), platform::MonotonicMs(), [this](std::string_view frame) {
        const Stroke s = decoder_(frame);
        AddStroke(s[0], s[1], s[2], nullptr, s[3], s[4], s[5]);
    });
}

bool FramedSerialWriter::Reestablish() {
    ResetFrames();
    return RealtimeExchange();
}

std::string FramedSerialWriter::TakeWaitingBytes() {
    std::string bytes;
    ReadWaiting(bytes, kMaxReadBytes);
    return bytes;
}
