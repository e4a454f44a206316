// The Palantype packet framer and decoder, and the stored-notes record scanner.
#include "fuzz/FuzzSupport.h"
#include "writers/PtProtocol.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const fuzz::Input input = fuzz::SplitInput(data, size);
    for (const std::string& packet : fuzz::CheckFramer(pt::FramePacket, input).frames) {
        fuzz::Check(packet.size() == 4, "a packet is four bytes");
        for (char c : packet)
            fuzz::Check(std::uint8_t(c) >= pt::kFirstPacketByte, "no restart byte in a packet");
        const Stroke stroke = pt::PacketStroke(packet);
        fuzz::Check(stroke[4] == 0 && stroke[5] == 0, "a packet fills stroke bytes 0 to 3");
    }

    // The notes scanner always moves on and never claims bytes that are not there.
    std::string_view rest = input.bytes;
    while (!rest.empty()) {
        const pt::NotesStep step = pt::ScanNotes(rest);
        fuzz::Check(step.length <= rest.size(), "a notes step stays within the bytes");
        if (step.kind == pt::NotesStep::Empty || step.kind == pt::NotesStep::Incomplete) break;
        fuzz::Check(step.length > 0, "a notes step moves on");
        if (step.kind == pt::NotesStep::Record)
            for (std::uint8_t layout : {std::uint8_t(7), std::uint8_t(8)})
                fuzz::Check(pt::RecordStrokes(step, layout).size() <= step.text.size() + 1,
                            "no more strokes than characters");
        rest.remove_prefix(step.length);
    }
    return 0;
}
