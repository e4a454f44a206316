#include "core/dialogs/DialogPresenter.h"

#include <QApplication>
#include <QDesktopServices>
#include <QFile>
#include <QFileDialog>
#include <QGridLayout>
#include <QMessageBox>
#include <QPushButton>
#include <QUrl>

#include "core/dialogs/CAlertDlg.h"
#include "core/dialogs/CAskForDlg.h"
#include "core/TextUtil.h"
#include "platform/Codepage.h"
#include "platform/Help.h"

using platform::FromQString;
using platform::ToQString;

namespace {

QMessageBox::StandardButton StandardButtonOf(int result) {
    switch (result) {
        case platform::kIdOk: return QMessageBox::Ok;
        case platform::kIdCancel: return QMessageBox::Cancel;
        case platform::kIdAbort: return QMessageBox::Abort;
        case platform::kIdRetry: return QMessageBox::Retry;
        case platform::kIdIgnore: return QMessageBox::Ignore;
        case platform::kIdYes: return QMessageBox::Yes;
        case platform::kIdNo: return QMessageBox::No;
        default: return QMessageBox::NoButton;
    }
}

QMessageBox::Icon IconOf(unsigned style) {
    switch (style & platform::kMbIconMask) {
        case platform::kMbIconError: return QMessageBox::Critical;
        case platform::kMbIconQuestion: return QMessageBox::Question;
        case platform::kMbIconWarning: return QMessageBox::Warning;
        case platform::kMbIconInformation: return QMessageBox::Information;
        default: return QMessageBox::NoIcon;
    }
}

// The window system draws the title beside its own buttons at a font of its own: the box is
// made wide enough for the title in the box's font in bold, with room for those buttons, so
// that a box with a short text does not cut its title to "Dict...ast".
void WidenForTitle(QMessageBox& box) {
    QFont font = box.font();
    font.setBold(true);
    const QFontMetrics metrics(font);
    const int width = metrics.horizontalAdvance(box.windowTitle()) + 8 * metrics.height();
    if (auto* grid = qobject_cast<QGridLayout*>(box.layout()))
        grid->addItem(new QSpacerItem(width, 0, QSizePolicy::Fixed, QSizePolicy::Minimum),
                      grid->rowCount(), 0, 1, grid->columnCount());
}

std::string PlainText(std::string text) {
    ReplaceAll(text, "\r\n", "\n");
    return text;
}

}  // namespace

QWidget* DialogPresenter::Owner() {
    if (QWidget* modal = QApplication::activeModalWidget()) return modal;
    return QApplication::activeWindow();
}

int DialogPresenter::Alert(const platform::AlertRequest& request) {
    CAlertDlg dialog(request, Owner());
    return dialog.Run();
}

int DialogPresenter::Prompt(const platform::PromptRequest& request, std::string& value) {
    CAskForDlg dialog(request.promptId, request.prompt.c_str(), Owner());
    dialog.value = value;
    dialog.prompt = request.prompt;
    int answer = dialog.Run();
    value = dialog.value;
    return answer;
}

int DialogPresenter::MessageBox(const std::string& text, const std::string& caption,
                                unsigned style) {
    QMessageBox box(IconOf(style), ToQString(platform::CaptionOrTitle(caption)), ToQString(PlainText(text)),
                    QMessageBox::NoButton, Owner());
    box.setTextFormat(Qt::PlainText);
    std::vector<int> results = platform::MessageBoxButtons(style);
    std::vector<QAbstractButton*> buttons;
    for (int result : results) buttons.push_back(box.addButton(StandardButtonOf(result)));
    std::size_t preferred = (style & platform::kMbDefMask) >> 8;
    if (preferred < buttons.size())
        box.setDefaultButton(static_cast<QPushButton*>(buttons[preferred]));
    const int escape = platform::EscapeResult(style);
    for (std::size_t i = 0; i < results.size(); ++i)
        if (results[i] == escape) box.setEscapeButton(buttons[i]);
    WidenForTitle(box);
    box.exec();
    for (std::size_t i = 0; i < results.size(); ++i)
        if (box.clickedButton() == buttons[i]) return results[i];
    return escape;
}

std::string DialogPresenter::FileDialog(const platform::FileDialogRequest& request) {
    QFileDialog dialog(Owner(), ToQString(request.title), QFile::decodeName(request.folder.c_str()),
                       ToQString(request.filter));
    dialog.setAcceptMode(request.save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    dialog.setFileMode(request.save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
    if (!request.defaultSuffix.empty()) dialog.setDefaultSuffix(ToQString(request.defaultSuffix));
    if (!request.fileName.empty()) dialog.selectFile(QFile::decodeName(request.fileName.c_str()));
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return {};
    return QFile::encodeName(dialog.selectedFiles().constFirst()).toStdString();
}

void DialogPresenter::Notice(const std::string& text, const std::string& caption) {
    MessageBox(text, caption, platform::kMbOk | platform::kMbIconInformation);
}

void DialogPresenter::Help(int contextId) {
    const std::string file = platform::FindHelpFile();
    const std::string topic = " (help topic " + std::to_string(contextId) + ")";
    if (file.empty())
        Notice("No help is installed for this program" + topic + ".", {});
    else if (!OpenUrl(file, contextId))
        Notice("The help file \"" + FromQString(QFile::decodeName(file.c_str())) +
                   "\" could not be opened" + topic + ".",
               {});
}

bool DialogPresenter::OpenUrl(const std::string& fileName, int contextId) {
    QUrl url = QUrl::fromLocalFile(QFile::decodeName(fileName.c_str()));
    url.setFragment(QString::number(contextId));
    return QDesktopServices::openUrl(url);
}
