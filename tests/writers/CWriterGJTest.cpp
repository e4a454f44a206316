// The Grandjean driver against a simulated Grandjean writer on a pseudo-terminal.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/sim/GrandjeanSimulator.h"
#include "tests/writers/DriverSession.h"
#include "writers/CWriterGJ.h"

namespace {

using session::kBoundMs;
using session::kNothingMs;
using Keys = std::vector<std::string>;

using GrandjeanSession = session::Session<CWriterGJ, sim::GrandjeanSimulator>;

TEST_F(GrandjeanSession, StrokesArriveInOrder) {
    sim.Stroke("ST");
    sim.Stroke("st");
    sim.Stroke("");  // a blank alone: an empty stroke
    sim.Stroke("AV");
    ASSERT_TRUE(owner.WaitForStrokes(*writer, 4, kBoundMs));
    EXPECT_EQ(owner.StrokeKeys(), (Keys{"00 00 0C 00 00 00", "00 00 0C 00 00 00",
                                        "00 00 00 00 00 00", "20 00 01 00 00 00"}));
    // The last message may still be on its way when its stroke was taken with an earlier one.
    EXPECT_TRUE(owner.WaitForStrokeMessages(4, kBoundMs));
    EXPECT_EQ(owner.StrokeMessageCount(), 4u);
}

TEST_F(GrandjeanSession, APauseEndsAStroke) {
    sim.Letters("ST");
    ASSERT_TRUE(owner.WaitForStrokes(*writer, 1, kBoundMs));
    sim.Stroke("A");
    ASSERT_TRUE(owner.WaitForStrokes(*writer, 2, kBoundMs));
    EXPECT_EQ(owner.StrokeKeys(), (Keys{"00 00 0C 00 00 00", "20 00 00 00 00 00"}));
}

TEST_F(GrandjeanSession, LineNoiseIsNoKeyAndNoStroke) {
    sim.Send(std::string("\x01\x9f\x00", 3));  // noise, then a pause: nothing
    EXPECT_FALSE(owner.WaitForStrokes(*writer, 1, kNothingMs));
    sim.Send(std::string("S\x81T\x0d ", 5));   // noise inside a stroke
    sim.Send(std::string("\xc1\x00", 2));
    sim.Stroke("A");
    ASSERT_TRUE(owner.WaitForStrokes(*writer, 2, kBoundMs));
    EXPECT_FALSE(owner.WaitForStrokes(*writer, 3, kNothingMs));
    EXPECT_EQ(owner.StrokeKeys(), (Keys{"00 00 0C 00 00 00", "20 00 00 00 00 00"}));
}

TEST_F(GrandjeanSession, WriterVanishingMidStroke) {
    sim.Stroke("ST");
    ASSERT_TRUE(owner.WaitForStrokes(*writer, 1, kBoundMs));
    sim.Letters("KA");
    sim.Vanish();
    EXPECT_FALSE(owner.WaitForStrokes(*writer, 2, kNothingMs));
    EXPECT_LT(session::CpuMsWhileIdle(kNothingMs), kNothingMs / 2.0);  // waits, never spins
    EXPECT_TRUE(session::ReturnsSoon([&] { writer->Stop(); }));
    EXPECT_EQ(owner.StrokeKeys(), (Keys{"00 00 0C 00 00 00"}));
}

}  // namespace
