#pragma once
// A writer that sends each stroke as steno text, on the far side of a pseudo-terminal: the
// AccuWriter (a line a stroke) or the Foniks (a braced packet a stroke). Written from the
// protocol descriptions. Besides good strokes it sends noise that must yield no stroke, cuts
// a stroke off part-way, pauses inside one, and drops off the line.
//
//   sim::StenoTextWriterSim writer(sim::StenoTextWriterSim::Wire::Foniks);  // COM1
//   ... start the driver on "COM1:9600,n,8,1" ...
//   writer.Write(keys);
#include <cstdint>
#include <string>

#include "core/Stroke.h"
#include "tests/sim/PtyPair.h"

namespace sim {

class StenoTextWriterSim {
public:
    enum class Wire { AccuWriter, Foniks };

    explicit StenoTextWriterSim(Wire wire, std::uint8_t layout = 0, int comNumber = 1);

    PtyPair& Pty() { return pty_; }

    // The bytes of one stroke as this writer sends it.
    std::string Encode(const Stroke& keys);
    // Sends a stroke.
    bool Write(const Stroke& keys);
    // Sends a stroke one byte at a time, `gapMs` (real time) apart.
    bool WriteSlowly(const Stroke& keys, int gapMs);
    // Sends all of a stroke but its end (the AccuWriter's line end, the Foniks "}").
    bool WriteCut(const Stroke& keys);
    // Noise that a driver must survive without queueing anything: for the AccuWriter, control
    // bytes, empty and keyless lines and an over-long line; for the Foniks, bytes outside
    // packets, stray and doubled braces, empty packets and one that never closes.
    std::string Noise() const;
    bool SendNoise() { return pty_.Send(Noise()); }
    bool Send(const std::string& bytes) { return pty_.Send(bytes); }
    // The writer goes away: the driver's port hangs up.
    void Vanish() { pty_.Vanish(); }

private:
    Wire wire_;
    std::uint8_t layout_;
    std::uint8_t counter_ = 0;
    PtyPair pty_;
};

}  // namespace sim
