// The AccuWriter line format: what each line of bytes queues.
#include <gtest/gtest.h>

#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "tests/writers/StrokeBytes.h"
#include "writers/AcProtocol.h"

namespace {

using namespace strokebytes;

// Feeds the bytes as they would arrive; a line still open at the end ends by the pause.
std::vector<Stroke> Lines(const std::string& bytes, std::uint8_t layout = 0) {
    AcLineReader reader;
    std::vector<Stroke> strokes;
    auto end = [&] {
        if (std::optional<Stroke> stroke = reader.EndLine(layout)) strokes.push_back(*stroke);
    };
    bool open = false;
    for (char ch : bytes) {
        open = true;
        if (reader.Add(std::uint8_t(ch))) {
            end();
            open = false;
        }
    }
    if (open) end();
    return strokes;
}

struct LineCase {
    const char* name;
    std::string bytes;
    std::vector<Stroke> expected;
    friend void PrintTo(const LineCase& c, std::ostream* os) { *os << c.name; }
};

class AcLineTable : public testing::TestWithParam<LineCase> {};

TEST_P(AcLineTable, QueuesTheLineStrokes) {
    EXPECT_EQ(Lines(GetParam().bytes), GetParam().expected);
}

const std::string kLongNoise(AcLineReader::kMaxLine + 1, 'S');

INSTANTIATE_TEST_SUITE_P(
    Lines, AcLineTable,
    testing::Values(
        LineCase{"Plain", "STKPW\n", {kSTKPW}},
        LineCase{"LeadingSlash", "/STKPW\n", {kSTKPW}},
        LineCase{"CrLf", "STKPW\r\n", {kSTKPW}},
        LineCase{"RightSideKey", "-T\n", {kRightT}},
        LineCase{"TwoLines", "STKPW\nKWR\n", {kSTKPW, kKWR}},
        LineCase{"EndedByPause", "STKPW", {kSTKPW}},
        LineCase{"SecondStrokeTextLost", "STPH KWR\n", {kSTPH}},
        LineCase{"LeadingBlank", " STPH\n", {kSTPH}},
        // Damaged: each a good line spoilt one way; none queues a wrong stroke.
        LineCase{"EmptyLine", "\n", {}},
        LineCase{"LoneSlash", "/\n", {}},
        LineCase{"OnlyCr", "\r\n", {}},
        LineCase{"NoKeyLetters", "xyz\n", {}},
        LineCase{"ControlByteInside", "ST\x01KP\x1bW\n", {kSTKPW}},
        LineCase{"NulInside", std::string("STK\0PW\n", 7), {kSTKPW}},
        LineCase{"OverlongLineDropped", kLongNoise + "\nKWR\n", {kKWR}},
        LineCase{"OverlongUnendedLineDropped", kLongNoise, {}}),
    [](const testing::TestParamInfo<LineCase>& info) { return std::string(info.param.name); });

TEST(AcLineReader, NumberBarSetsItsFlag) {
    Stroke expected = kSTK;
    expected[0] |= kNumberBarFlag;
    EXPECT_EQ(Lines("#STK\n"), std::vector<Stroke>{expected});
}

TEST(AcLineReader, KeysBeyondTheThirdByteArriveInWideLayouts) {
    // Ext. English (36 keys): "Z" is the last key, in stroke byte 4.
    const Stroke z = Keys({35});
    ASSERT_NE(z[4], 0);
    EXPECT_EQ(Lines("Z\n", 9), std::vector<Stroke>{z});
}

TEST(AcLineReader, ClearForgetsACutLine) {
    AcLineReader reader;
    for (char ch : std::string("STK")) reader.Add(std::uint8_t(ch));
    reader.Clear();
    for (char ch : std::string("KWR")) reader.Add(std::uint8_t(ch));
    EXPECT_EQ(reader.EndLine(0), kKWR);
}

TEST(AcLineReader, LongLineKeepsItsBufferBounded) {
    AcLineReader reader;
    for (int i = 0; i < 100000; ++i) reader.Add('S');
    EXPECT_LE(reader.Text().size(), AcLineReader::kMaxLine);
    EXPECT_EQ(reader.EndLine(0), std::nullopt);
}

}  // namespace
