#include "app/dialogs/SuggestConfigDlg.h"

#include <QLineEdit>
#include <QPushButton>

#include "app/ShadowDrop.h"
#include "core/AppSettings.h"
#include "core/StrokeText.h"
#include "platform/Codepage.h"
#include "platform/Presenter.h"
#include "ui_SuggestConfigDlg.h"

namespace {
int Layout() { return GetSettings().keyboardLayout.load(); }
std::string MaskText(const Outline& mask) { return FormatOutline(std::uint8_t(Layout()), mask, 0); }
}  // namespace

SuggestConfigDlg::SuggestConfigDlg(QWidget* parent)
    : QDialog(parent),
      dropText(MaskText(GetSettings().dropMask)),
      shadowText(MaskText(GetSettings().shadowMask)),
      ui(std::make_unique<Ui::SuggestConfigDlg>()) {
    ui->setupUi(this);
    for (QLineEdit* edit : {ui->shadowEdit, ui->dropEdit})
        edit->setMinimumWidth(edit->fontMetrics().averageCharWidth() * 18);
    resize(size().expandedTo(sizeHint()));
    connect(ui->shadowsButton, &QPushButton::clicked, this, &SuggestConfigDlg::OnShadows);
    connect(ui->dropsButton, &QPushButton::clicked, this, &SuggestConfigDlg::OnDrops);
    connect(ui->resetShadowsButton, &QPushButton::clicked, this, &SuggestConfigDlg::OnResetShadows);
    connect(ui->resetDropsButton, &QPushButton::clicked, this, &SuggestConfigDlg::OnResetDrops);
    connect(ui->okButton, &QPushButton::clicked, this, [this] { done(platform::kIdOk); });
    DoDataExchange(false);
}

SuggestConfigDlg::~SuggestConfigDlg() = default;

void SuggestConfigDlg::DoDataExchange(bool save) {
    if (save) {
        dropText = platform::FromQString(ui->dropEdit->text(), StrokeCodepage(Layout()));
        shadowText = platform::FromQString(ui->shadowEdit->text(), StrokeCodepage(Layout()));
        return;
    }
    shadowText = MaskText(GetSettings().shadowMask);
    dropText = MaskText(GetSettings().dropMask);
    ui->dropEdit->setText(StrokeTextToQString(Layout(), dropText));
    ui->shadowEdit->setText(StrokeTextToQString(Layout(), shadowText));
}

int SuggestConfigDlg::Run() {
    DoDataExchange(false);
    const int result = exec();
    return result == QDialog::Rejected ? platform::kIdCancel : result;
}

void SuggestConfigDlg::CaptureInto(Outline& mask) {
    DoDataExchange(true);
    Stroke keys{};
    if (capture && capture->CaptureStroke(writer, keys)) SetFirstStroke(mask, keys);
    DoDataExchange(false);
}

void SuggestConfigDlg::ResetMask(Outline& mask) {
    DoDataExchange(true);
    ClearFirstStroke(mask);
    DoDataExchange(false);
}

void SuggestConfigDlg::OnShadows() { CaptureInto(GetSettings().shadowMask); }
void SuggestConfigDlg::OnDrops() { CaptureInto(GetSettings().dropMask); }
void SuggestConfigDlg::OnResetShadows() { ResetMask(GetSettings().shadowMask); }
void SuggestConfigDlg::OnResetDrops() { ResetMask(GetSettings().dropMask); }
