// StenoRAM replies: gathering a reply byte by byte as the driver does, its check, and its
// stroke records.
#include "fuzz/FuzzSupport.h"
#include "writers/SrProtocol.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const fuzz::Input input = fuzz::SplitInput(data, size);
    std::string reply;
    for (char c : input.bytes) {
        if (sr::ReplyBytesWanted(reply) == 0) break;
        reply.push_back(c);
    }
    const sr::ReplyCheck check = sr::CheckReply(reply);
    fuzz::Check(!check.isStatus || check.valid, "a status reply is a valid one");
    fuzz::Check(!check.isStrokeData || check.valid, "a stroke-data reply is a valid one");

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
