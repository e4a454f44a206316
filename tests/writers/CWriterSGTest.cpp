// CWriterSG against the SG writer simulator on a pseudo-terminal (real clock, bounded waits),
// and its no-answer path on a scripted line under the fast clock.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <memory>
#include <mutex>
#include <thread>
#include <string>
#include <vector>

#include "core/AppSettings.h"
#include "platform/Clock.h"
#include "tests/fakes/FakeOwnerWindow.h"
#include "tests/fakes/TestWriters.h"
#include "tests/sim/PtyPair.h"
#include "tests/sim/SgSimulator.h"
#include "tests/support/FileHelpers.h"
#include "tests/support/ScriptedPresenter.h"
#include "tests/support/TestEnvironment.h"
#include "tests/writers/DriverSession.h"
#include "writers/CWriterSG.h"
#include "writers/SgProtocol.h"

namespace {

using Fault = SgWriterModel::Fault;
using Actions = std::vector<std::uint16_t>;

constexpr int kBound = 5000;     // a bound for what should come, never a speed claim
constexpr int kNothing = 300;    // how long to wait to see that nothing comes

std::int64_t RealMs() {
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

// How many times message `id` was asked.
int CountAsked(const ScriptedPresenter& presenter, int id) {
    int n = 0;
    for (const auto& q : presenter.Asked()) n += q.id == id;
    return n;
}

class SgSession : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(sim.IsOpen()) << sim.Error();
        fakes::UseLineSettings(1);
        sim.Model().SetRealtimeStrokes(5);
    }
    void TearDown() override {
        writer.reset();
        EXPECT_EQ(sim.Model().Errors(), std::vector<std::string>{}) << "requests the writer refused";
    }
    CWriterSG& Make(int layout = 0) {
        writer.reset(NewWriter<CWriterSG>(owner.Handle()));
        writer->mode = kModeRealtime;
        writer->keyboardLayout = layout;
        return *writer;
    }
    // Connects (Start with argument 1) and checks that the catch-up is over.
    CWriterSG& Connect(int layout = 0) {
        CWriterSG& w = Make(layout);
        w.Start(1);
        EXPECT_EQ(w.catchingUp.load(), 0);
        return w;
    }
    std::vector<std::string> Keys() const { return owner.StrokeKeys(); }
    // The driver asks for strokes from `first` on (strokeIndex belongs to the reader thread,
    // so the test reads it off the line).
    bool WaitForReadFrom(int first) {
        const std::int64_t end = RealMs() + kBound;
        for (;;) {
            for (const auto& read : sim.Model().Reads()) {
                if (read.first == first) return true;
            }
            if (RealMs() > end) return false;
            platform::SleepMs(5);
        }
    }

    SgSimulator sim{1};
    fakes::FakeOwnerWindow owner;
    std::unique_ptr<CWriterSG> writer;
};

TEST_F(SgSession, ConnectsSkipsOldStrokesAndDeliversNewOnesInOrder) {
    ScriptedPresenter presenter;  // no question may be asked
    CWriterSG& w = Connect(3);
    EXPECT_TRUE(WaitForReadFrom(5));
    const Actions connect{sg::Wake, sg::ListFiles, sg::OpenFile, sg::ReadRecords};
    const Actions actions = sim.Model().Actions();
    ASSERT_GE(actions.size(), connect.size());
    EXPECT_EQ(Actions(actions.begin(), actions.begin() + 4), connect);
    EXPECT_EQ(sim.Model().Reads().front(), (std::pair<int, int>{5, 128}));

    sim.Model().Write(0x12, 0x34, 0x56);
    sim.Model().Write(0xFF, 0x00, 0x01);
    sim.Model().Write(0x00, 0x00, 0x3F);
    ASSERT_TRUE(owner.WaitForStrokes(w, 3, kBound));
    EXPECT_EQ(Keys(), (std::vector<std::string>{"12 34 56 00 00 00", "FF 00 01 00 00 00",
                                                "00 00 3F 00 00 00"}));
    for (const TrackStroke& s : owner.Strokes()) EXPECT_EQ(s.layout, 3);
    EXPECT_TRUE(WaitForReadFrom(8));
    EXPECT_FALSE(owner.WaitForStrokes(w, 4, kNothing));

    // Stop closes the file, then ends realtime.
    w.Stop();
    ASSERT_TRUE(sim.WaitForRequests(sg::EndRealtime, 1, kBound));
    const Actions after = sim.Model().Actions();
    ASSERT_GE(after.size(), 2u);
    EXPECT_EQ(Actions(after.end() - 2, after.end()), (Actions{sg::CloseFile, sg::EndRealtime}));
}

TEST_F(SgSession, StrokesWrittenWhileConnectingAreCountedNotQueued) {
    // Two strokes land in the file between the listing and the first read: they belong to
    // the old notes, so the catch-up counts them and queues nothing.
    sim.OnReply([this](const std::string& reply) {
        if (sg::Get16(reply, 4) == sg::ListFiles) {
            sim.Model().Write(0x01, 0x00, 0x00);
            sim.Model().Write(0x02, 0x00, 0x00);
        }
    });
    CWriterSG& w = Connect();
    EXPECT_TRUE(WaitForReadFrom(7));
    EXPECT_FALSE(owner.WaitForStrokes(w, 1, kNothing));
    sim.Model().Write(0x03, 0x00, 0x00);
    ASSERT_TRUE(owner.WaitForStrokes(w, 1, kBound));
    EXPECT_EQ(Keys(), std::vector<std::string>{"03 00 00 00 00 00"});
}

// A reply that goes wrong once never loses, repeats or invents a stroke: the driver asks for
// the same strokes again.
TEST_F(SgSession, DamagedRepliesAreAskedForAgain) {
    struct Case {
        const char* name;
        Fault fault;
    } cases[] = {{"bad checksum", Fault::BadCrc},
                 {"cut short", Fault::CutShort},
                 {"garbage", Fault::Garbage},
                 {"sent twice", Fault::Twice},
                 {"no reply", Fault::Silent}};
    CWriterSG& w = Connect();
    std::size_t expected = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        sim.Model().InjectOnData(c.fault, 1);
        sim.Model().Write(0x20, std::uint8_t(expected), 0x01);
        sim.Model().Write(0x20, std::uint8_t(expected + 1), 0x02);
        expected += 2;
        ASSERT_TRUE(owner.WaitForStrokes(w, expected, kBound));
        EXPECT_FALSE(owner.WaitForStrokes(w, expected + 1, kNothing));
    }
    std::vector<std::string> want;
    for (std::size_t i = 0; i < expected; ++i) {
        char text[32];
        std::snprintf(text, sizeof text, "20 %02X %02X 00 00 00", unsigned(i), unsigned(i % 2 + 1));
        want.push_back(text);
    }
    EXPECT_EQ(Keys(), want);
    EXPECT_TRUE(WaitForReadFrom(5 + int(expected)));
}

TEST_F(SgSession, LateRepliesStillDeliver) {
    CWriterSG& w = Connect();
    sim.SetByteDelay(30);  // a 20-byte reply takes 600 ms, more than the reply window
    sim.Model().Write(0x30, 0x00, 0x00);
    ASSERT_TRUE(owner.WaitForStrokes(w, 1, 3 * kBound));
    sim.SetByteDelay(0);
    sim.Model().Write(0x31, 0x00, 0x00);
    ASSERT_TRUE(owner.WaitForStrokes(w, 2, kBound));
    EXPECT_EQ(Keys(), (std::vector<std::string>{"30 00 00 00 00 00", "31 00 00 00 00 00"}));
}

TEST_F(SgSession, AWriterSilentAfterConnectingDoesNotFreezeStartNorLoseLaterStrokes) {
    sim.Model().Inject(Fault::Silent, sg::ReadRecords);
    CWriterSG& w = Make();
    w.Start(1);
    // Start came back on its own although the writer never said "no more", and the catch-up
    // ended with it.
    EXPECT_EQ(w.catchingUp.load(), 0);

    // Strokes written once Start has returned are the user's new strokes: all are delivered
    // when the writer answers again.
    sim.Model().Write(0x41, 0x00, 0x00);
    sim.Model().ClearFaults();
    sim.Model().Write(0x42, 0x00, 0x00);
    ASSERT_TRUE(owner.WaitForStrokes(w, 2, 3 * kBound));
    EXPECT_EQ(Keys(), (std::vector<std::string>{"41 00 00 00 00 00", "42 00 00 00 00 00"}));
    EXPECT_FALSE(owner.WaitForStrokes(w, 3, kNothing));
}

// The writer stops answering for a while, then answers again: the driver says so, sets the
// session up again, and reads on from where it was, or from the start of a file begun anew.
TEST_F(SgSession, AWriterThatAnswersAgainAfterSilenceIsFollowed) {
    struct Case {
        const char* name;
        bool reset;  // power-cycled while silent: its realtime file began again
        std::vector<std::string> expected;  // after 50
    } cases[] = {
        // The stroke written before the reset is gone with the old file; the new file's stroke,
        // written before the driver heard the writer again, is not lost.
        {"reset, file started again", true, {"5A 00 00 00 00 00", "52 00 00 00 00 00", "53 00 00 00 00 00"}},
        // A line that was only cut: the stroke written meanwhile is not lost.
        {"silent, file kept", false, {"51 00 00 00 00 00", "52 00 00 00 00 00", "53 00 00 00 00 00"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        SgSimulator line{1};
        ASSERT_TRUE(line.IsOpen());
        line.Model().SetRealtimeStrokes(5);
        session::WatchedWriter<CWriterSG> watched;
        auto& [window, w] = watched;
        w->Start(1);
        line.Model().Write(0x50, 0x00, 0x00);
        ASSERT_TRUE(window.WaitForStrokes(*w, 1, kBound));

        line.SetSilent(true);
        line.Model().Write(0x51, 0x00, 0x00);
        // Silence long enough to be noticed: the driver is trying to wake the writer.
        ASSERT_TRUE(line.WaitForRequests(sg::Wake, 2, 3 * kBound));
        if (c.reset) {
            line.Model().Restart();
            line.Model().Write(0x5A, 0x00, 0x00);
        }
        line.SetSilent(false);
        ASSERT_TRUE(line.WaitForRequests(sg::OpenFile, 2, 3 * kBound));
        ASSERT_TRUE(line.WaitForRequests(sg::ReadRecords, int(line.Model().Reads().size()) + 1, kBound));
        line.Model().Write(0x52, 0x00, 0x00);
        line.Model().Write(0x53, 0x00, 0x00);
        std::vector<std::string> expected{"50 00 00 00 00 00"};
        expected.insert(expected.end(), c.expected.begin(), c.expected.end());
        ASSERT_TRUE(window.WaitForStrokes(*w, expected.size(), 3 * kBound));
        EXPECT_FALSE(window.WaitForStrokes(*w, expected.size() + 1, kNothing));
        EXPECT_EQ(window.StrokeKeys(), expected);
        EXPECT_TRUE(session::ToldInOrder(window, ConnectionState::NotAnswering, ConnectionState::Connected, kBound));
        w.reset();
        EXPECT_EQ(line.Model().Errors(), std::vector<std::string>{});
    }
}

// A writer that leaves every read unanswered for a while after each OpenFile: it goes on
// answering, so the driver keeps asking and never opens the file again (which would start the
// writer's delay again).
TEST_F(SgSession, AWriterSlowToReadAfterOpeningIsWaitedFor) {
    for (const int delayMs : {3000, 7000}) {
        SCOPED_TRACE(delayMs);
        SgSimulator line{2};
        ASSERT_TRUE(line.IsOpen());
        fakes::UseLineSettings(2);
        line.Model().SetRealtimeStrokes(5);
        line.IgnoreReadsAfterOpen(delayMs);
        session::WatchedWriter<CWriterSG> watched;
        auto& [window, w] = watched;
        w->Start(1);
        std::vector<std::string> expected;
        for (int i = 0; i < 5; ++i) {
            line.Model().Write(0x40, 0x00, std::uint8_t(i));
            expected.push_back(sim::Hex(std::string{0x40, 0x00, char(i), 0, 0, 0}));
        }
        ASSERT_TRUE(window.WaitForStrokes(*w, expected.size(), delayMs + 2 * kBound));
        EXPECT_FALSE(window.WaitForStrokes(*w, expected.size() + 1, kNothing));
        EXPECT_EQ(window.StrokeKeys(), expected);
        EXPECT_EQ(line.Model().CountOf(sg::OpenFile), 1);
        EXPECT_EQ(line.Model().CountOf(sg::Wake), 1);
        for (const ConnectionStatus& told : window.Statuses()) EXPECT_NE(told.state, ConnectionState::NotAnswering);
        w.reset();
        EXPECT_EQ(line.Model().Errors(), std::vector<std::string>{});
    }
    fakes::UseLineSettings(1);
}

// A new job begun on the writer while it keeps answering: its realtime file starts again
// below the read position. The new file is read from its start; nothing of the old one twice.
TEST_F(SgSession, ARealtimeFileStartedAgainIsReadFromItsStart) {
    sim.Model().SetRealtimeStrokes(55);
    CWriterSG& w = Connect();
    std::vector<std::string> expected;
    auto write = [&](int first, int count) {
        for (int i = first; i < first + count; ++i) {
            sim.Model().Write(0x30, std::uint8_t(i >> 8), std::uint8_t(i));
            expected.push_back(sim::Hex(std::string{0x30, char(i >> 8), char(i), 0, 0, 0}));
        }
    };
    write(0, 2);
    ASSERT_TRUE(owner.WaitForStrokes(w, expected.size(), kBound));
    sim.Model().StartNewJob();
    write(100, 10);
    ASSERT_TRUE(owner.WaitForStrokes(w, expected.size(), 2 * kBound));
    write(200, 40);
    ASSERT_TRUE(owner.WaitForStrokes(w, expected.size(), kBound));
    EXPECT_FALSE(owner.WaitForStrokes(w, expected.size() + 1, kNothing));
    EXPECT_EQ(Keys(), expected);
    EXPECT_EQ(sim.Model().CountOf(sg::OpenFile), 1);
    EXPECT_TRUE(WaitForReadFrom(50));
}

// Unplugged mid-reply, and plugged in again on a new line behind the same COM1: the driver says so,
// sets the session up again without a question, and reads on from the stroke it had reached
// (or from the start of a file the writer began anew meanwhile).
TEST(SgReconnect, AWriterPluggedInAgainIsReadOnFromTheStrokeReached) {
    struct Case {
        const char* name;
        bool reset;  // the writer came back with its realtime file begun anew
    } cases[] = {{"the same writer", false}, {"a reset writer", true}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        fakes::UseLineSettings(1);
        auto line = std::make_unique<SgSimulator>(1);
        ASSERT_TRUE(line->IsOpen());
        line->Model().SetRealtimeStrokes(5);
        ScriptedPresenter presenter;  // nothing may be asked
        session::WatchedWriter<CWriterSG> watched;
        auto& [window, w] = watched;
        w->Start(1);
        std::vector<std::string> expected;
        auto write = [&](SgSimulator& on, int i) {
            on.Model().Write(0x70, 0x00, std::uint8_t(i));
            expected.push_back(sim::Hex(std::string{0x70, 0x00, char(i), 0, 0, 0}));
        };
        write(*line, 0);
        write(*line, 1);
        ASSERT_TRUE(window.WaitForStrokes(*w, expected.size(), kBound));

        // Unplugged in the middle of a reply; the writer keeps what it holds.
        std::atomic<bool> cut{false};
        line->Model().InjectOnData(Fault::CutShort, 1);
        line->OnReplySent([&](const std::string& reply) {
            if (sg::Get16(reply, 4) == sg::ReadRecords) cut = true;
        });
        write(*line, 2);
        for (int i = 0; i < kBound / 5 && !cut; ++i) platform::SleepMs(5);
        ASSERT_TRUE(cut);
        line->Vanish();
        ASSERT_TRUE(session::ToldInOrder(window, ConnectionState::Receiving, ConnectionState::Gone, kBound));
        line.reset();
        std::this_thread::sleep_for(std::chrono::milliseconds(300));

        SgSimulator back{1};
        ASSERT_TRUE(back.IsOpen());
        if (c.reset) {
            expected.pop_back();  // stroke 2 went with the old file
        } else {
            back.Model().SetRealtimeStrokes(5);
            for (int i = 0; i <= 2; ++i) back.Model().Write(0x70, 0x00, std::uint8_t(i));
        }
        write(back, 3);  // written while the writer was away
        ASSERT_TRUE(window.WaitForStrokes(*w, expected.size(), 3 * kBound));
        write(back, 4);
        write(back, 5);
        ASSERT_TRUE(window.WaitForStrokes(*w, expected.size(), kBound));
        EXPECT_FALSE(window.WaitForStrokes(*w, expected.size() + 1, kNothing));
        EXPECT_EQ(window.StrokeKeys(), expected);
        EXPECT_TRUE(session::ToldInOrder(window, ConnectionState::Gone, ConnectionState::Connected, kBound));
        EXPECT_TRUE(presenter.Asked().empty());
        EXPECT_EQ(back.Model().CountOf(sg::Wake), 1);
        w.reset();  // before the line goes
        EXPECT_EQ(back.Model().Errors(), std::vector<std::string>{});
    }
}

TEST_F(SgSession, AStrayByteBetweenRepliesIsDroppedAndPollingGoesOn) {
    std::atomic<int> strays{0};
    sim.OnReplySent([&](const std::string& reply) {
        // A byte of no reply right after some of the read replies.
        if (sg::Get16(reply, 4) == sg::ReadRecords && strays < 5) {
            ++strays;
            sim.Send("\x5A");
        }
    });
    CWriterSG& w = Connect();
    for (int i = 0; i < 5; ++i) {
        sim.Model().Write(0x60, std::uint8_t(i), 0x00);
        ASSERT_TRUE(owner.WaitForStrokes(w, std::size_t(i) + 1, kBound));
    }
    sim.OnReplySent(nullptr);
    EXPECT_EQ(strays.load(), 5);
    // Not one stray byte was taken for a reply that never completed: the session never had to
    // be set up again.
    EXPECT_EQ(sim.Model().CountOf(sg::ListFiles), 1);
    EXPECT_EQ(sim.Model().CountOf(sg::Wake), 1);
}

TEST_F(SgSession, StopReturnsWhileTheLineStreamsNoise) {
    CWriterSG& w = Connect();
    sim.Model().Inject(Fault::Silent, sg::CloseFile);
    std::atomic<bool> stopped{false};
    std::atomic<bool> streaming{false};
    std::atomic<bool> ranOut{false};
    std::thread noise([&] {
        // Bytes of another device on the line, never a reply start; at most 20 s of them.
        const std::int64_t end = RealMs() + 20000;
        while (!stopped) {
            if (RealMs() > end) {
                ranOut = true;
                break;
            }
            sim.Send(std::string(16, '\x55'));
            streaming = true;
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
    });
    while (!streaming) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    w.Stop();
    stopped = true;
    noise.join();
    EXPECT_FALSE(ranOut) << "Stop waited until the line fell quiet";
    EXPECT_GE(sim.Model().CountOf(sg::CloseFile), 1);
    ASSERT_TRUE(sim.WaitForRequests(sg::EndRealtime, 1, kBound));
}

TEST_F(SgSession, NoAnswerAtAllRetryThenCancel) {
    sim.SetSilent(true);
    ScriptedPresenter presenter;
    presenter.Answer(kMessageNoAnswer, 0).Answer(kMessageNoAnswer, 1);
    CWriterSG& w = Make();
    w.Start(1);
    EXPECT_EQ(CountAsked(presenter, kMessageNoAnswer), 2);
    EXPECT_EQ(presenter.Asked()[0].captions, (std::vector<std::string>{"&Retry", "&Cancel"}));
    EXPECT_EQ(sim.Model().CountOf(sg::Wake), 20);  // ten Wake packets, and ten for the Retry
    EXPECT_EQ(sim.Model().CountOf(sg::ListFiles), 0);

    sim.Model().Write(0x50, 0x00, 0x00);
    EXPECT_FALSE(owner.WaitForStrokes(w, 1, kNothing));
    // Stop still says goodbye: CloseFile (awaited at most 2 s), then EndRealtime.
    const std::int64_t stopping = RealMs();
    w.Stop();
    EXPECT_LT(RealMs() - stopping, kBound);
    ASSERT_TRUE(sim.WaitForRequests(sg::EndRealtime, 1, kBound));
    EXPECT_EQ(sim.Model().CountOf(sg::CloseFile), 1);
    EXPECT_EQ(owner.Strokes().size(), 0u);
}

TEST_F(SgSession, ShortListingsGetTenAttemptsAndRetryMakesOneMore) {
    sim.Model().SetNoRealtimeFile(true);  // no stroke written yet: a listing without entries
    ScriptedPresenter presenter;
    presenter.Answer(kMessageNoAnswer, 0).Answer(kMessageNoAnswer, 1);
    CWriterSG& w = Make();
    w.Start(1);
    EXPECT_EQ(sim.Model().CountOf(sg::ListFiles), 11);
    EXPECT_EQ(CountAsked(presenter, 5044), 11);
    EXPECT_EQ(CountAsked(presenter, kMessageNoAnswer), 2);
    EXPECT_EQ(sim.Model().CountOf(sg::OpenFile), 0);
}

TEST_F(SgSession, ListingsWithoutAWholeFirstEntryAreNotUsed) {
    // A 50-byte listing is long enough for the old test, too short for the size and name.
    sim.Model().SetRealtimeFileName("");  // a first entry with an empty name
    ScriptedPresenter presenter;
    presenter.Answer(kMessageNoAnswer, 1);
    CWriterSG& w = Make();
    w.Start(1);
    EXPECT_EQ(CountAsked(presenter, 5044), 10);
    EXPECT_EQ(sim.Model().CountOf(sg::OpenFile), 0);
}

TEST_F(SgSession, ACorruptListingIsAskedForAgain) {
    sim.Model().Inject(Fault::BadCrc, sg::ListFiles, 1);
    CWriterSG& w = Connect();
    EXPECT_EQ(sim.Model().CountOf(sg::ListFiles), 2);
    EXPECT_TRUE(WaitForReadFrom(5));
    sim.Model().Write(0x60, 0x00, 0x00);
    ASSERT_TRUE(owner.WaitForStrokes(w, 1, kBound));
}

TEST_F(SgSession, StartFromAChosenStroke) {
    struct Case {
        const char* name;
        int button;              // 0 Last, 1 First, 2 Other
        const char* typed;       // for Other
        int askResult;
        int firstRead;
        std::size_t oldQueued;   // old strokes delivered
    } cases[] = {
        {"Last", 0, nullptr, 0, 5, 0},
        {"First", 1, nullptr, 0, 0, 5},
        {"Other 3", 2, "3", platform::kIdOk, 3, 2},
        {"Other cancelled", 2, "3", platform::kIdCancel, 0, 5},
        {"Other negative", 2, "-4", platform::kIdOk, 0, 5},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        fakes::FakeOwnerWindow window;
        ScriptedPresenter presenter;
        presenter.Answer(5018, c.button);
        if (c.typed) presenter.Answer(6028, c.askResult, std::string(c.typed));
        std::unique_ptr<CWriterSG> w(NewWriter<CWriterSG>(window.Handle()));
        w->mode = kModeRealtime;
        const std::size_t readsBefore = sim.Model().Reads().size();
        w->Start(0);
        ASSERT_TRUE(sim.WaitForRequests(sg::ReadRecords, int(readsBefore) + 1, kBound));
        EXPECT_EQ(sim.Model().Reads()[readsBefore].first, c.firstRead);
        if (c.oldQueued > 0) {
            ASSERT_TRUE(window.WaitForStrokes(*w, c.oldQueued, kBound));
        }
        EXPECT_FALSE(window.WaitForStrokes(*w, c.oldQueued + 1, kNothing));
    }
}

TEST_F(SgSession, AReplyIsQueuedWholeBeforeItsFirstMessage) {
    // The first reply carries the five old strokes.
    EXPECT_EQ(session::QueuedAtFirstMessageFromTheFirstStroke<CWriterSG>(kBound), 5u);
}

TEST_F(SgSession, AWriterThatDropsOffTheLineDeliversNothingMore) {
    CWriterSG& w = Connect();
    sim.Model().Write(0x70, 0x00, 0x00);
    ASSERT_TRUE(owner.WaitForStrokes(w, 1, kBound));
    sim.Vanish();
    EXPECT_FALSE(owner.WaitForStrokes(w, 2, kNothing));
    const std::int64_t stopping = RealMs();
    w.Stop();
    EXPECT_LT(RealMs() - stopping, kBound);
    EXPECT_EQ(w.threadStopped.load(), 1);
}

TEST_F(SgSession, APortThatDoesNotOpenIsReportedAtOnce) {
    GetSettings().port = 200;  // no such device
    ScriptedPresenter presenter;
    presenter.Answer(kMessageNoAnswer, 1);
    CWriterSG& w = Make();
    const std::int64_t started = RealMs();
    w.Start(1);
    EXPECT_LT(RealMs() - started, kBound);
    EXPECT_EQ(CountAsked(presenter, kMessageNoAnswer), 1);
    w.Stop();
    EXPECT_EQ(sim.Model().Actions(), Actions{});
}

// ---- stored notes over the cable (mode 1) ---------------------------------------------------

TEST_F(SgSession, CableListsOpensReadsAndClosesStoredFiles) {
    sim.Model().AddStoredFile("FILE.001", 3);
    sim.Model().AddStoredFile("FILE.002", 2);
    ScriptedPresenter presenter;  // no question in this mode
    CWriterSG& w = Make();
    w.mode = kModeNotesCable;
    w.Start(1);
    EXPECT_EQ(w.notesListing, (std::vector<std::string>{"001", "002"}));
    EXPECT_FALSE(w.OpenNotesFile(2));

    ASSERT_TRUE(w.OpenNotesFile(1));
    EXPECT_EQ(sim.Model().Requests().back().substr(18, 8), "FILE.002");
    w.ReadStrokes(0, 3);
    ASSERT_TRUE(owner.WaitForStrokes(w, 2, kBound));
    EXPECT_EQ(Keys(), (std::vector<std::string>{"01 02 00 00 00 00", "01 02 01 00 00 00"}));
    w.CloseNotesFile();
    EXPECT_EQ(sim.Model().Actions().back(), sg::CloseFile);

    w.Stop();
    ASSERT_TRUE(sim.WaitForRequests(sg::Disconnect, 1, kBound));
    EXPECT_EQ(sim.Model().CountOf(sg::CloseFile), 1);
    EXPECT_EQ(sim.Model().CountOf(sg::EndRealtime), 0);
}

TEST_F(SgSession, CableListingWithOnlyTheRealtimeFile) {
    CWriterSG& w = Make();
    w.mode = kModeNotesCable;
    w.Start(1);
    ASSERT_EQ(w.notesListing, std::vector<std::string>{"RTDATA"});
    ASSERT_TRUE(w.OpenNotesFile(0));
    EXPECT_EQ(sim.Model().Requests().back().substr(18, 12), "REALTIME.000");
    w.ReadStrokes(4, 10);
    ASSERT_TRUE(owner.WaitForStrokes(w, 1, kBound));
    EXPECT_EQ(Keys(), std::vector<std::string>{"FF 00 04 00 00 00"});
}

TEST_F(SgSession, CableOnAPortThatDoesNotOpenListsNothing) {
    ScriptedPresenter presenter;  // mode 1 asks nothing
    CWriterSG& w = Make();
    w.mode = kModeNotesCable;
    fakes::UseLineSettings(200);  // no such device: Start gives up at once
    w.Start(1);
    EXPECT_TRUE(w.notesListing.empty());
    EXPECT_FALSE(w.OpenNotesFile(0));
}

// ---- notes files in a folder (mode 0) ---------------------------------------------------------

std::string TimeWord(int h, int m, int s32) {
    const int word = h << 11 | m << 5 | s32;
    return std::string{char(word & 0xFF), char(word >> 8)};
}

class SgNotesFolder : public ::testing::Test {
protected:
    void SetUp() override {
        folder = testenv::MakeTempDir("notes");
        std::filesystem::create_directory(folder + "/TEXT");
    }
    std::unique_ptr<CWriterSG> Open(const std::string& name) {
        std::unique_ptr<CWriterSG> w(NewWriter<CWriterSG>(owner.Handle()));
        w->mode = kModeNotesFolder;
        w->notesFolder = folder;
        w->Start(1);
        for (std::size_t i = 0; i < w->notesFiles.size(); ++i) {
            if (GetFileNamePart(w->notesFiles[i]) == name) {
                EXPECT_TRUE(w->OpenNotesFile(int(i)));
                return w;
            }
        }
        ADD_FAILURE() << name << " is not listed";
        return w;
    }
    std::string folder;
    fakes::FakeOwnerWindow owner;
};

TEST_F(SgNotesFolder, StrokesCarryTheTimesOfTheTimeFile) {
    testfiles::WriteBytes(folder + "/FILE.003", SgStrokeRecord(0x11, 0x22, 0x33) +
                                                    SgStrokeRecord(0x44, 0x55, 0x66) + "\x01\x02");
    testfiles::WriteBytes(folder + "/TEXT/FILE003.HMS", TimeWord(10, 0, 0) + TimeWord(10, 1, 16));
    auto w = Open("FILE.003");
    ASSERT_TRUE(w->timeFile);
    w->ReadStrokes(0, 3);
    ASSERT_TRUE(owner.WaitForStrokes(*w, 2, kBound));
    EXPECT_EQ(owner.StrokeKeys(), (std::vector<std::string>{"11 22 33 00 00 00", "44 55 66 00 00 00"}));
    EXPECT_EQ(owner.Strokes()[0].timeCode, (TimeCode{10, 0, 0, 0}));
    EXPECT_EQ(owner.Strokes()[0].elapsedMs, 0);
    EXPECT_EQ(owner.Strokes()[1].timeCode, (TimeCode{10, 1, 30, 0}));
    EXPECT_EQ(owner.Strokes()[1].elapsedMs, 90000);
    EXPECT_EQ(w->strokeIndex, 2);
    w->CloseNotesFile();
    EXPECT_FALSE(w->timeFile);
}

TEST_F(SgNotesFolder, ALongReadStopsAtTheTimeWordsItCanHold) {
    std::string notes, times;
    for (int i = 0; i < 1500; ++i) {
        notes += SgStrokeRecord(0x20, std::uint8_t(i >> 8), std::uint8_t(i));
        times += TimeWord(1 + i / 1000, (i / 10) % 60, i % 32);
    }
    times += std::string(4096, '\x7F');  // a time file longer than the notes
    testfiles::WriteBytes(folder + "/FILE.004", notes);
    testfiles::WriteBytes(folder + "/TEXT/FILE004.HMS", times);
    auto w = Open("FILE.004");
    w->ReadStrokes(0, 100000);
    ASSERT_TRUE(owner.WaitForStrokes(*w, 1024, kBound));
    w->ReadStrokes(1024, 1024);
    ASSERT_TRUE(owner.WaitForStrokes(*w, 1500, kBound));
    EXPECT_FALSE(owner.WaitForStrokes(*w, 1501, kNothing));
    const TrackStroke& last = owner.Strokes()[1499];
    EXPECT_EQ(fakes::KeysText(last), "20 05 DB 00 00 00");
    EXPECT_EQ(last.timeCode, sg::TimeWordToTimeCode(std::uint16_t(2 << 11 | (149 % 60) << 5 | 1499 % 32)));
}

TEST_F(SgNotesFolder, WithoutATimeFileStrokesGetTheTimeOfReading) {
    testfiles::WriteBytes(folder + "/FILE.005", SgStrokeRecord(0x01, 0x00, 0x00));
    auto w = Open("FILE.005");
    EXPECT_FALSE(w->timeFile);
    w->ReadStrokes(0, 1);
    ASSERT_TRUE(owner.WaitForStrokes(*w, 1, kBound));
    EXPECT_EQ(owner.Strokes()[0].elapsedMs, 0);
    EXPECT_FALSE(w->OpenNotesFile(int(w->notesFiles.size())));
}

// ---- a scripted line under the fast clock -------------------------------------------------

// CWriterSG whose line is the writer model itself, answering at once; waiting for input
// passes virtual time.
class ScriptedLineSG : public CWriterSG {
public:
    using CWriterSG::CWriterSG;
    using CWriterSG::StopReaderThread;
    ~ScriptedLineSG() override { Stop(); }

    SgWriterModel model;
    std::vector<std::int64_t> wakeTimes;  // fast-clock time of each Wake packet written

    // Fast-clock time of each read request written (the reader thread writes them).
    std::vector<std::int64_t> ReadTimes() {
        std::lock_guard lock(readLock_);
        return readTimes_;
    }

protected:
    void LineWrite(const std::string& bytes) override {
        if (bytes == sg::WakePacket()) wakeTimes.push_back(platform::MonotonicMs());
        if (sg::RequestAction(bytes) == sg::ReadRecords) {
            std::lock_guard lock(readLock_);
            readTimes_.push_back(platform::MonotonicMs());
        }
        input_ += model.Feed(bytes);
    }
    bool LineInputWaiting() override { return !input_.empty(); }
    std::string LineReadWaiting(std::size_t most) override {
        std::string bytes = input_.substr(0, most);
        input_.erase(0, bytes.size());
        return bytes;
    }
    WaitResult LineWait(int ms) override {
        if (input_.empty()) platform::SleepMs(ms);
        return input_.empty() ? WaitResult::Timeout : WaitResult::Ready;
    }
    void LineFlushInput() override { input_.clear(); }
    bool LineOpen() override { return !stopped_; }

public:
    void Stop() override {
        CWriterSG::Stop();
        stopped_ = true;
    }

private:
    std::string input_;
    bool stopped_ = false;
    std::mutex readLock_;
    std::vector<std::int64_t> readTimes_;
};

TEST(SgScriptedLine, NoAnswerTakesVirtualSeconds) {
    platform::FastClock clock;
    platform::ScopedClock useClock(clock);
    fakes::UseLineSettings(200);  // the serial port itself is not used
    fakes::FakeOwnerWindow owner;
    ScriptedPresenter presenter;
    presenter.Answer(kMessageNoAnswer, 0).Answer(kMessageNoAnswer, 1);
    std::unique_ptr<ScriptedLineSG> w(NewWriter<ScriptedLineSG>(owner.Handle()));
    w->mode = kModeRealtime;
    w->model.Inject(Fault::Silent);

    const std::int64_t virtualStart = clock.NowMs();
    w->Start(1);
    EXPECT_EQ(CountAsked(presenter, kMessageNoAnswer), 2);
    ASSERT_EQ(w->wakeTimes.size(), 20u);
    for (std::size_t i = 1; i < w->wakeTimes.size(); ++i) {
        EXPECT_EQ(w->wakeTimes[i] - w->wakeTimes[i - 1], 1000) << i;
    }
    EXPECT_GE(clock.NowMs() - virtualStart, 20000);

    // A writer that never answered is not waited for: the close request goes out, and Stop
    // returns without passing any time.
    const std::int64_t stopping = clock.NowMs();
    w->Stop();
    EXPECT_EQ(clock.NowMs() - stopping, 0);
    EXPECT_EQ(w->model.CountOf(sg::CloseFile), 1);
    EXPECT_EQ(w->model.Actions().back(), sg::EndRealtime);
}

// A connected writer that answers every read at once is still asked no more than ten times
// a second, and its close reply is awaited 2 s from the request, no longer.
TEST(SgScriptedLine, ReadsArePacedAndTheCloseReplyHasOneLimit) {
    platform::FastClock clock;
    platform::ScopedClock useClock(clock);
    sim::PtyPair unused{1};  // a port that opens; the writer is the scripted line
    fakes::UseLineSettings(1);
    fakes::FakeOwnerWindow owner;
    ScriptedPresenter presenter;
    std::unique_ptr<ScriptedLineSG> w(NewWriter<ScriptedLineSG>(owner.Handle()));
    w->mode = kModeRealtime;
    w->model.Inject(Fault::Silent, sg::CloseFile);
    w->Start(1);
    ASSERT_EQ(presenter.Asked().size(), 0u);
    for (int i = 0; i < 5000 && w->ReadTimes().size() < 12; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    w->StopReaderThread();
    const std::vector<std::int64_t> reads = w->ReadTimes();
    ASSERT_GE(reads.size(), 12u);
    for (std::size_t i = 1; i < reads.size(); ++i) EXPECT_GE(reads[i] - reads[i - 1], 100) << i;

    const std::int64_t stopping = clock.NowMs();
    w->Stop();
    EXPECT_EQ(clock.NowMs() - stopping, 2000);
    EXPECT_EQ(w->model.Actions().back(), sg::EndRealtime);
}

}  // namespace
