// CWriterMW against a simulated MeritWriter on a pseudo-terminal: the realtime command with
// Retry/Cancel, strokes with and without the lead byte, a stroke cut short, an unplugged
// writer; the stored notes read over the cable into MWNotes.000 (noise before records, Cancel,
// a writer falling silent, a record cut short, a writer unplugged, no capture file); and the
// erase/format question.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <memory>
#include <random>
#include <thread>

#include "tests/fakes/FakeOwnerWindow.h"
#include "tests/fakes/TestWriters.h"
#include "tests/fakes/WaitDialogScript.h"
#include "tests/sim/MwSimulator.h"
#include "tests/support/FileHelpers.h"
#include "tests/support/HexBytes.h"
#include "tests/support/ScriptedPresenter.h"
#include "tests/support/TestEnvironment.h"
#include "tests/writers/DriverSession.h"
#include "tests/writers/StrokeBytes.h"
#include "writers/CWriterMW.h"
#include "writers/MwProtocol.h"

namespace {

using sim::MwSimulator;
using strokebytes::Records;

constexpr int kBound = session::kBoundMs;
const std::string kEnd("\xFF\xFF\xFF", 3);

std::string Keys(const Stroke& s) {
    StrokeRecord record;
    record.keys = s;
    return fakes::KeysText(record);
}

// Strokes as a writer stores them (never the end record).
std::vector<Stroke> StoredStrokes(std::size_t count) {
    std::mt19937 random(20);
    std::vector<Stroke> strokes;
    while (strokes.size() < count) {
        Stroke s{std::uint8_t(random() & 0x7F), std::uint8_t(random()), std::uint8_t(random())};
        if (s[0] | s[1] | s[2]) strokes.push_back(s);
    }
    return strokes;
}

class MwSession : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(sim.IsOpen()) << sim.Error();
        fakes::UseLineSettings(1);
    }
    std::unique_ptr<CWriterMW> Make(int mode) {
        std::unique_ptr<CWriterMW> writer(NewWriter<CWriterMW>(owner.Handle()));
        writer->mode = mode;
        return writer;
    }
    std::unique_ptr<CWriterMW> Open(int mode) {
        auto writer = Make(mode);
        writer->Start(1);
        return writer;
    }
    static std::string Capture(const std::string& extension = "000") {
        return std::string(std::getenv("TEMP")) + "/MWNotes." + extension;
    }

    MwSimulator sim{1};
    fakes::FakeOwnerWindow owner;
};

// ---- realtime -------------------------------------------------------------------------------

TEST_F(MwSession, RealtimeStrokesArriveInOrderWithOrWithoutTheLeadByte) {
    ScriptedPresenter presenter;  // no answers: a question fails the test
    auto writer = Open(kModeRealtime);
    EXPECT_EQ(sim.Received(), "F1\rRTON\r");
    EXPECT_TRUE(sim.realtime.load());
    EXPECT_TRUE(presenter.Asked().empty());

    const Stroke a{0x20, 0x00, 0x00}, b{kNumberBarFlag | 0x01, 0x80, 0x01}, c{0x3F, 0xFF, 0xFF};
    sim.Send(MwSimulator::RealtimeStroke(a, true) + MwSimulator::RealtimeStroke(b) +
             MwSimulator::RealtimeStroke(c, true));
    sim.Send(MwSimulator::RealtimeStroke(a));
    ASSERT_TRUE(owner.WaitForStrokes(*writer, 4, kBound));
    EXPECT_EQ(owner.StrokeKeys(), (std::vector<std::string>{Keys(a), Keys(b), Keys(c), Keys(a)}));
    // The last message may still be on its way when its stroke was taken with an earlier one.
    EXPECT_TRUE(owner.WaitForStrokeMessages(4, session::kBoundMs));
    EXPECT_EQ(owner.StrokeMessageCount(), 4u);
    EXPECT_FALSE(owner.WaitForStrokes(*writer, 5, session::kNothingMs));
}

TEST_F(MwSession, ASilentWriterIsAskedAboutAndRetrySendsTheWholeCommandAgain) {
    sim.answerCommands = false;
    ScriptedPresenter presenter;
    presenter.Answer(kMessageNoAnswer, 0).Answer(kMessageNoAnswer, 1);  // Retry, then Cancel
    auto writer = Open(kModeRealtime);
    EXPECT_EQ(sim.Received(), "F1\rRTON\rF1\rRTON\r");
    ASSERT_EQ(presenter.Asked().size(), 2u);
    EXPECT_EQ(presenter.Asked()[0].text, "Unable to communicate with steno machine.");
    // Cancel leaves the reader thread at its gate.
    sim.Send(MwSimulator::RealtimeStroke({0x20, 0, 0}));
    EXPECT_FALSE(owner.WaitForStrokes(*writer, 1, session::kNothingMs));
}

TEST_F(MwSession, AStrokeCutShortIsDroppedAndNothingIsMadeOfIt) {
    auto writer = Open(kModeRealtime);
    sim.Send(Hex("FF 04 00"));  // the writer stops before the last key byte
    EXPECT_FALSE(owner.WaitForStrokes(*writer, 1, mw::kStrokeTimeoutMs + 300));
    sim.Send(MwSimulator::RealtimeStroke({0x00, 0x80, 0x01}));
    ASSERT_TRUE(owner.WaitForStrokes(*writer, 1, kBound));
    EXPECT_EQ(owner.StrokeKeys(), std::vector<std::string>{Keys({0x00, 0x80, 0x01})});
    EXPECT_FALSE(owner.WaitForStrokes(*writer, 2, session::kNothingMs));
}

// A writer that stops inside a stroke and goes on after the pause: that stroke is dropped, its
// rest never joins the next stroke, and every later stroke reads right.
// FF 04 | 250 ms | 00 00, then two strokes: the held-up stroke is one, and so is each after it.
TEST_F(MwSession, AStrokeHeldUpInsideGivesItsKeysAndTheStrokesAfterItReadRight) {
    auto writer = Open(kModeRealtime);
    const std::string key0 = MwSimulator::RealtimeStroke({0x20, 0, 0});
    sim.Send(MwSimulator::RealtimeStroke({0x20, 0, 0}, true));
    ASSERT_TRUE(owner.WaitForStrokes(*writer, 1, kBound));
    sim.SendWithPause(MwSimulator::RealtimeStroke({0x20, 0, 0}, true), 2, 250);
    for (int n = 0; n < 2; ++n) {
        // A brisk writer's pause between strokes.
        std::this_thread::sleep_for(std::chrono::milliseconds(180));
        sim.Send(key0);
    }
    ASSERT_TRUE(owner.WaitForStrokes(*writer, 4, kBound));
    EXPECT_FALSE(owner.WaitForStrokes(*writer, 5, session::kNothingMs));
    EXPECT_EQ(owner.StrokeKeys(), std::vector<std::string>(4, Keys({0x20, 0, 0})));
}

TEST_F(MwSession, StopReturnsAtOnceMidStrokeAndAnUnpluggedWriterGivesNothing) {
    auto writer = Open(kModeRealtime);
    sim.Send(Hex("FF 04"));
    EXPECT_TRUE(session::ReturnsSoon([&] { writer->Stop(); }));
    EXPECT_EQ(writer->threadStopped.load(), 1);

    auto second = Open(kModeRealtime);
    sim.Send(Hex("04"));
    sim.Vanish();
    EXPECT_FALSE(owner.WaitForStrokes(*second, 1, session::kNothingMs));
    EXPECT_LT(session::CpuMsWhileIdle(500), 250.0);  // waits, does not spin
    EXPECT_TRUE(session::ReturnsSoon([&] { second.reset(); }));
}

TEST_F(MwSession, APortThatDoesNotOpenIsReportedInRealtime) {
    fakes::UseLineSettings(7);  // no such port
    ScriptedPresenter presenter;
    presenter.Answer(kMessageNoAnswer, 1);
    auto writer = Open(kModeRealtime);
    EXPECT_EQ(presenter.Asked().size(), 1u);
    EXPECT_TRUE(sim.Received().empty());
}

// ---- stored notes over the cable --------------------------------------------------------------

TEST_F(MwSession, StoredNotesAreCapturedStaleFilesGoAndTheFileIsListed) {
    const std::vector<Stroke> strokes = StoredStrokes(300);
    sim.SetNotes(strokes);
    sim.SetNoise("\x12\x00\x7E");  // bytes before each sync byte are skipped
    for (const char* extension : {"001", "002"}) testfiles::WriteBytes(Capture(extension), "old");
    fakes::WaitDialogScript dialogs;
    ScriptedPresenter presenter;
    auto writer = Open(kModeNotesCable);

    EXPECT_EQ(testfiles::ReadBytes(Capture()), Records(strokes) + kEnd);
    EXPECT_FALSE(FileExists(Capture("001")));
    EXPECT_FALSE(FileExists(Capture("002")));
    const std::vector<std::string> commands = sim.Commands();
    ASSERT_GE(commands.size(), 5u);
    EXPECT_EQ(commands.front(), "F1");
    EXPECT_EQ(std::vector<std::string>(commands.end() - 3, commands.end()),
              (std::vector<std::string>{"JOBS", "POS000", "FU"}));
    EXPECT_TRUE(presenter.Asked().empty());
    EXPECT_TRUE(sim.Problems().empty());

    ASSERT_EQ(writer->notesFiles, std::vector<std::string>{Capture()});
    ASSERT_EQ(writer->notesListing.size(), 1u);
    EXPECT_TRUE(session::ListsCaptureFile(writer->notesListing[0], "MWNotes.000", 903));
    ASSERT_EQ(dialogs.OpenedCount(), 1u);
    const fakes::WaitDialogRecord dialog = dialogs.Dialog(0);
    EXPECT_TRUE(session::IsClosedNotesWindow(dialog));
    ASSERT_EQ(dialog.ranges.size(), 1u);
    EXPECT_EQ(dialog.ranges[0].high, 10000);
    EXPECT_EQ(dialog.ranges[0].interval, 16);

    // The caller reads the capture through the base; the end record comes as a stroke of its own.
    ASSERT_TRUE(writer->OpenNotesFile(0));
    writer->ReadStrokes(299, 5);
    owner.HandleMessages(*writer);
    EXPECT_EQ(owner.StrokeKeys(), (std::vector<std::string>{Keys(strokes.back()), Keys({0xFF, 0xFF, 0xFF})}));
}

TEST_F(MwSession, CancelWhileTheWriterIsSilentKeepsWhatArrived) {
    const std::vector<Stroke> strokes = StoredStrokes(20);
    sim.SetNotes(strokes);
    sim.recordsBeforeSilence = 5;
    fakes::WaitDialogScript dialogs;
    dialogs.CancelAtProgressCall(8);  // a few calls into the silence
    auto writer = Open(kModeNotesCable);
    EXPECT_EQ(testfiles::ReadBytes(Capture()), Records({strokes.begin(), strokes.begin() + 5}));
    EXPECT_EQ(writer->notesFiles, std::vector<std::string>{Capture()});
    EXPECT_TRUE(dialogs.Dialog(0).closed);
}

TEST_F(MwSession, ATransferThatEndsEarlyKeepsItsWholeRecordsOnly) {
    struct Row {
        const char* name;
        int silentAfter;
        bool cut;
        bool vanish;
        std::size_t kept;  // records in the capture file
    };
    const Row rows[] = {
        {"the writer falls silent", 4, false, false, 4},
        {"the writer stops inside a record", 4, true, false, 3},
        {"the writer is unplugged", 4, false, true, 4},
    };
    const std::vector<Stroke> strokes = StoredStrokes(10);
    for (const Row& row : rows) {
        MwSimulator line(2);
        ASSERT_TRUE(line.IsOpen());
        fakes::UseLineSettings(2);
        line.SetNotes(strokes);
        line.recordsBeforeSilence = row.silentAfter;
        line.cutLastRecord = row.cut;
        std::atomic<bool> done{false};
        std::thread unplug([&] {
            while (row.vanish && !done && line.recordsSent < row.silentAfter)
                std::this_thread::sleep_for(std::chrono::milliseconds(5));
            if (row.vanish && !done) line.Vanish();
        });
        fakes::WaitDialogScript dialogs;
        ScriptedPresenter presenter;
        auto writer = Make(kModeNotesCable);
        writer->byteWaitMs = 300;
        writer->recordWaitMs = 600;
        writer->Start(1);
        done = true;
        unplug.join();
        EXPECT_EQ(testfiles::ReadBytes(Capture()), Records({strokes.begin(), strokes.begin() + long(row.kept)}))
            << row.name;
        EXPECT_EQ(writer->notesFiles, std::vector<std::string>{Capture()}) << row.name;
        EXPECT_TRUE(dialogs.Dialog(0).closed) << row.name;
        EXPECT_TRUE(presenter.Asked().empty()) << row.name;
    }
}

// Notes of an earlier transfer never pass for this one's: a transfer that brings no record, or
// is cancelled before the first, leaves an empty capture file and nothing else.
TEST_F(MwSession, ATransferThatBringsNothingLeavesNoEarlierNotes) {
    const struct {
        const char* name;
        bool cancel;
    } rows[] = {{"no record comes", false}, {"cancelled before the first record", true}};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        MwSimulator line(2);
        ASSERT_TRUE(line.IsOpen());
        fakes::UseLineSettings(2);
        line.SetNotes(StoredStrokes(3));
        if (!row.cancel) line.recordsBeforeSilence = 0;
        for (const char* extension : {"000", "001", "002"}) testfiles::WriteBytes(Capture(extension), "old");
        fakes::WaitDialogScript dialogs;
        if (row.cancel) dialogs.CancelAtProgressCall(0);
        ScriptedPresenter presenter;
        auto writer = Make(kModeNotesCable);
        writer->recordWaitMs = 300;
        writer->Start(1);
        EXPECT_EQ(testfiles::ReadBytes(Capture()), "");
        EXPECT_FALSE(FileExists(Capture("001")));
        EXPECT_FALSE(FileExists(Capture("002")));
        ASSERT_EQ(writer->notesFiles, std::vector<std::string>{Capture()});
        ASSERT_EQ(writer->notesListing.size(), 1u);
        EXPECT_TRUE(session::ListsCaptureFile(writer->notesListing[0], "MWNotes.000", 0));
        EXPECT_TRUE(presenter.Asked().empty());
        ASSERT_TRUE(writer->OpenNotesFile(0));
        writer->ReadStrokes(0, 5);
        owner.HandleMessages(*writer);
        EXPECT_TRUE(owner.StrokeKeys().empty());
    }
}

// "Send U and sleep 50 ms" stays a pace when the writer answers at once: a quiet writer that
// echoes each "U" is asked no more often.
TEST_F(MwSession, AWriterEchoingTheRecordRequestIsNotFlooded) {
    sim.SetNotes(StoredStrokes(3));
    sim.recordsBeforeSilence = 0;
    sim.echoAsks = true;
    fakes::WaitDialogScript dialogs;
    auto writer = Make(kModeNotesCable);
    writer->recordWaitMs = 1000;
    writer->Start(1);
    // A pace of 50 ms allows some 20 in the second of waiting; a writer answered at once,
    // thousands. The bound leaves room for a slow machine.
    EXPECT_GE(sim.asks.load(), 1);
    EXPECT_LE(sim.asks.load(), 40);
    EXPECT_EQ(testfiles::ReadBytes(Capture()), "");
}

TEST_F(MwSession, ACaptureFileThatCannotBeMadeIsReportedWithItsPath) {
    const testenv::ScopedEnv temp("TEMP", testenv::Root() + "/missing");
    fakes::WaitDialogScript dialogs;
    ScriptedPresenter presenter;
    auto writer = Open(kModeNotesCable);
    ASSERT_EQ(presenter.Asked().size(), 1u);
    EXPECT_NE(presenter.Asked()[0].text.find("/missing/MWNotes.000"), std::string::npos);
    EXPECT_EQ(sim.Received().find("JOBS"), std::string::npos);  // the notes were never asked for
    EXPECT_TRUE(dialogs.Dialog(0).closed);
    EXPECT_TRUE(writer->notesFiles.empty());
}

TEST_F(MwSession, ThePortNotOpeningEndsTheCableTransferQuietly) {
    fakes::UseLineSettings(7);
    ScriptedPresenter presenter;
    fakes::WaitDialogScript dialogs;
    auto writer = Open(kModeNotesCable);
    EXPECT_TRUE(presenter.Asked().empty());
    EXPECT_EQ(dialogs.OpenedCount(), 0u);
}

// ---- erase or format ----------------------------------------------------------------------

TEST_F(MwSession, EraseOrFormatSendsTheChosenCommand) {
    const struct {
        const char* name;
        int answer;
        std::vector<std::string> commands;
    } rows[] = {
        {"Erase", 0, {"F1", "ERASE", "INIT"}},
        {"Format", 1, {"F1", "DSKFMT", "INIT"}},
        {"closed without a choice", -1, {"F1"}},
    };
    int com = 2;
    for (const auto& row : rows) {
        MwSimulator line(com);
        ASSERT_TRUE(line.IsOpen());
        fakes::UseLineSettings(com++);
        ScriptedPresenter presenter;
        presenter.Answer(kMessageEraseOrFormat, row.answer);
        auto writer = Open(kModeErase);
        ASSERT_EQ(presenter.Asked().size(), 1u) << row.name;
        EXPECT_EQ(presenter.Asked()[0].text, "Do you want to erase the existing files or format the entire disk?");
        EXPECT_EQ(presenter.Asked()[0].captions, (std::vector<std::string>{"&Erase", "&Format"}));
        EXPECT_EQ(line.Commands(), row.commands) << row.name;
        EXPECT_EQ(writer->threadStopped.load(), 0) << row.name;  // never resumed, never ended
    }
}

TEST_F(MwSession, EraseOnASilentWriterAsksRetryAndNeverErases) {
    sim.answerCommands = false;
    ScriptedPresenter presenter;
    presenter.Answer(kMessageNoAnswer, 1);
    auto writer = Open(kModeErase);
    ASSERT_EQ(presenter.Asked().size(), 1u);
    EXPECT_EQ(presenter.Asked()[0].text, "Unable to communicate with steno machine.");
    EXPECT_EQ(sim.Commands(), std::vector<std::string>(10, "F1"));
}

}  // namespace
