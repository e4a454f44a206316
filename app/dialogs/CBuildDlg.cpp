#include "app/dialogs/CBuildDlg.h"

#include <QDesktopServices>
#include <QFontDatabase>
#include <QFontMetrics>
#include <QLinearGradient>
#include <QPainter>
#include <QPixmap>
#include <QPushButton>
#include <QUrl>

#include "app/dialogs/DialogRunner.h"
#include "core/AppSettings.h"
#include "core/StrokeText.h"
#include "core/dialogs/WordFont.h"
#include "platform/Codepage.h"
#include "platform/Presenter.h"
#include "ui_CBuildDlg.h"
#include "writers/CWriter.h"
#include "writers/dialogs/ConnectionLine.h"

namespace {

constexpr int kWordFontTenths = 280;
constexpr int kHeadingFontPoints = 12;

// The banner above the word: the program's name on a band of colour, at two and a half times
// the dialog's font, the band as wide as the name needs.
QPixmap Banner(const QFont& base) {
    QFont font = base;
    font.setPointSizeF(std::max(base.pointSizeF(), 8.0) * 2.5);
    font.setBold(true);
    const QString name = QStringLiteral("Dictionary Quillfast");
    const QFontMetrics metrics(font);
    const QSize size(std::max(320, metrics.horizontalAdvance(name) + 4 * metrics.height()),
                     std::max(64, 2 * metrics.height()));
    QPixmap banner(size);
    QPainter painter(&banner);
    QLinearGradient band(0, 0, banner.width(), 0);
    band.setColorAt(0, QColor(24, 64, 120));
    band.setColorAt(1, QColor(90, 150, 210));
    painter.fillRect(banner.rect(), band);
    painter.setFont(font);
    painter.setPen(Qt::white);
    painter.drawText(banner.rect(), Qt::AlignCenter, name);
    return banner;
}

}  // namespace

CBuildDlg::CBuildDlg(QWidget* parent) : QDialog(parent), ui(std::make_unique<Ui::CBuildDlg>()) {
    ui->setupUi(this);
    ui->bannerImage->setPixmap(Banner(font()));
    QFont heading(QStringLiteral("Arial"));
    heading.setPointSize(kHeadingFontPoints);
    ui->headingText->setFont(heading);
    ui->strokeList->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    // Every line has the same height: a stroke added does not measure all the others again.
    ui->strokeList->setUniformItemSizes(true);
    // Room for the word at its largest size, so that the layout does not jump as it shrinks.
    QFont largest(QStringLiteral("Arial"));
    largest.setBold(true);
    largest.setPointSizeF(kWordFontTenths / 10.0);
    ui->wordEdit->setMinimumHeight(QFontMetrics(largest).height() + 10);
    ui->wordEdit->setFont(largest);
    ui->strokeList->setMinimumWidth(ui->strokeList->fontMetrics().averageCharWidth() * 24);
    ui->connectionText->hide();
    resize(size().expandedTo(sizeHint()));

    auto on = [this](QPushButton* button, std::function<void()> operation) {
        connect(button, &QPushButton::clicked, this, [this, operation] { Act(operation); });
    };
    on(ui->backButton, [this] { walk_.Back(); });
    on(ui->nextButton, [this] { walk_.Next(); });
    on(ui->firstWordButton, [this] { walk_.FirstWord(); });
    on(ui->saveButton, [this] { walk_.Save(); });
    on(ui->newOutlineButton, [this] { walk_.CommitOutline(); });
    on(ui->clearOutlinesButton, [this] { walk_.ClearOutlines(); });
    on(ui->deleteOutlineButton, [this] { walk_.DeleteOutline(); });
    on(ui->defaultsButton, [this] { walk_.SetDefaultCommandStrokes(); });
    on(ui->nextStrokeButton, [this] { walk_.CaptureCommand(CommandStroke::Next); });
    on(ui->backStrokeButton, [this] { walk_.CaptureCommand(CommandStroke::Back); });
    on(ui->acceptStrokeButton, [this] { walk_.CaptureCommand(CommandStroke::Accept); });
    on(ui->clearStrokeButton, [this] { walk_.CaptureCommand(CommandStroke::Clear); });
    on(ui->deleteStrokeButton, [this] { walk_.CaptureCommand(CommandStroke::Delete); });
    on(ui->suggestButton, [this] { walk_.Suggest(); });
    on(ui->configureButton, [this] { walk_.Configure(); });
    connect(ui->cancelButton, &QPushButton::clicked, this, &CBuildDlg::reject);
    connect(ui->wordEdit, &QLineEdit::textChanged, this, [this](const QString& text) {
        walk_.wordText = platform::FromQString(text);
        FitWord();
    });
    connect(ui->definitionLink, &QLabel::linkActivated, this, [this] { OnDefinitionClick(); });

    realChildren_ = std::make_unique<DialogRunner>();
    walk_.children = realChildren_.get();
    walk_.beforeQuestion = [this] { ShowWalk(); };
    makeWriter_ = CreateRealtimeWriter;
}

CBuildDlg::~CBuildDlg() {
    messageWindow_.Unregister();
    delete writer_;  // stops its reader thread and closes the connection
}

bool CBuildDlg::LoadWordList(const std::string& path, std::string* why) {
    std::string error;
    if (walk_.LoadWordList(path, GetSettings().documentsFolder, &error)) return true;
    // An empty list needs no more than "Error opening file"; a progress file that cannot be
    // read is named with its reason.
    if (why) *why = walk_.progressUnreadable ? error : std::string();
    return false;
}

void CBuildDlg::OnInitDialog() {
    writer_ = makeWriter_ ? makeWriter_(messageWindow_.Handle()) : nullptr;
    walk_.writer = writer_;
    // What the start-up came to; later changes come as messages.
    ShowConnectionLine(ui->connectionText, writer_);
    walk_.Start();
    ShowWalk();
}

int CBuildDlg::Run() {
    OnInitDialog();
    if (walk_.ended) return walk_.result;
    // Strokes written while the writer started wait in its queue.
    Act([] {});
    if (walk_.ended) return walk_.result;
    const int result = exec();
    return walk_.ended ? walk_.result : (result == QDialog::Rejected ? platform::kIdCancel : result);
}

void CBuildDlg::Act(const std::function<void()>& operation) {
    // A message that arrives while one of the walk's questions is open waits for its end.
    if (walk_.Busy() || walk_.ended) return;
    operation();
    walk_.TakeStrokes();
    ShowWalk();
    if (walk_.ended) done(walk_.result);
}

void CBuildDlg::reject() { Act([this] { walk_.Cancel(); }); }

bool CBuildDlg::event(QEvent* e) {
    if (const auto* message = platform::WindowMessageEvent::From(e)) {
        if (message->Message() == platform::kStrokeMessage) Act([] {});
        // Shown also while a question is open: it holds nothing up.
        if (message->Message() == platform::kConnectionMessage)
            ShowConnectionLine(ui->connectionText, writer_);
        return true;
    }
    return QDialog::event(e);
}

void CBuildDlg::resizeEvent(QResizeEvent* e) {
    QDialog::resizeEvent(e);
    FitWord();
}

void CBuildDlg::ShowWalk() {
    using platform::ToQString;
    const int layout = GetSettings().keyboardLayout;
    // Strokes are appended as they come; anything else lists afresh.
    if (walk_.strokeListEdits != listedEdits_) {
        ui->strokeList->clear();
        listedEdits_ = walk_.strokeListEdits;
    }
    if (std::size_t(ui->strokeList->count()) != walk_.strokeList.size()) {
        QStringList added;
        for (std::size_t i = std::size_t(ui->strokeList->count()); i < walk_.strokeList.size(); ++i)
            added.push_back(TapeLineToQString(layout, walk_.strokeList[i]));
        ui->strokeList->addItems(added);
        ui->strokeList->scrollToBottom();
    }
    ui->headingText->setText(ToQString(walk_.headingText));
    const QString word = ToQString(walk_.wordText);
    if (ui->wordEdit->text() != word) ui->wordEdit->setText(word);
    ui->positionText->setText(ToQString(walk_.PositionText()));
    const int range = std::max(walk_.lineCount, 1);
    if (ui->progressBar->maximum() != range) ui->progressBar->setRange(0, range);
    if (ui->progressBar->value() != walk_.ShownLine()) ui->progressBar->setValue(walk_.ShownLine());
    const std::pair<QPushButton*, CommandStroke> captions[] = {
        {ui->nextStrokeButton, CommandStroke::Next},
        {ui->backStrokeButton, CommandStroke::Back},
        {ui->acceptStrokeButton, CommandStroke::Accept},
        {ui->clearStrokeButton, CommandStroke::Clear},
        {ui->deleteStrokeButton, CommandStroke::Delete}};
    for (const auto& [button, command] : captions)
        button->setText(StrokeTextToQString(layout, BuildWalk::CommandCaption(command)));
    // A capture may have had the writer meanwhile, and with it the status messages.
    ShowConnectionLine(ui->connectionText, writer_);
    FitWord();
}

void CBuildDlg::FitWord() {
    // Measured again only when the word or the edit's width changed, not on every stroke.
    const QString text = ui->wordEdit->text();
    const int width = ui->wordEdit->width();
    if (text == fittedText_ && width == fittedWidth_) return;
    fittedText_ = text;
    fittedWidth_ = width;
    FitWordFont(ui->wordEdit, text, kWordFontTenths);
}

void CBuildDlg::OnDefinitionClick() {
    const std::string url = DefinitionUrl(platform::FromQString(ui->wordEdit->text()));
    QDesktopServices::openUrl(QUrl::fromEncoded(QByteArray::fromStdString(url), QUrl::StrictMode));
}
