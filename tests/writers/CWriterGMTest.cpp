// The Gemini driver against a simulated Gemini writer on a pseudo-terminal.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/AppSettings.h"
#include "tests/sim/GeminiSimulator.h"
#include "tests/writers/DriverSession.h"
#include "writers/CWriterGM.h"

namespace {

using session::kBoundMs;
using session::kNothingMs;
using Keys = std::vector<std::string>;

class GeminiSession : public session::Session<CWriterGM, sim::GeminiSimulator> {
protected:
    void SetUp() override {
        GetSettings().keyboardLayout = 0;  // English
        Session::SetUp();
    }
};

TEST_F(GeminiSession, StrokesArriveInOrder) {
    sim.Stroke("S1- T- -E");
    sim.Stroke("#1 K- A-");
    sim.Stroke("*1 -Z");
    ASSERT_TRUE(owner.WaitForStrokes(*writer, 3, kBoundMs));
    EXPECT_EQ(owner.StrokeKeys(),
              (Keys{"30 08 00 00 00 00", "48 40 00 00 00 00", "00 10 01 00 00 00"}));
    // The last message may still be on its way when its stroke was taken with an earlier one.
    EXPECT_TRUE(owner.WaitForStrokeMessages(3, kBoundMs));
    EXPECT_EQ(owner.StrokeMessageCount(), 3u);
}

TEST_F(GeminiSession, TheLayoutOfTheSettingsAtEachStroke) {
    sim.Stroke("S1-");
    ASSERT_TRUE(owner.WaitForStrokes(*writer, 1, kBoundMs));
    GetSettings().keyboardLayout = 9;
    sim.Stroke("S1-");
    ASSERT_TRUE(owner.WaitForStrokes(*writer, 2, kBoundMs));
    EXPECT_EQ(owner.StrokeKeys(), (Keys{"20 00 00 00 00 00", "04 00 00 00 00 00"}));
}

TEST_F(GeminiSession, DamageCostsOnlyTheDamagedStroke) {
    sim.Send(std::string("\x01\x7f\x00\x33", 4));  // garbage before the first packet
    sim.Stroke("S1-");
    sim.CutStroke("T-", 4);  // the next packet's start byte ends it
    sim.Stroke("K-");
    sim.StrokeLosingByte("P-", 3);
    sim.Stroke("W-");
    sim.Send(std::string("\x80\x01\xff", 3));  // a start byte inside a packet
    sim.Stroke("H-");
    ASSERT_TRUE(owner.WaitForStrokes(*writer, 4, kBoundMs));
    EXPECT_FALSE(owner.WaitForStrokes(*writer, 5, kNothingMs));
    EXPECT_EQ(owner.StrokeKeys(), (Keys{"20 00 00 00 00 00", "08 00 00 00 00 00",
                                        "02 00 00 00 00 00", "01 00 00 00 00 00"}));
}

TEST_F(GeminiSession, APacketCutShortByAPauseIsDropped) {
    sim.CutStroke("S1-", 3);
    std::this_thread::sleep_for(std::chrono::milliseconds(300));  // far past the byte gap
    // The rest of some other packet: joined to the first part it would make a wrong stroke.
    sim.Send(simwire::GeminiPacket("-Z -D -S").substr(3));
    sim.Stroke("K-");
    ASSERT_TRUE(owner.WaitForStrokes(*writer, 1, kBoundMs));
    EXPECT_FALSE(owner.WaitForStrokes(*writer, 2, kNothingMs));
    EXPECT_EQ(owner.StrokeKeys(), (Keys{"08 00 00 00 00 00"}));
}

TEST_F(GeminiSession, WriterVanishingMidStroke) {
    sim.Stroke("S1-");
    ASSERT_TRUE(owner.WaitForStrokes(*writer, 1, kBoundMs));
    sim.CutStroke("T- -Z", 4);
    sim.Vanish();
    EXPECT_FALSE(owner.WaitForStrokes(*writer, 2, kNothingMs));
    EXPECT_LT(session::CpuMsWhileIdle(kNothingMs), kNothingMs / 2.0);  // waits, never spins
    EXPECT_TRUE(session::ReturnsSoon([&] { writer->Stop(); }));
    EXPECT_EQ(owner.StrokeKeys(), (Keys{"20 00 00 00 00 00"}));
}

TEST_F(GeminiSession, SilenceAndStop) {
    EXPECT_FALSE(owner.WaitForStrokes(*writer, 1, kNothingMs));
    EXPECT_TRUE(session::ReturnsSoon([&] { writer->Stop(); }));
}

}  // namespace
