#include "writers/CWriterAC.h"

#include <optional>

#include "writers/AcProtocol.h"

CWriterAC::~CWriterAC() { StopReaderThread(); }

void CWriterAC::Start(unsigned argument) {
    receiveBuffer.clear();  // nothing of an earlier connection may join the first line
    CSimpleWriter::Start(argument);
}

void CWriterAC::Poll() {
    // receiveBuffer holds bytes read past the end of the last line.
    if (receiveBuffer.empty() && !WaitForInput(kLinePauseMs)) return;
    AcLineReader line;
    std::size_t used = 0;
    bool ended = false;
    while (!ended) {
        if (stopRequested != 0) return;
        if (used == receiveBuffer.size()) {
            receiveBuffer.clear();
            used = 0;
            if (ReadWaiting(receiveBuffer) == 0) {
                if (WaitForInput(kLinePauseMs)) continue;
                // The writer went away or Stop came: a line cut off there is not a stroke.
                if (stopRequested != 0 || !port.IsUsable()) return;
                break;  // the pause ended the line
            }
        }
        while (used < receiveBuffer.size() && !ended)
            ended = line.Add(std::uint8_t(receiveBuffer[used++]));
    }
    receiveBuffer.erase(0, used);
    if (std::optional<Stroke> keys = line.EndLine(std::uint8_t(keyboardLayout & 0xFF)))
        AddStroke((*keys)[0], (*keys)[1], (*keys)[2], nullptr, (*keys)[3], (*keys)[4], 0);
}
