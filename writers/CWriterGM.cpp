#include "writers/CWriterGM.h"

#include <string>

#include "core/AppSettings.h"
#include "writers/GeminiProtocol.h"

namespace {

constexpr int kIdleWaitMs = 100;  // the wait for a stroke to begin
constexpr int kByteGapMs = 50;    // a packet whose next byte takes longer has ended early

}  // namespace

CWriterGM::~CWriterGM() { StopReaderThread(); }

void CWriterGM::Poll() {
    if (!WaitForInput(kIdleWaitMs)) return;
    std::string packet;  // bytes received towards the next packet
    for (;;) {
        ReadWaiting(packet);
        bool queued = false;
        DrainFrames(packet, gemini::FramePacket, [&](std::string_view whole) {
            const Stroke k = gemini::DecodePacket(whole, GetSettings().keyboardLayout);
            AddStroke(k[0], k[1], k[2], nullptr, k[3], k[4], k[5]);
            queued = true;
        });
        if (queued && packet.empty()) return;
        // A packet cut short (or the writer gone) is dropped: its missing bytes would
        // otherwise come from nowhere, and the next packet starts afresh.
        if (!WaitForInput(kByteGapMs)) return;
    }
}
