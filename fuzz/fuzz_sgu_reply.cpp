// The USB SG writer's replies: the sequence number a reply echoes, and a reply's records
// decoded into strokes by the driver as realtime and as notes over the cable read them; the
// request packets built around any fields and payload.
#include <memory>

#include "fuzz/FuzzSupport.h"
#include "platform/WindowRegistry.h"
#include "writers/CWriterSGU.h"
#include "writers/SgProtocol.h"

namespace {

// Queues the reply's records as the driver does and checks what came out.
void DecodeAs(int mode, std::string_view reply) {
    std::unique_ptr<CWriterSGU> writer(NewWriter<CWriterSGU>(platform::kNoWindow));
    writer->mode = mode;
    writer->receiveBuffer.assign(reply);
    writer->DecodeReply();
    const std::size_t record = mode == kModeNotesCable ? 4 : sgu::kRecordSize;
    const std::size_t data = reply.size() > sgu::kHeaderSize ? reply.size() - sgu::kHeaderSize : 0;
    TrackStroke stroke;
    std::size_t strokes = 0;
    for (; writer->GetStroke(&stroke); ++strokes) {
        fuzz::CheckThreeKeyBytes(stroke.keys);
        // Bits 7-6 of each record byte carry nothing: the same record with them clear gives
        // the same stroke.
        const std::size_t at = sgu::kHeaderSize + strokes * record;
        auto keys = SgStrokeKeys(std::uint8_t(reply[at]) & 0x3F, std::uint8_t(reply[at + 1]) & 0x3F,
                                 std::uint8_t(reply[at + 2]) & 0x3F, std::uint8_t(reply[at + 3]) & 0x3F);
        fuzz::Check(keys[0] == stroke.keys[0] && keys[1] == stroke.keys[1] && keys[2] == stroke.keys[2],
                    "the ignored bits of a record change nothing");
    }
    fuzz::Check(strokes == data / record, "one stroke per whole record after the header");
    fuzz::Check(writer->strokeIndex == int(strokes), "the stroke index counts the records");
    fuzz::Check(writer->receiveBuffer.size() < record, "only a cut record is left over");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view reply(reinterpret_cast<const char*>(data), size);
    const std::optional<std::uint32_t> sequence = sgu::ReplySequence(reply);
    fuzz::Check(sequence.has_value() == (size >= 6), "a reply of six bytes or more has a number");
    if (sequence)
        fuzz::Check(*sequence == (std::uint32_t(data[2]) | std::uint32_t(data[3]) << 8 |
                                  std::uint32_t(data[4]) << 16 | std::uint32_t(data[5]) << 24),
                    "the number is bytes 2-5, low byte first");
    DecodeAs(kModeRealtime, reply);
    DecodeAs(kModeNotesCable, reply);

    // A request around the same bytes: the first 26 as fields, the rest as payload.
    const std::string fields(reply.substr(0, std::min<std::size_t>(size, 26)));
    const std::string payload(reply.substr(fields.size()));
    const std::string packet = sgu::Packet(sequence.value_or(0), fields, payload);
    fuzz::Check(packet.size() % 16 == 0 && packet.size() >= 32 + payload.size(),
                "a packet is its header and payload, zero-filled to a multiple of 16");
    fuzz::Check(packet.compare(0, 2, "SG") == 0 && packet.compare(6, fields.size(), fields) == 0 &&
                    packet.compare(32, payload.size(), payload) == 0,
                "a packet holds its fields at 6 and its payload at 32");
    fuzz::Check(sgu::ReplySequence(packet) == sequence.value_or(0), "a packet carries its number");
    return 0;
}
