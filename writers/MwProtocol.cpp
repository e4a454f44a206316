#include "writers/MwProtocol.h"

#include "writers/PtProtocol.h"

namespace mw {

FrameStep FrameStroke(std::string_view bytes) {
    const std::size_t size = !bytes.empty() && std::uint8_t(bytes[0]) == kLead ? kKeyBytes + 1 : kKeyBytes;
    return bytes.size() < size ? FrameStep::More() : FrameStep::Take(size);
}

Stroke FrameKeys(std::string_view frame) {
    const std::string record = MirroredRecord(frame.substr(frame.size() - kKeyBytes));
    return {std::uint8_t(record[0]), std::uint8_t(record[1]), std::uint8_t(record[2]), 0, 0, 0};
}

std::string MirroredRecord(std::string_view keyBytes) {
    std::string record;
    for (char c : keyBytes) record.push_back(char(ReverseStrokeBits(std::uint8_t(c))));
    return record;
}

}  // namespace mw
