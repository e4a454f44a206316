#include "app/ShadowDrop.h"

#include <gtest/gtest.h>

#include <random>
#include <set>

#include "core/Stroke.h"
#include "tests/support/HexBytes.h"

namespace {

Outline English(const std::string& text) { return ParseOutline(0, text); }

std::vector<std::string> Texts(const std::vector<Outline>& outlines) {
    std::vector<std::string> texts;
    for (const Outline& o : outlines) texts.push_back(FormatOutline(0, o, 1));
    return texts;
}

// Every combination of alternatives, the last stroke turning fastest; kept when one or two
// strokes differ from the written outline.
std::vector<Outline> Odometer(const Outline& outline, const Outline& shadow, const Outline& drop) {
    const std::size_t n = outline.size() / kStrokeSize;
    std::vector<std::vector<std::string>> alts;
    for (std::size_t s = 0; s < n; ++s)
        alts.push_back(StrokeAlternatives(outline.substr(s * kStrokeSize, kStrokeSize), shadow, drop));
    std::vector<Outline> result;
    if (n == 0) return result;
    std::vector<std::size_t> counter(n, 0);
    for (;;) {
        Outline built;
        int changed = 0;
        for (std::size_t s = 0; s < n; ++s) {
            built += alts[s][counter[s]];
            changed += counter[s] != 0;
        }
        if (changed <= 2 && built != outline) result.push_back(built);
        std::size_t s = n - 1;
        ++counter[s];
        while (counter[s] == alts[s].size()) {
            counter[s] = 0;
            if (s == 0) return result;
            --s;
            ++counter[s];
        }
    }
}

}  // namespace

TEST(TestBit, RangeAndBitOrder) {
    const std::string bits = Hex("80 01");
    struct Case { int i; bool want; } cases[] = {
        {-1, false}, {0, true}, {1, false}, {7, false}, {15, true}, {16, false}, {1000, false},
    };
    for (const auto& c : cases) EXPECT_EQ(TestBit(bits, c.i), c.want) << c.i;
    EXPECT_FALSE(TestBit("", 0));
}

TEST(ToggleBit, FlipsOneBitBothWays) {
    std::string bits = Hex("00 00 00 00 00 00");
    ToggleBit(bits, 2);
    ToggleBit(bits, 47);
    EXPECT_EQ(ToHex(bits), "20 00 00 00 00 01");
    ToggleBit(bits, 2);
    EXPECT_EQ(ToHex(bits), "00 00 00 00 00 01");
}

// English layout: S is bit 2, T bit 3, K bit 4, H bit 7.
TEST(GenerateVariants, WorkedExampleInListOrder) {
    const auto variants = GenerateVariants(English("TK/TK"), English("SH"), English("T"));
    EXPECT_EQ(Texts(variants), (std::vector<std::string>{"TK-/STK-", "TK-/K-", "STK-/TK-", "STK-/STK-",
                                                        "STK-/K-", "K-/TK-", "K-/STK-", "K-/K-"}));
    // The same compared as bytes: each stroke is TK with S added or T dropped.
    const std::string tk = Hex("18 00 00 00 00 00"), stk = Hex("38 00 00 00 00 00"),
                      k = Hex("08 00 00 00 00 00");
    const std::vector<Outline> want{tk + stk, tk + k,   stk + tk, stk + stk,
                                    stk + k,  k + tk,   k + stk,  k + k};
    EXPECT_EQ(variants, want);
}

TEST(StrokeAlternatives, EdgeCases) {
    struct Case {
        const char* name;
        std::string stroke, shadow, drop;
        std::vector<std::string> want;  // the alternatives after the stroke itself
    } cases[] = {
        {"empty masks", Hex("18 00 00 00 00 00"), "", "", {}},
        {"all-zero masks", Hex("18 00 00 00 00 00"), Hex("00 00 00 00 00 00"), Hex("00 00 00 00 00 00"), {}},
        {"drop key alone is kept", Hex("00 80 00 00 00 00"), "", Hex("00 80 00 00 00 00"), {}},
        {"shadow far from any key", Hex("20 00 00 00 00 00"), Hex("01 00 00 00 00 00"), "", {}},
        {"shadow two keys away", Hex("20 00 00 00 00 00"), Hex("08 00 00 00 00 00"), "",
         {Hex("28 00 00 00 00 00")}},
        {"number bar never added", Hex("20 00 00 00 00 00"), Hex("40 00 00 00 00 00"), "", {}},
        {"number bar never dropped", Hex("60 00 00 00 00 00"), "", Hex("40 00 00 00 00 00"), {}},
        {"number bar is a neighbour", Hex("40 00 00 00 00 00"), Hex("B0 00 00 00 00 00"), "",
         {Hex("C0 00 00 00 00 00"), Hex("60 00 00 00 00 00"), Hex("50 00 00 00 00 00")}},
        {"last bit has left neighbours only", Hex("00 00 00 00 00 02"), Hex("00 00 00 00 00 01"), "",
         {Hex("00 00 00 00 00 03")}},
        {"across a byte boundary", Hex("01 00 00 00 00 00"), Hex("00 C0 00 00 00 00"), "",
         {Hex("01 80 00 00 00 00"), Hex("01 40 00 00 00 00")}},
        {"increasing bit order, drops and shadows mixed", Hex("18 00 00 00 00 00"),
         Hex("24 00 00 00 00 00"), Hex("18 00 00 00 00 00"),
         {Hex("38 00 00 00 00 00"), Hex("08 00 00 00 00 00"), Hex("10 00 00 00 00 00"),
          Hex("1C 00 00 00 00 00")}},
        {"short mask counts as clear beyond its end", Hex("00 00 00 80 00 00"), Hex("00 00 00"),
         Hex("FF"), {}},
    };
    for (const auto& c : cases) {
        auto alts = StrokeAlternatives(c.stroke, c.shadow, c.drop);
        ASSERT_FALSE(alts.empty()) << c.name;
        EXPECT_EQ(alts.front(), c.stroke) << c.name;
        alts.erase(alts.begin());
        EXPECT_EQ(alts, c.want) << c.name;
    }
}

TEST(GenerateVariants, MatchesTheOdometerOnSmallOutlines) {
    std::mt19937 random(7);
    auto randomStroke = [&](unsigned density) {
        std::string s(kStrokeSize, '\0');
        for (int i = 0; i < 8 * kStrokeSize; ++i)
            if (random() % 100 < density) ToggleBit(s, i);
        return s;
    };
    for (int round = 0; round < 60; ++round) {
        const std::size_t n = std::size_t(round % 5);  // 0 to 4 strokes
        Outline outline;
        for (std::size_t s = 0; s < n; ++s) outline += randomStroke(15);
        const Outline shadow = randomStroke(30), drop = randomStroke(30);
        const auto got = GenerateVariants(outline, shadow, drop);
        EXPECT_EQ(got, Odometer(outline, shadow, drop)) << "round " << round;
        EXPECT_EQ(std::set<Outline>(got.begin(), got.end()).size(), got.size()) << "round " << round;
    }
}

TEST(GenerateVariants, ThreeStrokesNeverChangeAllThree) {
    const Outline written = English("TK/TK/TK");
    const auto variants = GenerateVariants(written, English("S"), English("T"));
    // Two alternatives per stroke: 3 x 2 single changes and 3 x 2 x 2 double changes.
    EXPECT_EQ(variants.size(), 6u + 12u);
    for (const Outline& v : variants) {
        int changed = 0;
        for (std::size_t s = 0; s < 3; ++s)
            changed += v.compare(s * kStrokeSize, kStrokeSize, written, s * kStrokeSize, kStrokeSize) != 0;
        EXPECT_TRUE(changed == 1 || changed == 2) << FormatOutline(0, v, 1);
    }
}

TEST(GenerateVariants, OneStrokeInBitOrderAndNothingForNoStrokes) {
    EXPECT_EQ(Texts(GenerateVariants(English("TK"), English("SH"), English("T"))),
              (std::vector<std::string>{"STK-", "K-"}));
    EXPECT_TRUE(GenerateVariants("", English("S"), English("T")).empty());
    // A cut-off tail of an outline is no stroke.
    EXPECT_EQ(GenerateVariants(English("TK") + "\x01\x02", English("S"), "").size(), 1u);
}

// Twelve strokes of every key: the full odometer would be 47^12 outlines.
TEST(GenerateVariants, LongOutlineGivesOnlyItsResults) {
    Outline outline;
    for (int s = 0; s < 12; ++s) outline += English("STKPWHRAO*EUFRPBLGTSDZ");
    const Outline full(kStrokeSize, '\xFF');
    const auto variants = GenerateVariants(outline, full, full);
    const std::size_t a = StrokeAlternatives(outline.substr(0, kStrokeSize), full, full).size() - 1;
    EXPECT_EQ(variants.size(), 12 * a + 12 * 11 / 2 * a * a);
}

TEST(FirstStroke, CaptureAndReset) {
    const Stroke keys{0x20, 0x01, 0, 0, 0, 0};
    struct Case { const char* name; std::string setting, afterSet, afterClear; } cases[] = {
        {"empty grows", "", "20 01 00 00 00 00", "00 00 00 00 00 00"},
        {"one stroke replaced", Hex("08 00 00 00 00 00"), "20 01 00 00 00 00", "00 00 00 00 00 00"},
        {"further strokes stay", Hex("08 00 00 00 00 00 04 00 00 00 00 00"),
         "20 01 00 00 00 00 04 00 00 00 00 00", "00 00 00 00 00 00 04 00 00 00 00 00"},
        {"short setting grows", Hex("08 00"), "20 01 00 00 00 00", "00 00 00 00 00 00"},
    };
    for (const auto& c : cases) {
        Outline s = c.setting;
        SetFirstStroke(s, keys);
        EXPECT_EQ(ToHex(s), c.afterSet) << c.name;
        ClearFirstStroke(s);
        EXPECT_EQ(ToHex(s), c.afterClear) << c.name;
    }
    Outline empty;
    ClearFirstStroke(empty);
    EXPECT_TRUE(empty.empty());
}
