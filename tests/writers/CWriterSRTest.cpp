// CWriterSR against a simulated StenoRAM on a pseudo-terminal: the handshake with its retries,
// realtime strokes read in batches (each record form, time markers), damaged and cut replies
// asked for again, a writer unplugged mid-reply, the stored notes read over the cable into
// StenoRAM.000, and notes files of a folder.
#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <random>
#include <thread>

#include "tests/fakes/FakeOwnerWindow.h"
#include "tests/fakes/TestWriters.h"
#include "tests/fakes/WaitDialogScript.h"
#include "tests/sim/SrSimulator.h"
#include "tests/support/FileHelpers.h"
#include "tests/support/HexBytes.h"
#include "tests/support/ScriptedPresenter.h"
#include "tests/support/TestEnvironment.h"
#include "tests/writers/DriverSession.h"
#include "writers/CWriterSR.h"

namespace {

using Keys = sim::SrSimulator::Keys;
constexpr int kBound = 5000;
constexpr int kMessageStartFrom = 5018;

// Strokes of all three record forms (the simulator picks the form).
std::vector<Keys> Strokes(std::size_t count, unsigned seed) {
    static const Keys kShort[] = {{0x35, 0x02, 0xA8}, {0x09, 0xC5, 0x50}, {0x10, 0x00, 0x00}};
    std::mt19937 random(seed);
    std::vector<Keys> strokes;
    while (strokes.size() < count) {
        if (random() % 4 == 0) {
            strokes.push_back(kShort[random() % 3]);
            continue;
        }
        Keys k{std::uint8_t(random() & 0x3F), std::uint8_t(random()), std::uint8_t(random())};
        if (k[0] | k[1] | k[2]) strokes.push_back(k);
    }
    return strokes;
}

std::vector<std::string> Texts(const std::vector<Keys>& strokes) {
    std::vector<std::string> texts;
    for (const Keys& k : strokes) texts.push_back(ToHex(std::string(k.begin(), k.end())) + " 00 00 00");
    return texts;
}

class SrSession : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(sim.IsOpen()) << sim.Error();
        fakes::UseLineSettings(1);
    }
    std::unique_ptr<CWriterSR> Open(int mode, unsigned argument = 1) {
        std::unique_ptr<CWriterSR> writer(NewWriter<CWriterSR>(owner.Handle()));
        writer->mode = mode;
        writer->answerWaitMs = 100;
        writer->byteDelayStepMs = 1;
        writer->Start(argument);
        return writer;
    }
    void Write(const std::vector<Keys>& strokes) {
        for (const Keys& k : strokes) sim.Write(k);
    }

    sim::SrSimulator sim{1};
    fakes::FakeOwnerWindow owner;
};

// ---- realtime -------------------------------------------------------------------------------

TEST_F(SrSession, OnlyStrokesWrittenAfterTheStartArriveInOrder) {
    Write(Strokes(3, 1));  // already on the writer
    ScriptedPresenter presenter;  // no question may be asked
    auto writer = Open(kModeRealtime);

    const std::vector<Keys> strokes = Strokes(40, 2);
    Write({strokes.begin(), strokes.begin() + 20});
    sim.WriteTimeMarker(1500);
    Write({strokes.begin() + 20, strokes.end()});
    ASSERT_TRUE(owner.WaitForStrokes(*writer, 40, kBound));
    EXPECT_FALSE(owner.WaitForStrokes(*writer, 41, session::kNothingMs));  // nothing twice
    EXPECT_EQ(owner.StrokeKeys(), Texts(strokes));
    // The last message may still be on its way when its stroke was taken with an earlier one.
    EXPECT_TRUE(owner.WaitForStrokeMessages(40, kBound));
    EXPECT_EQ(owner.StrokeMessageCount(), 40u);
    EXPECT_EQ(owner.Strokes()[0].elapsedMs, 0);
    // From the handshake's count (3) on, with one stroke before the first wanted. (strokeIndex
    // belongs to the reader thread: the test reads it off the line.)
    EXPECT_EQ(sim.ReadRequests().front().first, 2);
}

TEST_F(SrSession, TheFirstStrokeOnAnEmptyWriterArrives) {
    auto writer = Open(kModeRealtime);
    sim.Write({0x01, 0x00, 0x00});
    ASSERT_TRUE(owner.WaitForStrokes(*writer, 1, kBound));
    EXPECT_EQ(owner.StrokeKeys(), std::vector<std::string>{"01 00 00 00 00 00"});
    EXPECT_EQ(sim.ReadRequests().front(), (std::pair<int, int>{0, 1}));
}

TEST_F(SrSession, StartingFromTheFirstStoredStrokeReadsInBatchesOfFifty) {
    const std::vector<Keys> strokes = Strokes(120, 3);
    Write(strokes);
    ScriptedPresenter presenter;
    presenter.Answer(kMessageStartFrom, 1);  // "&First"
    auto writer = Open(kModeRealtime, 0);
    ASSERT_TRUE(owner.WaitForStrokes(*writer, 120, kBound));
    EXPECT_EQ(owner.StrokeKeys(), Texts(strokes));
    const auto reads = sim.ReadRequests();
    ASSERT_GE(reads.size(), 3u);
    EXPECT_EQ(reads[0], (std::pair<int, int>{0, 50}));
    EXPECT_EQ(reads[1], (std::pair<int, int>{49, 51}));
    EXPECT_EQ(reads[2], (std::pair<int, int>{99, 21}));
}

TEST_F(SrSession, AReplyIsQueuedWholeBeforeItsFirstMessage) {
    Write(Strokes(120, 3));  // the first reply carries 50
    EXPECT_EQ(session::QueuedAtFirstMessageFromTheFirstStroke<CWriterSR>(
                  kBound, [](CWriterSR& w) { w.answerWaitMs = 100; }),
              50u);
}

TEST_F(SrSession, StartingFromAStrokeTheUserNames) {
    const std::vector<Keys> strokes = Strokes(10, 4);
    Write(strokes);
    ScriptedPresenter presenter;
    presenter.Answer(kMessageStartFrom, 2).Answer(6028, 1, "7");  // "&Other", then 7
    auto writer = Open(kModeRealtime, 0);
    ASSERT_TRUE(owner.WaitForStrokes(*writer, 3, kBound));
    EXPECT_FALSE(owner.WaitForStrokes(*writer, 4, session::kNothingMs));
    EXPECT_EQ(owner.StrokeKeys(), Texts({strokes.begin() + 7, strokes.end()}));
    EXPECT_EQ(presenter.Asked()[1].value, "10");  // the writer's count is offered
}

TEST_F(SrSession, DamagedRepliesAreAskedForAgainWithNoWrongOrRepeatedStroke) {
    using Damage = sim::SrSimulator::Damage;
    const Damage damages[] = {Damage::DataChecksum, Damage::HeaderChecksum, Damage::LongLength,
                              Damage::CutShort, Damage::CutRecord};
    auto writer = Open(kModeRealtime);
    std::vector<Keys> all;
    unsigned seed = 10;
    for (const Damage damage : damages) {
        // The last stroke of each batch takes three bytes, so that cutting it leaves a part.
        std::vector<Keys> strokes = Strokes(4, seed++);
        strokes.push_back({0x21, 0x43, 0x65});
        sim.damage = damage;
        Write(strokes);
        all.insert(all.end(), strokes.begin(), strokes.end());
        ASSERT_TRUE(owner.WaitForStrokes(*writer, all.size(), kBound)) << int(damage);
        EXPECT_EQ(sim.damage.load(), Damage::None);  // the damaged reply was sent
    }
    EXPECT_FALSE(owner.WaitForStrokes(*writer, all.size() + 1, session::kNothingMs));
    EXPECT_EQ(owner.StrokeKeys(), Texts(all));
}

TEST_F(SrSession, RepliesArrivingByteByByteGiveTheSameStrokes) {
    auto writer = Open(kModeRealtime);
    sim.SetByteDelay(1);
    const std::vector<Keys> strokes = Strokes(12, 5);
    Write(strokes);
    ASSERT_TRUE(owner.WaitForStrokes(*writer, 12, kBound));
    EXPECT_EQ(owner.StrokeKeys(), Texts(strokes));
}

TEST_F(SrSession, AWriterSlowToAnswerIsWaitedFor) {
    auto writer = Open(kModeRealtime);
    sim.replyDelayMs = 400;  // within the reply window, beyond the pace of the requests
    const std::vector<Keys> strokes = Strokes(6, 8);
    Write(strokes);
    ASSERT_TRUE(owner.WaitForStrokes(*writer, 6, kBound));
    EXPECT_FALSE(owner.WaitForStrokes(*writer, 7, session::kNothingMs));
    EXPECT_EQ(owner.StrokeKeys(), Texts(strokes));
}

TEST_F(SrSession, NoiseOnTheLineLosesNoStrokeAndRepeatsNone) {
    auto writer = Open(kModeRealtime);
    std::vector<Keys> all;
    for (unsigned round = 0; round < 5; ++round) {
        sim.Send("\x55");  // between replies or inside one: either way no stroke comes of it
        const std::vector<Keys> strokes = Strokes(3, 20 + round);
        Write(strokes);
        all.insert(all.end(), strokes.begin(), strokes.end());
        std::this_thread::sleep_for(std::chrono::milliseconds(130));
    }
    ASSERT_TRUE(owner.WaitForStrokes(*writer, all.size(), kBound));
    EXPECT_FALSE(owner.WaitForStrokes(*writer, all.size() + 1, session::kNothingMs));
    EXPECT_EQ(owner.StrokeKeys(), Texts(all));
}

TEST_F(SrSession, AWriterUnpluggedMidReplyStopsAtOnceWithoutSpinning) {
    auto writer = Open(kModeRealtime);
    sim.damage = sim::SrSimulator::Damage::CutShort;
    sim.Write({0x01, 0x02, 0x03});
    ASSERT_TRUE(sim.WaitForReceived(28 * 3, kBound));  // status, status, read
    sim.Vanish();
    EXPECT_FALSE(owner.WaitForStrokes(*writer, 1, session::kNothingMs));
    EXPECT_LT(session::CpuMsWhileIdle(500), 250.0);
    EXPECT_TRUE(session::ReturnsSoon([&] { writer->Stop(); }));
}

// The writer is restarted (a power cycle, a new job) and counts its strokes from none again:
// every stroke of the new job arrives, none of the old one again.
TEST_F(SrSession, AWriterRestartedWithAFreshCountIsReadFromItsFirstStroke) {
    Write(Strokes(20, 30));  // already on the writer
    auto writer = Open(kModeRealtime);
    const std::vector<Keys> before = Strokes(5, 31);
    Write(before);
    ASSERT_TRUE(owner.WaitForStrokes(*writer, before.size(), kBound));
    sim.Restart();
    const std::vector<Keys> after = Strokes(60, 32);
    Write({after.begin(), after.begin() + 3});  // before the driver asks again
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    Write({after.begin() + 3, after.end()});
    std::vector<Keys> all = before;
    all.insert(all.end(), after.begin(), after.end());
    ASSERT_TRUE(owner.WaitForStrokes(*writer, all.size(), kBound));
    EXPECT_FALSE(owner.WaitForStrokes(*writer, all.size() + 1, session::kNothingMs));
    EXPECT_EQ(owner.StrokeKeys(), Texts(all));
}

// Bytes after a reply (a writer that appends 00, or something that looks like a start byte)
// are dropped: they never become the start of the next reply.
TEST(SrTrailingBytes, BytesAfterEveryReplyLoseNoStroke) {
    for (const char* trailing : {"00", "00 00", "16", "16 03 00 00"}) {
        SCOPED_TRACE(trailing);
        sim::SrSimulator writerSide(1);
        ASSERT_TRUE(writerSide.IsOpen()) << writerSide.Error();
        writerSide.SetTrailingBytes(Hex(trailing));
        fakes::UseLineSettings(1);
        fakes::FakeOwnerWindow window;
        std::unique_ptr<CWriterSR> writer(NewWriter<CWriterSR>(window.Handle()));
        writer->mode = kModeRealtime;
        writer->answerWaitMs = 100;
        writer->Start(1);
        std::vector<Keys> all;
        for (unsigned round = 0; round < 4; ++round) {
            const std::vector<Keys> strokes = Strokes(8, 40 + round);
            for (const Keys& k : strokes) writerSide.Write(k);
            all.insert(all.end(), strokes.begin(), strokes.end());
            ASSERT_TRUE(window.WaitForStrokes(*writer, all.size(), kBound));
        }
        EXPECT_FALSE(window.WaitForStrokes(*writer, all.size() + 1, session::kNothingMs));
        EXPECT_EQ(window.StrokeKeys(), Texts(all));
        writer.reset();
    }
}

// Unplugged in the middle of a reply, and plugged in again on a new line behind the same COM1:
// the driver says so, redoes its handshake without a question, and reads on from the stroke
// it had reached.
TEST(SrReconnect, AWriterPluggedInAgainIsReadOnFromTheStrokeReached) {
    struct Case {
        const char* name;
        bool restarted;  // the writer came back counting from none (a new job)
    } cases[] = {{"the same writer", false}, {"a restarted writer", true}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        sim::SrSimulator line(1);
        ASSERT_TRUE(line.IsOpen()) << line.Error();
        fakes::UseLineSettings(1);
        const std::vector<Keys> old = Strokes(4, 50);
        for (const Keys& k : old) line.Write(k);
        ScriptedPresenter presenter;  // nothing may be asked
        session::WatchedWriter<CWriterSR> watched;
        auto& [window, writer] = watched;
        writer->answerWaitMs = 100;
        writer->byteDelayStepMs = 1;
        writer->Start(1);
        const std::vector<Keys> first = Strokes(3, 51);
        for (const Keys& k : first) line.Write(k);
        ASSERT_TRUE(window.WaitForStrokes(*writer, first.size(), kBound));

        // The next reply is cut off by the unplugging.
        std::atomic<bool> cut{false};
        line.damage = sim::SrSimulator::Damage::CutShort;
        line.OnStrokeData([&](int, int) { cut = true; });
        const Keys lost{0x21, 0x43, 0x65};
        line.Write(lost);
        for (int i = 0; i < kBound / 5 && !cut; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(5));
        ASSERT_TRUE(cut);
        line.Vanish();
        ASSERT_TRUE(session::ToldInOrder(window, ConnectionState::Receiving, ConnectionState::Gone, kBound));

        sim::SrSimulator back(1);
        ASSERT_TRUE(back.IsOpen()) << back.Error();
        std::vector<Keys> expected = first;
        if (!c.restarted) {
            // The same writer: what it held, the stroke whose reply was cut, one written while away.
            for (const Keys& k : old) back.Write(k);
            for (const Keys& k : first) back.Write(k);
            back.Write(lost);
            expected.push_back(lost);
        }
        const std::vector<Keys> meanwhile = Strokes(2, 52);
        for (const Keys& k : meanwhile) back.Write(k);
        expected.insert(expected.end(), meanwhile.begin(), meanwhile.end());
        ASSERT_TRUE(window.WaitForStrokes(*writer, expected.size(), 3 * kBound));
        const std::vector<Keys> later = Strokes(3, 53);
        for (const Keys& k : later) back.Write(k);
        expected.insert(expected.end(), later.begin(), later.end());
        ASSERT_TRUE(window.WaitForStrokes(*writer, expected.size(), kBound));
        EXPECT_FALSE(window.WaitForStrokes(*writer, expected.size() + 1, session::kNothingMs));
        EXPECT_EQ(window.StrokeKeys(), Texts(expected));
        EXPECT_TRUE(session::ToldInOrder(window, ConnectionState::Gone, ConnectionState::Connected, kBound));
        EXPECT_TRUE(presenter.Asked().empty());
        writer.reset();  // before the line goes
    }
}

// ---- the handshake -------------------------------------------------------------------------

TEST_F(SrSession, ASilentWriterIsAskedTenTimesThenRetryThenCancel) {
    sim.SetSilent(true);
    ScriptedPresenter presenter;
    presenter.Answer(kMessageNoAnswer, 0).Answer(kMessageNoAnswer, 1);
    auto writer = Open(kModeRealtime);
    ASSERT_EQ(presenter.Asked().size(), 2u);
    EXPECT_EQ(presenter.Asked()[0].text, "Unable to communicate with steno machine.");
    EXPECT_EQ(presenter.Asked()[0].captions, (std::vector<std::string>{"&Retry", "&Cancel"}));
    EXPECT_EQ(sim.Received(), [] {
        std::string twenty;
        for (int i = 0; i < 20; ++i) twenty += sim::SrSimulator::StatusRequest();
        return twenty;
    }());
    // Cancel leaves the reader thread at its gate: nothing more is asked.
    EXPECT_FALSE(sim.WaitForReceived(28 * 21, session::kNothingMs));
}

TEST_F(SrSession, AWriterThatKeepsAnsweringBadlyIsAskedAboutToo) {
    sim.badStatusAnswers = 1000;
    ScriptedPresenter presenter;
    presenter.Answer(kMessageNoAnswer, 1);
    auto writer = Open(kModeRealtime);
    ASSERT_EQ(presenter.Asked().size(), 1u);
    EXPECT_EQ(sim.statusRequests.load(), 10);
    EXPECT_EQ(writer->protocolState, 4);
}

TEST_F(SrSession, AWriterAnsweringLateInTheHandshakeIsTakenWithoutAQuestion) {
    sim.silentRequests = 3;
    sim.badStatusAnswers = 2;
    Write(Strokes(5, 6));
    ScriptedPresenter presenter;
    auto writer = Open(kModeRealtime);
    sim.Write({0x01, 0x00, 0x00});
    EXPECT_TRUE(owner.WaitForStrokes(*writer, 1, kBound));
    ASSERT_FALSE(sim.ReadRequests().empty());
    EXPECT_EQ(sim.ReadRequests().front(), (std::pair<int, int>{4, 2}));  // from the count, 5
    writer->Stop();
    EXPECT_EQ(writer->handshakeDelay, 3);  // only the silent attempts slowed the requests
    EXPECT_EQ(writer->byteDelay, 0);       // and once answered, they go at the normal pace
}

// A writer that answers only from the fifth attempt is asked at the normal pace once it has
// answered; one that answers only slowly sent bytes gets them slowly again.
TEST_F(SrSession, ASlowHandshakeDoesNotSlowTheSession) {
    struct Case {
        const char* name;
        int silentAttempts;
        bool needsPacedBytes;
        int byteDelayAfter;
    } cases[] = {{"late to wake", 4, false, 0}, {"needs slow bytes", 0, true, 5}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        sim::SrSimulator line(2);
        ASSERT_TRUE(line.IsOpen()) << line.Error();
        fakes::UseLineSettings(2);
        line.silentRequests = c.silentAttempts;
        line.needsPacedBytes = c.needsPacedBytes;
        ScriptedPresenter presenter;  // no question: the writer answers in time
        session::WatchedWriter<CWriterSR> watched;
        auto& [window, writer] = watched;
        writer->answerWaitMs = 100;
        writer->byteDelayStepMs = 5;
        writer->Start(1);
        ASSERT_TRUE(presenter.Asked().empty()) << "the handshake failed";
        const std::vector<Keys> strokes = Strokes(6, 60);
        for (const Keys& k : strokes) line.Write(k);
        ASSERT_TRUE(window.WaitForStrokes(*writer, strokes.size(), 2 * kBound));
        EXPECT_EQ(window.StrokeKeys(), Texts(strokes));
        writer->Stop();
        EXPECT_EQ(writer->handshakeDelay, c.silentAttempts * 5 + (c.needsPacedBytes ? 5 : 0));
        EXPECT_EQ(writer->byteDelay, c.byteDelayAfter);
        if (c.needsPacedBytes) {
            // The normal pace was tried and not answered, then the slower one again.
            EXPECT_GE(line.ignoredWholeRequests.load(), 3);
            EXPECT_TRUE(session::ToldInOrder(window, ConnectionState::NotAnswering, ConnectionState::Connected, kBound));
        }
    }
    fakes::UseLineSettings(1);
}

TEST_F(SrSession, APortThatDoesNotOpenIsReportedAtOnce) {
    fakes::UseLineSettings(7);  // no such port
    ScriptedPresenter presenter;
    presenter.Answer(kMessageNoAnswer, 1);
    auto writer = Open(kModeRealtime);
    EXPECT_EQ(presenter.Asked().size(), 1u);
    EXPECT_TRUE(sim.Received().empty());
}

// ---- stored notes over the cable -----------------------------------------------------------

TEST_F(SrSession, StoredNotesAreReadIntoTheCaptureFile) {
    const std::vector<Keys> strokes = Strokes(250, 7);
    Write({strokes.begin(), strokes.begin() + 99});
    sim.WriteTimeMarker(600);  // inside the first batch: it must not end the transfer
    Write({strokes.begin() + 99, strokes.end()});
    fakes::WaitDialogScript dialogs;
    auto writer = Open(kModeNotesCable);

    const std::string path = std::string(std::getenv("TEMP")) + "/StenoRAM.000";
    std::string records;
    for (const Keys& k : strokes) records.append(k.begin(), k.end());
    EXPECT_EQ(testfiles::ReadBytes(path), records);
    EXPECT_EQ(writer->notesFiles, std::vector<std::string>{path});
    EXPECT_EQ(writer->notesListing, std::vector<std::string>{"StenoRAM.000"});
    ASSERT_EQ(dialogs.OpenedCount(), 1u);
    ASSERT_EQ(dialogs.Dialog(0).ranges.size(), 1u);
    EXPECT_EQ(dialogs.Dialog(0).ranges[0].high, 250);
    EXPECT_TRUE(dialogs.Dialog(0).closed);
    EXPECT_EQ(sim.ReadRequests().front(), (std::pair<int, int>{0, 100}));

    // The reader thread never ran; the caller reads the notes through the file.
    ASSERT_TRUE(writer->OpenNotesFile(0));
    writer->ReadStrokes(248, 5);
    owner.HandleMessages(*writer);
    EXPECT_EQ(owner.StrokeKeys(), Texts({strokes.end() - 2, strokes.end()}));
}

TEST_F(SrSession, AFailedHandshakeBeforeTheNotesListsNothing) {
    const std::string path = std::string(std::getenv("TEMP")) + "/StenoRAM.000";
    testfiles::WriteBytes(path, "\x01\x02\x03");  // from an earlier transfer
    sim.SetSilent(true);
    ScriptedPresenter presenter;
    presenter.Answer(kMessageNoAnswer, 1);
    fakes::WaitDialogScript dialogs;
    auto writer = Open(kModeNotesCable);
    EXPECT_EQ(presenter.Asked().size(), 1u);
    EXPECT_TRUE(writer->notesFiles.empty());
    EXPECT_EQ(dialogs.OpenedCount(), 0u);
    EXPECT_EQ(testfiles::ReadBytes(path), "\x01\x02\x03");
}

// ---- notes files of a folder ------------------------------------------------------------------

TEST(SrNotesFolder, RecordsAfterTheHeaderAreReadInTurn) {
    fakes::FakeOwnerWindow owner;
    const std::string folder = testenv::MakeTempDir("notes");
    // After the header: a stroke, a time marker and its time, two strokes, and a cut record.
    testfiles::WriteBytes(folder + "/JOB1.SR", std::string(1024, '\x81') + Hex("02 00 00 00 00 01 00 05 DC 81 C3 25 02"));
    std::unique_ptr<CWriterSR> writer(NewWriter<CWriterSR>(owner.Handle()));
    writer->mode = kModeNotesFolder;
    writer->notesFolder = folder;
    writer->Start(1);
    ASSERT_EQ(writer->notesFiles.size(), 1u);
    ASSERT_TRUE(writer->OpenNotesFile(0));
    writer->ReadStrokes(0, 2);  // the stroke and the marker
    writer->ReadStrokes(1, 5);  // on from there: the time, two strokes; the cut record stays
    owner.HandleMessages(*writer);
    EXPECT_EQ(owner.StrokeKeys(), (std::vector<std::string>{"01 00 00 00 00 00", "35 02 A8 00 00 00", "09 C5 50 00 00 00"}));
    EXPECT_EQ(owner.Strokes()[1].timeCode, (TimeCode{1, 0, 0, 0}));
    EXPECT_EQ(writer->strokeIndex, 3);
}

}  // namespace
