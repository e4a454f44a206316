#include "writers/EzProtocol.h"

namespace ez {

FrameStep FrameRealtime(std::string_view bytes) {
    if (bytes.empty()) return FrameStep::More();
    if (!IsSyncByte(std::uint8_t(bytes[0]))) return FrameStep::SkipBytes(1);
    if (bytes.size() < kPacketSize) return FrameStep::More();
    return FrameStep::Take(kPacketSize);
}

Stroke RealtimeStroke(std::string_view packet) {
    Stroke stroke{};
    for (std::size_t i = 0; i < 3 && i + 1 < packet.size(); ++i) stroke[i] = std::uint8_t(packet[i + 1]);
    return stroke;
}

bool NotesCollector::Take(std::uint8_t b) {
    ++bytesTaken_;
    zeroRun_ = IsZeroByte(b) ? zeroRun_ + 1 : 0;
    if (group_.empty() && !afterSync_ && IsNotesSyncByte(b)) {
        afterSync_ = true;
    } else {
        afterSync_ = false;
        group_.push_back(char(b));
        if (group_.size() == 3) {
            if (group_ != std::string_view("\0\0\0", 3)) records_ += group_;
            group_.clear();
        }
    }
    return zeroRun_ >= kZeroRunEndingPass;
}

void NotesCollector::EndPass() {
    group_.clear();
    zeroRun_ = 0;
    afterSync_ = false;
}

}  // namespace ez
