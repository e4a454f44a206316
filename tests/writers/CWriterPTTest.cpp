// CWriterPT against a simulated Palantype writer on a pseudo-terminal (the wake-up, its answer
// drained, idle polls, key packets with idle bytes, a packet cut short, noise that never stops,
// an unplugged writer), and its stored notes read from a file in windows.
#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "core/AppSettings.h"
#include "tests/fakes/FakeOwnerWindow.h"
#include "tests/fakes/TestWriters.h"
#include "tests/sim/PtSimulator.h"
#include "tests/support/FileHelpers.h"
#include "tests/support/HexBytes.h"
#include "tests/support/ScriptedPresenter.h"
#include "tests/support/TestEnvironment.h"
#include "tests/writers/DriverSession.h"
#include "tests/writers/StrokeBytes.h"
#include "writers/CWriterPT.h"
#include "writers/PtProtocol.h"

namespace {

using sim::PtSimulator;
using strokebytes::Keys;

constexpr int kBound = session::kBoundMs;

std::string KeysOf(std::initializer_list<int> keys) {
    StrokeRecord record;
    record.keys = Keys(keys);
    return fakes::KeysText(record);
}

class PtSession : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(sim.IsOpen()) << sim.Error();
        fakes::UseLineSettings(1);
    }
    std::unique_ptr<CWriter> Open(int mode = kModeRealtime) {
        std::unique_ptr<CWriter> writer(NewWriter<CWriterPT>(owner.Handle()));
        writer->mode = mode;
        writer->Start(1);
        return writer;
    }
    PtSimulator sim{1};
    fakes::FakeOwnerWindow owner;
};

TEST_F(PtSession, WakeUpThenStrokesInOrderWithIdlePolls) {
    sim.SetWakeAnswer("PAL");  // bytes that would make a packet if they were not drained
    ScriptedPresenter presenter;
    auto writer = Open();
    EXPECT_EQ(sim.wakeUps.load(), 1);
    EXPECT_EQ(ToHex(sim.Received().substr(0, 5)), "81 91 90 93 AA");

    sim.Send(PtSimulator::Packet({0, 13}) + Hex("00 00") + PtSimulator::Packet({5, 28}, true) + Hex("0F") +
             PtSimulator::Packet({}));
    sim.Send(PtSimulator::Packet({6, 17, 27}));
    ASSERT_TRUE(owner.WaitForStrokes(*writer, 4, kBound));
    EXPECT_EQ(owner.StrokeKeys(),
              (std::vector<std::string>{KeysOf({0, 13}), KeysOf({5, 28}), KeysOf({}), KeysOf({6, 17, 27})}));
    // The last message may still be on its way when its stroke was taken with an earlier one.
    EXPECT_TRUE(owner.WaitForStrokeMessages(4, session::kBoundMs));
    EXPECT_EQ(owner.StrokeMessageCount(), 4u);
    EXPECT_FALSE(owner.WaitForStrokes(*writer, 5, session::kNothingMs));

    // While the line is quiet the writer is polled with 0x80, and with nothing else.
    const std::size_t before = sim.Received().size();
    ASSERT_TRUE(sim.WaitForReceived(before + 2, kBound));
    EXPECT_EQ(sim.Received().substr(5).find_first_not_of('\x80'), std::string::npos);
    EXPECT_TRUE(presenter.Asked().empty());
    EXPECT_TRUE(sim.Problems().empty());
}

TEST_F(PtSession, APacketCutShortIsDroppedAndTheNextOneIsWhole) {
    auto writer = Open();
    sim.Send(Hex("FD FF"));  // the writer stops after two bytes
    EXPECT_FALSE(owner.WaitForStrokes(*writer, 1, pt::kPacketTimeoutMs + 300));
    sim.Send(PtSimulator::Packet({7}));
    ASSERT_TRUE(owner.WaitForStrokes(*writer, 1, kBound));
    EXPECT_EQ(owner.StrokeKeys(), std::vector<std::string>{KeysOf({7})});
    EXPECT_FALSE(owner.WaitForStrokes(*writer, 2, session::kNothingMs));
}

// A writer that stops inside a packet and goes on after the pause: that packet is dropped, its
// rest never joins the next stroke, and every later packet reads right.
// FD FF | 700 ms | FF FF, then two packets: the held-up packet is one stroke, and so is each
// after it.
TEST_F(PtSession, APacketHeldUpInsideGivesItsStrokeAndThePacketsAfterItReadRight) {
    auto writer = Open();
    const std::string key0 = PtSimulator::Packet({0});
    sim.Send(key0);
    ASSERT_TRUE(owner.WaitForStrokes(*writer, 1, kBound));
    sim.SendWithPause(key0, 2, 700);
    for (int n = 0; n < 2; ++n) {
        // A brisk writer's pause between strokes.
        std::this_thread::sleep_for(std::chrono::milliseconds(180));
        sim.Send(key0);
    }
    ASSERT_TRUE(owner.WaitForStrokes(*writer, 4, kBound));
    EXPECT_FALSE(owner.WaitForStrokes(*writer, 5, session::kNothingMs));
    EXPECT_EQ(owner.StrokeKeys(), std::vector<std::string>(4, KeysOf({0})));
}

// "Send 0x80, sleep 200 ms" stays a pace when the writer answers each poll at once: the answer
// is taken, and the next poll still waits for its cycle.
TEST_F(PtSession, AWriterAnsweringEachPollIsPolledAtTheIdlePace) {
    sim.SetPollAnswer(Hex("00"));
    auto writer = Open();
    ASSERT_TRUE(sim.WaitForReceived(6, kBound));  // the wake-up and a first poll
    const int before = sim.polls.load();
    std::this_thread::sleep_for(std::chrono::milliseconds(1000));
    // A 210 ms cycle allows about 5 in the second; polling on each answer, some hundred. The
    // bound leaves room for a slow machine, which only polls less.
    EXPECT_LE(sim.polls.load() - before, 10);
    sim.Send(PtSimulator::Packet({7}));  // strokes still come between the polls
    ASSERT_TRUE(owner.WaitForStrokes(*writer, 1, kBound));
    EXPECT_EQ(owner.StrokeKeys(), std::vector<std::string>{KeysOf({7})});
}

TEST_F(PtSession, ALowByteRestartsThePacket) {
    auto writer = Open();
    sim.Send(Hex("FD FF 05") + PtSimulator::Packet({1}) + Hex("01 02 03") + PtSimulator::Packet({2}));
    ASSERT_TRUE(owner.WaitForStrokes(*writer, 2, kBound));
    EXPECT_EQ(owner.StrokeKeys(), (std::vector<std::string>{KeysOf({1}), KeysOf({2})}));
}

TEST_F(PtSession, ALineThatNeverFallsQuietDoesNotHoldTheStart) {
    sim.SetWakeAnswer("PAL");
    sim.StartNoise(0x05, 2);  // idle bytes, for ever
    auto writer = Open();  // returns: the drain is bounded
    EXPECT_EQ(writer->threadStopped.load(), 0);
    sim.StopNoise();
    sim.Send(PtSimulator::Packet({3, 4}));
    ASSERT_TRUE(owner.WaitForStrokes(*writer, 1, kBound));
    EXPECT_EQ(owner.StrokeKeys().back(), KeysOf({3, 4}));
}

TEST_F(PtSession, StopReturnsAtOnceIdleOrMidPacket) {
    auto writer = Open();
    EXPECT_TRUE(session::ReturnsSoon([&] { writer->Stop(); }));
    EXPECT_EQ(writer->threadStopped.load(), 1);

    auto second = Open();
    sim.Send(Hex("FD FF FF"));
    EXPECT_TRUE(session::ReturnsSoon([&] { second.reset(); }));
}

TEST_F(PtSession, AnUnpluggedWriterDeliversNothingAndTheReaderWaits) {
    auto writer = Open();
    sim.Send(Hex("FD FF"));
    sim.Vanish();
    EXPECT_FALSE(owner.WaitForStrokes(*writer, 1, session::kNothingMs));
    EXPECT_LT(session::CpuMsWhileIdle(500), 250.0);  // waits, does not spin
    EXPECT_TRUE(session::ReturnsSoon([&] { writer.reset(); }));
}

TEST_F(PtSession, NotesModesDoNoWakeUp) {
    auto writer = Open(kModeNotesCable);
    EXPECT_FALSE(sim.WaitForReceived(1, session::kNothingMs));
}

// ---- stored notes in a file ---------------------------------------------------------------

class PtNotesFile : public ::testing::Test {
protected:
    void SetUp() override { GetSettings().keyboardLayout = 7; }
    void TearDown() override { GetSettings().keyboardLayout = 0; }
    // Reads the whole file in calls of `count` strokes, as a caller does, until a call brings
    // nothing more; the strokes taken.
    std::vector<std::string> ReadAll(const std::string& bytes, int count, int* calls = nullptr) {
        const std::string path = testenv::MakeTempDir("pt") + "/NOTES.PT";
        testfiles::WriteBytes(path, bytes);
        writer->notesFiles = {path};
        EXPECT_TRUE(writer->OpenNotesFile(0));
        int n = 0;
        for (std::size_t before = SIZE_MAX; n < 1000; ++n) {
            writer->ReadStrokes(n == 0 ? 0 : writer->strokeIndex, count);
            owner.HandleMessages(*writer);
            const bool atEnd = writer->notesFile.tellg() == std::streampos(bytes.size());
            if (n > 0 && owner.Strokes().size() == before && atEnd) break;
            before = owner.Strokes().size();
        }
        if (calls) *calls = n;
        return owner.StrokeKeys();
    }
    fakes::FakeOwnerWindow owner;
    std::unique_ptr<CWriterPT> writer{NewWriter<CWriterPT>(owner.Handle())};
};

TEST_F(PtNotesFile, RecordsCutByTheWindowAreReadAgainWhole) {
    std::string bytes;
    for (int i = 0; i < 5; ++i) bytes += "\x02ST";
    bytes += "\x02";  // the writer's lead byte of a record never written
    EXPECT_EQ(ReadAll(bytes, 1), std::vector<std::string>(5, KeysOf({0, 3})));
    EXPECT_EQ(writer->strokeIndex, 5);
}

TEST_F(PtNotesFile, ARecordLongerThanTheWindowStillGetsOn) {
    const std::string bytes = "\x02SCPTH+MFRNLYOEAUI\x02ST\x02";  // 18 bytes against 10
    int calls = 0;
    EXPECT_EQ(ReadAll(bytes, 1, &calls),
              (std::vector<std::string>{KeysOf({0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16}),
                                        KeysOf({0, 3})}));
    EXPECT_LT(calls, 10);
}

// Bytes that lead no record are skipped; a record whose text holds no key is still a stroke of
// the notes, an empty one, and an empty number is none.
TEST_F(PtNotesFile, DamagedBytesAreSkippedEmptyRecordsGiveEmptyStrokes) {
    const std::string bytes = std::string("\x05\x01\x02\x00\x02ST\x08\x02??\x7F\x02SC\x00", 16);
    EXPECT_EQ(ReadAll(bytes, 50), (std::vector<std::string>{KeysOf({}), KeysOf({0, 3}), KeysOf({}), KeysOf({0, 1})}));
    EXPECT_EQ(writer->strokeIndex, 4);
}

}  // namespace
