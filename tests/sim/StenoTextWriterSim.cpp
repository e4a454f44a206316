#include "tests/sim/StenoTextWriterSim.h"

#include <chrono>
#include <thread>

#include "tests/sim/StenoTextWire.h"

namespace sim {

StenoTextWriterSim::StenoTextWriterSim(Wire wire, std::uint8_t layout, int comNumber)
    : wire_(wire), layout_(layout), pty_(comNumber) {}

std::string StenoTextWriterSim::Encode(const Stroke& keys) {
    if (wire_ == Wire::AccuWriter) return AccuWriterLine(layout_, keys, counter_++ % 2 == 0);
    // The counter runs through every byte value, braces included.
    return FoniksPacket(layout_, keys, counter_++);
}

bool StenoTextWriterSim::Write(const Stroke& keys) { return pty_.Send(Encode(keys)); }

bool StenoTextWriterSim::WriteSlowly(const Stroke& keys, int gapMs) {
    for (char ch : Encode(keys)) {
        if (!pty_.Send(std::string(1, ch))) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(gapMs));
    }
    return true;
}

bool StenoTextWriterSim::WriteCut(const Stroke& keys) {
    std::string bytes = Encode(keys);
    bytes.pop_back();  // LF, or "}"
    if (wire_ == Wire::AccuWriter) bytes.pop_back();  // CR
    return pty_.Send(bytes);
}

std::string StenoTextWriterSim::Noise() const {
    if (wire_ == Wire::AccuWriter) {
        std::string noise("\x01\x02\x1b\r\0\x7f\r\n", 8);  // 0x7F is text, but no key
        noise += "\n/\r\n  \r\n?!()%\r\n";
        noise += std::string(5000, 'S') + "\r\n";
        return noise;
    }
    std::string noise("garbage \x00\xff\x80\x7f", 12);
    noise += "}}{X}{}}{";                            // stray closes, empty packets
    noise += "{\x05?!()}";                         // a packet naming no key
    noise += "{\x05STK" + std::string(300, 'S');     // a packet that never closes
    return noise;
}

}  // namespace sim
