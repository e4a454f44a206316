// What notes transfers share: the temporary folder, the message pump and the wait window seam.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QObject>
#include <cstdlib>

#include "platform/FileSystem.h"
#include "tests/fakes/WaitDialogScript.h"
#include "tests/support/TestEnvironment.h"
#include "writers/TransferSupport.h"

namespace {

TEST(TempDir, TheTempVariableWins) {
    const testenv::ScopedEnv temp("TEMP", "/some/where");
    EXPECT_EQ(GetTempDir(), "/some/where");
}

TEST(TempDir, WithoutTempItIsAPrivateFolderUnderTmpdir) {
    const testenv::ScopedEnv noTemp("TEMP", nullptr);
    const std::string tmpdir = std::getenv("TMPDIR");
    std::string folder = GetTempDir();
    ASSERT_FALSE(folder.empty());
    EXPECT_EQ(folder.rfind(tmpdir + "/dqs-", 0), 0u) << folder;
    struct stat st {};
    ASSERT_EQ(lstat(folder.c_str(), &st), 0);
    EXPECT_TRUE(S_ISDIR(st.st_mode));
    EXPECT_EQ(st.st_mode & 0777, 0700u);
    EXPECT_EQ(GetTempDir(), folder);  // capture files written and listed in the same place

    setenv("TEMP", "", 1);  // set but empty counts as not set
    EXPECT_EQ(GetTempDir(), folder);
}

TEST(TempDir, AFolderSomeoneElsePlantedIsNotUsed) {
    const testenv::ScopedEnv noTemp("TEMP", nullptr);
    const std::string tmpdir = std::getenv("TMPDIR");
    const std::string planted = tmpdir + "/dqs-" + std::to_string(platform::CurrentUserId());
    mkdir(planted.c_str(), 0700);
    chmod(planted.c_str(), 0777);
    std::string folder = GetTempDir();
    EXPECT_NE(folder, planted);
    EXPECT_TRUE(platform::IsPrivateFolder(folder));
}

TEST(TempDir, WithoutTmpdirItLivesUnderTmp) {
    const testenv::ScopedEnv noTemp("TEMP", nullptr);
    const testenv::ScopedEnv noTmpdir("TMPDIR", nullptr);
    std::string folder = GetTempDir();
    EXPECT_EQ(folder.rfind("/tmp/dqs-", 0), 0u) << folder;
    EXPECT_TRUE(platform::IsPrivateFolder(folder));
    rmdir(folder.c_str());  // leaves the shared /tmp as it was, unless the user keeps files there
}

TEST(PumpMessages, HandlesWaitingEvents) {
    EXPECT_TRUE(PumpMessages());  // no application: nothing to do
    int argc = 0;
    QCoreApplication app(argc, nullptr);
    bool ran = false;
    QMetaObject::invokeMethod(&app, [&] { ran = true; }, Qt::QueuedConnection);
    EXPECT_TRUE(PumpMessages());
    EXPECT_TRUE(ran);
}

TEST(PumpMessages, AQuitIsPostedAgainAndEndsThePump) {
    int argc = 0;
    QCoreApplication app(argc, nullptr);
    QCoreApplication::postEvent(&app, new QEvent(QEvent::Quit));
    EXPECT_FALSE(PumpMessages());

    // The quit is still there for the modal loop that owns it.
    struct Watch : QObject {
        int quits = 0;
        bool eventFilter(QObject*, QEvent* e) override {
            if (e->type() == QEvent::Quit) ++quits;
            return e->type() == QEvent::Quit;
        }
    } watch;
    app.installEventFilter(&watch);
    QCoreApplication::processEvents();
    app.removeEventFilter(&watch);
    EXPECT_EQ(watch.quits, 1);
}

TEST(WaitDialogSeam, WithoutAFactoryTheWindowIsSilent) {
    auto window = platform::OpenWaitDialog(32771, 6041, true);
    ASSERT_NE(window, nullptr);
    window->SetProgress(5, "x");  // before any range: harmless
    window->SetRange(0, 10, 1);
    EXPECT_FALSE(window->IsCancelled());
    window->Close();
}

TEST(WaitDialogSeam, TheScriptRecordsAndCancelsOnCue) {
    fakes::WaitDialogScript script;
    script.CancelAtProgressCall(2);
    auto window = platform::OpenWaitDialog(32771, 6041, true);
    window->SetRange(0, 10000, 100);
    window->SetProgress(0, "");
    EXPECT_FALSE(window->IsCancelled());
    window->SetProgress(1, "");
    window->SetProgress(2, "a");
    EXPECT_TRUE(window->IsCancelled());
    window->Close();

    ASSERT_EQ(script.OpenedCount(), 1u);
    fakes::WaitDialogRecord record = script.Dialog(0);
    EXPECT_EQ(record.headingId, 32771);
    EXPECT_EQ(record.actionId, 6041);
    EXPECT_TRUE(record.allowCancel);
    ASSERT_EQ(record.ranges.size(), 1u);
    EXPECT_EQ(record.ranges[0].interval, 100);
    EXPECT_EQ(record.progress.size(), 3u);
    EXPECT_EQ(record.progress.back().second, "a");
    EXPECT_TRUE(record.cancelled);
    EXPECT_TRUE(record.closed);
}

}  // namespace
