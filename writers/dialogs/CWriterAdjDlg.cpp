#include "writers/dialogs/CWriterAdjDlg.h"

#include <QFontDatabase>
#include <QIcon>
#include <QLayout>
#include <QListWidget>
#include <QPushButton>
#include <QStyle>
#include <algorithm>
#include <mutex>

#include "core/AppSettings.h"
#include "core/Stroke.h"
#include "core/StrokeText.h"
#include "ui_CWriterAdjDlg.h"
#include "writers/CreateWriter.h"
#include "writers/dialogs/ConnectionLine.h"

namespace {

constexpr int kTapeColumns = 22;  // the steno-tape form's width

// An owner that takes one stroke per message gets one message for each stroke still waiting;
// one that takes all of them finds the queue empty on the others.
void TellOfWaitingStrokes(CWriter& writer, platform::WindowHandle owner) {
    std::size_t waiting;
    {
        std::lock_guard<std::mutex> guard(writer.queueLock);
        waiting = writer.strokeQueue.size();
    }
    // SetOwner has already posted the first.
    for (std::size_t i = 1; i < waiting; ++i)
        platform::PostMessage(owner, platform::kStrokeMessage);
}

}  // namespace

CWriterAdjDlg::CWriterAdjDlg(QWidget* parent)
    : CWriterAdjDlg(kMonitorLines, false, nullptr, parent) {}

CWriterAdjDlg::CWriterAdjDlg(int maxLines, bool captureMode, CWriter* writer, QWidget* parent)
    : QDialog(parent),
      maxLines(std::max(1, maxLines)),
      captureMode(captureMode),
      ownsWriter(writer == nullptr),
      writer(writer),
      ui_(std::make_unique<Ui::CWriterAdjDlg>()) {
    ui_->setupUi(this);
    okButton = ui_->okButton;
    strokeList = ui_->strokeList;
    connect(okButton, &QPushButton::clicked, this, &QDialog::accept);
    OnInitDialog();
    if (ownsWriter) {
        this->writer = CreateWriter(GetSettings(), kModeRealtime, Handle(), 1);
        // What the start-up came to; later changes come as messages.
        ShowConnectionLine(ui_->connectionText, this->writer);
    } else {
        TakeWriter();
    }
}

CWriterAdjDlg::~CWriterAdjDlg() {
    messageWindow_.Unregister();  // first: no stroke message reaches a dialog being destroyed
    if (ownsWriter)
        delete writer;  // stops and joins its reader thread
    else
        HandBack();
}

void CWriterAdjDlg::OnInitDialog() {
    setWindowIcon(QIcon());
    strokeList->clear();
    strokeSeen = false;
    if (captureMode) {
        okButton->setText("Accept");
        setWindowTitle("Enter Stroke");
    }
    QFont tape = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    if (font().pointSizeF() > 0) tape.setPointSizeF(font().pointSizeF());
    strokeList->setFont(tape);
    ui_->connectionText->hide();
    layout()->setSizeConstraint(QLayout::SetMinimumSize);
    FitList();
    resize(minimumSizeHint());
}

void CWriterAdjDlg::FitList() {
    const QFontMetrics metrics(strokeList->font());
    const int columns = std::max(kTapeColumns, widestColumns_);
    const int margins = 2 * strokeList->frameWidth() +
                        2 * strokeList->style()->pixelMetric(QStyle::PM_FocusFrameHMargin) +
                        metrics.averageCharWidth();
    // Every column of the tape form has the width of the widest letter, whatever the font.
    const int width = metrics.horizontalAdvance(QString(columns, QChar('W'))) + margins;

    int rowHeight = 0;
    if (strokeList->count() > 0) {
        rowHeight = strokeList->sizeHintForRow(0);
    } else {
        strokeList->addItem(QString(QChar(' ')));
        rowHeight = strokeList->sizeHintForRow(0);
        strokeList->clear();
    }
    rowHeight = std::max(rowHeight, metrics.height());
    const int height = rowHeight * maxLines + 2 * strokeList->frameWidth() +
                       2 * strokeList->spacing();
    strokeList->setMinimumWidth(width);
    strokeList->setFixedHeight(height);
}

void CWriterAdjDlg::OnStroke() {
    if (!writer) return;
    bool widened = false;
    TrackStroke stroke;
    while (writer->GetStroke(&stroke)) {
        lastStroke = stroke;
        strokeSeen = true;
        const QString line = TapeLineToQString(stroke.layout, FormatStroke(stroke, kStrokeColumns));
        auto* item = new QListWidgetItem(line);
        // Column 0 at the left, also on a right-to-left desktop.
        item->setTextAlignment(Qt::AlignLeft | Qt::AlignAbsolute | Qt::AlignVCenter);
        strokeList->addItem(item);
        const int columns = TapeLineColumns(line);
        if (columns > widestColumns_) {
            widestColumns_ = columns;
            widened = widestColumns_ > kTapeColumns;
        }
    }
    while (strokeList->count() > maxLines) delete strokeList->takeItem(0);
    if (widened) {
        FitList();
        adjustSize();
    }
}

bool CWriterAdjDlg::event(QEvent* e) {
    if (const platform::WindowMessageEvent* message = platform::WindowMessageEvent::From(e)) {
        if (message->Message() == platform::kStrokeMessage) OnStroke();
        if (message->Message() == platform::kConnectionMessage)
            ShowConnectionLine(ui_->connectionText, writer);
        return true;
    }
    return QDialog::event(e);
}

void CWriterAdjDlg::showEvent(QShowEvent* e) {
    // Shown again after it ended: take the borrowed writer once more.
    if (!ownsWriter && !holdsWriter_) TakeWriter();
    QDialog::showEvent(e);
}

void CWriterAdjDlg::done(int result) {
    HandBack();
    QDialog::done(result);
}

void CWriterAdjDlg::TakeWriter() {
    if (!writer || holdsWriter_) return;
    previousOwner = writer->SetOwner(Handle());
    holdsWriter_ = true;
    // The borrowed writer's status went to its owner until now.
    ShowConnectionLine(ui_->connectionText, writer);
}

void CWriterAdjDlg::HandBack() {
    if (ownsWriter || !writer || !holdsWriter_) return;
    holdsWriter_ = false;
    writer->SetOwner(previousOwner);
    TellOfWaitingStrokes(*writer, previousOwner);
}
