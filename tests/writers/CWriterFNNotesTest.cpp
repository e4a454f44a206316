// The Foniks driver's mode 0: the text notes files of a folder become capture files of 3-byte
// stroke records in the temporary folder, listed and then read back as stored notes.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdlib>
#include <memory>
#include <string>

#include "tests/fakes/FakeOwnerWindow.h"
#include "tests/fakes/WaitDialogScript.h"
#include "tests/support/FileHelpers.h"
#include "tests/support/ScriptedPresenter.h"
#include "tests/support/TestEnvironment.h"
#include "tests/writers/StrokeBytes.h"
#include "tests/writers/DriverSession.h"
#include "writers/CWriterFN.h"
#include "writers/TransferSupport.h"

namespace {

using namespace strokebytes;
using ::testing::HasSubstr;
using testfiles::ReadBytes;
using testfiles::WriteBytes;

class FoniksNotes : public ::testing::Test {
protected:
    void SetUp() override { folder = testenv::MakeTempDir("notes"); }

    std::unique_ptr<CWriterFN> StartOn(const std::string& notesFolder) {
        std::unique_ptr<CWriterFN> writer(NewWriter<CWriterFN>(owner.Handle()));
        writer->mode = kModeNotesFolder;
        writer->notesFolder = notesFolder;
        writer->Start(1);
        return writer;
    }
    std::string Notes(const std::string& name, const std::string& text) {
        WriteBytes(folder + "/" + name, text);
        return folder + "/" + name;
    }

    // Capture files of each test in a folder of its own, whatever earlier tests left.
    const testenv::ScopedEnv captureFolder{"TEMP", testenv::MakeTempDir("temp")};
    std::string folder;
    fakes::FakeOwnerWindow owner;
    fakes::WaitDialogScript waitWindows;
};

TEST_F(FoniksNotes, FolderBecomesListedCaptureFiles) {
    Notes("session.txt", "{STKPW/KWR}\r\nnot a stroke {STK} then {STPH}\r\n");
    // 1,500 bytes: listed as 1K.
    std::string big = "{KWR}\r\n";
    big += std::string(1500 - big.size(), 'x');
    Notes("big.txt", big);
    Notes("averyveryverylongname.txt", "{STK}");

    auto writer = StartOn(folder);
    EXPECT_EQ(writer->mode, kModeNotesCable);
    EXPECT_TRUE(writer->conversionErrors.empty());

    const std::string temp = GetTempDir();
    ASSERT_EQ(writer->notesFiles,
              (std::vector<std::string>{temp + "/averyveryverylongname.txt", temp + "/big.txt",
                                        temp + "/session.txt"}));
    ASSERT_EQ(writer->notesListing.size(), 3u);
    // The title (no extension) cut to 12 characters; the size ends in column 17.
    EXPECT_EQ(writer->notesListing[0].substr(0, 17), "averyveryver   0K");
    EXPECT_EQ(writer->notesListing[1].substr(0, 17), "big            1K");
    EXPECT_EQ(writer->notesListing[2].substr(0, 17), "session        0K");
    EXPECT_EQ(writer->notesListing[1].size(), 34u);

    // The slash separates strokes, the closing brace adds no key, both braced parts count.
    EXPECT_EQ(ReadBytes(temp + "/session.txt"),
              Record(kSTKPW) + Record(kKWR) + Record(kSTK) + Record(kSTPH));
    EXPECT_EQ(ReadBytes(temp + "/big.txt"), Record(kKWR));

    const fakes::WaitDialogRecord wait = waitWindows.Dialog(0);
    EXPECT_TRUE(session::IsClosedNotesWindow(wait));
    ASSERT_EQ(wait.ranges.size(), 1u);
    EXPECT_EQ(wait.ranges[0].low, 0);
    EXPECT_EQ(wait.ranges[0].high, 10000);
}

TEST_F(FoniksNotes, CaptureFileReadsBackAsStoredStrokes) {
    Notes("session.txt", "{STKPW/KWR}\n{STPH}\n");
    auto writer = StartOn(folder);
    ASSERT_TRUE(writer->OpenNotesFile(0));
    writer->ReadStrokes(1, 2);
    owner.HandleMessages(*writer);
    StrokeRecord kwr, stph;
    kwr.keys = kKWR;
    stph.keys = kSTPH;
    EXPECT_EQ(owner.StrokeKeys(),
              (std::vector<std::string>{fakes::KeysText(kwr), fakes::KeysText(stph)}));
    EXPECT_EQ(writer->strokeIndex, 2);
}

TEST_F(FoniksNotes, EmptyOrMissingFolderListsNothing) {
    EXPECT_TRUE(StartOn(folder)->notesFiles.empty());
    auto writer = StartOn(folder + "/missing");
    EXPECT_TRUE(writer->notesFiles.empty());
    EXPECT_TRUE(writer->conversionErrors.empty());
}

TEST_F(FoniksNotes, NotesFileThatIsItsOwnCaptureFileIsLeftAlone) {
    const std::string temp = GetTempDir();
    WriteBytes(temp + "/self.txt", "{STK}\n");
    auto writer = StartOn(temp);
    EXPECT_TRUE(writer->notesFiles.empty());
    EXPECT_EQ(ReadBytes(temp + "/self.txt"), "{STK}\n");
}

TEST_F(FoniksNotes, CaptureFileThatCannotBeCreatedIsReported) {
    const std::string notes = Notes("session.txt", "{STK}\n");
    const testenv::ScopedEnv missing("TEMP", folder + "/no-such-folder");
    ScriptedPresenter presenter;
    auto writer = StartOn(folder);

    EXPECT_TRUE(writer->notesFiles.empty());
    EXPECT_TRUE(writer->notesListing.empty());
    ASSERT_EQ(writer->conversionErrors.size(), 1u);
    EXPECT_THAT(writer->conversionErrors[0], HasSubstr(notes));
    const auto asked = presenter.Asked();
    ASSERT_EQ(asked.size(), 1u);
    EXPECT_EQ(asked[0].kind, ScriptedPresenter::Kind::Notice);
    EXPECT_THAT(asked[0].text, HasSubstr("session.txt"));
    EXPECT_EQ(ReadBytes(notes), "{STK}\n");
}

TEST_F(FoniksNotes, FailedConversionKeepsTheEarlierCaptureFile) {
    Notes("session.txt", "{STK}\n");
    StartOn(folder);
    const std::string capture = GetTempDir() + "/session.txt";
    ASSERT_EQ(ReadBytes(capture), Record(kSTK));

    // Notes that now make a capture file larger than the disk takes.
    std::string many;
    for (int n = 0; n < 1000; ++n) many += "{KWR}\n";
    Notes("session.txt", many);
    const auto result = testfiles::RunWithFileSizeLimit(1000, [&] {
        return StartOn(folder)->conversionErrors.size() == 1;
    });
    EXPECT_EQ(result, testfiles::ChildResult::ReturnedTrue);
    EXPECT_EQ(ReadBytes(capture), Record(kSTK));
    EXPECT_EQ(testfiles::FolderNames(GetTempDir()), std::vector<std::string>{"session.txt"});
}

TEST_F(FoniksNotes, CancelStopsBeforeTheNextFile) {
    Notes("a.txt", "{STK}\n");
    Notes("b.txt", "{KWR}\n");
    Notes("c.txt", "{STPH}\n");
    waitWindows.CancelAtProgressCall(0);
    auto writer = StartOn(folder);
    EXPECT_EQ(writer->notesFiles, std::vector<std::string>{GetTempDir() + "/a.txt"});
    EXPECT_TRUE(waitWindows.Dialog(0).closed);
}

TEST_F(FoniksNotes, OnlyRegularFilesAreConverted) {
    Notes("a.txt", "{STK}\n");
    ASSERT_EQ(mkfifo((folder + "/pipe").c_str(), 0600), 0);
    ASSERT_EQ(mkdir((folder + "/sub").c_str(), 0700), 0);
    auto writer = StartOn(folder);
    EXPECT_EQ(writer->notesFiles, std::vector<std::string>{GetTempDir() + "/a.txt"});
}

}  // namespace
