#include "speech/dialogs/BuildSpeechDlg.h"

#include <QFont>
#include <QLayout>
#include <QPushButton>

#include "core/AppSettings.h"
#include "core/TextUtil.h"
#include "core/dialogs/WordFont.h"
#include "platform/Codepage.h"
#include "platform/Presenter.h"
#include "speech/CSpEngine.h"
#include "ui_BuildSpeechDlg.h"

namespace {
constexpr int kRestartQuestion = 5051;
constexpr int kWordFontTenths = 280;
constexpr int kHeadingPoints = 12;
constexpr const char* kEndOfListText =
    "End of list reached (all progress will be automatically saved)";
}  // namespace

BuildSpeechDlg::BuildSpeechDlg(QWidget* parent)
    : QDialog(parent), ui_(std::make_unique<Ui::BuildSpeechDlg>()) {
    ui_->setupUi(this);
    QFont banner = ui_->bannerLabel->font();
    banner.setPointSizeF(banner.pointSizeF() * 1.6);
    banner.setBold(true);
    ui_->bannerLabel->setFont(banner);
    ui_->headingLabel->setFont(QFont(QStringLiteral("Arial"), kHeadingPoints));

    connect(ui_->loadSpeakerButton, &QPushButton::clicked, this, &BuildSpeechDlg::OnLoadSpeaker);
    connect(ui_->trainWordButton, &QPushButton::clicked, this, &BuildSpeechDlg::OnTrainWord);
    connect(ui_->nextButton, &QPushButton::clicked, this, &BuildSpeechDlg::OnNext);
    connect(ui_->backButton, &QPushButton::clicked, this, &BuildSpeechDlg::OnBack);
    connect(ui_->firstWordButton, &QPushButton::clicked, this, &BuildSpeechDlg::OnFirstWord);
    connect(ui_->okButton, &QPushButton::clicked, this, &BuildSpeechDlg::OnOK);

    // A loaded speaker enables "Train Word"; the hook goes with the dialog.
    GetSpEngine().SetSpeakerArrivedHook([this] { ui_->trainWordButton->setEnabled(true); });
}

BuildSpeechDlg::~BuildSpeechDlg() {
    GetSpEngine().SetSpeakerArrivedHook({});
    GetSpEngine().Shutdown();
}

bool BuildSpeechDlg::LoadWordList(const std::string& path) {
    return walk_.Load(path, GetSettings().documentsFolder);
}

int BuildSpeechDlg::Run() {
    if (!initialised_) OnInitDialog();
    if (ended_) return result();
    return exec();
}

void BuildSpeechDlg::OnInitDialog() {
    initialised_ = true;
    // The word font is fitted to the edit's width: lay the window out first.
    resize(size().expandedTo(minimumSizeHint()));
    layout()->activate();
    walk_.Resume();
    ui_->progressBar->setRange(0, walk_.Total());
    if (walk_.Finished()) {
        // Stored at a heading on the last line: the list is done. Say so and offer it again
        // from the start; declined, the dialog ends as Escape would, storing nothing.
        platform::ShowMessageBox(kEndOfListText);
        if (!walk_.HasWords() || !AskRestart()) {
            done(QDialog::Rejected);
            return;
        }
        walk_.First();
    }
    ShowTrainingWord();
}

void BuildSpeechDlg::ShowTrainingWord() {
    WalkLine shown = walk_.Show();
    headingText = shown.heading;
    if (shown.ended) {
        // A heading as the last line: nothing left to train.
        OnOK();
        return;
    }
    wordText = shown.word;
    counterText = std::to_string(walk_.Position()) + " of " + std::to_string(walk_.Total());
    DoDataExchange();
}

void BuildSpeechDlg::DoDataExchange() {
    ui_->wordEdit->setText(platform::ToQString(wordText));
    ui_->wordEdit->setCursorPosition(0);  // a word wider than the edit shows its start
    ui_->headingLabel->setText(platform::ToQString(headingText));
    ui_->counterLabel->setText(platform::ToQString(counterText));
    ui_->progressBar->setValue(walk_.Position());
    FitWord();
}

void BuildSpeechDlg::FitWord() { FitWordFont(ui_->wordEdit, ui_->wordEdit->text(), kWordFontTenths); }

void BuildSpeechDlg::resizeEvent(QResizeEvent* event) {
    QDialog::resizeEvent(event);
    if (initialised_) FitWord();
}

void BuildSpeechDlg::OnLoadSpeaker() { GetSpEngine().SelectSpeaker(); }

void BuildSpeechDlg::OnTrainWord() { GetSpEngine().AddMissingWords(wordText); }

void BuildSpeechDlg::OnNext() {
    if (!walk_.Next()) {
        platform::ShowMessageBox(kEndOfListText);
        OnOK();
        return;
    }
    ShowTrainingWord();
}

void BuildSpeechDlg::OnBack() {
    if (walk_.Position() == 0) return;
    walk_.Back();
    ShowTrainingWord();
}

void BuildSpeechDlg::OnFirstWord() {
    if (!AskRestart()) return;
    walk_.First();
    ShowTrainingWord();
}

bool BuildSpeechDlg::AskRestart() {
    return platform::ShowMessageBox(LoadResString(kRestartQuestion), {},
                                    platform::kMbYesNo | platform::kMbIconQuestion) ==
           platform::kIdYes;
}

void BuildSpeechDlg::OnOK() {
    std::string error;
    if (walk_.Total() > 0 && !walk_.SavePosition(&error)) {
        const std::string path = walk_.ProgressPath();
        platform::ShowMessageBox("The position in the word list could not be saved to \"" +
                                     PathForMessage(path) + "\": " + FileErrorReason(error, path) +
                                     ".",
                                 {}, platform::kMbOk | platform::kMbIconWarning);
    }
    QDialog::accept();
}

void BuildSpeechDlg::done(int result) {
    ended_ = true;
    QDialog::done(result);
}
