// The adjust-writer dialog: the monitor with a writer of its own on a simulated Gemini writer,
// the capture of one stroke on a borrowed writer, and the hand-back of that writer.
#include <gtest/gtest.h>

#include <QApplication>
#include <QFontInfo>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QScreen>
#include <QTest>
#include <memory>
#include <string>
#include <vector>

#include "core/AppSettings.h"
#include "tests/fakes/FakeOwnerWindow.h"
#include "tests/fakes/StatusWriter.h"
#include "tests/fakes/TestWriters.h"
#include "tests/sim/GeminiSimulator.h"
#include "tests/support/ModalDriver.h"
#include "tests/support/ScriptedPresenter.h"
#include "tests/support/WindowPictures.h"
#include "writers/CreateWriter.h"
#include "writers/dialogs/CWriterAdjDlg.h"

namespace {

constexpr int kBoundMs = 5000;
constexpr int kGeminiType = 17;

// The steno-tape line of an English stroke of one key: the key's letter in its own column.
QString TapeLine(int position, char letter) {
    QString line(22, QChar(' '));
    line[position] = QChar(letter);
    return line;
}

struct OneKey {
    const char* gemini;  // the key's Gemini name
    int position;        // its English key position
    char letter;
};
const OneKey kKeys[] = {
    {"S1-", 0, 'S'}, {"T-", 1, 'T'},  {"K-", 2, 'K'},  {"P-", 3, 'P'},
    {"W-", 4, 'W'},  {"H-", 5, 'H'},  {"R-", 6, 'R'},  {"A-", 7, 'A'},
    {"O-", 8, 'O'},  {"-E", 10, 'E'}, {"-U", 11, 'U'}, {"-F", 12, 'F'},
};

std::vector<QString> Lines(const CWriterAdjDlg& dlg) {
    std::vector<QString> lines;
    for (int i = 0; i < dlg.strokeList->count(); ++i)
        lines.push_back(dlg.strokeList->item(i)->text());
    return lines;
}

std::size_t Queued(CWriter& writer) {
    std::lock_guard<std::mutex> guard(writer.queueLock);
    return writer.strokeQueue.size();
}

// A Gemini writer on COM1, English layout.
class AdjustDialog : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(sim.IsOpen()) << sim.Error();
        fakes::UseLineSettings(1);
        GetSettings().writerType = kGeminiType;
        GetSettings().keyboardLayout = 0;
    }
    sim::GeminiSimulator sim{1};
    fakes::FakeOwnerWindow caller;  // the build dialog that lends its writer
};

TEST_F(AdjustDialog, MonitorShowsTheLastNineStrokesOldestFirst) {
    CWriterAdjDlg dlg;
    ASSERT_NE(dlg.writer, nullptr);
    EXPECT_TRUE(dlg.ownsWriter);
    EXPECT_EQ(dlg.maxLines, 9);
    EXPECT_EQ(dlg.writer->owner.load(), dlg.Handle());
    EXPECT_EQ(dlg.windowTitle(), "Adjust writer");
    EXPECT_EQ(dlg.okButton->text(), "Close");
    dlg.show();
    for (const OneKey& key : kKeys) sim.Stroke(key.gemini);
    const QString newest = TapeLine(12, 'F');
    ASSERT_TRUE(QTest::qWaitFor([&] { return !Lines(dlg).empty() && Lines(dlg).back() == newest; },
                                kBoundMs));
    std::vector<QString> expected;
    for (std::size_t i = 3; i < std::size(kKeys); ++i)
        expected.push_back(TapeLine(kKeys[i].position, kKeys[i].letter));
    EXPECT_EQ(Lines(dlg), expected);
    EXPECT_TRUE(dlg.strokeSeen);
    EXPECT_EQ(dlg.lastStroke.keys, (Stroke{0x00, 0x02, 0, 0, 0, 0}));  // -F, position 12
}

QLabel* ConnectionLabel(CWriterAdjDlg& dlg) { return dlg.findChild<QLabel*>("connectionText"); }
// The line as read, without the room left for breaking a long path.
QString ConnectionShown(CWriterAdjDlg& dlg) {
    QLabel* label = ConnectionLabel(dlg);
    return label->isVisibleTo(&dlg) ? label->text().remove(QChar(0x200B)) : QString();
}

// The monitor's own writer says where it is connected until strokes flow.
TEST_F(AdjustDialog, MonitorShowsTheConnectionUntilStrokesFlow) {
    CWriterAdjDlg dlg;
    ASSERT_NE(dlg.writer, nullptr);
    dlg.show();
    EXPECT_TRUE(ConnectionShown(dlg).startsWith("COM1 = ")) << ConnectionShown(dlg).toStdString();
    // What the writer says, whatever its wording: the dialog's part is to show it.
    EXPECT_EQ(ConnectionShown(dlg).toStdString(), dlg.writer->GetConnectionStatus().Text());
    sim.Stroke("S1-");
    // A status message posted during the start may be handled first and already read the new
    // state: the stroke's own message follows.
    EXPECT_TRUE(QTest::qWaitFor([&] { return Lines(dlg).size() == 1u; }, kBoundMs));
    EXPECT_TRUE(QTest::qWaitFor([&] { return ConnectionShown(dlg).isEmpty(); }, kBoundMs));
    EXPECT_EQ(Lines(dlg).size(), 1u);
}

TEST_F(AdjustDialog, CaptureKeepsTheLastOfThreeStrokes) {
    std::unique_ptr<CWriter> writer(CreateWriter(GetSettings(), kModeRealtime, caller.Handle(), 1));
    ASSERT_NE(writer, nullptr);
    CWriterAdjDlg dlg(1, true, writer.get());
    EXPECT_FALSE(dlg.ownsWriter);
    EXPECT_EQ(dlg.previousOwner, caller.Handle());
    EXPECT_EQ(writer->owner.load(), dlg.Handle());  // while it runs, strokes go to the dialog
    EXPECT_EQ(dlg.windowTitle(), "Enter Stroke");
    EXPECT_EQ(dlg.okButton->text(), "Accept");

    const QString third = TapeLine(2, 'K');
    ModalDriver driver([&](QWidget*) {
        sim.Stroke("S1-");
        sim.Stroke("T-");
        sim.Stroke("K-");
        EXPECT_TRUE(QTest::qWaitFor(
            [&] { return Lines(dlg) == std::vector<QString>{third}; }, kBoundMs));
        dlg.okButton->click();
    });
    EXPECT_EQ(dlg.exec(), QDialog::Accepted);
    EXPECT_TRUE(dlg.strokeSeen);
    EXPECT_EQ(Lines(dlg), std::vector<QString>{third});
    EXPECT_EQ(dlg.lastStroke.keys, (Stroke{0x08, 0, 0, 0, 0, 0}));
    EXPECT_TRUE(caller.Strokes().empty());

    // Afterwards the caller's window is the owner again, and strokes flow there.
    EXPECT_EQ(writer->owner.load(), caller.Handle());
    sim.Stroke("P-");
    ASSERT_TRUE(caller.WaitForStrokes(*writer, 1, kBoundMs));
    EXPECT_EQ(caller.StrokeKeys(), std::vector<std::string>{"04 00 00 00 00 00"});
    EXPECT_EQ(Lines(dlg), std::vector<QString>{third});
}

TEST_F(AdjustDialog, AcceptBeforeAnyStrokeDeliversNothing) {
    std::unique_ptr<CWriter> writer(CreateWriter(GetSettings(), kModeRealtime, caller.Handle(), 1));
    ASSERT_NE(writer, nullptr);
    CWriterAdjDlg dlg(1, true, writer.get());
    // A message that finds the queue empty takes nothing.
    platform::PostMessage(dlg.Handle(), platform::kStrokeMessage);
    ModalDriver driver([&](QWidget* shown) {
        EXPECT_EQ(shown, &dlg);
        QApplication::processEvents();
        dlg.okButton->click();
    });
    EXPECT_EQ(dlg.exec(), QDialog::Accepted);
    EXPECT_FALSE(dlg.strokeSeen);
    EXPECT_EQ(dlg.lastStroke.keys, Stroke{});
    EXPECT_EQ(dlg.lastStroke.layout, 0);
    EXPECT_TRUE(dlg.strokeList->count() == 0);
}

// ---- without a simulator: strokes queued by the test itself --------------------------------

class HandBack : public ::testing::Test {
protected:
    void SetUp() override { fakes::UseLineSettings(1); }
    fakes::FakeOwnerWindow caller;
    std::unique_ptr<CWriter> writer{NewWriter<fakes::CountingWriter>(caller.Handle())};
};

TEST_F(HandBack, StrokesQueuedWhileTheDialogEndsReachTheRestoredOwner) {
    std::size_t total = 0;
    for (bool closeFirst : {true, false}) {
        SCOPED_TRACE(closeFirst ? "ended, then destroyed" : "destroyed while open");
        {
            CWriterAdjDlg dlg(1, true, writer.get());
            dlg.show();
            // Posted to the dialog, which never handles them.
            writer->AddStroke(0x20, 0, 0);
            writer->AddStroke(0x10, 0, 0);
            writer->AddStroke(0x08, 0, 0);
            if (closeFirst) dlg.reject();
        }
        total += 3;
        EXPECT_EQ(writer->owner.load(), caller.Handle());
        ASSERT_TRUE(caller.WaitForStrokes(*writer, total, kBoundMs));
        EXPECT_EQ(Queued(*writer), 0u);
        // Told of each stroke, so an owner that takes one per message finds them all too.
        EXPECT_TRUE(caller.WaitForStrokeMessages(total, kBoundMs));
        EXPECT_EQ(caller.StrokeKeys().back(), "08 00 00 00 00 00");
    }
    caller.HandleMessages(*writer);
    EXPECT_EQ(caller.Strokes().size(), total);
}

// A capture shows the borrowed writer's status, follows its changes while it holds it, and
// hands the writer (and with it the status messages) back.
TEST(ConnectionLine, ACaptureShowsTheBorrowedWritersStatus) {
    fakes::FakeOwnerWindow caller;
    std::unique_ptr<fakes::StatusWriter> writer(NewWriter<fakes::StatusWriter>(caller.Handle()));
    writer->Set(ConnectionState::NotAnswering, "COM1 = /dev/ttyUSB0");
    {
        CWriterAdjDlg dlg(1, true, writer.get());
        dlg.show();
        EXPECT_EQ(ConnectionShown(dlg), "COM1 = /dev/ttyUSB0: the writer does not answer");
        writer->Set(ConnectionState::Gone, "COM1 = /dev/ttyUSB0", "no such device");
        EXPECT_TRUE(QTest::qWaitFor([&] { return ConnectionShown(dlg).contains("has gone"); },
                                    kBoundMs));
        writer->AddStroke(0x20, 0, 0);  // strokes flow: nothing to say
        EXPECT_TRUE(QTest::qWaitFor([&] { return ConnectionShown(dlg).isEmpty(); }, kBoundMs));
        EXPECT_EQ(dlg.strokeList->count(), 1);
        writer->Set(ConnectionState::NotAnswering, "COM1 = /dev/ttyUSB0");
        dlg.reject();
    }
    EXPECT_EQ(writer->owner.load(), caller.Handle());
    const std::size_t before = caller.Messages().size();
    writer->Set(ConnectionState::Connected, "COM1 = /dev/ttyUSB0");
    ASSERT_TRUE(caller.WaitForMessages(before + 1, kBoundMs));
    EXPECT_EQ(caller.Messages().back(), platform::kConnectionMessage);
}

// A long line wraps, also inside a device path, and the window grows to hold all of it.
TEST(ConnectionLine, ALongLineWrapsAndIsNeverCutPicture) {
    fakes::FakeOwnerWindow caller;
    std::unique_ptr<fakes::StatusWriter> writer(NewWriter<fakes::StatusWriter>(caller.Handle()));
    const std::string device =
        "COM1 = /dev/serial/by-id/usb-Stenograph_L.L.C._Diamante_Writer_0123456789-if00-port0";
    writer->Set(ConnectionState::Unavailable, device, "permission denied: join the dialout group");
    for (int points : {8, 16}) {
        SCOPED_TRACE(points);
        pictures::UseFontSize(points);
        CWriterAdjDlg dlg(1, true, writer.get());
        dlg.show();
        QApplication::processEvents();
        QLabel* label = ConnectionLabel(dlg);
        ASSERT_TRUE(label->isVisible());
        EXPECT_GE(label->height(), label->heightForWidth(label->width()));
        EXPECT_GT(label->height(), 2 * label->fontMetrics().height());  // it wrapped
        EXPECT_LE(label->geometry().bottom(), dlg.okButton->geometry().top());
        EXPECT_LE(dlg.width(), dlg.screen()->availableGeometry().width());
        pictures::Shot(&dlg, "CWriterAdjDlg-status-" + std::to_string(points) + "pt.png");
    }
    pictures::UseFontSize(0);
}

TEST_F(HandBack, AWriterThatWasNeverThereShowsNothing) {
    GetSettings().writerType = kSpeechWriterType;  // the factory makes no writer
    CWriterAdjDlg dlg;
    EXPECT_EQ(dlg.writer, nullptr);
    platform::PostMessage(dlg.Handle(), platform::kStrokeMessage);
    QApplication::processEvents();
    EXPECT_EQ(dlg.strokeList->count(), 0);
    EXPECT_FALSE(dlg.strokeSeen);
    CWriterAdjDlg capture(1, true, nullptr);  // no writer lent: it makes its own, again none
    EXPECT_TRUE(capture.ownsWriter);
    EXPECT_EQ(capture.writer, nullptr);
}

TEST_F(HandBack, TheListUsesAFixedPitchFontAndNeverCutsALine) {
    writer->keyboardLayout = 9;  // Ext. English: every key down gives a line wider than 22 columns
    for (int points : {9, 12, 16}) {
        SCOPED_TRACE(points);
        QFont font = QApplication::font();
        font.setPointSize(points);
        QApplication::setFont(font);
        CWriterAdjDlg dlg(CWriterAdjDlg::kMonitorLines, false, writer.get());
        EXPECT_TRUE(QFontInfo(dlg.strokeList->font()).fixedPitch());
        dlg.show();
        writer->AddStroke(0x3F, 0xFF, 0xFF, nullptr, 0xFF, 0xFC);
        writer->AddStroke(0x20, 0, 0);
        ASSERT_TRUE(QTest::qWaitFor([&] { return dlg.strokeList->count() == 2; }, kBoundMs));
        QApplication::processEvents();
        const QFontMetrics metrics(dlg.strokeList->font());
        for (int i = 0; i < 2; ++i) {
            const QString text = dlg.strokeList->item(i)->text();
            EXPECT_GE(dlg.strokeList->viewport()->width(), metrics.horizontalAdvance(text) + 4)
                << text.toStdString();
        }
        EXPECT_GT(dlg.strokeList->item(0)->text().size(), 22);
        // Nine rows fit without scrolling.
        EXPECT_GE(dlg.strokeList->viewport()->height(),
                  9 * dlg.strokeList->sizeHintForRow(0));
    }
    QApplication::setFont(QFont());
}

TEST(AdjustDialogTemplate, ControlNumbers) {
    GetSettings().writerType = kSpeechWriterType;
    CWriterAdjDlg dlg;
    EXPECT_EQ(dlg.property("controlId").toInt(), 242);
    EXPECT_EQ(dlg.strokeList->property("controlId").toInt(), 1005);
    EXPECT_EQ(dlg.okButton->property("controlId").toInt(), 1);
    EXPECT_TRUE(dlg.okButton->isDefault());
}

}  // namespace
