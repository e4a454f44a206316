#include "core/dialogs/CAskForDlg.h"

#include <QPushButton>

#include "core/MessageString.h"
#include "platform/Codepage.h"
#include "platform/Presenter.h"
#include "ui_CAskForDlg.h"

CAskForDlg::CAskForDlg(int promptId, const char* promptText, QWidget* owner)
    : QDialog(owner),
      prompt(PreparePrompt(promptId, promptText ? promptText : "", {}).prompt),
      ui(std::make_unique<Ui::CAskForDlg>()),
      passwordMode(promptId == kPasswordPromptId) {
    ui->setupUi(this);
    // The template has no title. An empty one would have the window system show the
    // program's file name instead; a blank one shows no title, as the template means.
    setWindowTitle(QStringLiteral(" "));
    ui->passwordEdit->hide();
    connect(ui->okButton, &QPushButton::clicked, this, &CAskForDlg::accept);
    connect(ui->cancelButton, &QPushButton::clicked, this, &CAskForDlg::reject);
}

CAskForDlg::~CAskForDlg() = default;

void CAskForDlg::DoDataExchange(bool save) {
    using platform::FromQString;
    using platform::ToQString;
    if (save) {
        value = FromQString(ui->valueEdit->text());
        password = FromQString(ui->passwordEdit->text());
    } else {
        ui->promptText->setText(ToQString(prompt));
        ui->valueEdit->setText(ToQString(value));
        ui->passwordEdit->setText(ToQString(password));
    }
}

void CAskForDlg::OnInitDialog() {
    DoDataExchange(false);
    if (passwordMode) {
        ui->valueEdit->hide();
        ui->passwordEdit->show();
        ui->passwordEdit->setFocus();
    } else {
        ui->valueEdit->setFocus();
    }
}

int CAskForDlg::Run() {
    OnInitDialog();
    return exec();
}

void CAskForDlg::OnOK() {
    DoDataExchange(true);
    if (passwordMode) value = password;
    done(platform::kIdOk);
}

void CAskForDlg::reject() { done(platform::kIdCancel); }
