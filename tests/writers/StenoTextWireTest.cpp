// What the simulators send for a stroke comes back as the same stroke through the drivers'
// framers, in every 22-key layout and with every counter byte of the Foniks packet.
#include <gtest/gtest.h>

#include <optional>
#include <random>
#include <string>

#include "tests/sim/StenoTextWire.h"
#include "writers/AcProtocol.h"
#include "writers/FnProtocol.h"
#include "writers/StenoTextStroke.h"

namespace {

// A random stroke of the first 22 key positions, with or without the number bar.
Stroke RandomStroke(std::mt19937& rng) {
    Stroke keys{};
    while (keys[0] == 0 && keys[1] == 0 && keys[2] == 0) {
        const std::uint32_t bits = rng() & 0x3FFFFF;
        keys[0] = std::uint8_t((bits >> 16) & 0x3F);
        keys[1] = std::uint8_t(bits >> 8);
        keys[2] = std::uint8_t(bits);
    }
    if (rng() % 4 == 0) keys[0] |= kNumberBarFlag;
    return keys;
}

std::optional<Stroke> ThroughAc(std::uint8_t layout, const std::string& line) {
    AcLineReader reader;
    for (char ch : line)
        if (reader.Add(std::uint8_t(ch))) return reader.EndLine(layout);
    return std::nullopt;
}

TEST(StenoTextWire, EveryStrokeComesBackInEvery22KeyLayout) {
    std::mt19937 rng(7);
    int tested = 0;
    for (std::uint8_t layout = 0; layout < kLayoutCount; ++layout) {
        if (LayoutKeyCount(layout) != 22) continue;
        for (int n = 0; n < 300; ++n) {
            const Stroke keys = RandomStroke(rng);
            const std::string text = sim::StrokeText(layout, keys);
            // Some layouts print two keys with the same letter where the parser cannot tell
            // them apart; only strokes whose text reads back are wire-testable at all.
            const Outline parsed = ParseOutline(layout, text);
            if (parsed.size() != 6 ||
                !std::equal(keys.begin(), keys.begin() + 3, parsed.begin(),
                            [](std::uint8_t a, char b) { return a == std::uint8_t(b); }))
                continue;
            ++tested;
            SCOPED_TRACE("layout " + std::to_string(layout) + " text " + text);
            EXPECT_EQ(ThroughAc(layout, sim::AccuWriterLine(layout, keys, n % 2 == 0)), keys);

            const std::string packet = sim::FoniksPacket(layout, keys, std::uint8_t(n));
            ASSERT_EQ(FindFnFrame(packet), FrameStep::Take(packet.size()));
            EXPECT_EQ(StrokeFromText(layout, FnPacketText(packet)), keys);
        }
    }
    EXPECT_GT(tested, 1000) << "too few strokes read back to test the wire";
}

}  // namespace
