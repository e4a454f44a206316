#pragma once
// A Grandjean writer: one ASCII letter per key ("A" to "V"), a blank after each stroke.
// Garbage, silence and vanishing come from the base.
#include <string>
#include <string_view>

#include "tests/sim/WriterSimulator.h"

namespace sim {

class GrandjeanSimulator : public WriterSimulator {
public:
    using WriterSimulator::WriterSimulator;

    // The letters of a stroke and its closing blank.
    bool Stroke(std::string_view letters) { return Send(std::string(letters) + ' '); }
    // Letters without the blank: a stroke the writer leaves open.
    bool Letters(std::string_view letters) { return Send(std::string(letters)); }
};

}  // namespace sim
