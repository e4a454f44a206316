#include "core/dialogs/CAlertDlg.h"

#include <QPushButton>

#include "core/MessageString.h"
#include "core/TextUtil.h"
#include "platform/Codepage.h"
#include "ui_CAlertDlg.h"

CAlertDlg::CAlertDlg(int messageId, std::uint32_t style, const std::string& insertText,
                     QWidget* owner)
    : CAlertDlg(PrepareAlert(messageId, style, insertText), owner) {}

CAlertDlg::CAlertDlg(const platform::AlertRequest& request, QWidget* owner)
    : QDialog(owner),
      style(request.style),
      messageId(request.messageId),
      ui(std::make_unique<Ui::CAlertDlg>()),
      request(request) {
    ui->setupUi(this);
    for (int n = 1; n <= kMaxAlertButtons; ++n) {
        QPushButton* button = Button(n);
        // Shown buttons keep their places, as on a fixed dialog template.
        QSizePolicy policy = button->sizePolicy();
        policy.setRetainSizeWhenHidden(true);
        button->setSizePolicy(policy);
        button->hide();
        connect(button, &QPushButton::clicked, this, [this, n] { OnButton(n); });
    }
    connect(ui->helpButton, &QPushButton::clicked, this, &CAlertDlg::OnHelp);
}

CAlertDlg::~CAlertDlg() = default;

QPushButton* CAlertDlg::Button(int n) const {
    switch (n) {
        case 1: return ui->button1;
        case 2: return ui->button2;
        case 3: return ui->button3;
        case 4: return ui->button4;
        default: return nullptr;
    }
}

QPushButton* CAlertDlg::HelpButton() const { return ui->helpButton; }

bool CAlertDlg::OnInitDialog() {
    if (request.answeredAtOnce) {
        if (request.buttons.empty())
            done(result);
        else
            OnButton(1);
        return false;
    }
    ui->helpButton->setVisible(request.helpVisible);
    for (std::size_t i = 0; i < request.buttons.size(); ++i) {
        QPushButton* button = Button(int(i) + 1);
        button->setText(platform::ToQString(request.buttons[i].caption));
        button->show();
    }
    messageText = request.text;
    DoDataExchange();
    if (!request.buttons.empty()) {
        QPushButton* preferred = Button(request.defaultButton + 1);
        for (int n = 1; n <= kMaxAlertButtons; ++n) Button(n)->setDefault(Button(n) == preferred);
        preferred->setFocus();
    }
    return true;
}

void CAlertDlg::DoDataExchange() {
    std::string shown = messageText;
    ReplaceAll(shown, "\r\n", "\n");
    ui->messageText->setText(platform::ToQString(shown));
}

int CAlertDlg::Run() {
    if (OnInitDialog()) exec();
    return result;
}

void CAlertDlg::OnButton(int n) {
    if (n < 1 || std::size_t(n) > request.buttons.size()) return;
    result = request.buttons[std::size_t(n) - 1].result;
    done(result);
}

void CAlertDlg::OnHelp() { platform::ShowHelp(messageId); }
