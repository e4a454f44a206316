// The SG reply framer and the checks and readers of a reply; the stroke record's round trip.
#include "fuzz/FuzzSupport.h"
#include "writers/SgProtocol.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const fuzz::Input input = fuzz::SplitInput(data, size);
    for (const std::string& reply : fuzz::CheckFramer(sg::FrameReply, input).frames) {
        fuzz::Check(std::uint8_t(reply[0]) == sg::kStartByte, "a reply starts with its start byte");
        fuzz::Check(reply.size() <= std::max<std::size_t>(sg::kMaxReplySize, 4),
                    "a reply is never longer than its length field can say");
        sg::ReplyCheck check = sg::CheckReply(reply, reply.size() > 1 ? std::uint8_t(reply[1]) : 0);
        if (check.HasRecords() || check.IsEmpty())
            fuzz::Check(sg::ReplyData(reply).size() <= reply.size(),
                        "the data lie inside the reply");
        sg::FirstListingEntry(reply);
        sg::CableFileList(reply);
    }
    for (std::size_t i = 0; i + 3 <= input.bytes.size(); i += 3) {
        auto k0 = std::uint8_t(input.bytes[i]), k1 = std::uint8_t(input.bytes[i + 1]),
             k2 = std::uint8_t(input.bytes[i + 2]);
        std::string record = SgStrokeRecord(k0, k1, k2);
        fuzz::Check(record.size() == 4, "a stroke record is four bytes");
        auto keys = SgStrokeKeys(std::uint8_t(record[0]), std::uint8_t(record[1]),
                                     std::uint8_t(record[2]), std::uint8_t(record[3]));
        fuzz::Check(keys[0] == k0 && keys[1] == k1 && keys[2] == k2,
                    "a stroke record gives back the keys it was made from");
    }
    return 0;
}
