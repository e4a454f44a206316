// The Passport line reader, packet taker and key records.
#include "fuzz/FuzzSupport.h"
#include "writers/PassportProtocol.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const fuzz::Input input = fuzz::SplitInput(data, size);
    std::string line;
    fuzz::Pieces pieces(input.cuts);
    std::size_t packets = 0;
    for (std::size_t pos = 0; pos < input.bytes.size();) {
        std::size_t n = pieces.Next(input.bytes.size() - pos);
        passport::AppendReceived(line, input.bytes.substr(pos, n));
        pos += n;
        fuzz::Check(line.size() <= passport::kLineBufferCap,
                    "the line buffer stays within its cap");
        while (auto packet = passport::TakePacket(line)) {
            ++packets;
            fuzz::Check(packet->number >= 0 && packet->number <= passport::kMaxStrokeNumber,
                        "a stroke number is within range");
            std::string record = passport::BuildKeyRecord(packet->keyText);
            fuzz::Check(record.size() == passport::kRecordSize, "a key record is 24 bytes");
            passport::DecodeKeyRecord(record);
        }
    }
    fuzz::Check(packets * 3 <= input.bytes.size(), "never more packets than the text can hold");
    passport::DecodeKeyRecord(input.bytes);
    return 0;
}
