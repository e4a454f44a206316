// The EZ realtime framer and decoder, and the collector of stored notes read over the cable.
#include "fuzz/FuzzSupport.h"
#include "writers/EzProtocol.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const fuzz::Input input = fuzz::SplitInput(data, size);
    for (const std::string& packet : fuzz::CheckFramer(ez::FrameRealtime, input).frames) {
        fuzz::Check(packet.size() == ez::kPacketSize && ez::IsSyncByte(std::uint8_t(packet[0])),
                    "a realtime packet is a synchronisation byte and three more");
        fuzz::CheckThreeKeyBytes(ez::RealtimeStroke(packet));
    }

    ez::NotesCollector notes;
    std::size_t records = 0;
    for (char c : input.bytes) {
        bool passEnded = notes.Take(std::uint8_t(c));
        records += notes.Records().size();
        fuzz::Check(notes.Records().size() % 3 == 0, "notes come as whole 3-byte records");
        notes.Records().clear();
        if (passEnded) notes.EndPass();
    }
    fuzz::Check(notes.BytesTaken() == input.bytes.size(), "every byte is counted");
    fuzz::Check(records <= input.bytes.size(), "never more notes than bytes");
    return 0;
}
