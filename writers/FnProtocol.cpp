#include "writers/FnProtocol.h"

#include <algorithm>

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

std::string FnNotesLineRecords(std::string line) {
    std::replace(line.begin(), line.end(), '/', ' ');
    std::string records;
    for (;;) {
        const std::size_t open = line.find('{');
        const std::size_t close = line.find('}');
        if (open == std::string::npos || close == std::string::npos) break;
        // A "}" before the first "{" closes nothing: only the text up to it is dropped.
        if (close > open)
            records += NotesRecordsFromText(0, std::string_view(line).substr(open + 1, close - open));
        line.erase(0, close + 1);
    }
    return records;
}

std::string FnNotesRecords(std::string_view fileText) {
    std::string records;
    while (!fileText.empty()) {
        const std::size_t end = fileText.find('\n');
        const std::string_view line = fileText.substr(0, end);
        records += FnNotesLineRecords(std::string(line));
        if (end == std::string_view::npos) break;
        fileText.remove_prefix(end + 1);
    }
    return records;
}
