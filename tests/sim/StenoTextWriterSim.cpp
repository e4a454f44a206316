#include "tests/sim/StenoTextWriterSim.h"

#include "tests/sim/StenoTextWire.h"

namespace sim {

std::string StenoTextWriterSim::Encode(const Stroke& keys) {
    if (wire_ == Wire::AccuWriter) return AccuWriterLine(layout_, keys, counter_++ % 2 == 0);
    return FoniksPacket(layout_, keys, counter_++);
}

bool StenoTextWriterSim::WriteCut(const Stroke& keys) {
    std::string bytes = Encode(keys);
    bytes.pop_back();                                 // LF, or "}"
    if (wire_ == Wire::AccuWriter) bytes.pop_back();  // CR
    return Send(bytes);
}

std::string StenoTextWriterSim::Noise() const {
    if (wire_ == Wire::AccuWriter) {
        std::string noise("\x01\x02\x1b\r\0\x7f\r\n", 8);  // 0x7F is text, but of no key
        noise += "\n/\r\n  \r\n?!()%\r\n";
        noise += std::string(5000, 'S') + "\r\n";
        return noise;
    }
    std::string noise("garbage \x00\xff\x80\x7f", 12);
    noise += "}}{X}{}}{";                         // stray closes, empty packets
    noise += "{\x05?!()}";                        // a packet of no key
    noise += "{\x05STK" + std::string(300, 'S');  // a packet that never closes
    return noise;
}

}  // namespace sim
