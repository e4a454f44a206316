// StenoRAM replies: the reply framer (the same frames however the bytes are cut), the check of
// each reply it finds, and the stroke records.
#include "fuzz/FuzzSupport.h"
#include "writers/SrProtocol.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const fuzz::Input input = fuzz::SplitInput(data, size);
    for (const std::string& reply : fuzz::CheckFramer(sr::FrameReply, input).frames) {
        fuzz::Check(std::uint8_t(reply[0]) == sr::kStartByte, "a reply starts with its start byte");
        fuzz::Check(sr::HeaderChecksumAgrees(reply), "a reply's header checksum agrees");
        fuzz::Check(reply.size() == sr::kHeaderSize + sr::DataLength(reply),
                    "a reply is as long as its header says");
        const sr::ReplyCheck check = sr::CheckReply(reply);
        fuzz::Check(!check.isStatus || check.valid, "a status reply is a valid one");
        fuzz::Check(!check.isStrokeData || check.valid, "a stroke-data reply is a valid one");
    }

    std::string_view rest = input.bytes;
    while (!rest.empty()) {
        const sr::Record record = sr::TakeRecord(rest);
        if (record.form == sr::Record::Incomplete) {
            fuzz::Check(record.length == 0, "an incomplete record takes nothing");
            break;
        }
        fuzz::Check(record.length >= 1 && record.length <= rest.size(),
                    "a record takes bytes that are there");
        rest.remove_prefix(record.length);
    }
    return 0;
}
