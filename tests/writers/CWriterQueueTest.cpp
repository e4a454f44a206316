// The writer base without a thread: the stroke queue, the message to the owner, the decoding of
// stored strokes, the notes files and the notes listing.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <utime.h>

#include <cstdlib>
#include <fstream>
#include <memory>

#include "core/AppSettings.h"
#include "tests/fakes/FakeOwnerWindow.h"
#include "tests/support/TestEnvironment.h"
#include "writers/CWriter.h"

namespace {

using fakes::FakeOwnerWindow;
using fakes::KeysText;

std::unique_ptr<CWriter> MakeWriter(platform::WindowHandle owner, int mode, int layout = 0) {
    std::unique_ptr<CWriter> writer(NewWriter<CWriter>(owner));
    writer->mode = mode;
    writer->keyboardLayout = layout;
    return writer;
}

void WriteFile(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary);
    out << bytes;
}

int MsOfDay(const TimeCode& t) { return TimeCodeToMs(t); }

TEST(StrokeQueue, EmptyQueueLeavesTheRecordAlone) {
    auto writer = MakeWriter(platform::kNoWindow, kModeRealtime);
    TrackStroke out;
    out.keys = {1, 2, 3, 4, 5, 6};
    out.elapsedMs = 77;
    EXPECT_EQ(writer->GetStroke(&out), 0);
    EXPECT_EQ(KeysText(out), "01 02 03 04 05 06");
    EXPECT_EQ(out.elapsedMs, 77);
    EXPECT_EQ(writer->GetStroke(nullptr), 0);
}

TEST(StrokeQueue, StrokesComeOutInOrderWithTheLayoutByte) {
    FakeOwnerWindow owner;
    auto writer = MakeWriter(owner.Handle(), kModeRealtime, 0x10B);  // only the low byte counts
    writer->AddStroke(0x20, 0, 0);
    writer->AddStroke(1, 2, 3, nullptr, 4, 5, 6);
    writer->AddStroke(0x40, 0, 0);

    ASSERT_TRUE(owner.WaitForStrokes(*writer, 3, 5000));
    EXPECT_EQ(owner.StrokeKeys(), (std::vector<std::string>{"20 00 00 00 00 00",
                                                            "01 02 03 04 05 06",
                                                            "40 00 00 00 00 00"}));
    for (const TrackStroke& s : owner.Strokes()) {
        EXPECT_EQ(s.reserved, 0);
        EXPECT_EQ(s.layout, 0x0B);
    }
    // One message per stroke, as owners that take one stroke per message expect.
    // The last message may still be on its way when its stroke was taken with an earlier one.
    EXPECT_TRUE(owner.WaitForStrokeMessages(3, 5000));
    EXPECT_EQ(owner.StrokeMessageCount(), 3u);
    EXPECT_EQ(owner.Messages().front(), 0x402u);
}

TEST(StrokeQueue, RealtimeKeepsTheArrivalTimeAndOnlyTheWritersMilliseconds) {
    const WriterTime writerTime = MakeWriterTime({1, 2, 3, 4}, 123456);
    struct Case {
        const char* name;
        int mode;
        bool writerClock;  // the time code is the writer's, else the local arrival time
    };
    const Case cases[] = {{"realtime", kModeRealtime, false},
                          {"notes over the cable", kModeNotesCable, true},
                          {"notes folder", kModeNotesFolder, true},
                          {"erase", kModeErase, true}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        auto writer = MakeWriter(platform::kNoWindow, c.mode);
        TimeCode before;
        GetTimeCodeNow(before);
        writer->AddStroke(0x20, 0, 0, writerTime.data());
        writer->AddStroke(0x20, 0, 0);  // no writer time: always local, no milliseconds
        TimeCode after;
        GetTimeCodeNow(after);

        TrackStroke timed, untimed;
        ASSERT_EQ(writer->GetStroke(&timed), 1);
        ASSERT_EQ(writer->GetStroke(&untimed), 1);
        EXPECT_EQ(timed.elapsedMs, 123456);
        EXPECT_EQ(untimed.elapsedMs, 0);
        if (c.writerClock) {
            EXPECT_EQ(timed.timeCode, (TimeCode{1, 2, 3, 4}));
        }
        for (const TrackStroke* s : {&timed, &untimed}) {
            if (s == &timed && c.writerClock) continue;
            // Arrival time; a midnight passing during the test only widens the window.
            int t = MsOfDay(s->timeCode);
            if (MsOfDay(before) <= MsOfDay(after)) {
                EXPECT_GE(t, MsOfDay(before) - 40);
                EXPECT_LE(t, MsOfDay(after) + 40);
            }
        }
    }
}

TEST(StrokeQueue, StrokesForAVanishedOwnerStayQueued) {
    auto owner = std::make_unique<FakeOwnerWindow>();
    auto writer = MakeWriter(owner->Handle(), kModeRealtime);
    const platform::WindowHandle gone = owner->Handle();
    owner->Destroy();
    EXPECT_FALSE(platform::IsWindow(gone));
    writer->AddStroke(0x20, 0, 0);
    EXPECT_TRUE(owner->Messages().empty());

    // The next owner is told at once and finds the stroke.
    FakeOwnerWindow next;
    EXPECT_EQ(writer->SetOwner(next.Handle()), gone);
    ASSERT_TRUE(next.WaitForStrokes(*writer, 1, 5000));
    EXPECT_EQ(next.StrokeKeys().front(), "20 00 00 00 00 00");
}

TEST(StrokeQueue, OwnerExchangeWithAnEmptyQueuePostsNothing) {
    FakeOwnerWindow first, second;
    auto writer = MakeWriter(first.Handle(), kModeRealtime);
    EXPECT_EQ(writer->SetOwner(second.Handle()), first.Handle());
    writer->AddStroke(0x20, 0, 0);
    EXPECT_TRUE(first.Messages().empty());
    EXPECT_EQ(second.Messages().size(), 1u);
    EXPECT_EQ(writer->SetOwner(first.Handle()), second.Handle());
    EXPECT_EQ(first.Messages().size(), 1u);  // the waiting stroke is announced to the new owner
}

TEST(StrokeQueue, TrackStrokeIsWhatFormatStrokeReads) {
    TrackStroke s;
    const StrokeRecord& record = s;  // passed unchanged
    EXPECT_EQ(static_cast<const void*>(&record), static_cast<const void*>(&s));
    EXPECT_EQ(sizeof(TrackStroke), 16u);
    EXPECT_EQ(reinterpret_cast<const std::uint8_t*>(&s.timeCode) -
                  reinterpret_cast<const std::uint8_t*>(&s),
              8);
}

TEST(StrokeQueue, StrokesToReadAreTheRestOfTheWriterUpToFifty) {
    struct Stored : CWriter {
        using CWriter::CWriter;
        int stored = 0;
        int WriterStrokeCount() const override { return stored; }
    };
    Stored writer(platform::kNoWindow);
    const struct {
        int stored, index, expected;
    } cases[] = {{0, 0, 0}, {30, 0, 30}, {130, 20, 50}, {130, 100, 30}, {10, 12, 0}};
    for (const auto& c : cases) {
        writer.stored = c.stored;
        writer.strokeIndex = c.index;
        EXPECT_EQ(writer.GetStrokesToRead(), c.expected) << c.stored << " stored, at " << c.index;
    }
}

TEST(StoredNotes, DecodeBufferTakesWholeStrokesAndLeavesTheTail) {
    auto writer = MakeWriter(platform::kNoWindow, kModeNotesCable);
    writer->strokeIndex = 5;
    writer->receiveBuffer = std::string("\x01\x02\x03\x04\x05\x06\x07", 7);
    writer->DecodeBuffer();
    EXPECT_EQ(writer->strokeIndex, 7);
    EXPECT_EQ(writer->receiveBuffer, "\x07");
    TrackStroke s;
    ASSERT_EQ(writer->GetStroke(&s), 1);
    EXPECT_EQ(KeysText(s), "01 02 03 00 00 00");
    ASSERT_EQ(writer->GetStroke(&s), 1);
    EXPECT_EQ(KeysText(s), "04 05 06 00 00 00");
    EXPECT_EQ(writer->GetStroke(&s), 0);
}

struct NotesReader : CWriter {
    using CWriter::CWriter;
    using CWriter::ReadNotesFile;
};

TEST(StoredNotes, ReadStrokesReadsThreeBytesAStrokeFromTheNotesFile) {
    const std::string folder = testenv::MakeTempDir();
    WriteFile(folder + "/notes", std::string("\x01\x00\x00\x02\x00\x00\x03\x00\x00\x04\x00", 11));
    std::unique_ptr<NotesReader> writer(NewWriter<NotesReader>(platform::kNoWindow));
    writer->mode = kModeNotesCable;
    writer->notesFiles = {folder + "/notes"};
    ASSERT_TRUE(writer->OpenNotesFile(0));

    writer->ReadStrokes(1, 10);  // past the end: what is there, the tail kept
    EXPECT_EQ(writer->strokeIndex, 2);
    EXPECT_EQ(writer->receiveBuffer, std::string("\x04\x00", 2));
    writer->ReadStrokes(0, 1);  // the end was hit before: the file is read again all the same
    EXPECT_EQ(writer->strokeIndex, 3);
    EXPECT_TRUE(writer->receiveBuffer.empty());

    std::vector<std::string> keys;
    TrackStroke s;
    while (writer->GetStroke(&s)) keys.push_back(KeysText(s));
    EXPECT_EQ(keys, (std::vector<std::string>{"02 00 00 00 00 00", "03 00 00 00 00 00",
                                              "01 00 00 00 00 00"}));

    writer->ReadNotesFile(7, 100);  // a driver's own record layout: any offset and length
    EXPECT_EQ(writer->receiveBuffer, std::string("\x00\x00\x04\x00", 4));

    writer->receiveBuffer = "x";
    writer->ReadStrokes(-1, 5);  // nonsense asks read nothing and keep nothing
    EXPECT_TRUE(writer->receiveBuffer.empty());
    writer->CloseNotesFile();
    writer->ReadStrokes(0, 5);
    EXPECT_EQ(writer->strokeIndex, 3);
}

TEST(StoredNotes, ReadStrokesOutsideModeOneDoesNothing) {
    for (int mode : {kModeNotesFolder, kModeRealtime, kModeErase}) {
        auto writer = MakeWriter(platform::kNoWindow, mode);
        writer->receiveBuffer = "abc";
        writer->ReadStrokes(0, 5);
        EXPECT_EQ(writer->receiveBuffer, "abc") << "mode " << mode;
    }
}

TEST(StoredNotes, OpenNotesFileOutsideTheListAnswersFalse) {
    const std::string folder = testenv::MakeTempDir();
    WriteFile(folder + "/a", "123");
    auto writer = MakeWriter(platform::kNoWindow, kModeNotesFolder);
    writer->notesFiles = {folder + "/a", folder + "/missing"};
    EXPECT_FALSE(writer->OpenNotesFile(-1));
    EXPECT_FALSE(writer->OpenNotesFile(2));
    EXPECT_FALSE(writer->OpenNotesFile(1));
    EXPECT_TRUE(writer->OpenNotesFile(0));
    EXPECT_TRUE(writer->notesFile.is_open());
    writer->CloseNotesFile();
    EXPECT_FALSE(writer->notesFile.is_open());
}

TEST(NotesListing, ColumnsEndWhereTheyShouldAndLongFieldsPushTheRest) {
    // 2009-03-07 09:05 UTC (the tests run with TZ=UTC).
    const std::int64_t march7 = 1236416700;
    const std::int64_t dec31 = 1262303940;  // 2009-12-31 23:59
    const struct {
        const char* name;
        std::string file;
        std::uint64_t size;
        std::int64_t when;
        std::string line;
    } cases[] = {
        {"short name", "FILE.001", 3 * 1024 + 5, march7,
         "FILE.001       3K   3/7/2009  9:05"},
        {"wide date and time", "A", 1023, dec31, "A              0K 12/31/2009 23:59"},
        {"name of exactly 12", "ABCDEFGH.TXT", 12 * 1024, march7,
         "ABCDEFGH.TXT  12K   3/7/2009  9:05"},
        {"long name moves the columns", "a-very-long-name.notes", 2048, march7,
         "a-very-long-name.notes   2K   3/7/2009  9:05"},
        {"wide size moves the later columns", "big", 123456789ull * 1024, march7,
         "big         123456789K   3/7/2009  9:05"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(CWriter::NotesListingLine(c.file, c.size, c.when), c.line) << c.name;
    }
}

TEST(NotesListing, ModeZeroListsTheFolderSortedWithoutAThread) {
    const std::string folder = testenv::MakeTempDir();
    WriteFile(folder + "/b.not", std::string(2048, 'x'));
    WriteFile(folder + "/A.not", "1");
    WriteFile(folder + "/c.not", "");
    mkdir((folder + "/Dir").c_str(), 0700);
    mkfifo((folder + "/pipe").c_str(), 0600);  // opening it later would block: not listed
    for (const char* name : {"/A.not", "/b.not", "/c.not"}) {
        struct utimbuf times {1236416700, 1236416700};
        utime((folder + name).c_str(), &times);
    }

    auto writer = MakeWriter(platform::kNoWindow, kModeNotesFolder);
    writer->notesFolder = folder;
    writer->notesFiles = {"stale"};
    writer->Start(1);
    EXPECT_FALSE(writer->readerThread.joinable());
    EXPECT_EQ(writer->notesFiles,
              (std::vector<std::string>{folder + "/A.not", folder + "/b.not", folder + "/c.not"}));
    EXPECT_EQ(writer->notesListing,
              (std::vector<std::string>{"A.not          0K   3/7/2009  9:05",
                                        "b.not          2K   3/7/2009  9:05",
                                        "c.not          0K   3/7/2009  9:05"}));
    ASSERT_TRUE(writer->OpenNotesFile(1));
}

TEST(NotesListing, ModeZeroOnAMissingOrEmptyFolderListsNothing) {
    const std::string empty = testenv::MakeTempDir();
    for (const std::string& folder : {empty, empty + "/missing", std::string("\0:", 2)}) {
        auto writer = MakeWriter(platform::kNoWindow, kModeNotesFolder);
        writer->notesFolder = folder;
        writer->Start(1);
        EXPECT_TRUE(writer->notesFiles.empty());
        EXPECT_TRUE(writer->notesListing.empty());
        EXPECT_FALSE(writer->readerThread.joinable());
    }
}

TEST(NotesListing, WithoutADriveLetterTheFolderNamesNothing) {
    GetSettings().notesDriveLetter = 0;
    auto writer = MakeWriter(platform::kNoWindow, kModeNotesFolder);
    EXPECT_EQ(writer->notesFolder, std::string("\0:", 2));
    GetSettings().notesDriveLetter = 'E';
    auto lettered = MakeWriter(platform::kNoWindow, kModeNotesFolder);
    EXPECT_EQ(lettered->notesFolder, "E:");
}

TEST(PortSpec, BuiltFromTheLineSettings) {
    const struct {
        int port, baud, parity, dataBits, stopBits;
        const char* spec;
    } cases[] = {
        {1, 9600, 0, 8, 1, "COM1:9600,n,8,1"},  {2, 19200, 1, 7, 2, "COM2:19200,e,7,2"},
        {3, 1200, 2, 8, 1, "COM3:1200,o,8,1"},  {4, 115000, 3, 8, 1, "COM4:115000,m,8,1"},
        {5, 9600, 7, 8, 1, "COM5:9600,,8,1"},   {0x105, 9600, -1, 8, 1, "COM5:9600,,8,1"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(CWriter::BuildPortSpec(c.port, c.baud, c.parity, c.dataBits, c.stopBits), c.spec);
}

}  // namespace
