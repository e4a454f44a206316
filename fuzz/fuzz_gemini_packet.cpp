// The Gemini packet framer and decoder.
#include "core/Stroke.h"
#include "fuzz/FuzzSupport.h"
#include "writers/GeminiProtocol.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const fuzz::Input input = fuzz::SplitInput(data, size);
    for (const std::string& packet : fuzz::CheckFramer(gemini::FramePacket, input).frames) {
        bool marked = packet.size() == gemini::kPacketSize && (std::uint8_t(packet[0]) & 0x80);
        for (std::size_t i = 1; marked && i < packet.size(); ++i)
            marked = (std::uint8_t(packet[i]) & 0x80) == 0;
        fuzz::Check(marked, "a packet is six bytes with only the first one marked");
        for (int layout = 0; layout < kLayoutCount; ++layout) gemini::DecodePacket(packet, layout);
    }
    return 0;
}
