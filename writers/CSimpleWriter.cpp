#include "writers/CSimpleWriter.h"

#include <algorithm>

void CSimpleWriter::Start(unsigned argument) {
    CWriter::Start(argument);
    if (mode != kModeNotesFolder && mode != kModeNotesCable) ResumeReaderThread();
}

std::size_t CSimpleWriter::ReadWaiting(std::string& pending, std::size_t limit) {
    const int waiting = port.GetInQueueCount();
    if (waiting <= 0) return 0;
    char buffer[256];
    const std::size_t want = std::min({std::size_t(waiting), limit, sizeof buffer});
    // No more than is waiting, so the read returns at once.
    const unsigned got = port.Read(buffer, unsigned(want));
    pending.append(buffer, got);
    return got;
}
