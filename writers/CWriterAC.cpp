#include "writers/CWriterAC.h"

#include <optional>

#include "writers/AcProtocol.h"

CWriterAC::~CWriterAC() { StopReaderThread(); }

void CWriterAC::Poll() {
    AcLineReader line;
    const StrokeEnd end = ReadStroke(kLinePauseMs, [&](std::uint8_t byte) { return line.Add(byte); });
    if (end != StrokeEnd::Byte && end != StrokeEnd::Pause) return;  // a line cut off is not a stroke
    if (std::optional<Stroke> keys = line.EndLine(std::uint8_t(keyboardLayout & 0xFF)))
        AddStroke((*keys)[0], (*keys)[1], (*keys)[2], nullptr, (*keys)[3], (*keys)[4], 0);
}
