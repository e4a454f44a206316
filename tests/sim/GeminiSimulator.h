#pragma once
// A Gemini writer: one 6-byte packet per stroke (see GeminiWire.h for the key names). Besides
// good strokes it can send a packet cut short or missing one byte; garbage, silence and
// vanishing come from the base.
#include <string>
#include <string_view>

#include "tests/sim/GeminiWire.h"
#include "tests/sim/WriterSimulator.h"

namespace sim {

class GeminiSimulator : public WriterSimulator {
public:
    using WriterSimulator::WriterSimulator;

    // The stroke of the named keys ("S1- -E -Z").
    bool Stroke(std::string_view keyNames) { return Send(simwire::GeminiPacket(keyNames)); }
    // Only the first `keep` bytes of the stroke's packet.
    bool CutStroke(std::string_view keyNames, std::size_t keep) {
        return Send(simwire::GeminiPacket(keyNames).substr(0, keep));
    }
    // The stroke's packet without its byte `index`.
    bool StrokeLosingByte(std::string_view keyNames, std::size_t index) {
        return Send(simwire::GeminiPacket(keyNames).erase(index, 1));
    }
};

}  // namespace sim
