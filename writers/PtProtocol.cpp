#include "writers/PtProtocol.h"

#include "core/TextUtil.h"

namespace pt {

namespace {

bool Bit(std::uint8_t b, int n) { return (b >> n) & 1; }

std::uint8_t Bits(std::initializer_list<bool> highToLow) {
    std::uint8_t b = 0;
    for (bool bit : highToLow) b = std::uint8_t((b << 1) | (bit ? 1 : 0));
    return b;
}

// Bytes 0 to 3 of the first stroke of the parsed text; all zero when it parses to none, so
// that every record (and every character of a number) still counts as the stroke it was.
void AddParsed(std::vector<Stroke>& strokes, std::uint8_t layout, const std::string& text) {
    const Outline parsed = ParseOutline(layout, text);
    Stroke s{};
    if (parsed.size() >= kStrokeSize)
        for (int i = 0; i < 4; ++i) s[std::size_t(i)] = std::uint8_t(parsed[std::size_t(i)]);
    strokes.push_back(s);
}

}  // namespace

FrameStep FramePacket(std::string_view bytes) {
    for (std::size_t i = 0; i < bytes.size() && i < kPacketSize; ++i)
        if (std::uint8_t(bytes[i]) < kFirstPacketByte) return FrameStep::SkipBytes(i + 1);
    return bytes.size() < kPacketSize ? FrameStep::More() : FrameStep::Take(kPacketSize);
}

Stroke PacketStroke(std::string_view packet) {
    std::uint8_t r[4]{};
    for (std::size_t i = 0; i < 4 && i < packet.size(); ++i)
        r[i] = ReverseStrokeBits(std::uint8_t(~std::uint8_t(packet[i])));
    Stroke s{};
    s[0] = Bits({Bit(r[0], 6), Bit(r[0], 7), Bit(r[0], 5), Bit(r[0], 4), Bit(r[0], 3),
                 Bit(r[0], 2) || Bit(r[0], 1)});
    s[1] = std::uint8_t((Bit(r[0], 0) << 7) | (r[1] >> 1));
    s[2] = Bits({Bit(r[1], 0), Bit(r[2], 7), Bit(r[2], 6), Bit(r[2], 5) || Bit(r[2], 4),
                 Bit(r[2], 3), Bit(r[2], 2), Bit(r[2], 1), Bit(r[2], 0)});
    s[3] = std::uint8_t((r[3] & 0xF8) | (Bit(r[3], 1) << 2) | (Bit(r[3], 2) << 1));
    return s;
}

NotesStep ScanNotes(std::string_view bytes) {
    NotesStep step;
    if (bytes.empty()) return step;
    const std::uint8_t lead = std::uint8_t(bytes[0]) & 0x7F;
    if (lead != kOutlineRecord && lead != kNumberRecord) {
        step.kind = NotesStep::Skip;
        step.length = 1;
        return step;
    }
    step.number = lead == kNumberRecord;
    std::size_t end = 1;
    while (end < bytes.size() && (std::uint8_t(bytes[end]) & 0x70) != 0) {
        step.text.push_back(char(bytes[end] & 0x7F));
        ++end;
    }
    step.kind = end < bytes.size() ? NotesStep::Record : NotesStep::Incomplete;
    step.length = end;
    return step;
}

std::vector<Stroke> RecordStrokes(const NotesStep& record, std::uint8_t layout) {
    std::vector<Stroke> strokes;
    std::string text = record.text;
    ReplaceAll(text, "/", "-");
    if (!record.number) {
        AddParsed(strokes, layout, text);
        return strokes;
    }
    ReplaceAll(text, ",000,000", "m");
    ReplaceAll(text, ",000", "t");
    for (char c : text) AddParsed(strokes, layout, std::string(1, c));
    return strokes;
}

}  // namespace pt
