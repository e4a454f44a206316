#include "writers/dialogs/CWaitDlg.h"

#include <QApplication>
#include <QFile>
#include <QLabel>
#include <QPushButton>

#include "core/TextUtil.h"
#include "platform/Codepage.h"
#include "ui_CWaitDlg.h"
#include "writers/TransferSupport.h"

namespace {
constexpr int kProcessingText = 6025;

// A window of its own while a modal dialog runs would be blocked by it: the Cancel could not
// be pressed.
QWidget* OwnerWindow(QWidget* parent) {
    if (parent) return parent;
    if (QWidget* modal = QApplication::activeModalWidget()) return modal;
    return QApplication::activeWindow();
}

std::string FirstLine(const std::string& text) { return text.substr(0, text.find('\n')); }

}  // namespace

CWaitDlg::CWaitDlg(int headingId, int actionId, bool allowCancel, QWidget* parent)
    : CWaitDlg(FirstLine(LoadResString(headingId)), LoadResString(actionId), allowCancel, parent) {}

CWaitDlg::CWaitDlg(const std::string& heading, const std::string& action, bool allowCancel,
                   QWidget* parent)
    : QDialog(OwnerWindow(parent)), allowCancel(allowCancel), ui_(std::make_unique<Ui::CWaitDlg>()) {
    headingText = FirstLine(heading);
    actionText = action;
    parentWindow = parentWidget();

    ui_->setupUi(this);
    progressBar = ui_->progressBar;
    setModal(false);
    connect(ui_->cancelButton, &QPushButton::clicked, this, &CWaitDlg::reject);
    OnInitDialog();
    show();
    if (allowCancel) PumpMessages();
}

CWaitDlg::~CWaitDlg() = default;

void CWaitDlg::OnInitDialog() {
    DoDataExchange();
    if (parentWindow && parentWindow != this) {
        adjustSize();
        QPoint centre = parentWindow->frameGeometry().center();
        move(centre - QPoint(width() / 2, height() / 2));
    }
    ui_->cancelButton->setVisible(allowCancel);
}

void CWaitDlg::DoDataExchange() {
    ui_->headingLabel->setText(platform::ToQString(headingText));
    ui_->actionLabel->setText(platform::ToQString(actionText));
    ui_->statusLabel->setText(platform::ToQString(statusText));
}

void CWaitDlg::SetRange(int low, int high, int interval) {
    progressBar->setRange(low, high);
    updateInterval = interval;
}

void CWaitDlg::SetProgress(int position, const std::string& text) {
    // An interval of 0 (no range set yet) updates on every call rather than dividing by zero.
    if (updateInterval <= 0 || updateCount % updateInterval == 0) {
        progressBar->setValue(position);
        statusText = LoadResString(kProcessingText) + " " + text + " " + IntToString(position);
        DoDataExchange();
        updateCount = 0;
        if (allowCancel) PumpMessages();
    }
    ++updateCount;
}

void CWaitDlg::SetStatusLine(const std::string& text) {
    statusText.clear();
    DoDataExchange();
    // A device path can be long (by-id names are): the line gets a row of its own and wraps
    // rather than widening the window past the screen.
    QLabel* line = ui_->statusLabel;
    if (line->parentWidget() && ui_->textLayout->indexOf(line) >= 0) {
        ui_->textLayout->removeWidget(line);
        ui_->mainLayout->insertWidget(ui_->mainLayout->indexOf(ui_->progressBar) + 1, line);
        line->setWordWrap(true);
        line->setMinimumWidth(fontMetrics().averageCharWidth() * 50);
    }
    line->setText(QFile::decodeName(QByteArray::fromStdString(text)));
    layout()->activate();
    adjustSize();
}

void CWaitDlg::Close() { hide(); }

void CWaitDlg::reject() {
    cancelled = true;
    if (onCancel) onCancel();
}

void CWaitDlg::InstallAsWaitDialog() {
    platform::InstallWaitDialogFactory(
        [](int headingId, int actionId, bool allowCancel, platform::WindowHandle)
            -> std::unique_ptr<platform::WaitDialog> {
            return std::make_unique<CWaitDlg>(headingId, actionId, allowCancel);
        });
}
