#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "tests/sim/SgWriterModel.h"
#include "tests/sim/WriterSimulator.h"
#include "tests/writers/FramedStrokes.h"
#include "writers/SgProtocol.h"

namespace {

using sim::Hex;

std::string Bytes(std::initializer_list<int> values) {
    std::string bytes;
    for (int v : values) bytes += char(v);
    return bytes;
}

// The Part of the reply check that decides what the driver does with a reply.
enum class Verdict { Records, Empty, Rejected };
Verdict Judge(std::string_view reply, std::uint8_t sequence) {
    const sg::ReplyCheck check = sg::CheckReply(reply, sequence);
    if (check.HasRecords()) return Verdict::Records;
    if (check.IsEmpty()) return Verdict::Empty;
    return Verdict::Rejected;
}

}  // namespace

TEST(SgCrc16, CheckValuesAndTheWakeChecksum) {
    EXPECT_EQ(Crc16(""), 0);
    EXPECT_EQ(Crc16("123456789"), 0xBB3D);
    EXPECT_EQ(Crc16(Bytes({0x00, 0x12, 0x00, 0x14, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0})), 0x2222);
    EXPECT_EQ(Crc16(Bytes({0x01})), 0xC0C1);
    EXPECT_EQ(Crc16(Bytes({0xFF, 0xFF})), 0xB001);
}

TEST(SgRequests, TemplatesByteForByte) {
    struct Case {
        const char* name;
        std::string built;
        std::string expected;  // before the checksums are filled in
    } cases[] = {
        {"Wake", sg::WakePacket(),
         Bytes({0x01, 0x00, 0x12, 0x00, 0x14, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0x22, 0x22})},
        {"ListFiles realtime", sg::ListFilesRequest(true),
         Bytes({0x01, 0x01, 0x15, 0x00, 0x18, 0, 0x41, 0, 0x01, 0, 0x01, 0, 0, 0, 0, 0, 0, 0,
                '*', 0, 0})},
        {"ListFiles cable", sg::ListFilesRequest(false),
         Bytes({0x01, 0x01, 0x15, 0x00, 0x18, 0, 0x41, 0, 0x00, 0, 0x01, 0, 0, 0, 0, 0, 0, 0,
                '*', 0, 0})},
        {"OpenFile", sg::OpenFileRequest("REALTIME.000"),
         Bytes({0x01, 0x02, 32, 0x00, 0x0A, 0, 0x41, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}) +
             "REALTIME.000" + Bytes({0, 0})},
        {"ReadRecords 300/128", sg::ReadRecordsRequest(7, 300, 128),
         Bytes({0x01, 0x07, 0x12, 0x00, 0x0B, 0, 0x01, 0, 0, 0, 128, 0, 2, 0, 176, 0, 0, 0})},
        {"ReadRecords past 16 bits of blocks", sg::ReadRecordsRequest(1, 0x10000 * 128, 1),
         Bytes({0x01, 0x01, 0x12, 0x00, 0x0B, 0, 0x01, 0, 0, 0, 1, 0, 0xFF, 0xFF, 0xFC, 0x01, 0, 0})},
        {"ReadRecords negative first", sg::ReadRecordsRequest(1, -5, 128),
         Bytes({0x01, 0x01, 0x12, 0x00, 0x0B, 0, 0x01, 0, 0, 0, 128, 0, 0, 0, 0, 0, 0, 0})},
        {"CloseFile", sg::CloseFileRequest(),
         Bytes({0x01, 0x00, 0x12, 0x00, 0x02, 0, 0x01, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0})},
        {"EndRealtime", sg::EndRealtimeRequest(),
         Bytes({0x01, 0x02, 0x12, 0x00, 0x19, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0})},
        {"Disconnect", sg::DisconnectRequest(),
         Bytes({0x01, 0x00, 0x12, 0x00, 0x15, 0, 0x01, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0})},
    };
    for (const Case& c : cases) EXPECT_EQ(Hex(c.built), Hex(c.expected)) << c.name;
}

TEST(SgRequests, SealFillsBothChecksums) {
    std::string wake = sg::WakePacket();
    sg::SealRequest(wake);
    EXPECT_EQ(wake, sg::WakePacket()) << "the Wake template's own checksum is the real one";

    std::string list = sg::ListFilesRequest(true);
    sg::SealRequest(list);
    ASSERT_EQ(list.size(), 21u);
    EXPECT_EQ(sg::Get16(list, 16), Crc16(list.substr(1, 15)));
    EXPECT_EQ(sg::Get16(list, 19), Crc16("*"));
    EXPECT_EQ(list.substr(0, 16), sg::ListFilesRequest(true).substr(0, 16));

    std::string open = sg::OpenFileRequest("FILE.001");
    sg::SealRequest(open);
    EXPECT_EQ(sg::Get16(open, open.size() - 2), Crc16("FILE.001"));
    EXPECT_EQ(sg::RequestAction(open), sg::OpenFile);

    std::string tooShort = Bytes({0x01, 0x02, 0x03});
    sg::SealRequest(tooShort);
    EXPECT_EQ(tooShort, Bytes({0x01, 0x02, 0x03}));
}

TEST(SgRequests, OpenFileLengthStaysInOneByte) {
    const std::string request = sg::OpenFileRequest(std::string(300, 'N'));
    EXPECT_EQ(request.size(), 255u);
    EXPECT_EQ(std::uint8_t(request[2]), 255);
    EXPECT_EQ(request[3], 0);
}

TEST(SgStrokeRecord, KeyPacking) {
    struct Case {
        std::string record;
        std::array<std::uint8_t, 3> keys;
    } cases[] = {
        {Bytes({0x3F, 0x00, 0x00, 0x00}), {0xFC, 0x00, 0x00}},
        {Bytes({0x00, 0x00, 0x00, 0x3F}), {0x00, 0x00, 0x3F}},
        {Bytes({0xFF, 0xFF, 0xFF, 0xFF}), {0xFF, 0xFF, 0xFF}},
        {Bytes({0xC0, 0xC0, 0xC0, 0xC0}), {0x00, 0x00, 0x00}},  // only the top bits set
        {Bytes({0x00, 0x30, 0x00, 0x00}), {0x03, 0x00, 0x00}},
        {Bytes({0x00, 0x0F, 0x3C, 0x00}), {0x00, 0xFF, 0x00}},
        {Bytes({0x00, 0x00, 0x03, 0x00}), {0x00, 0x00, 0xC0}},
    };
    for (const auto& c : cases) {
        const auto& r = c.record;
        EXPECT_EQ(SgStrokeKeys(std::uint8_t(r[0]), std::uint8_t(r[1]), std::uint8_t(r[2]),
                               std::uint8_t(r[3])),
                  c.keys)
            << Hex(r);
    }
    // Packing then unpacking gives the same keys, for every value of each byte.
    for (int v = 0; v < 256; ++v) {
        for (int pos = 0; pos < 3; ++pos) {
            std::array<std::uint8_t, 3> keys{};
            keys[pos] = std::uint8_t(v);
            const std::string r = SgStrokeRecord(keys[0], keys[1], keys[2]);
            for (char b : r) ASSERT_EQ(std::uint8_t(b) & 0xC0, 0);
            ASSERT_EQ(SgStrokeKeys(std::uint8_t(r[0]), std::uint8_t(r[1]), std::uint8_t(r[2]),
                                   std::uint8_t(r[3])),
                      keys);
        }
    }
}

TEST(SgReplies, FramerFindsWholeRepliesAndSkipsNoise) {
    const std::string oneStroke = SgReply(5, SgStrokeRecord(1, 2, 3));
    struct Case {
        const char* name;
        std::string received;
        FrameStep step;
    } cases[] = {
        {"nothing yet", "", FrameStep::More()},
        {"start byte only", Bytes({0x01}), FrameStep::More()},
        {"header half there", oneStroke.substr(0, 10), FrameStep::More()},
        {"one byte short", oneStroke.substr(0, 19), FrameStep::More()},
        {"complete", oneStroke, FrameStep::Take(20)},
        {"complete, more bytes behind", oneStroke + "\x01\x06", FrameStep::Take(20)},
        {"noise first", "\x7E" + oneStroke, FrameStep::SkipBytes(1)},
        {"zero byte first", std::string(1, '\0') + oneStroke, FrameStep::SkipBytes(1)},
        {"length below 4", Bytes({0x01, 0x05, 0x02, 0x00}), FrameStep::Take(4)},
        {"length 0", Bytes({0x01, 0x05, 0x00, 0x00, 0x09}), FrameStep::Take(4)},
        {"high nibble of byte 3 ignored", Bytes({0x01, 0x05, 0x04, 0xF0}), FrameStep::Take(4)},
        {"largest length waits", Bytes({0x01, 0x05, 0xFF, 0xFF}) + std::string(4000, 'x'),
         FrameStep::More()},
        {"largest length completes", Bytes({0x01, 0x05, 0xFF, 0xFF}) + std::string(4091, 'x'),
         FrameStep::Take(4095)},
    };
    for (const Case& c : cases) {
        const FrameStep f = sg::FrameReply(c.received);
        EXPECT_EQ(f.kind, c.step.kind) << c.name;
        EXPECT_EQ(f.length, c.step.length) << c.name;
    }
    struct Wanted {
        std::string received;
        std::size_t more;
    } wanted[] = {
        {"", 4},
        {Bytes({0x01, 0x05}), 2},
        {oneStroke.substr(0, 4), 16},
        {oneStroke.substr(0, 19), 1},
        {oneStroke, 0},
        {Bytes({0x01, 0x05, 0x02, 0x00}), 0},  // a length field below 4
    };
    for (const Wanted& w : wanted) EXPECT_EQ(sg::ReplyBytesWanted(w.received), w.more) << Hex(w.received);
    EXPECT_EQ(sg::ReplyLengthField(Bytes({0x01, 0x05, 0x14})), 255u);
    EXPECT_EQ(sg::ReplyLengthField(Bytes({0x01, 0x05, 0x14, 0x03})), 0x314u);
}

TEST(SgReplies, StreamsFrameTheSameHoweverSplit) {
    const std::string a = SgReply(5, SgStrokeRecord(1, 2, 3));
    const std::string b = SgReply(6, {});
    const std::string c = SgReply(7, SgStrokeRecord(4, 5, 6) + SgStrokeRecord(7, 8, 9));
    const struct {
        const char* name;
        std::string stream;
        std::vector<std::string> frames;
    } rows[] = {
        {"three replies", a + b + c, {a, b, c}},
        {"noise before and between", "\x7E" + std::string(1, '\0') + a + "\x55\xAA" + b + c, {a, b, c}},
        {"a reply with a short length field", Bytes({0x01, 0x05, 0x02, 0x00}) + a, {Bytes({0x01, 0x05, 0x02, 0x00}), a}},
        // The next reply's start byte is read as the cut one's length: everything waits.
        {"a reply cut short, then the next", a.substr(0, 3) + b + c, {}},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(SplitInvariantFrames(row.stream, sg::FrameReply), row.frames);
    }
}

// A 20-byte reply with one stroke record, and that reply damaged one way each.
TEST(SgReplies, OneStrokeReplyAndItsDamagedVariants) {
    const std::uint8_t seq = 9;
    const std::string good = SgReply(seq, SgStrokeRecord(0x12, 0x34, 0x56));
    ASSERT_EQ(good.size(), 20u);
    ASSERT_EQ(Judge(good, seq), Verdict::Records);
    EXPECT_EQ(sg::ReplyData(good), SgStrokeRecord(0x12, 0x34, 0x56));

    using Edit = std::function<void(std::string&)>;
    struct Case {
        const char* name;
        Edit damage;
    } cases[] = {
        {"start byte", [](std::string& r) { r[0] = 0x02; }},
        {"sequence byte", [](std::string& r) { r[1] = 8; }},
        {"header checksum", [](std::string& r) { r[12] ^= 1; }},
        {"data checksum", [](std::string& r) { r[19] ^= 1; }},
        {"record byte, checksum kept", [](std::string& r) { r[15] ^= 1; }},
        {"dataLength 5", [](std::string& r) { sg::Put16(r, 8, 5); SealReply(r); }},
        {"dataLength 0 with data", [](std::string& r) { sg::Put16(r, 8, 0); }},
        {"22 bytes in all", [](std::string& r) { r.insert(18, "\x07\x07"); sg::Put16(r, 2, 22); SealReply(r); }},
        {"22 bytes, dataLength 6", [](std::string& r) {
             r.insert(18, "\x07\x07"); sg::Put16(r, 2, 22); sg::Put16(r, 8, 6); SealReply(r); }},
        {"cut to 18 bytes", [](std::string& r) { r.resize(18); }},
        {"cut to 11 bytes", [](std::string& r) { r.resize(11); }},
        {"cut to 4 bytes", [](std::string& r) { r.resize(4); }},
    };
    for (const Case& c : cases) {
        std::string reply = good;
        c.damage(reply);
        EXPECT_EQ(Judge(reply, seq), Verdict::Rejected) << c.name << ": " << Hex(reply);
    }
}

TEST(SgReplies, EmptyReplyMeansNothingMore) {
    const std::string empty = SgReply(3, {});
    ASSERT_EQ(empty.size(), 16u);
    EXPECT_EQ(Judge(empty, 3), Verdict::Empty);
    EXPECT_EQ(sg::CheckReply(empty, 3).dataLength, 0u);
    // The 14-byte form without a data checksum still says "nothing".
    EXPECT_EQ(Judge(empty.substr(0, 14), 3), Verdict::Empty);

    struct Case {
        const char* name;
        std::string reply;
    } rejected[] = {
        {"other sequence", SgReply(4, {})},
        {"header checksum wrong", [&] { std::string r = empty; r[12] ^= 0x40; return r; }()},
        {"dataLength field damaged", [&] { std::string r = empty; r[8] = 0; r[9] = 0x10; return r; }()},
        {"shorter than a header", empty.substr(0, 12)},
        {"four bytes whose length field says 4", Bytes({0x01, 0x03, 0x04, 0x00})},
    };
    for (const Case& c : rejected) EXPECT_EQ(Judge(c.reply, 3), Verdict::Rejected) << c.name;
}

TEST(SgReplies, ThreeRecordsAndTrailingStrayBytes) {
    const std::string three =
        SgStrokeRecord(1, 0, 0) + SgStrokeRecord(2, 0, 0) + SgStrokeRecord(3, 0, 0);
    const std::string reply = SgReply(1, three);
    EXPECT_EQ(Judge(reply, 1), Verdict::Records);
    EXPECT_EQ(sg::ReplyData(reply).size(), 12u);

    // Four records and 2 stray bytes: the length is not a multiple of 4, so none is taken.
    const std::string stray = SgReply(1, three + SgStrokeRecord(4, 0, 0) + "\x01\x02");
    EXPECT_EQ(Judge(stray, 1), Verdict::Rejected);
}

TEST(SgListing, FirstEntryOnlyWhenWhole) {
    const std::string listing = SgReply(1, SgListingData({{"REALTIME.000", 0x01020304}}));
    ASSERT_EQ(listing.size(), 72u);
    const auto entry = sg::FirstListingEntry(listing);
    ASSERT_TRUE(entry.has_value());
    EXPECT_EQ(entry->name, "REALTIME.000");
    EXPECT_EQ(entry->size, 0x01020304u);

    const auto shortName = sg::FirstListingEntry(SgReply(1, SgListingData({{"RT", 400}})));
    ASSERT_TRUE(shortName.has_value());
    EXPECT_EQ(shortName->name, "RT");
    EXPECT_EQ(shortName->size, 400u);

    EXPECT_EQ(sg::FirstListingEntry(listing.substr(0, 64))->size, 0x01020304u);
    for (std::size_t cut : {0, 16, 49, 50, 60, 63}) {
        EXPECT_FALSE(sg::FirstListingEntry(listing.substr(0, cut)).has_value()) << cut;
    }
    EXPECT_FALSE(sg::FirstListingEntry(SgReply(1, SgListingData({{"", 400}}))).has_value());
}

TEST(SgListing, CableFileList) {
    auto list = [](std::vector<sg::FileEntry> files) {
        return sg::CableFileList(SgReply(1, SgListingData(files)));
    };
    using Names = std::vector<std::string>;
    EXPECT_EQ(list({{"FILE.001", 4}, {"FILE.002", 8}, {"REALTIME.000", 12}}), (Names{"001", "002"}));
    EXPECT_EQ(list({{"REALTIME.000", 12}}), (Names{"RTDATA"}));
    EXPECT_EQ(list({{"NOTES.TXT", 12}}), Names{});
    EXPECT_EQ(list({}), Names{});
    EXPECT_EQ(sg::CableFileList(""), Names{});
    // An entry whose name field would run into the data checksum is not read.
    const std::string twoFiles = SgReply(1, SgListingData({{"FILE.001", 4}, {"FILE.002", 4}}));
    EXPECT_EQ(sg::CableFileList(twoFiles.substr(0, 46 + 24 + 7 + 2)), Names{"001"});

    EXPECT_EQ(sg::CableFileName("RTDATA"), "REALTIME.000");
    EXPECT_EQ(sg::CableFileName("003"), "FILE.003");
}

TEST(SgTimeWords, Decoding) {
    EXPECT_EQ(sg::TimeWordToTimeCode(0), (TimeCode{0, 0, 0, 0}));
    EXPECT_EQ(sg::TimeWordToTimeCode((13 << 11) | (45 << 5) | 16), (TimeCode{13, 45, 30, 0}));
    EXPECT_EQ(sg::TimeWordToTimeCode(0xFFFF), (TimeCode{31, 63, 58, 0}));
}

// The simulator's own templates agree with the driver's builders.
TEST(SgWriterModel, AnswersTheDriversRequests) {
    SgWriterModel writer;
    writer.SetRealtimeStrokes(3);
    auto send = [&](std::string request) {
        sg::SealRequest(request);
        return writer.Feed(request);
    };
    EXPECT_EQ(writer.Feed(std::string(18, '\0') + sg::WakePacket()).size(), 16u);
    const std::string listing = send(sg::ListFilesRequest(true));
    ASSERT_EQ(sg::FrameReply(listing).kind, FrameStep::Frame);
    ASSERT_TRUE(sg::CheckReply(listing, 1).checksumsOk);
    EXPECT_EQ(sg::FirstListingEntry(listing)->size, 12u);
    EXPECT_EQ(send(sg::OpenFileRequest("REALTIME.000")), SgReply(2, {}, sg::OpenFile));
    writer.Write(0xAB, 0xCD, 0xEF);
    const std::string read = send(sg::ReadRecordsRequest(4, 3, 128));
    EXPECT_EQ(sg::ReplyData(read), SgStrokeRecord(0xAB, 0xCD, 0xEF));
    EXPECT_EQ(sg::CheckReply(read, 4).HasRecords(), true);
    EXPECT_EQ(send(sg::ReadRecordsRequest(5, 4, 128)), SgReply(5, {}, sg::ReadRecords));
    EXPECT_EQ(writer.Errors(), std::vector<std::string>{});
    EXPECT_EQ(writer.Reads(), (std::vector<std::pair<int, int>>{{3, 128}, {4, 128}}));

    // A request with a wrong checksum is answered by nothing and reported.
    std::string bad = sg::CloseFileRequest();
    sg::SealRequest(bad);
    bad[16] ^= 1;
    EXPECT_EQ(writer.Feed(bad), "");
    EXPECT_FALSE(writer.Errors().empty());
}
