#include "writers/CWriterGM.h"

#include "core/AppSettings.h"
#include "writers/GeminiProtocol.h"

namespace {

constexpr int kIdleWaitMs = 100;  // the wait for a stroke to begin
constexpr int kByteGapMs = 50;    // a packet whose next byte takes longer has ended early

}  // namespace

CWriterGM::~CWriterGM() { StopReaderThread(); }

void CWriterGM::Poll() {
    if (packet_.empty() && !WaitForInput(kIdleWaitMs)) return;
    for (;;) {
        ReadWaiting(packet_);
        for (;;) {
            const gemini::Frame frame = gemini::FrameBytes(packet_);
            if (frame.kind == gemini::Frame::NeedMore) break;
            if (frame.kind == gemini::Frame::Packet) {
                const Stroke k = gemini::DecodePacket(std::string_view(packet_).substr(0, frame.length),
                                                      GetSettings().keyboardLayout);
                packet_.erase(0, frame.length);
                AddStroke(k[0], k[1], k[2], nullptr, k[3], k[4], k[5]);
                return;
            }
            packet_.erase(0, frame.length);  // not part of a packet
        }
        if (!WaitForInput(kByteGapMs)) {
            // A packet cut short (or the writer gone) is dropped: its missing bytes would
            // otherwise come from nowhere, and the next packet starts afresh.
            packet_.clear();
            return;
        }
    }
}
