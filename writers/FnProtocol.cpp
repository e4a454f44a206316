#include "writers/FnProtocol.h"

#include "writers/StenoTextStroke.h"

namespace {
constexpr std::size_t kTextStart = 2;  // after "{" and the passed-over byte
}  // namespace

FrameStep FindFnFrame(std::string_view buffer) {
    if (buffer.empty()) return FrameStep::More();
    const std::size_t open = buffer.find('{');
    // Noise only (a stray "}" among it): none of it can start a packet.
    if (open == std::string_view::npos) return FrameStep::SkipBytes(buffer.size());
    if (open > 0) return FrameStep::SkipBytes(open);
    // The closing brace lies within the longest packet, however the bytes were read: found
    // only further on, it closes nothing of this packet's.
    const std::size_t brace = buffer.substr(0, kFnMaxPacket).find_first_of("{}", kTextStart);
    if (brace == std::string_view::npos)
        return buffer.size() >= kFnMaxPacket ? FrameStep::SkipBytes(1) : FrameStep::More();
    if (buffer[brace] == '{') return FrameStep::SkipBytes(brace);
    return FrameStep::Take(brace + 1);
}

std::string_view FnPacketText(std::string_view packet) {
    if (packet.size() <= kTextStart) return {};
    return packet.substr(kTextStart, packet.size() - kTextStart - 1);
}

std::string FnNotesLineRecords(std::string_view line) {
    // "/" needs no change: the parser reads it as a blank.
    std::string records;
    std::size_t pos = 0;
    for (;;) {
        const std::size_t open = line.find('{', pos);
        const std::size_t close = line.find('}', pos);
        if (open == std::string_view::npos || close == std::string_view::npos) break;
        // A "}" before the next "{" closes nothing: only the text up to it is passed over.
        if (close > open) records += NotesRecordsFromText(0, line.substr(open + 1, close - open));
        pos = close + 1;
    }
    return records;
}

std::string FnNotesReader::Feed(std::string_view bytes) {
    std::string records;
    for (;;) {
        const std::size_t end = bytes.find('\n');
        if (end == std::string_view::npos) break;
        if (line_.empty()) {
            records += FnNotesLineRecords(bytes.substr(0, end));
        } else {
            line_.append(bytes.substr(0, end));
            records += FnNotesLineRecords(line_);
            line_.clear();
        }
        bytes.remove_prefix(end + 1);
    }
    line_.append(bytes);
    return records;
}

std::string FnNotesReader::Finish() {
    std::string records = FnNotesLineRecords(line_);
    line_.clear();
    return records;
}

std::string FnNotesRecords(std::string_view fileText) {
    FnNotesReader reader;
    std::string records = reader.Feed(fileText);
    return records + reader.Finish();
}
