#pragma once
// A writer that sends each stroke as steno text, on the far side of a pseudo-terminal: the
// AccuWriter (a line a stroke) or the Foniks (a braced packet a stroke), written from their
// protocol descriptions. On top of the simulator base (silence, slow bytes, corruption,
// vanishing) it writes strokes, noise that must yield no stroke, and strokes cut off before
// their end.
//
//   sim::StenoTextWriterSim writer(sim::StenoTextWriterSim::Wire::Foniks);  // COM1
//   ... start the driver on "COM1:9600,n,8,1" ...
//   writer.Write(keys);
#include <cstdint>
#include <string>

#include "core/Stroke.h"
#include "tests/sim/WriterSimulator.h"

namespace sim {

class StenoTextWriterSim : public WriterSimulator {
public:
    enum class Wire { AccuWriter, Foniks };

    explicit StenoTextWriterSim(Wire wire, std::uint8_t layout = 0, int comNumber = 1)
        : WriterSimulator(comNumber), wire_(wire), layout_(layout) {}

    // The bytes of the next stroke as this writer sends it (the AccuWriter starts every other
    // line with "/"; the Foniks counter byte runs through every value, braces included).
    std::string Encode(const Stroke& keys);
    // Sends a stroke.
    bool Write(const Stroke& keys) { return Send(Encode(keys)); }
    // Sends all of a stroke but its end (the AccuWriter's CR LF, the Foniks "}").
    bool WriteCut(const Stroke& keys);
    // Noise that a driver must survive without queueing anything: for the AccuWriter, control
    // bytes, empty and keyless lines and an over-long line; for the Foniks, bytes outside
    // packets, stray braces, empty and keyless packets and a packet that never closes.
    std::string Noise() const;
    bool SendNoise() { return Send(Noise()); }

private:
    Wire wire_;
    std::uint8_t layout_;
    std::uint8_t counter_ = 0;
};

}  // namespace sim
