#include "core/dialogs/CAlertDlg.h"

#include <QFontMetrics>
#include <QLabel>
#include <QLayout>
#include <QPushButton>
#include <QRegularExpression>
#include <QScreen>
#include <algorithm>

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
    // The template has no title. An empty one would have the window system show the
    // program's file name instead; a blank one shows no title, as the template means.
    setWindowTitle(QStringLiteral(" "));
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
    FitToText();
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

// The template's text box is 224 dialog units wide, 56 average characters of the dialog's font.
// It widens for a word that does not fit (up to the screen) and grows down for every line; the
// frame is then fixed at that size.
void CAlertDlg::FitToText() {
    QLabel* label = ui->messageText;
    const QFontMetrics metrics(label->font());
    const QMargins margins = layout()->contentsMargins();
    const QRect screen =
        this->screen() ? this->screen()->availableGeometry() : QRect(0, 0, 1024, 768);
    const int frame = 2 * metrics.height();  // the window frame around the dialog
    const int widest = std::max(screen.width() - margins.left() - margins.right() - frame, 1);
    const int tallest = std::max(screen.height() - margins.top() - margins.bottom() - frame -
                                     ui->button1->sizeHint().height() * 3,
                                 1);

    int longestWord = 0;
    const QString text = label->text();
    for (const QString& word : text.split(QRegularExpression(QStringLiteral("\\s+")),
                                          Qt::SkipEmptyParts))
        longestWord = std::max(longestWord, metrics.horizontalAdvance(word));
    const int templateWidth = std::max(label->minimumWidth(), 56 * metrics.averageCharWidth());
    // A little room beside the longest word, for the label's own text margins.
    int width =
        std::min(std::max(templateWidth, longestWord + 2 * metrics.averageCharWidth()), widest);
    // Text taller than the screen is given more width before it is given more height.
    while (label->heightForWidth(width) > tallest && width < widest)
        width = std::min(widest, width + width / 4);
    label->setFixedWidth(width);
    const int height = std::max(label->heightForWidth(width), label->minimumHeight());
    label->setMinimumHeight(std::min(height, tallest));
    layout()->setSizeConstraint(QLayout::SetFixedSize);
    adjustSize();
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
