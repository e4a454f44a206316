#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/support/HexBytes.h"
#include "writers/EzProtocol.h"
#include "writers/FlProtocol.h"
#include "writers/FramedReader.h"

namespace {

constexpr int kIdle = 100;
constexpr int kFrameTime = 100;

struct Arrival {
    std::int64_t atMs;
    const char* bytes;  // hex; empty: a wait that ended without input
};

struct Row {
    const char* name;
    FramedReader::Framer framer;
    std::vector<Arrival> arrivals;
    std::vector<std::string> frames;
};

std::vector<std::string> FramesOf(const Row& row) {
    FramedReader reader(row.framer, kIdle, kFrameTime);
    std::vector<std::string> frames;
    for (const Arrival& a : row.arrivals) {
        if (*a.bytes == 0)
            reader.NoInput(a.atMs);
        else
            reader.Add(Hex(a.bytes), a.atMs, [&](std::string_view f) { frames.push_back(ToHex(f)); });
    }
    return frames;
}

TEST(FramedReader, FramesAcrossArrivals) {
    const Row rows[] = {
        {"whole packet at once", ez::FrameRealtime, {{0, "7E 01 02 03"}}, {"7E 01 02 03"}},
        {"packet in pieces within its time", ez::FrameRealtime,
         {{0, "7E"}, {30, "01"}, {60, "02 03"}}, {"7E 01 02 03"}},
        {"writer stops mid-packet, the rest never comes", ez::FrameRealtime,
         {{0, "7E 01"}, {150, ""}, {400, "7E 04 05 06"}}, {"7E 04 05 06"}},
        {"late bytes after a dropped packet are skipped", ez::FrameRealtime,
         {{0, "7E 01"}, {150, "02 03 7E 04 05 06"}}, {"7E 04 05 06"}},
        {"time counts from the packet's own first byte", ez::FrameRealtime,
         {{0, "7E 01 02 03 7E"}, {90, "04"}, {180, "05 06"}}, {"7E 01 02 03"}},
        {"a new packet after a whole one gets its own time", ez::FrameRealtime,
         {{0, "7E 01 02 03"}, {95, "7E 04"}, {150, "05 06"}}, {"7E 01 02 03", "7E 04 05 06"}},
        {"Flash group in pieces", fl::FrameGroup, {{0, "12 34"}, {20, "56"}, {40, "FF"}}, {"12 34 56 FF"}},
        {"Flash group whose marker never comes", fl::FrameGroup,
         {{0, "12 34 56"}, {120, ""}, {300, "01 02 03 FF"}}, {"01 02 03 FF"}},
    };
    for (const Row& row : rows) EXPECT_EQ(FramesOf(row), row.frames) << row.name;
}

TEST(FramedReader, WaitsOnlyWhatIsLeftOfAFrame) {
    FramedReader reader(ez::FrameRealtime, kIdle, 40);
    EXPECT_EQ(reader.WaitMs(0), kIdle);
    reader.Add(Hex("7E 01"), 1000, [](std::string_view) {});
    EXPECT_EQ(reader.WaitMs(1010), 30);
    EXPECT_EQ(reader.WaitMs(1100), 0);
    reader.NoInput(1100);
    EXPECT_TRUE(reader.Pending().empty());
    EXPECT_EQ(reader.WaitMs(1100), kIdle);
}

}  // namespace
