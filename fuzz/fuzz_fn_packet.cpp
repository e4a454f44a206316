// The Foniks realtime framer and the notes-file reader.
#include "fuzz/FuzzSupport.h"
#include "writers/FnProtocol.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const fuzz::Input input = fuzz::SplitInput(data, size);
    for (const std::string& packet : fuzz::CheckFramer(FindFnFrame, input).frames) {
        fuzz::Check(packet.size() >= 3 && packet.size() <= kFnMaxPacket && packet.front() == '{' &&
                        packet.back() == '}',
                    "a packet runs from a brace to its closing brace, within its limit");
        fuzz::Check(FnPacketText(packet).size() == packet.size() - 3,
                    "a packet's text is what lies between the passed-over byte and the brace");
    }

    // A notes file gives the same records however it is read in pieces.
    FnNotesReader reader;
    std::string records;
    fuzz::Pieces pieces(input.cuts);
    for (std::size_t pos = 0; pos < input.bytes.size();) {
        std::size_t n = pieces.Next(input.bytes.size() - pos);
        records += reader.Feed(input.bytes.substr(pos, n));
        pos += n;
    }
    records += reader.Finish();
    fuzz::Check(records == FnNotesRecords(input.bytes), "notes do not depend on the pieces read");
    fuzz::Check(records.size() % 3 == 0, "notes come as whole 3-byte records");
    return 0;
}
