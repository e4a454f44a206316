// CWriterEZ against a simulated EZ-Writer on a pseudo-terminal: the presence check with its
// retries, realtime strokes (stray bytes, a writer stopping mid-packet, a writer unplugged),
// the stored notes read over the cable into EZWriter.000 with Cancel, and diskette notes files.
#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <random>

#include "tests/fakes/FakeOwnerWindow.h"
#include "tests/fakes/TestWriters.h"
#include "tests/fakes/WaitDialogScript.h"
#include "tests/sim/EzSimulator.h"
#include "tests/support/FileHelpers.h"
#include "tests/support/ScriptedPresenter.h"
#include "tests/support/TestEnvironment.h"
#include "tests/writers/StrokeBytes.h"
#include "tests/writers/DriverSession.h"
#include "writers/CWriterEZ.h"

namespace {

using strokebytes::Records;

constexpr int kBound = 5000;

std::vector<Stroke> StoredStrokes(std::size_t count) {
    std::mt19937 random(18);
    std::vector<Stroke> strokes;
    while (strokes.size() < count) {
        Stroke s{std::uint8_t(random() & 0x7F), std::uint8_t(random()), std::uint8_t(random())};
        if (s[0] | s[1] | s[2]) strokes.push_back(s);  // a stroke has at least one key
    }
    return strokes;
}

class EzSession : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(sim.IsOpen()) << sim.Error();
        fakes::UseLineSettings(1);
    }
    // A generous wait for the echo: a loaded machine must not turn a late echo into a question.
    std::unique_ptr<CWriterEZ> Open(int mode, int presenceWaitMs = 200) {
        std::unique_ptr<CWriterEZ> writer(NewWriter<CWriterEZ>(owner.Handle()));
        writer->mode = mode;
        writer->presenceWaitMs = presenceWaitMs;
        writer->Start(1);
        return writer;
    }

    sim::EzSimulator sim{1};
    fakes::FakeOwnerWindow owner;
};

// ---- realtime ---------------------------------------------------------------------------

TEST_F(EzSession, RealtimeStrokesArriveAfterTheStartUpExchange) {
    auto writer = Open(kModeRealtime);
    ASSERT_TRUE(sim.WaitForReceived(8, kBound));
    const std::string received = sim.Received();
    EXPECT_EQ(received.substr(received.size() - 7), "\n\n\nS\n\n\n");
    EXPECT_TRUE(sim.realtime);

    sim.Send(sim::EzSimulator::RealtimePacket({0x20, 0x00, 0x00}));
    sim.Send(sim::EzSimulator::RealtimePacket({0x20, 0x00, 0x00}, 0xFF));
    sim.Send(std::string("\x12\x7E\x01\x02\x03", 5));               // a stray byte first
    sim.Send(sim::EzSimulator::RealtimePacket({0x7E, 0xFE, 0x7F}));   // data like sync bytes
    ASSERT_TRUE(owner.WaitForStrokes(*writer, 4, kBound));
    EXPECT_EQ(owner.StrokeKeys(), (std::vector<std::string>{"20 00 00 00 00 00", "20 00 00 00 00 00",
                                                            "01 02 03 00 00 00", "7E FE 7F 00 00 00"}));
    // The last message may still be on its way when its stroke was taken with an earlier one.
    EXPECT_TRUE(owner.WaitForStrokeMessages(4, kBound));
    EXPECT_EQ(owner.StrokeMessageCount(), 4u);
}

TEST_F(EzSession, AWriterStoppingMidPacketLosesThatPacketOnly) {
    auto writer = Open(kModeRealtime);
    sim.Send(std::string("\x7E\x01", 2));  // the writer stops here
    EXPECT_FALSE(owner.WaitForStrokes(*writer, 1, 400));
    // The rest of the cut packet never comes; the next whole packet is read as it is.
    sim.Send(sim::EzSimulator::RealtimePacket({0x04, 0x05, 0x06}));
    ASSERT_TRUE(owner.WaitForStrokes(*writer, 1, kBound));
    EXPECT_EQ(owner.StrokeKeys(), std::vector<std::string>{"04 05 06 00 00 00"});

    sim.Send(std::string("\x7E\x01", 2));  // cut short again, then stopped while it waits
    writer->Stop();
    EXPECT_EQ(writer->threadStopped.load(), 1);
}

TEST_F(EzSession, AnUnpluggedWriterDeliversNothingAndStops) {
    auto writer = Open(kModeRealtime);
    sim.Send(std::string("\x7E\x01", 2));
    sim.Vanish();
    EXPECT_FALSE(owner.WaitForStrokes(*writer, 1, 300));
    writer.reset();  // Stop returns although the device is gone
}

TEST_F(EzSession, AWriterAnsweringOnTheEleventhCheckIsAcceptedWithoutAQuestion) {
    sim.ignorePresenceChecks = 10;
    ScriptedPresenter presenter;  // no answers: a question fails the test
    auto writer = Open(kModeRealtime);
    EXPECT_EQ(sim.presenceChecks.load(), 11);
    sim.Send(sim::EzSimulator::RealtimePacket({0x01, 0x00, 0x00}));
    EXPECT_TRUE(owner.WaitForStrokes(*writer, 1, kBound));
}

TEST_F(EzSession, ASilentWriterIsReportedAndRetryMakesOneMoreAttempt) {
    sim.ignorePresenceChecks = -1;
    ScriptedPresenter presenter;
    presenter.Answer(kMessageNoAnswer, 0).Answer(kMessageNoAnswer, 1);  // Retry, then Cancel
    auto writer = Open(kModeRealtime, 10);
    ASSERT_TRUE(sim.WaitForReceived(12, kBound));
    EXPECT_EQ(sim.Received(), std::string(12, 'B'));
    ASSERT_EQ(presenter.Asked().size(), 2u);
    EXPECT_EQ(presenter.Asked()[0].text, "Unable to communicate with steno machine.");

    // Cancel leaves the reader thread at its gate: a stroke on the line is never read.
    sim.Send(sim::EzSimulator::RealtimePacket({0x01, 0x00, 0x00}));
    EXPECT_FALSE(owner.WaitForStrokes(*writer, 1, 200));
}

TEST_F(EzSession, APortThatDoesNotOpenIsQuiet) {
    fakes::UseLineSettings(7);  // no such port
    ScriptedPresenter presenter;
    auto writer = Open(kModeRealtime);
    EXPECT_EQ(writer->stopRequested.load(), 1);
    EXPECT_TRUE(presenter.Asked().empty());
    EXPECT_TRUE(sim.Received().empty());
}

// ---- stored notes over the cable ----------------------------------------------------------

TEST_F(EzSession, StoredNotesAreReadIntoTheCaptureFileAndListed) {
    const std::vector<Stroke> strokes = StoredStrokes(3000);
    sim.SetStoredNotes(strokes, 1000);
    fakes::WaitDialogScript dialogs;
    auto writer = Open(kModeNotesCable);

    const std::string path = std::string(std::getenv("TEMP")) + "/EZWriter.000";
    EXPECT_EQ(testfiles::ReadBytes(path), Records(strokes));
    EXPECT_EQ(sim.Received().substr(sim.Received().size() - 7), "R\n\n\nMMM");
    ASSERT_EQ(writer->notesFiles, std::vector<std::string>{path});
    ASSERT_EQ(writer->notesListing.size(), 1u);
    EXPECT_TRUE(session::ListsCaptureFile(writer->notesListing[0], "EZWriter.000", 9000));

    ASSERT_EQ(dialogs.OpenedCount(), 1u);
    const fakes::WaitDialogRecord dialog = dialogs.Dialog(0);
    EXPECT_TRUE(session::IsClosedNotesWindow(dialog));
    ASSERT_EQ(dialog.ranges.size(), 1u);
    EXPECT_EQ(dialog.ranges[0].high, 10000);
    EXPECT_EQ(dialog.ranges[0].interval, 100);

    // The reader thread never ran; the caller reads the notes through the file.
    ASSERT_TRUE(writer->OpenNotesFile(0));
    writer->ReadStrokes(2998, 5);
    owner.HandleMessages(*writer);
    EXPECT_EQ(owner.StrokeKeys().size(), 2u);
}

TEST_F(EzSession, CancelEndsTheTransferKeepingWhatArrived) {
    const std::vector<Stroke> strokes = StoredStrokes(2000);
    sim.SetStoredNotes(strokes, 1000);
    fakes::WaitDialogScript dialogs;
    dialogs.CancelAtProgressCall(600);
    auto writer = Open(kModeNotesCable);

    const std::string kept = testfiles::ReadBytes(std::string(std::getenv("TEMP")) + "/EZWriter.000");
    EXPECT_FALSE(kept.empty());
    EXPECT_LT(kept.size(), 2000u * 3);
    EXPECT_EQ(kept, Records(strokes).substr(0, kept.size()));
    EXPECT_EQ(sim.Received().find('M'), std::string::npos);  // cancelled before asking
    EXPECT_TRUE(dialogs.Dialog(0).closed);
    EXPECT_EQ(writer->notesFiles.size(), 1u);
}

TEST_F(EzSession, ACaptureFileThatCannotBeMadeIsReported) {
    const testenv::ScopedEnv temp("TEMP", testenv::Root() + "/missing");
    fakes::WaitDialogScript dialogs;
    ScriptedPresenter presenter;
    auto writer = Open(kModeNotesCable);
    ASSERT_EQ(presenter.Asked().size(), 1u);
    EXPECT_EQ(presenter.Asked()[0].kind, ScriptedPresenter::Kind::MessageBox);
    EXPECT_NE(presenter.Asked()[0].text.find("/missing/EZWriter.000"), std::string::npos);
    EXPECT_EQ(sim.Received().find('R'), std::string::npos);  // the notes were never asked for
    EXPECT_TRUE(dialogs.Dialog(0).closed);
    EXPECT_TRUE(writer->notesFiles.empty());
}

// ---- notes files of the writer's diskette ---------------------------------------------------

TEST(EzDiskette, RecordsAfterTheHeaderGiveStrokes) {
    fakes::FakeOwnerWindow owner;
    const std::string folder = testenv::MakeTempDir("notes");
    testfiles::WriteBytes(folder + "/JOB1.EZ", std::string(1024, '\x55') + std::string("\x00\x20\x00\x00\xAA\x01\x02\x03", 8));
    std::unique_ptr<CWriterEZ> writer(NewWriter<CWriterEZ>(owner.Handle()));
    writer->mode = kModeNotesFolder;
    writer->notesFolder = folder;
    writer->Start(1);
    ASSERT_EQ(writer->notesFiles.size(), 1u);
    ASSERT_TRUE(writer->OpenNotesFile(0));
    writer->ReadStrokes(0, 5);
    owner.HandleMessages(*writer);
    EXPECT_EQ(owner.StrokeKeys(), (std::vector<std::string>{"20 00 00 00 00 00", "01 02 03 00 00 00"}));
    EXPECT_EQ(owner.Strokes()[0].timeCode, (TimeCode{0, 0, 0, 0}));
    EXPECT_EQ(writer->strokeIndex, 2);

    writer->ReadStrokes(1, 1);
    owner.HandleMessages(*writer);
    EXPECT_EQ(owner.StrokeKeys().back(), "01 02 03 00 00 00");
}

}  // namespace
