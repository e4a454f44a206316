#include "writers/FramedSerialWriter.h"

#include <algorithm>

#include "platform/Clock.h"

namespace {
constexpr int kMaxReadBytes = 4096;
}

FramedSerialWriter::FramedSerialWriter(platform::WindowHandle owner, FramedReader::Framer framer,
                                       Decoder decoder, int idleWaitMs, int frameTimeoutMs)
    : CWriter(owner), frames_(framer, idleWaitMs, frameTimeoutMs), decoder_(decoder) {}

FramedSerialWriter::~FramedSerialWriter() { StopReaderThread(); }

void FramedSerialWriter::Poll() {
    if (!WaitForInput(frames_.WaitMs(platform::MonotonicMs()))) {
        frames_.NoInput(platform::MonotonicMs());
        return;
    }
    frames_.Add(ReadWaiting(), platform::MonotonicMs(), [this](std::string_view frame) {
        const Stroke s = decoder_(frame);
        AddStroke(s[0], s[1], s[2], nullptr, s[3], s[4], s[5]);
    });
}

std::string FramedSerialWriter::ReadWaiting() {
    const int waiting = std::min(port.GetInQueueCount(), kMaxReadBytes);
    if (waiting <= 0) return {};
    std::string bytes(std::size_t(waiting), '\0');
    bytes.resize(port.Read(bytes.data(), unsigned(waiting)));
    return bytes;
}
