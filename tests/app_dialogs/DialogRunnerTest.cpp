// The real child dialogs of the build dialog, each run once.
#include <gtest/gtest.h>

#include <QListWidget>
#include <QPushButton>
#include <QTest>

#include "app/dialogs/DialogRunner.h"
#include "core/AppSettings.h"
#include "tests/support/ModalDriver.h"
#include "writers/CWriter.h"

namespace {
Stroke Keys(const std::string& text) {
    Stroke s{};
    const Outline o = ParseOutline(0, text);
    std::copy(o.begin(), o.begin() + kStrokeSize, s.begin());
    return s;
}
void Write(CWriter& writer, const Stroke& k) { writer.AddStroke(k[0], k[1], k[2], nullptr, k[3], k[4], k[5]); }
}  // namespace

// The capture dialog takes the writer's strokes while it runs and keeps only the last one.
TEST(DialogRunner, CaptureKeepsTheLastStrokeWritten) {
    GetSettings().keyboardLayout = 0;
    CWriter writer(platform::kNoWindow);
    DialogRunner runner;
    ModalDriver driver([&](QWidget* capture) {
        Write(writer, Keys("TK"));
        Write(writer, Keys("PW"));
        auto* list = capture->findChild<QListWidget*>();
        ASSERT_NE(list, nullptr);
        EXPECT_TRUE(QTest::qWaitFor([&] { return list->count() >= 1; }, 5000));
        QTest::keyClick(capture, Qt::Key_Return);
    });
    Stroke keys{};
    EXPECT_TRUE(runner.CaptureStroke(&writer, keys));
    EXPECT_EQ(keys, Keys("PW"));
    EXPECT_EQ(writer.owner.load(), platform::kNoWindow);  // handed back
}

TEST(DialogRunner, CaptureEndedWithoutAStrokeCapturesNothing) {
    CWriter writer(platform::kNoWindow);
    DialogRunner runner;
    ModalDriver driver([&](QWidget* capture) { QTest::keyClick(capture, Qt::Key_Return); });
    Stroke keys = Keys("S");
    EXPECT_FALSE(runner.CaptureStroke(&writer, keys));
    EXPECT_EQ(keys, Keys("S"));
}
