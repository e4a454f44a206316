// The StenoRAM packets and records as pure functions: the checksum, the requests, the reply
// checks with each kind of damage, and the stroke records of every form; then the driver's
// record decoding (time markers, the stroke before the first wanted, a record cut short).
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <random>

#include "tests/fakes/FakeOwnerWindow.h"
#include "tests/writers/FramedStrokes.h"
#include "tests/support/HexBytes.h"
#include "writers/CWriterSR.h"
#include "writers/SrProtocol.h"

namespace {

std::string ChecksumHex(const std::string& hex) {
    const sr::Checksum sum = sr::PacketChecksum(Hex(hex));
    return ToHex(std::string(sum.begin(), sum.end()));
}

TEST(SrChecksum, KnownValues) {
    EXPECT_EQ(ChecksumHex("04 00 00 FF 00 00 02 01 03"), "99 27 52 26");
    EXPECT_EQ(ChecksumHex("16 03 00 00 01 00 00 FF 09 00 99 27 52 26"), "BD 34 6C F8");
    EXPECT_EQ(ChecksumHex(""), "00 00 00 00");
}

TEST(SrRequests, StatusAndRead) {
    EXPECT_EQ(ToHex(sr::StatusRequest()),
              "16 03 00 00 01 00 00 FF 09 00 99 27 52 26 BD 34 6C F8 04 00 00 FF 00 00 02 01 03 00");
    const std::string read = sr::ReadRequest(0x01020A, 6);
    ASSERT_EQ(read.size(), 28u);
    EXPECT_EQ(ToHex(read.substr(0, 10)), "16 03 00 00 01 00 00 FF 09 00");
    EXPECT_EQ(ToHex(read.substr(18)), "01 0A 02 01 06 00 02 01 03 00");
    EXPECT_TRUE(sr::ChecksumsAgree(read));
    // Numbers a request cannot carry are kept within its fields.
    EXPECT_EQ(ToHex(sr::ReadRequest(-1, 300).substr(18, 5)), "01 00 00 00 FF");
}

std::string Reply(std::uint8_t action, const std::string& data) {
    std::string packet = Hex("16 03 00 00 00 00 00 FF") + std::string{char(data.size() & 0xFF), char(data.size() >> 8)} +
                         std::string(8, '\0') + data;
    packet[4] = char(action);
    sr::SetPacketChecksums(packet);
    return packet;
}

struct ReplyRow {
    const char* name;
    std::string reply;
    bool valid;
    bool isStatus;
    bool isStrokeData;
    int number;  // stroke count or stroke number
};

std::string Damaged(std::string packet, std::size_t at, std::uint8_t mask) {
    packet[at] = char(packet[at] ^ mask);
    return packet;
}

TEST(SrReplies, ChecksAndDamage) {
    const std::string status = Reply(0x06, Hex("2C 01 00"));
    const std::string data = Reply(0x03, Hex("00 00 0F 00 00 00 81"));
    std::string longer = status;
    longer[8] = 4;  // one byte more declared than came; checksums made for the old length
    const ReplyRow rows[] = {
        {"status", status, true, true, false, 300},
        {"status without its last count byte", Reply(0x06, Hex("05 00")), true, true, false, 5},
        {"stroke data", data, true, false, true, 15},
        {"data checksum damaged", Damaged(data, 24, 0x01), false, false, false, 0},
        {"header checksum damaged", Damaged(status, 16, 0x40), false, false, false, 0},
        {"data damaged", Damaged(status, 19, 0x01), false, false, false, 0},
        {"length beyond the bytes", longer, false, false, false, 0},
        {"length over any reply", Reply(0x06, std::string(sr::kMaxDataLength + 1, '\0')), false, false, false, 0},
        {"header only", status.substr(0, 17), false, false, false, 0},
        {"status too short for a count", Reply(0x06, Hex("07")), true, false, false, 0},
        {"stroke data too short for a number", Reply(0x03, Hex("00 00 01 00 00")), true, false, false, 0},
        {"other action", Reply(0x09, Hex("01 02 03")), true, false, false, 0},
    };
    for (const ReplyRow& row : rows) {
        SCOPED_TRACE(row.name);
        const sr::ReplyCheck check = sr::CheckReply(row.reply);
        EXPECT_EQ(check.valid, row.valid);
        EXPECT_EQ(check.isStatus, row.isStatus);
        EXPECT_EQ(check.isStrokeData, row.isStrokeData);
        if (row.isStatus) {
            EXPECT_EQ(check.strokeCount, row.number);
        }
        if (row.isStrokeData) {
            EXPECT_EQ(check.strokeNumber, row.number);
        }
    }
}

// A header whose checksums are made for the length it declares.
std::string ClaimingLength(std::string packet, std::size_t dataLength) {
    packet[8] = char(dataLength & 0xFF);
    packet[9] = char(dataLength >> 8);
    const sr::Checksum header = sr::PacketChecksum(std::string_view(packet).substr(0, 14));
    std::copy(header.begin(), header.end(), packet.begin() + 14);
    return packet;
}

TEST(SrReplies, FramerSteps) {
    const std::string status = Reply(0x06, Hex("2C 01 00"));
    const struct {
        const char* name;
        std::string received;
        FrameStep step;
    } rows[] = {
        {"nothing", "", FrameStep::More()},
        {"a start byte", status.substr(0, 1), FrameStep::More()},
        {"not all of the header", status.substr(0, 17), FrameStep::More()},
        {"the header, not all of the data", status.substr(0, 20), FrameStep::More()},
        {"a whole reply", status, FrameStep::Take(21)},
        {"a whole reply and more", status + status, FrameStep::Take(21)},
        {"a stray byte ahead", Hex("00") + status, FrameStep::SkipBytes(1)},
        {"stray bytes ahead, up to a start byte", Hex("00 55 16"), FrameStep::SkipBytes(2)},
        {"stray bytes and no start byte", Hex("00 55 AA"), FrameStep::SkipBytes(3)},
        {"a start byte whose header checksum disagrees", Damaged(status, 15, 0x01), FrameStep::SkipBytes(1)},
        {"a stray start byte ahead of a reply", Hex("16") + status, FrameStep::SkipBytes(1)},
        // A length no reply has is judged at once, not waited for.
        {"a length over any reply", ClaimingLength(status, sr::kMaxDataLength + 1), FrameStep::SkipBytes(1)},
    };
    for (const auto& row : rows) EXPECT_EQ(sr::FrameReply(row.received), row.step) << row.name;
}

// Every reply is found whole, whatever the line adds around it and however its reads split
// it; bytes of no reply never become part of one.
TEST(SrReplies, FramingDoesNotDependOnHowTheBytesAreSplit) {
    const std::string status = Reply(0x06, Hex("2C 01 00"));
    const std::string data = Reply(0x03, Hex("00 00 0F 00 00 00 81 C3 25 02 00 00"));
    const std::string empty = Reply(0x06, "");
    const struct {
        const char* name;
        std::string line;
        std::vector<std::string> replies;
    } rows[] = {
        {"replies back to back", status + data + empty, {status, data, empty}},
        {"a 00 after each reply", status + Hex("00") + data + Hex("00"), {status, data}},
        {"noise ahead of a reply", Hex("55 AA 00") + data, {data}},
        {"a stray start byte ahead of a reply", Hex("16") + status + Hex("16 16") + data, {status, data}},
        {"a reply cut short, then a whole one", status.substr(0, 12) + data, {data}},
        {"a damaged header, then a whole reply", Damaged(status, 14, 0x80) + empty, {empty}},
        {"a length no reply has, then a whole reply", ClaimingLength(status, 5000) + status, {status}},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        for (const std::vector<std::string>& pieces : SplitWays(row.line))
            EXPECT_EQ(FramesOfPieces(pieces, sr::FrameReply), row.replies) << DescribeSplit(pieces);
    }
}

struct RecordRow {
    const char* name;
    const char* bytes;
    sr::Record::Form form;
    std::size_t length;
    const char* keys;
};

TEST(SrRecords, EveryForm) {
    const RecordRow rows[] = {
        {"table A entry 1", "81", sr::Record::OneByte, 1, "35 02 A8"},
        {"table A entry 0", "80 FF", sr::Record::OneByte, 1, "00 00 00"},
        {"table A entry 63", "BF", sr::Record::OneByte, 1, "00 40 00"},
        {"tables B and C", "C3 25", sr::Record::TwoBytes, 2, "09 C5 50"},
        {"tables B and C, top bit of c", "FE 9F", sr::Record::TwoBytes, 2, "35 20 00"},
        {"three bytes", "02 00 00", sr::Record::ThreeBytes, 3, "01 00 00"},
        {"three bytes, every bit", "7F FF FF", sr::Record::ThreeBytes, 3, "7F FF FF"},
        {"time marker", "00 00 01", sr::Record::ThreeBytes, 3, "40 00 00"},
        {"two-byte form cut off", "C3", sr::Record::Incomplete, 0, "00 00 00"},
        {"three-byte form cut off", "02 00", sr::Record::Incomplete, 0, "00 00 00"},
        {"nothing", "", sr::Record::Incomplete, 0, "00 00 00"},
    };
    for (const RecordRow& row : rows) {
        SCOPED_TRACE(row.name);
        const sr::Record record = sr::TakeRecord(Hex(row.bytes));
        EXPECT_EQ(record.form, row.form);
        EXPECT_EQ(record.length, row.length);
        EXPECT_EQ(ToHex(std::string(record.keys.begin(), record.keys.end())), row.keys);
    }
    std::uint8_t hours = 0, minutes = 0;
    sr::TimeRecordHoursMinutes(sr::TakeRecord(Hex("00 05 DC")).timeValue, hours, minutes);
    EXPECT_EQ(hours, 1);
    EXPECT_EQ(minutes, 0);
    sr::TimeRecordHoursMinutes(24 * 60 + 61, hours, minutes);  // past a day: hours wrap
    EXPECT_EQ(hours, 1);
    EXPECT_EQ(minutes, 1);
}

// The driver's decoding of the records of one reply, without a port.
class SrDecode : public ::testing::Test {};

struct DecodeRow {
    const char* name;
    const char* records;
    int n;
    std::vector<std::string> strokes;
    int strokeIndexAfter;  // from 10
    std::size_t bytesLeft;
};

TEST_F(SrDecode, RecordsOfAReply) {
    const DecodeRow rows[] = {
        {"strokes of each form", "81 C3 25 02 00 00", 5, {"35 02 A8 00 00 00", "09 C5 50 00 00 00", "01 00 00 00 00 00"}, 13, 0},
        {"at most n records", "81 81 81", 2, {"35 02 A8 00 00 00", "35 02 A8 00 00 00"}, 12, 1},
        {"a time marker and its record queue nothing", "00 00 01 00 05 DC 81", 3, {"35 02 A8 00 00 00"}, 11, 0},
        {"a time record of another form is dropped", "00 00 01 81 02 00 00", 3, {"01 00 00 00 00 00"}, 11, 0},
        {"a three-byte record cut off", "81 02 00", 5, {"35 02 A8 00 00 00"}, 11, 2},
        {"a two-byte record cut off", "C3", 5, {}, 10, 1},
    };
    for (const DecodeRow& row : rows) {
        SCOPED_TRACE(row.name);
        fakes::FakeOwnerWindow rowOwner;
        std::unique_ptr<CWriterSR> writer(NewWriter<CWriterSR>(rowOwner.Handle()));
        writer->mode = kModeNotesFolder;
        writer->strokeIndex = 10;
        writer->receiveBuffer = Hex(row.records);
        writer->DecodeRecord(row.n);
        rowOwner.HandleMessages(*writer);
        EXPECT_EQ(rowOwner.StrokeKeys(), row.strokes);
        EXPECT_EQ(writer->strokeIndex, row.strokeIndexAfter);
        EXPECT_EQ(writer->receiveBuffer.size(), row.bytesLeft);
    }
}

TEST_F(SrDecode, TheTimeRecordDatesTheStrokesAfterIt) {
    fakes::FakeOwnerWindow owner;
    std::unique_ptr<CWriterSR> writer(NewWriter<CWriterSR>(owner.Handle()));
    writer->mode = kModeNotesFolder;
    writer->receiveBuffer = Hex("00 00 01 00 05 DC 81 00 00 01 00 05 DD 81");
    writer->DecodeRecord(6);
    owner.HandleMessages(*writer);
    ASSERT_EQ(owner.Strokes().size(), 2u);
    EXPECT_EQ(owner.Strokes()[0].timeCode, (TimeCode{1, 0, 0, 0}));
    EXPECT_EQ(owner.Strokes()[0].elapsedMs, 0);
    EXPECT_EQ(owner.Strokes()[1].timeCode, (TimeCode{1, 1, 0, 0}));
    EXPECT_EQ(owner.Strokes()[1].elapsedMs, 60000);
}

}  // namespace
