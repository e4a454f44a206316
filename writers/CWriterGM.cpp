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
        bool queued = false;
        DrainFrames(packet_, gemini::FramePacket, [&](std::string_view packet) {
            const Stroke k = gemini::DecodePacket(packet, GetSettings().keyboardLayout);
            AddStroke(k[0], k[1], k[2], nullptr, k[3], k[4], k[5]);
            queued = true;
        });
        if (queued && packet_.empty()) return;
        if (!WaitForInput(kByteGapMs)) {
            // A packet cut short (or the writer gone) is dropped: its missing bytes would
            // otherwise come from nowhere, and the next packet starts afresh.
            packet_.clear();
            return;
        }
    }
}
