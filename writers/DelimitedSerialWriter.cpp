#include "writers/DelimitedSerialWriter.h"

DelimitedSerialWriter::~DelimitedSerialWriter() { StopReaderThread(); }

void DelimitedSerialWriter::Start(unsigned argument) {
    pending_.clear();  // nothing of an earlier connection may join the first stroke
    CSimpleWriter::Start(argument);
}

bool DelimitedSerialWriter::Reestablish() {
    pending_.clear();
    return true;
}

DelimitedSerialWriter::StrokeEnd DelimitedSerialWriter::ReadStroke(
    int pauseMs, const std::function<bool(std::uint8_t)>& take) {
    if (pending_.empty() && !WaitForInput(pauseMs)) return StrokeEnd::None;
    for (;;) {
        if (pending_.empty()) ReadWaiting(pending_);
        std::size_t used = 0;
        bool ended = false;
        while (used < pending_.size() && !ended) ended = take(std::uint8_t(pending_[used++]));
        pending_.erase(0, used);
        if (stopRequested != 0) return StrokeEnd::Cut;
        if (ended) return StrokeEnd::Byte;
        if (!WaitForInput(pauseMs))
            return stopRequested != 0 || !port.IsUsable() ? StrokeEnd::Cut : StrokeEnd::Pause;
    }
}
