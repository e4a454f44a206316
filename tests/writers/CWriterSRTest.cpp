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
    EXPECT_EQ(writer->strokeIndex, 3);

    const std::vector<Keys> strokes = Strokes(40, 2);
    Write({strokes.begin(), strokes.begin() + 20});
    sim.WriteTimeMarker(1500);
    Write({strokes.begin() + 20, strokes.end()});
    ASSERT_TRUE(owner.WaitForStrokes(*writer, 40, kBound));
    EXPECT_FALSE(owner.WaitForStrokes(*writer, 41, session::kNothingMs));  // nothing twice
    EXPECT_EQ(owner.StrokeKeys(), Texts(strokes));
    // The last message may still be on its way when its stroke was taken with an earlier one.
    EXPECT_TRUE(owner.WaitForMessages(40, kBound));
    EXPECT_EQ(owner.StrokeMessageCount(), 40u);
    EXPECT_EQ(owner.Strokes()[0].elapsedMs, 0);
    EXPECT_EQ(sim.ReadRequests().front().first, 2);  // one stroke before the first wanted
}

TEST_F(SrSession, TheFirstStrokeOnAnEmptyWriterArrives) {
    auto writer = Open(kModeRealtime);
    EXPECT_EQ(writer->strokeIndex, 0);
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
    EXPECT_EQ(writer->strokeIndex, 5);
    EXPECT_EQ(writer->byteDelay, 3);  // only the silent attempts slow the requests
    sim.Write({0x01, 0x00, 0x00});
    EXPECT_TRUE(owner.WaitForStrokes(*writer, 1, kBound));
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
