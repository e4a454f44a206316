// The reader thread: its start gate, Stop in every state, the waits that end on Stop, and
// whole sessions against a simulated writer on a pseudo-terminal. These also run under
// ThreadSanitizer.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <thread>

#include "core/AppSettings.h"
#include "platform/Clock.h"
#include "tests/fakes/FakeOwnerWindow.h"
#include "tests/fakes/TestWriters.h"
#include "tests/sim/WriterSimulator.h"
#include "tests/writers/DriverSession.h"

namespace {

using fakes::CountingWriter;
using fakes::FakeOwnerWindow;
using fakes::ThreeByteWriter;
using session::ReturnsSoon;
using sim::WriterSimulator;

constexpr int kBound = 5000;  // generous bound for anything that should happen "now"

template <class Driver>
std::unique_ptr<Driver> Make(platform::WindowHandle owner, int mode = kModeRealtime) {
    std::unique_ptr<Driver> writer(NewWriter<Driver>(owner));
    writer->mode = mode;
    return writer;
}

class ReaderThread : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(simulator.IsOpen()) << simulator.Error();
        fakes::UseLineSettings(1);
    }
    WriterSimulator simulator{1};
    FakeOwnerWindow owner;
};

TEST_F(ReaderThread, StopInModeZeroChangesNothing) {
    auto writer = Make<CountingWriter>(owner.Handle(), kModeNotesFolder);
    writer->strokeIndex = 4;
    writer->protocolState = 2;
    writer->AddStroke(1, 2, 3);
    writer->Stop();
    EXPECT_EQ(writer->strokeIndex, 4);
    EXPECT_EQ(writer->protocolState, 2);
    TrackStroke s;
    EXPECT_EQ(writer->GetStroke(&s), 1);
    EXPECT_EQ(writer->stopRequested.load(), 0);
}

TEST_F(ReaderThread, StopEndsAThreadThatNeverRan) {
    auto writer = Make<CountingWriter>(owner.Handle());
    writer->resumeInStart = false;
    writer->Start(1);
    ASSERT_TRUE(writer->readerThread.joinable());
    EXPECT_EQ(writer->stopRequested.load(), 0);
    writer->AddStroke(1, 2, 3);
    writer->protocolState = 3;
    writer->strokeIndex = 9;

    EXPECT_TRUE(ReturnsSoon([&] { writer->Stop(); }));
    EXPECT_EQ(writer->threadStopped.load(), 1);
    EXPECT_EQ(writer->polls.load(), 0);
    EXPECT_FALSE(writer->readerThread.joinable());
    TrackStroke s;
    EXPECT_EQ(writer->GetStroke(&s), 0);  // the queue is discarded
    EXPECT_EQ(writer->protocolState, 0);
    EXPECT_EQ(writer->strokeIndex, 0);
    EXPECT_FALSE(writer->port.IsOpen());
    writer->Stop();  // a second Stop has nothing left to do
}

TEST_F(ReaderThread, StopEndsAThreadInModeZeroToo) {
    auto writer = Make<CountingWriter>(owner.Handle());
    writer->Start(1);
    writer->mode = kModeNotesFolder;  // the mode changed under a running thread
    EXPECT_TRUE(ReturnsSoon([&] { writer->Stop(); }));
    EXPECT_EQ(writer->threadStopped.load(), 1);
    EXPECT_FALSE(writer->readerThread.joinable());
}

TEST_F(ReaderThread, APortThatDoesNotOpenEndsTheThreadWithoutAPoll) {
    GetSettings().port = 9;  // no link: the test environment has no other serial device
    auto writer = Make<CountingWriter>(owner.Handle());
    writer->resumeInStart = false;
    writer->Start(1);
    EXPECT_TRUE(writer->readerThread.joinable());
    EXPECT_EQ(writer->stopRequested.load(), 1);
    EXPECT_EQ(writer->threadStopped.load(), 1);
    writer->ResumeReaderThread();
    EXPECT_TRUE(ReturnsSoon([&] { writer->Stop(); }));
    EXPECT_EQ(writer->polls.load(), 0);
}

TEST_F(ReaderThread, DestroyingARunningWriterStopsItFirst) {
    auto writer = Make<CountingWriter>(owner.Handle());
    writer->Start(1);
    while (writer->polls == 0) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    EXPECT_TRUE(ReturnsSoon([&] { writer.reset(); }));
}

TEST_F(ReaderThread, ASecondStartReplacesTheThread) {
    auto writer = Make<CountingWriter>(owner.Handle());
    writer->Start(1);
    writer->Start(1);
    EXPECT_EQ(writer->stopRequested.load(), 0);
    EXPECT_TRUE(ReturnsSoon([&] { writer->Stop(); }));
}

TEST_F(ReaderThread, StopWakesABlockingRead) {
    struct BlockingReader : ThreeByteWriter {
        using ThreeByteWriter::ThreeByteWriter;
        std::atomic<bool> reading{false};
        void Poll() override {
            reading = true;
            std::uint8_t b;
            ReadByte(b);  // the simulator sends nothing
        }
    };
    auto writer = Make<BlockingReader>(owner.Handle());
    writer->Start(1);
    while (!writer->reading) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    EXPECT_TRUE(ReturnsSoon([&] { writer->Stop(); }));
    EXPECT_EQ(writer->threadStopped.load(), 1);
}

TEST_F(ReaderThread, StopEndsLongWaitsAndPauses) {
    struct LongWaits : CountingWriter {
        using CountingWriter::CountingWriter;
        std::atomic<int> phase{0};
        void Poll() override {
            phase = 1;
            WaitForInput(600'000);
            phase = 2;
            PauseMs(600'000);
        }
    };
    auto writer = Make<LongWaits>(owner.Handle());
    writer->Start(1);
    while (writer->phase == 0) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    EXPECT_TRUE(ReturnsSoon([&] { writer->Stop(); }));
}

TEST_F(ReaderThread, ADriverMayStopFromItsOwnPoll) {
    struct SelfStopping : CountingWriter {
        using CountingWriter::CountingWriter;
        void Poll() override {
            ++polls;
            Stop();
        }
    };
    auto writer = Make<SelfStopping>(owner.Handle());
    writer->Start(1);
    for (int i = 0; i < kBound && writer->threadStopped == 0; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    EXPECT_EQ(writer->threadStopped.load(), 1);
    EXPECT_EQ(writer->polls.load(), 1);
    EXPECT_TRUE(ReturnsSoon([&] { writer->Stop(); }));
}

TEST_F(ReaderThread, PausesRunOnATestClock) {
    platform::FastClock clock;
    platform::ScopedClock scope(clock);
    auto writer = Make<CountingWriter>(owner.Handle());
    const std::int64_t before = platform::MonotonicMs();
    EXPECT_TRUE(writer->PauseMs(60'000));  // a minute of virtual time
    EXPECT_EQ(platform::MonotonicMs() - before, 60'000);
}

TEST_F(ReaderThread, AClosedPortWaitsInsteadOfSpinning) {
    platform::FastClock clock;
    platform::ScopedClock scope(clock);
    auto writer = Make<CountingWriter>(owner.Handle());  // never started: the port is closed
    const std::int64_t before = platform::MonotonicMs();
    EXPECT_FALSE(writer->WaitForInput(100));
    EXPECT_EQ(platform::MonotonicMs() - before, 100);
}

// ---- sessions with a simulated writer ----------------------------------------------------

TEST_F(ReaderThread, StrokesFromTheWriterReachTheOwner) {
    auto writer = Make<ThreeByteWriter>(owner.Handle());
    writer->keyboardLayout = 3;
    writer->Start(1);
    ASSERT_TRUE(writer->port.IsOpen());
    simulator.Send(std::string("\x20\x00\x00\x01\x02\x03", 6));
    ASSERT_TRUE(owner.WaitForStrokes(*writer, 2, kBound));
    simulator.Send(std::string("\x40\x00\x00", 3));
    ASSERT_TRUE(owner.WaitForStrokes(*writer, 3, kBound));
    EXPECT_EQ(owner.StrokeKeys(), (std::vector<std::string>{"20 00 00 00 00 00",
                                                            "01 02 03 00 00 00",
                                                            "40 00 00 00 00 00"}));
    EXPECT_EQ(owner.Strokes().back().layout, 3);
    // The last message may still be on its way when its stroke was taken with an earlier one.
    EXPECT_TRUE(owner.WaitForStrokeMessages(3, kBound));
    EXPECT_EQ(owner.StrokeMessageCount(), 3u);
    EXPECT_TRUE(ReturnsSoon([&] { writer->Stop(); }));
}

TEST_F(ReaderThread, ASlowWriterStillDeliversWholeStrokes) {
    auto writer = Make<ThreeByteWriter>(owner.Handle());
    writer->byteGapMs = 2000;  // a loaded machine may stretch the simulator's pauses
    writer->Start(1);
    simulator.SetByteDelay(20);
    simulator.Send(std::string("\x11\x22\x33\x44\x55\x66", 6));
    ASSERT_TRUE(owner.WaitForStrokes(*writer, 2, kBound));
    EXPECT_EQ(owner.StrokeKeys(),
              (std::vector<std::string>{"11 22 33 00 00 00", "44 55 66 00 00 00"}));
}

TEST_F(ReaderThread, FlippedBytesArriveFlipped) {
    auto writer = Make<ThreeByteWriter>(owner.Handle());
    writer->Start(1);
    simulator.CorruptAt(1, 0x0F);
    simulator.Send(std::string("\x20\x00\x00", 3));
    ASSERT_TRUE(owner.WaitForStrokes(*writer, 1, kBound));
    EXPECT_EQ(owner.StrokeKeys().front(), "20 0F 00 00 00 00");
}

TEST_F(ReaderThread, AVanishedWriterStopsDeliveringAndStopReturns) {
    auto writer = Make<ThreeByteWriter>(owner.Handle());
    writer->Start(1);
    simulator.Send(std::string("\x20\x00\x00", 3));
    ASSERT_TRUE(owner.WaitForStrokes(*writer, 1, kBound));
    simulator.Vanish();
    std::this_thread::sleep_for(std::chrono::milliseconds(200));  // the driver meets the hang-up
    EXPECT_EQ(writer->threadStopped.load(), 0);  // still polling, idle, not spinning into an error
    EXPECT_TRUE(ReturnsSoon([&] { writer->Stop(); }));
    EXPECT_EQ(owner.Strokes().size(), 1u);
}

TEST_F(ReaderThread, OwnersExchangedWhileStrokesFlowLoseNone) {
    auto writer = Make<ThreeByteWriter>(owner.Handle());
    writer->Start(1);
    FakeOwnerWindow capture;
    constexpr int kStrokes = 60;
    std::thread writerSide([&] {
        for (int i = 0; i < kStrokes; ++i) {
            simulator.Send(std::string{char(i + 1), 0, 0});
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
    });
    // The adjust dialog borrows the writer and hands it back, again and again.
    for (int i = 0; i < 20; ++i) {
        writer->SetOwner(i % 2 ? owner.Handle() : capture.Handle());
        owner.HandleMessages(*writer);
        capture.HandleMessages(*writer);
        std::this_thread::sleep_for(std::chrono::milliseconds(3));
    }
    writerSide.join();
    writer->SetOwner(owner.Handle());
    const auto total = [&] { return owner.Strokes().size() + capture.Strokes().size(); };
    for (int i = 0; i < kBound && total() < kStrokes; ++i) {
        owner.WaitForStrokes(*writer, owner.Strokes().size() + 1, 1);
        capture.HandleMessages(*writer);
    }
    EXPECT_EQ(total(), std::size_t(kStrokes));
    EXPECT_TRUE(ReturnsSoon([&] { writer->Stop(); }));
}

TEST_F(ReaderThread, AnOwnerDestroyedMidSessionLeavesTheStrokesQueued) {
    auto dialog = std::make_unique<FakeOwnerWindow>();
    auto writer = Make<ThreeByteWriter>(dialog->Handle());
    writer->Start(1);
    simulator.Send(std::string("\x20\x00\x00", 3));
    ASSERT_TRUE(dialog->WaitForStrokes(*writer, 1, kBound));
    dialog.reset();
    simulator.Send(std::string("\x40\x00\x00", 3));
    bool queued = false;
    for (int i = 0; i < kBound && !queued; ++i) {
        {
            std::lock_guard<std::mutex> guard(writer->queueLock);
            queued = !writer->strokeQueue.empty();
        }
        if (!queued) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    TrackStroke s;
    ASSERT_EQ(writer->GetStroke(&s), 1);
    EXPECT_EQ(fakes::KeysText(s), "40 00 00 00 00 00");
}

}  // namespace
