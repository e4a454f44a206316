#include "writers/FnProtocol.h"

#include "writers/StenoTextStroke.h"

FnFrame FindFnFrame(std::string_view buffer) {
    FnFrame frame;
    const std::size_t open = buffer.find('{');
    if (open == std::string_view::npos) {
        // Noise only (a stray "}" among it): none of it can start a packet.
        if (!buffer.empty()) {
            frame.kind = FnFrame::Kind::Skip;
            frame.length = buffer.size();
        }
        return frame;
    }
    if (open > 0) {
        frame.kind = FnFrame::Kind::Skip;
        frame.length = open;
        return frame;
    }
    constexpr std::size_t kTextStart = 2;
    const std::size_t brace = buffer.size() > kTextStart ? buffer.find_first_of("{}", kTextStart)
                                                          : std::string_view::npos;
    if (brace == std::string_view::npos) {
        if (buffer.size() > kFnMaxPacket) {
            frame.kind = FnFrame::Kind::Skip;
            frame.length = 1;
        }
        return frame;
    }
    if (buffer[brace] == '{') {
        frame.kind = FnFrame::Kind::Skip;
        frame.length = brace;
        return frame;
    }
    frame.kind = FnFrame::Kind::Packet;
    frame.length = brace + 1;
    frame.text = buffer.substr(kTextStart, brace - kTextStart);
    return frame;
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
