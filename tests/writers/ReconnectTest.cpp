// A writer whose cable slips: the port vanishes mid-stroke, a new device appears behind the
// same COMn link, and the reader thread opens it again by itself. Every stroke written after
// the replug arrives, in order and once; the cut stroke never does; the owner is told that the
// writer went and came back. Also what the owner is told when a port cannot be opened.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/SerialPortNames.h"
#include "tests/fakes/FakeOwnerWindow.h"
#include "tests/fakes/TestWriters.h"
#include "tests/sim/GeminiSimulator.h"
#include "tests/sim/TxSimulator.h"
#include "tests/support/HexBytes.h"
#include "tests/writers/DriverSession.h"
#include "writers/CWriterGM.h"
#include "writers/CWriterTX.h"

namespace {

using session::kBoundMs;
using session::kNothingMs;
using Keys = std::vector<std::string>;

// One stream driver with its simulator: how to write a stroke, a stroke cut off, and what
// the stroke's key bytes come out as.
struct StreamCase {
    const char* name;
    std::function<std::unique_ptr<CWriter>(platform::WindowHandle)> make;
    std::function<std::unique_ptr<sim::WriterSimulator>()> simulator;
    // The bytes of stroke n (n >= 1), and the first bytes of one that the cable cuts off.
    std::function<std::string(int)> strokeBytes;
    std::string cutBytes;
    std::function<std::string(int)> strokeKeys;
};

// Keys in group 0 in every TX stroke, so that its first byte begins a new one.
sim::TxSimulator::Keys TxKeys(int n) {
    return {std::uint8_t(0x01 | (n & 0x3E)), std::uint8_t(n * 7), std::uint8_t(n * 13)};
}

std::vector<StreamCase> StreamCases() {
    return {
        {"Gemini",
         [](platform::WindowHandle owner) { return session::StartRealtime<CWriterGM>(owner); },
         [] { return std::make_unique<sim::GeminiSimulator>(1); },
         // Stroke n: S for odd n, T for even, and the star on every third.
         [](int n) { return simwire::GeminiPacket(std::string(n % 2 ? "S1-" : "T-") + (n % 3 ? "" : " *1")); },
         simwire::GeminiPacket("K- -Z").substr(0, 4),
         [](int n) {
             return std::string(n % 2 ? "20" : "10") + (n % 3 ? " 00" : " 10") + " 00 00 00 00";
         }},
        {"TranscriptorX",
         [](platform::WindowHandle owner) { return session::StartRealtime<CWriterTX>(owner); },
         [] { return std::make_unique<sim::TxSimulator>(1); },
         [](int n) { return sim::TxSimulator::StrokeBytes(TxKeys(n)) + std::string(1, '\0'); },
         sim::TxSimulator::StrokeBytes({0x21, 0x40, 0x00}).substr(0, 1),
         [](int n) {
             const sim::TxSimulator::Keys k = TxKeys(n);
             return ToHex(std::string(k.begin(), k.end())) + " 00 00 00";
         }},
    };
}

class StreamReconnect : public ::testing::TestWithParam<std::size_t> {
protected:
    void SetUp() override { fakes::UseLineSettings(1); }
};

std::string Name(const ::testing::TestParamInfo<std::size_t>& info) { return StreamCases()[info.param].name; }

TEST_P(StreamReconnect, StrokesAfterAReplugArriveOnceAndInOrder) {
    const StreamCase c = StreamCases()[GetParam()];
    auto first = c.simulator();
    ASSERT_TRUE(first->IsOpen()) << first->Error();
    fakes::FakeOwnerWindow owner;
    std::unique_ptr<CWriter> writer = c.make(owner.Handle());
    owner.WatchStatus(*writer);
    EXPECT_EQ(writer->GetConnectionStatus().state, ConnectionState::Connected);

    for (int n = 1; n <= 3; ++n) first->Send(c.strokeBytes(n));
    ASSERT_TRUE(owner.WaitForStrokes(*writer, 3, kBoundMs));
    EXPECT_EQ(writer->GetConnectionStatus().state, ConnectionState::Receiving);
    first->Send(c.cutBytes);  // the cable slips mid-stroke
    first->Vanish();
    ASSERT_TRUE(owner.WaitForState(ConnectionState::Gone, kBoundMs));
    const std::size_t goneAt = owner.Statuses().size();
    // Gone: looked for about once a second, never in a busy loop.
    EXPECT_LT(session::CpuMsWhileIdle(kNothingMs), kNothingMs / 2.0);

    auto second = c.simulator();  // a new device behind the same COM1 link
    ASSERT_TRUE(second->IsOpen()) << second->Error();
    ASSERT_TRUE(owner.WaitForState(ConnectionState::Connected, 3 * kBoundMs, goneAt - 1));
    EXPECT_TRUE(owner.Statuses().back().again);
    for (int n = 4; n <= 33; ++n) second->Send(c.strokeBytes(n));
    ASSERT_TRUE(owner.WaitForStrokes(*writer, 33, kBoundMs)) << owner.Strokes().size();
    EXPECT_FALSE(owner.WaitForStrokes(*writer, 34, kNothingMs));

    Keys expected;
    for (int n = 1; n <= 33; ++n) expected.push_back(c.strokeKeys(n));
    EXPECT_EQ(owner.StrokeKeys(), expected);
    EXPECT_TRUE(owner.WaitForState(ConnectionState::Receiving, kBoundMs, goneAt));
    EXPECT_TRUE(session::ReturnsSoon([&] { writer->Stop(); }));
}

INSTANTIATE_TEST_SUITE_P(Drivers, StreamReconnect, ::testing::Range<std::size_t>(0, 2), Name);

TEST(Reconnect, StopEndsTheSearchForAWriterThatWent) {
    fakes::UseLineSettings(1);
    sim::GeminiSimulator sim(1);
    ASSERT_TRUE(sim.IsOpen()) << sim.Error();
    fakes::FakeOwnerWindow owner;
    std::unique_ptr<CWriter> writer = session::StartRealtime<CWriterGM>(owner.Handle());
    owner.WatchStatus(*writer);
    sim.Vanish();
    ASSERT_TRUE(owner.WaitForState(ConnectionState::Gone, kBoundMs));
    EXPECT_TRUE(session::ReturnsSoon([&] { writer->Stop(); }));
    EXPECT_EQ(writer->GetConnectionStatus().state, ConnectionState::Closed);
}

TEST(Reconnect, AReplugThatFailsToOpenSaysWhyAndKeepsLooking) {
    fakes::UseLineSettings(1);
    auto sim = std::make_unique<sim::GeminiSimulator>(1);
    ASSERT_TRUE(sim->IsOpen()) << sim->Error();
    const std::string link = sim->Pty().LinkPath();
    fakes::FakeOwnerWindow owner;
    std::unique_ptr<CWriter> writer = session::StartRealtime<CWriterGM>(owner.Handle());
    owner.WatchStatus(*writer);
    sim.reset();
    // The link now names nothing at all.
    ::unlink(link.c_str());
    ASSERT_EQ(::symlink("/nonexistent/ttyUSB9", link.c_str()), 0);
    ASSERT_TRUE(owner.WaitForState(ConnectionState::Gone, kBoundMs));
    // The first try after a second finds nothing there.
    bool named = false;
    for (int i = 0; i < 40 && !named; ++i) {
        const ConnectionStatus status = writer->GetConnectionStatus();
        named = status.state == ConnectionState::Gone && status.reason == "no such device";
        if (!named) std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    ASSERT_TRUE(named);
    EXPECT_EQ(writer->GetConnectionStatus().Text(),
              "COM1 = " + link + ": the writer has gone (no such device); looking for it again...");

    sim::GeminiSimulator back(1);
    ASSERT_TRUE(back.IsOpen()) << back.Error();
    ASSERT_TRUE(owner.WaitForState(ConnectionState::Connected, 3 * kBoundMs, 1));
    back.Stroke("S1-");
    ASSERT_TRUE(owner.WaitForStrokes(*writer, 1, kBoundMs));
    EXPECT_EQ(owner.StrokeKeys(), (Keys{"20 00 00 00 00 00"}));
}

// What the owner reads when the port could not be opened at all, and the line it shows.
TEST(ConnectionStatusText, APortThatCannotBeOpenedNamesTheDeviceAndTheReason) {
    const std::string folder = platform::SerialDeviceFolder();
    std::filesystem::create_directories(folder);
    const std::string link = folder + "/COM7";
    ::unlink(link.c_str());
    ASSERT_EQ(::symlink("/nonexistent/ttyACM3", link.c_str()), 0);
    fakes::UseLineSettings(7);
    fakes::FakeOwnerWindow owner;
    std::unique_ptr<CWriter> writer = session::StartRealtime<CWriterGM>(owner.Handle());
    const ConnectionStatus status = writer->GetConnectionStatus();
    EXPECT_EQ(status.state, ConnectionState::Unavailable);
    EXPECT_EQ(status.Text(), "COM7 = " + link + ": no such device");
    // A port that never opened is not looked for: the thread has ended.
    EXPECT_TRUE(session::ReturnsSoon([&] { writer->Stop(); }));
    ::unlink(link.c_str());
}

TEST(ConnectionStatusText, EachStateHasItsLine) {
    struct Row {
        ConnectionStatus status;
        const char* text;
    };
    const Row rows[] = {
        {{ConnectionState::Closed, "COM1 = /dev/ttyS0", "", false}, ""},
        {{ConnectionState::Receiving, "COM1 = /dev/ttyS0", "", false}, ""},
        {{ConnectionState::Connecting, "COM1 = /dev/ttyS0", "", false}, "COM1 = /dev/ttyS0: connecting to the writer..."},
        {{ConnectionState::Connected, "COM1 = /dev/ttyS0", "", false}, "COM1 = /dev/ttyS0: open, waiting for strokes"},
        {{ConnectionState::Connected, "COM1 = /dev/ttyS0", "", true},
         "COM1 = /dev/ttyS0: open again, waiting for strokes"},
        {{ConnectionState::NotAnswering, "COM1 = /dev/ttyS0", "", false}, "COM1 = /dev/ttyS0: the writer does not answer"},
        {{ConnectionState::Gone, "COM1 = /dev/ttyS0", "", false},
         "COM1 = /dev/ttyS0: the writer has gone; looking for it again..."},
        {{ConnectionState::Unavailable, "COM2 = /dev/ttyS1", "permission denied", false},
         "COM2 = /dev/ttyS1: permission denied"},
        {{ConnectionState::NotAnswering, "", "", false}, "The writer: the writer does not answer"},
    };
    for (const Row& row : rows) EXPECT_EQ(row.status.Text(), row.text);
}

}  // namespace
