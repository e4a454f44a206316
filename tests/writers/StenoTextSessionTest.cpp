// The AccuWriter and Foniks drivers against their simulated writers on a pseudo-terminal:
// strokes in order, noise survived without a wrong stroke, cut strokes, pauses, modes, and the
// writer going away. Both drivers share the typed tests; each has a few of its own below.
#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "tests/fakes/FakeOwnerWindow.h"
#include "tests/fakes/TestWriters.h"
#include "tests/writers/DriverSession.h"
#include "tests/sim/StenoTextWriterSim.h"
#include "tests/writers/StrokeBytes.h"
#include "writers/CWriterAC.h"
#include "writers/CWriterFN.h"

namespace {

using namespace strokebytes;
using fakes::FakeOwnerWindow;
using session::ReturnsSoon;
using Wire = sim::StenoTextWriterSim::Wire;

constexpr int kBound = session::kBoundMs;
constexpr int kQuiet = session::kNothingMs;  // longer than the drivers' pauses

struct AccuWriter {
    using Driver = CWriterAC;
    static constexpr Wire kWire = Wire::AccuWriter;
};
struct Foniks {
    using Driver = CWriterFN;
    static constexpr Wire kWire = Wire::Foniks;
};

std::string KeysOf(const Stroke& keys) {
    StrokeRecord record;
    record.keys = keys;
    return fakes::KeysText(record);
}

std::vector<std::string> KeysOfAll(const std::vector<Stroke>& strokes) {
    std::vector<std::string> texts;
    for (const Stroke& keys : strokes) texts.push_back(KeysOf(keys));
    return texts;
}

// A spread of strokes: left and right banks, vowels, the asterisk, the number bar.
std::vector<Stroke> SomeStrokes(std::size_t count) {
    Stroke numbers = kSTK;
    numbers[0] |= kNumberBarFlag;
    const std::vector<Stroke> pool = {kSTKPW, kKWR, kSTPH, kRightT, numbers, Keys({9}),
                                      Keys({7, 8, 10, 11}), Keys({12, 13, 14, 15, 16, 17, 18, 19, 20, 21})};
    std::vector<Stroke> strokes;
    for (std::size_t n = 0; n < count; ++n) strokes.push_back(pool[n % pool.size()]);
    return strokes;
}

template <class Kind>
class StenoTextSession : public ::testing::Test {
protected:
    using Driver = typename Kind::Driver;

    void SetUp() override {
        ASSERT_TRUE(writerSide.IsOpen()) << writerSide.Error();
        fakes::UseLineSettings(1);
    }
    std::unique_ptr<Driver> Start(int mode = kModeRealtime, int layout = 0) {
        std::unique_ptr<Driver> writer(NewWriter<Driver>(owner.Handle()));
        writer->mode = mode;
        writer->keyboardLayout = layout;
        writer->Start(1);
        return writer;
    }

    sim::StenoTextWriterSim writerSide{Kind::kWire};
    FakeOwnerWindow owner;
};

using Kinds = ::testing::Types<AccuWriter, Foniks>;
class KindNames {
public:
    template <class T>
    static std::string GetName(int) {
        return std::is_same_v<T, AccuWriter> ? "AccuWriter" : "Foniks";
    }
};
TYPED_TEST_SUITE(StenoTextSession, Kinds, KindNames);

TYPED_TEST(StenoTextSession, StrokesArriveInOrder) {
    auto writer = this->Start();
    // Enough strokes for the Foniks counter byte to pass both braces.
    const std::vector<Stroke> strokes = SomeStrokes(130);
    std::string burst;
    for (const Stroke& keys : strokes) burst += this->writerSide.Encode(keys);
    ASSERT_TRUE(this->writerSide.Send(burst));
    ASSERT_TRUE(this->owner.WaitForStrokes(*writer, strokes.size(), kBound));
    EXPECT_EQ(this->owner.StrokeKeys(), KeysOfAll(strokes));
    EXPECT_EQ(this->owner.StrokeMessageCount(), strokes.size());
    for (const TrackStroke& stroke : this->owner.Strokes()) EXPECT_EQ(stroke.layout, 0);
}

TYPED_TEST(StenoTextSession, NoiseQueuesNoStroke) {
    auto writer = this->Start();
    ASSERT_TRUE(this->writerSide.SendNoise());
    ASSERT_TRUE(this->writerSide.Write(kSTKPW));
    ASSERT_TRUE(this->writerSide.SendNoise());
    ASSERT_TRUE(this->writerSide.Write(kKWR));
    ASSERT_TRUE(this->owner.WaitForStrokes(*writer, 2, kBound));
    EXPECT_FALSE(this->owner.WaitForStrokes(*writer, 3, kQuiet));
    EXPECT_EQ(this->owner.StrokeKeys(), KeysOfAll({kSTKPW, kKWR}));
}

TYPED_TEST(StenoTextSession, WriterVanishingMidStrokeDeliversNothingMore) {
    auto writer = this->Start();
    ASSERT_TRUE(this->writerSide.Write(kSTKPW));
    ASSERT_TRUE(this->owner.WaitForStrokes(*writer, 1, kBound));
    ASSERT_TRUE(this->writerSide.WriteCut(kKWR));
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    this->writerSide.Vanish();
    EXPECT_FALSE(this->owner.WaitForStrokes(*writer, 2, kQuiet));
    EXPECT_LT(session::CpuMsWhileIdle(kQuiet), kQuiet / 2.0);  // waits, never spins
    EXPECT_EQ(this->owner.StrokeKeys(), KeysOfAll({kSTKPW}));
    EXPECT_TRUE(ReturnsSoon([&] { writer->Stop(); }));
}

TYPED_TEST(StenoTextSession, SilentWriterIsWaitedForAndStopReturns) {
    auto writer = this->Start();
    this->writerSide.SetSilent(true);
    ASSERT_TRUE(this->writerSide.Write(kSTKPW));
    EXPECT_FALSE(this->owner.WaitForStrokes(*writer, 1, kQuiet));
    this->writerSide.SetSilent(false);
    ASSERT_TRUE(this->writerSide.Write(kKWR));
    ASSERT_TRUE(this->owner.WaitForStrokes(*writer, 1, kBound));
    EXPECT_EQ(this->owner.StrokeKeys(), KeysOfAll({kKWR}));
    EXPECT_TRUE(ReturnsSoon([&] { writer.reset(); }));
}

TYPED_TEST(StenoTextSession, EraseModeReadsLikeRealtime) {
    auto writer = this->Start(kModeErase);
    ASSERT_TRUE(this->writerSide.Write(kSTPH));
    ASSERT_TRUE(this->owner.WaitForStrokes(*writer, 1, kBound));
    EXPECT_EQ(this->owner.StrokeKeys(), KeysOfAll({kSTPH}));
    EXPECT_TRUE(ReturnsSoon([&] { writer->Stop(); }));
    EXPECT_NE(writer->threadStopped, 0);
}

TYPED_TEST(StenoTextSession, StoredNotesModeDoesNotReadTheLine) {
    auto writer = this->Start(kModeNotesCable);
    ASSERT_TRUE(this->writerSide.Write(kSTPH));
    EXPECT_FALSE(this->owner.WaitForStrokes(*writer, 1, kQuiet));
    EXPECT_TRUE(ReturnsSoon([&] { writer->Stop(); }));
}

TYPED_TEST(StenoTextSession, WideLayoutKeepsItsLastKeys) {
    // Ext. English (36 keys): Z lives in stroke byte 4.
    sim::StenoTextWriterSim wide(TypeParam::kWire, 9, 2);
    ASSERT_TRUE(wide.IsOpen()) << wide.Error();
    fakes::UseLineSettings(2);
    auto writer = this->Start(kModeRealtime, 9);
    ASSERT_TRUE(wide.Write(Keys({35})));
    ASSERT_TRUE(this->owner.WaitForStrokes(*writer, 1, kBound));
    EXPECT_EQ(this->owner.StrokeKeys(), KeysOfAll({Keys({35})}));
    EXPECT_EQ(this->owner.Strokes()[0].layout, 9);
}

// ---- the AccuWriter's own --------------------------------------------------------------------

using AccuWriterSession = StenoTextSession<AccuWriter>;

TEST_F(AccuWriterSession, LineWithoutEndIsEndedByThePause) {
    auto writer = Start();
    ASSERT_TRUE(writerSide.Send("STKPW"));
    ASSERT_TRUE(owner.WaitForStrokes(*writer, 1, kBound));
    EXPECT_EQ(owner.StrokeKeys(), KeysOfAll({kSTKPW}));
}

TEST_F(AccuWriterSession, GapLongerThanThePauseSplitsTheLine) {
    auto writer = Start();
    ASSERT_TRUE(writerSide.Send("ST"));
    std::this_thread::sleep_for(std::chrono::milliseconds(4 * CWriterAC::kLinePauseMs));
    ASSERT_TRUE(writerSide.Send("KPW\r\n"));
    ASSERT_TRUE(owner.WaitForStrokes(*writer, 2, kBound));
    EXPECT_EQ(owner.StrokeKeys(), KeysOfAll({Keys({0, 1}), Keys({2, 3, 4})}));
}

// ---- the Foniks's own ------------------------------------------------------------------------

using FoniksSession = StenoTextSession<Foniks>;

TEST_F(FoniksSession, PacketSplitAcrossReadsGivesOneStroke) {
    auto writer = Start();
    // Apart enough to come in two reads, well inside the silence a packet may have.
    ASSERT_TRUE(writerSide.SendWithPause("abc{XSTKPW}", 8, kFnPacketGapMs / 4));
    ASSERT_TRUE(owner.WaitForStrokes(*writer, 1, kBound));
    EXPECT_FALSE(owner.WaitForStrokes(*writer, 2, kQuiet));
    EXPECT_EQ(owner.StrokeKeys(), KeysOfAll({kSTKPW}));
}

TEST_F(FoniksSession, APacketCutAfterItsBraceIsDroppedAndTheNextStartsAfresh) {
    auto writer = Start();
    // A pause no writer makes inside a packet: the "{" lost the rest of its packet, and the
    // next "{" begins a packet of its own ("S" is its passed-over byte).
    ASSERT_TRUE(writerSide.SendWithPause("{{SKW}", 1, 300));
    ASSERT_TRUE(owner.WaitForStrokes(*writer, 1, kBound));
    EXPECT_FALSE(owner.WaitForStrokes(*writer, 2, kQuiet));
    EXPECT_EQ(owner.StrokeKeys(), KeysOfAll({Keys({2, 4})}));
}

TEST_F(FoniksSession, TwoPacketsInOneReadBothArriveWithoutAFurtherByte) {
    auto writer = Start();
    ASSERT_TRUE(writerSide.Send("{XSTKPW}{XKWR}"));
    ASSERT_TRUE(owner.WaitForStrokes(*writer, 2, kBound));
    EXPECT_EQ(owner.StrokeKeys(), KeysOfAll({kSTKPW, kKWR}));
}

}  // namespace
