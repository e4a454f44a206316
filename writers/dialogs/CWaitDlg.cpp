#include "writers/dialogs/CWaitDlg.h"

#include <QApplication>
#include <QPushButton>

#include "core/TextUtil.h"
#include "platform/Codepage.h"
#include "ui_CWaitDlg.h"
#include "writers/TransferSupport.h"

namespace {
constexpr int kProcessingText = 6025;
}

CWaitDlg::CWaitDlg(int headingId, int actionId, bool allowCancel, QWidget* parent)
    : QDialog(parent), allowCancel(allowCancel), ui_(std::make_unique<Ui::CWaitDlg>()) {
    std::string heading = LoadResString(headingId);
    headingText = heading.substr(0, heading.find('\n'));
    actionText = LoadResString(actionId);
    parentWindow = parent ? parent : QApplication::activeWindow();

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

void CWaitDlg::Close() { hide(); }

void CWaitDlg::reject() { cancelled = true; }

void CWaitDlg::InstallAsWaitDialog() {
    platform::InstallWaitDialogFactory(
        [](int headingId, int actionId, bool allowCancel, platform::WindowHandle)
            -> std::unique_ptr<platform::WaitDialog> {
            return std::make_unique<CWaitDlg>(headingId, actionId, allowCancel);
        });
}
