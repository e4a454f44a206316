#pragma once
// "Adjust writer" (dialog 242): a writer's strokes as steno-tape lines, newest at the bottom.
// Two uses:
//  * monitor (the main dialog's Test): CWriterAdjDlg(parent) makes a realtime writer of the
//    configured type with itself as owner, shows the last 9 strokes and deletes the writer;
//  * capture (the build dialog's command strokes, the shadows/drops masks):
//    CWriterAdjDlg(1, true, writer) borrows the caller's writer, titled "Enter Stroke" with
//    "Accept". After exec() returns QDialog::Accepted the caller takes lastStroke.keys when
//    strokeSeen is true.
// A borrowed writer's owner is this dialog from construction until the dialog ends (or is
// destroyed); then the previous owner gets it back and is told of every stroke still queued.
// Under the strokes one line says how the writer's connection stands, while there is
// something to say ("COM1 = /dev/ttyUSB0: the writer does not answer").
#include <QDialog>
#include <memory>

#include "platform/QtMessageWindow.h"
#include "writers/CWriter.h"

class QListWidget;
class QPushButton;
namespace Ui {
class CWriterAdjDlg;
}

class CWriterAdjDlg : public QDialog {
    Q_OBJECT

public:
    static constexpr int kMonitorLines = 9;

    // The monitor: a writer of its own (null for the speech entry: the list stays empty).
    explicit CWriterAdjDlg(QWidget* parent = nullptr);
    // With a writer: borrows it. Without one (null): makes and owns one as the monitor does.
    // At least one line is kept whatever maxLines says.
    CWriterAdjDlg(int maxLines, bool captureMode, CWriter* writer, QWidget* parent = nullptr);
    // Deletes an owned writer; hands a borrowed one back.
    ~CWriterAdjDlg() override;

    // The window handle the writer posts to while this dialog owns it.
    platform::WindowHandle Handle() const { return messageWindow_.Handle(); }

    // Ends the dialog; a borrowed writer goes back to its previous owner at once.
    void done(int result) override;

    int maxLines;
    bool captureMode;
    bool ownsWriter;
    platform::WindowHandle previousOwner = platform::kNoWindow;
    QPushButton* okButton = nullptr;
    CWriter* writer;
    bool strokeSeen = false;  // a stroke was taken (not merely a message handled)
    TrackStroke lastStroke{};
    QListWidget* strokeList = nullptr;

protected:
    bool event(QEvent* e) override;
    void showEvent(QShowEvent* e) override;

private:
    void OnInitDialog();
    // Takes every queued stroke, shows each, keeps the newest maxLines lines.
    void OnStroke();
    // Sizes the list for maxLines rows and its widest line (at least 22 columns).
    void FitList();
    void TakeWriter();
    void HandBack();

    platform::QtMessageWindow messageWindow_{this};
    std::unique_ptr<Ui::CWriterAdjDlg> ui_;
    bool holdsWriter_ = false;  // a borrowed writer's owner is this dialog
    int widestColumns_ = 0;
};
