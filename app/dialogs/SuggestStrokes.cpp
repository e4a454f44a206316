#include "app/dialogs/SuggestStrokes.h"

#include <QListWidget>
#include <QPushButton>
#include <algorithm>

#include "app/ShadowDrop.h"
#include "core/AppSettings.h"
#include "core/StrokeText.h"
#include "platform/Presenter.h"
#include "ui_SuggestStrokes.h"

SuggestStrokes::SuggestStrokes(const std::string& text, QWidget* parent)
    : QDialog(parent),
      parsedOutline(ParseOutline(std::uint8_t(GetSettings().keyboardLayout.load()), text)),
      ui(std::make_unique<Ui::SuggestStrokes>()) {
    ui->setupUi(this);
    // Room for eight outlines, whatever the font; the window grows with its text.
    ui->outlineList->setMinimumHeight(ui->outlineList->fontMetrics().height() * 8);
    resize(size().expandedTo(sizeHint()));
    connect(ui->okButton, &QPushButton::clicked, this, &SuggestStrokes::accept);
    connect(ui->cancelButton, &QPushButton::clicked, this, &SuggestStrokes::reject);
}

SuggestStrokes::~SuggestStrokes() = default;

std::vector<Outline> SuggestStrokes::GenerateVariants() const {
    const AppSettings& settings = GetSettings();
    return ::GenerateVariants(parsedOutline, settings.shadowMask, settings.dropMask);
}

void SuggestStrokes::OnInitDialog() {
    const auto layout = std::uint8_t(GetSettings().keyboardLayout.load());
    QStringList texts;
    for (const Outline& outline : GenerateVariants()) {
        std::string text = FormatOutline(layout, outline, 1);
        listTexts[ui->outlineList->count() + int(texts.size())] = text;
        texts.push_back(StrokeTextToQString(layout, text));
    }
    ui->outlineList->addItems(texts);
    ui->outlineList->clearSelection();
    // Eight whole rows, as the rows are drawn (a row is taller than a line of its font).
    if (ui->outlineList->count() > 0) {
        const int rows = 8 * ui->outlineList->sizeHintForRow(0) + 2 * ui->outlineList->frameWidth();
        if (ui->outlineList->minimumHeight() < rows) {
            ui->outlineList->setMinimumHeight(rows);
            resize(size().expandedTo(sizeHint()));
        }
    }
}

int SuggestStrokes::Run() {
    OnInitDialog();
    return exec();
}

void SuggestStrokes::OnOK() {
    std::vector<int> rows;
    for (const QModelIndex& index : ui->outlineList->selectionModel()->selectedRows())
        rows.push_back(index.row());
    std::sort(rows.begin(), rows.end());
    for (int row : rows) chosenOutlines.push_back(listTexts[row]);
    done(platform::kIdOk);
}

void SuggestStrokes::reject() { done(platform::kIdCancel); }
