// The Passport driver against a simulated Passport writer on a pseudo-terminal, and its notes
// records.
#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <functional>
#include <thread>
#include <string>
#include <vector>

#include "tests/fakes/FakeOwnerWindow.h"
#include "tests/fakes/TestWriters.h"
#include "tests/sim/PassportSimulator.h"
#include "tests/support/TestEnvironment.h"
#include "tests/writers/DriverSession.h"
#include "writers/CWriterPP.h"
#include "writers/PassportProtocol.h"

namespace {

using session::kBoundMs;
using session::kNothingMs;
using Keys = std::vector<std::string>;

class PassportSession : public session::Session<CWriterPP, sim::PassportSimulator> {
protected:
    void SetUp() override {
        sim.NumberFrom(57);
        Session::SetUp();
    }
};

TEST_F(PassportSession, StrokesArriveInOrder) {
    sim.Stroke("SKA*", "T");
    sim.Stroke("#TE");
    sim.Stroke("CZ");
    ASSERT_TRUE(owner.WaitForStrokes(*writer, 3, kBoundMs));
    EXPECT_EQ(owner.StrokeKeys(),
              (Keys{"28 50 00 00 00 00", "50 08 00 00 00 00", "20 00 01 00 00 00"}));
    // The last message may still be on its way when its stroke was taken with an earlier one.
    EXPECT_TRUE(owner.WaitForStrokeMessages(3, kBoundMs));
    EXPECT_EQ(owner.StrokeMessageCount(), 3u);
}

TEST_F(PassportSession, AGapIsAskedForAgain) {
    sim.Stroke("S");
    sim.LoseStroke("T");
    sim.Stroke("K");  // 59: out of order, dropped until 58 comes again
    ASSERT_TRUE(sim.WaitForRequests(1, kBoundMs));
    EXPECT_EQ(sim.Requests().front(), std::make_pair(58, 100));
    ASSERT_TRUE(owner.WaitForStrokes(*writer, 3, kBoundMs));
    EXPECT_FALSE(owner.WaitForStrokes(*writer, 4, kNothingMs));
    EXPECT_EQ(owner.StrokeKeys(),
              (Keys{"20 00 00 00 00 00", "10 00 00 00 00 00", "08 00 00 00 00 00"}));
}

TEST_F(PassportSession, AQuietLineIsAskedFromTheNextNumber) {
    sim.Stroke("S");
    ASSERT_TRUE(owner.WaitForStrokes(*writer, 1, kBoundMs));
    ASSERT_TRUE(sim.WaitForRequests(1, kBoundMs));  // after a second of quiet
    EXPECT_EQ(sim.Requests().front(), std::make_pair(58, 100));
    EXPECT_TRUE(sim.Problems().empty());
}

TEST_F(PassportSession, NothingIsAskedBeforeTheFirstPacket) {
    EXPECT_FALSE(sim.WaitForRequests(1, 1500));
    EXPECT_EQ(sim.Received(), "");
}

TEST_F(PassportSession, DamagedPacketsAreFetchedAgainAndNeverWrong) {
    sim.Stroke("S");                                   // 57
    sim.Send("junk>");                                 // a ">" before any "<"
    sim.CutStroke("T", 4);                             // 58 lost its end...
    sim.Stroke("K");                                   // ...59 comes next: a gap
    sim.Send(std::string("<\x01\xff", 3));             // bytes outside printable text
    sim.Send("<60/P");                                 // a packet that never ends...
    sim.Stroke("W");                                   // ...60 from the writer
    ASSERT_TRUE(owner.WaitForStrokes(*writer, 4, kBoundMs));
    EXPECT_FALSE(owner.WaitForStrokes(*writer, 5, kNothingMs));
    EXPECT_EQ(owner.StrokeKeys(), (Keys{"20 00 00 00 00 00", "10 00 00 00 00 00",
                                        "08 00 00 00 00 00", "02 00 00 00 00 00"}));
}

// The writer numbering its strokes afresh from 1 with these.
std::function<void(sim::PassportSimulator&)> FromOne(std::vector<const char*> strokes) {
    return [strokes](sim::PassportSimulator& w) {
        w.NumberFrom(1);
        for (const char* keys : strokes) w.Stroke(keys);
    };
}

// A realtime Passport driver and its writer: the writer sends `oldJob` numbered from `first`;
// then, once the line has been quiet long enough to be asked again when `quiet`, `after`;
// every stroke delivered must be `expected`.
void RunNumbering(int first, const std::vector<const char*>& oldJob, bool quiet,
                  const std::function<void(sim::PassportSimulator&)>& after, const Keys& expected) {
    sim::PassportSimulator writerSide(1);
    ASSERT_TRUE(writerSide.IsOpen()) << writerSide.Error();
    fakes::UseLineSettings(1);
    fakes::FakeOwnerWindow window;
    std::unique_ptr<CWriter> writer = session::StartRealtime<CWriterPP>(window.Handle());
    writerSide.NumberFrom(first);
    for (const char* keys : oldJob) writerSide.Stroke(keys);
    ASSERT_TRUE(window.WaitForStrokes(*writer, oldJob.size(), kBoundMs));
    if (quiet) {
        ASSERT_TRUE(writerSide.WaitForRequests(1, kBoundMs));
    }
    after(writerSide);
    ASSERT_TRUE(window.WaitForStrokes(*writer, expected.size(), kBoundMs));
    EXPECT_FALSE(window.WaitForStrokes(*writer, expected.size() + 1, kNothingMs));
    EXPECT_EQ(window.StrokeKeys(), expected);
}

// After a power cycle or a new job the writer numbers its strokes from 1 again: it is
// followed. A packet it merely sends again is still dropped, and so is one damaged number.
TEST(PassportNumbering, ARestartedWriterIsFollowedARepeatIsNot) {
    struct Case {
        const char* name;
        std::function<void(sim::PassportSimulator&)> after;  // what follows strokes 57 S, 58 T
        Keys expected;
    } cases[] = {
        {"numbering from 1 at once",
         FromOne({"K", "P", "W"}),
         {"20 00 00 00 00 00", "10 00 00 00 00 00", "08 00 00 00 00 00", "04 00 00 00 00 00",
          "02 00 00 00 00 00"}},
        {"numbering from 1 after a pause",
         [](sim::PassportSimulator& w) {
             std::this_thread::sleep_for(std::chrono::milliseconds(3500));
             w.NumberFrom(1);
             w.Stroke("K");
         },
         {"20 00 00 00 00 00", "10 00 00 00 00 00", "08 00 00 00 00 00"}},
        {"a packet sent again",
         [](sim::PassportSimulator& w) {
             w.Send(w.Kept(57));
             w.Stroke("K");
         },
         {"20 00 00 00 00 00", "10 00 00 00 00 00", "08 00 00 00 00 00"}},
        {"one damaged low number",
         [](sim::PassportSimulator& w) {
             w.Send("<3/W8>");
             w.Stroke("K");
         },
         {"20 00 00 00 00 00", "10 00 00 00 00 00", "08 00 00 00 00 00"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        RunNumbering(57, {"S", "T"}, false, c.after, c.expected);
    }
}

// After a line quiet long enough to be asked again, a low number that is no repeat is a new
// job, however few strokes the old one had: its numbers would reach the expected one before
// making a run. Strokes sent again unchanged are still dropped.
TEST(PassportNumbering, AShortJobNumberedAfreshAfterAQuietLineIsFollowed) {
    struct Case {
        const char* name;
        std::vector<const char*> oldJob;                       // numbered from 1
        std::function<void(sim::PassportSimulator&)> newJob;  // after the quiet line
        Keys expected;
    } cases[] = {
        {"two strokes, then three numbered from 1", {"S", "T"},
         FromOne({"K", "P", "W"}),
         {"20 00 00 00 00 00", "10 00 00 00 00 00", "08 00 00 00 00 00", "04 00 00 00 00 00",
          "02 00 00 00 00 00"}},
        {"one stroke, then one numbered from 1", {"S"},
         FromOne({"K"}),
         {"20 00 00 00 00 00", "08 00 00 00 00 00"}},
        {"the new job begins as the old one did", {"S", "T"},
         FromOne({"S", "P"}),
         {"20 00 00 00 00 00", "10 00 00 00 00 00", "20 00 00 00 00 00", "04 00 00 00 00 00"}},
        {"the old strokes sent again, then the next", {"S", "T"},
         [](sim::PassportSimulator& w) {
             w.Send(w.Kept(1) + w.Kept(2));
             w.Stroke("W");
         },
         {"20 00 00 00 00 00", "10 00 00 00 00 00", "02 00 00 00 00 00"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        RunNumbering(1, c.oldJob, true, c.newJob, c.expected);
    }
}

TEST_F(PassportSession, WriterVanishingMidStroke) {
    sim.Stroke("S");
    ASSERT_TRUE(owner.WaitForStrokes(*writer, 1, kBoundMs));
    sim.CutStroke("TK", 5);
    sim.Vanish();
    EXPECT_FALSE(owner.WaitForStrokes(*writer, 2, kNothingMs));
    // The driver tries to reach the writer again, at its own pace.
    EXPECT_LT(session::CpuMsWhileIdle(kNothingMs * 2), kNothingMs);
    EXPECT_TRUE(session::ReturnsSoon([&] { writer->Stop(); }));
    EXPECT_EQ(owner.StrokeKeys(), (Keys{"20 00 00 00 00 00"}));
}

TEST_F(PassportSession, AWriterThatComesBackIsAskedForWhatItWroteMeanwhile) {
    sim.Stroke("S");  // 57
    ASSERT_TRUE(owner.WaitForStrokes(*writer, 1, kBoundMs));
    sim.Vanish();
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    // The writer is plugged in again (a new line on the same port), having written two
    // strokes meanwhile.
    sim::PassportSimulator back(1);
    ASSERT_TRUE(back.IsOpen()) << back.Error();
    back.NumberFrom(58);
    back.LoseStroke("T");
    back.LoseStroke("K");
    ASSERT_TRUE(back.WaitForRequests(1, kBoundMs));
    EXPECT_EQ(back.Requests().front(), std::make_pair(58, 100));
    ASSERT_TRUE(owner.WaitForStrokes(*writer, 3, kBoundMs));
    back.Stroke("P");
    ASSERT_TRUE(owner.WaitForStrokes(*writer, 4, kBoundMs));
    EXPECT_EQ(owner.StrokeKeys(), (Keys{"20 00 00 00 00 00", "10 00 00 00 00 00",
                                        "08 00 00 00 00 00", "04 00 00 00 00 00"}));
    writer.reset();  // before the line goes
}

TEST_F(PassportSession, APacketCutByAVanishedWriterNeverJoinsTheNextLine) {
    sim.Stroke("S");         // 57
    sim.CutStroke("TK", 6);  // "<58/T" and T's digit: the writer goes before K
    ASSERT_TRUE(owner.WaitForStrokes(*writer, 1, kBoundMs));
    std::this_thread::sleep_for(std::chrono::milliseconds(200));  // the cut packet is read
    sim.Vanish();
    sim::PassportSimulator back(1);
    ASSERT_TRUE(back.IsOpen()) << back.Error();
    back.NumberFrom(58);
    back.LoseStroke("TK");
    back.SetAnswering(false);
    ASSERT_TRUE(back.WaitForRequests(1, kBoundMs));  // the driver is on the new line
    // A stray ">" on the new line must not close the old line's cut packet as stroke 58 (T).
    back.Send(">");
    EXPECT_FALSE(owner.WaitForStrokes(*writer, 2, kNothingMs));
    back.SetAnswering(true);
    ASSERT_TRUE(owner.WaitForStrokes(*writer, 2, kBoundMs));
    EXPECT_EQ(owner.StrokeKeys(), (Keys{"20 00 00 00 00 00", "18 00 00 00 00 00"}));
    writer.reset();  // before the line goes
}

TEST_F(PassportSession, StopEndsTheRetriesOfAVanishedPort) {
    sim.Stroke("S");
    ASSERT_TRUE(owner.WaitForStrokes(*writer, 1, kBoundMs));
    sim.Vanish();
    std::this_thread::sleep_for(std::chrono::milliseconds(1500));  // past the quiet-line request
    EXPECT_TRUE(session::ReturnsSoon([&] { writer->Stop(); }));
}

// Notes records: 28 four-bit key values, then a FILETIME.
std::string NotesRecord(const std::string& keyText, std::uint64_t fileTime) {
    std::string record = passport::BuildKeyRecord(keyText);
    for (int b = 0; b < 8; ++b) record[std::size_t(16 + b)] = char(fileTime >> (8 * b));
    return record;
}

TEST(PassportNotes, RecordsCarryTheirOwnTime) {
    const std::uint64_t t0 = 128809071125000000ull;  // 2009-03-07 13:45:12.500 UTC
    const std::string path = testenv::MakeTempDir() + "/notes.bin";
    {
        std::ofstream out(path, std::ios::binary);
        out << NotesRecord("/S8", t0) << NotesRecord("/T9", t0 + 15'000'000)  // 1.5 s later
            << NotesRecord("/K9", t0).substr(0, 20);                           // cut short
    }
    fakes::FakeOwnerWindow owner;
    std::unique_ptr<CWriterPP> writer(NewWriter<CWriterPP>(owner.Handle()));
    writer->mode = kModeNotesFolder;
    writer->notesFile.open(path, std::ios::binary);
    ASSERT_TRUE(writer->notesFile.is_open());
    writer->ReadStrokes(0, 5);
    TrackStroke first, second, none;
    ASSERT_EQ(writer->GetStroke(&first), 1);
    ASSERT_EQ(writer->GetStroke(&second), 1);
    EXPECT_EQ(writer->GetStroke(&none), 0);
    EXPECT_EQ(fakes::KeysText(first), "20 00 00 00 00 00");
    EXPECT_EQ(first.timeCode, (TimeCode{13, 45, 12, 15}));
    EXPECT_EQ(first.elapsedMs, 0);
    EXPECT_EQ(fakes::KeysText(second), "10 00 00 00 00 00");
    EXPECT_EQ(second.timeCode, (TimeCode{13, 45, 14, 0}));
    EXPECT_EQ(second.elapsedMs, 1500);

    writer->ReadStrokes(1, 1);  // from the second record on
    ASSERT_EQ(writer->GetStroke(&second), 1);
    EXPECT_EQ(fakes::KeysText(second), "10 00 00 00 00 00");
}

TEST(PassportNotes, ReadingWithNoFileOpenReadsNothing) {
    fakes::FakeOwnerWindow owner;
    std::unique_ptr<CWriterPP> writer(NewWriter<CWriterPP>(owner.Handle()));
    writer->mode = kModeNotesFolder;
    writer->notesFiles.push_back("/nonexistent");
    EXPECT_FALSE(writer->OpenNotesFile(0));
    writer->ReadStrokes(0, 10);
    writer->ReadStrokes(-3, 10);
    TrackStroke stroke;
    EXPECT_EQ(writer->GetStroke(&stroke), 0);
    EXPECT_TRUE(writer->receiveBuffer.empty());
}

}  // namespace
