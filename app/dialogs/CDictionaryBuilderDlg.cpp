#include "app/dialogs/CDictionaryBuilderDlg.h"

#include <QContextMenuEvent>
#include <QFile>
#include <QKeyEvent>
#include <QListWidget>
#include <QMenu>
#include <QPushButton>
#include <QSignalBlocker>
#include <QToolButton>
#include <filesystem>

#include "app/ProductVersion.h"
#include "app/dialogs/MainDialogChildren.h"
#include "core/AppSettings.h"
#include "core/DataFiles.h"
#include "core/RtfDictionary.h"
#include "core/TextUtil.h"
#include "platform/Codepage.h"
#include "platform/Presenter.h"
#include "ui_CDictionaryBuilderDlg.h"

#include "writers/WriterTypes.h"

namespace {

constexpr int kAboutStringId = 101;
constexpr int kPathRole = Qt::UserRole;

constexpr int kWriterListCount = kWriterTypeCount;
QString WriterListText(int type) { return platform::ToQString(WriterTypeText(type)); }

bool IsFile(const std::string& path) {
    std::error_code error;
    return std::filesystem::is_regular_file(path, error);
}

QString FileNameText(const std::string& path) { return QFile::decodeName(path.c_str()); }

}  // namespace

CDictionaryBuilderDlg::CDictionaryBuilderDlg(MainDialogChildren& runner, QWidget* parent)
    : QDialog(parent), ui(std::make_unique<Ui::CDictionaryBuilderDlg>()), runner(runner) {
    ui->setupUi(this);
    QFont banner = ui->bannerText->font();
    banner.setFamily(QStringLiteral("Arial"));
    banner.setBold(true);
    banner.setPointSizeF(banner.pointSizeF() * 1.8);
    ui->bannerText->setFont(banner);
    ui->subcategoriesLabel->hide();
    for (int type = 0; type < kWriterListCount; ++type) ui->writerCombo->addItem(WriterListText(type));
    setWindowFlag(Qt::WindowMinimizeButtonHint, true);
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);

    const AppSettings& settings = GetSettings();
    baudIndex = BaudIndexForRate(settings.baudRate, -1);
    parityIndex = IndexInList(settings.parity, kParityListCount);
    dataBitsIndex = DataBitsIndex(settings.dataBits);
    stopBitsIndex = StopBitsIndex(settings.stopBits);
    portNumber = settings.port;

    connect(ui->moduleCombo, &QComboBox::activated, this, [this] { OnSelchangeModule(); });
    connect(ui->subcategoryList, &QListWidget::currentRowChanged, this,
            [this] { OnSelchangeSubcategory(); });
    connect(ui->writerCombo, &QComboBox::activated, this, [this] { OnSelchangeWriter(); });
    connect(ui->buildButton, &QPushButton::clicked, this, &CDictionaryBuilderDlg::OnBuild);
    connect(ui->makeRtfButton, &QPushButton::clicked, this, &CDictionaryBuilderDlg::OnMakeRtf);
    connect(ui->testButton, &QPushButton::clicked, this, &CDictionaryBuilderDlg::OnTest);
    connect(ui->exitButton, &QPushButton::clicked, this, &CDictionaryBuilderDlg::accept);
    connect(ui->portUpButton, &QToolButton::clicked, this, [this] { OnPortArrow(+1); });
    connect(ui->portDownButton, &QToolButton::clicked, this, [this] { OnPortArrow(-1); });
    ui->portEdit->installEventFilter(this);
}

CDictionaryBuilderDlg::~CDictionaryBuilderDlg() = default;

int CDictionaryBuilderDlg::Run() {
    OnInitDialog();
    return exec();
}

bool CDictionaryBuilderDlg::UpdateData(bool save) {
    AppSettings& settings = GetSettings();
    if (!save) {
        writerIndex = IndexInList(settings.writerType, kWriterListCount);
        layoutIndex = IndexInList(settings.keyboardLayout, kLayoutListCount);
        baudIndex = BaudIndexForRate(settings.baudRate, baudIndex);
        parityIndex = IndexInList(settings.parity, kParityListCount);
        dataBitsIndex = DataBitsIndex(settings.dataBits);
        stopBitsIndex = StopBitsIndex(settings.stopBits);
        portNumber = settings.port;
        ui->writerCombo->setCurrentIndex(writerIndex);
        ui->layoutCombo->setCurrentIndex(layoutIndex);
        ui->baudCombo->setCurrentIndex(baudIndex);
        ui->parityCombo->setCurrentIndex(parityIndex);
        ui->dataBitsCombo->setCurrentIndex(dataBitsIndex);
        ui->stopBitsCombo->setCurrentIndex(stopBitsIndex);
        ui->portEdit->setText(QString::number(portNumber));
    } else {
        writerIndex = ui->writerCombo->currentIndex();
        layoutIndex = ui->layoutCombo->currentIndex();
        baudIndex = ui->baudCombo->currentIndex();
        parityIndex = ui->parityCombo->currentIndex();
        dataBitsIndex = ui->dataBitsCombo->currentIndex();
        stopBitsIndex = ui->stopBitsCombo->currentIndex();
        if (!ParseDialogInteger(platform::FromQString(ui->portEdit->text()), portNumber)) {
            platform::ShowMessageBox("Enter an integer.", {},
                                     platform::kMbOk | platform::kMbIconWarning);
            ui->portEdit->setFocus();
            ui->portEdit->selectAll();
            return false;
        }
        // A list without a selection keeps the value the record holds.
        settings.writerType = ValueForIndex(writerIndex, kWriterListCount, settings.writerType);
        settings.keyboardLayout =
            ValueForIndex(layoutIndex, kLayoutListCount, settings.keyboardLayout);
        settings.baudRate = BaudRateForIndex(baudIndex, settings.baudRate);
        settings.port = portNumber;
        settings.parity = ValueForIndex(parityIndex, kParityListCount, settings.parity);
        settings.dataBits = DataBitsForIndex(dataBitsIndex, settings.dataBits);
        settings.stopBits = StopBitsForIndex(stopBitsIndex, settings.stopBits);
    }
    ApplyEnableRules();
    return true;
}

void CDictionaryBuilderDlg::ApplyEnableRules() {
    const EnableRules rules =
        EnableRulesFor(writerIndex >= 0 ? writerIndex : GetSettings().writerType);
    for (QWidget* w : {static_cast<QWidget*>(ui->baudCombo), static_cast<QWidget*>(ui->parityCombo),
                       static_cast<QWidget*>(ui->dataBitsCombo),
                       static_cast<QWidget*>(ui->stopBitsCombo),
                       static_cast<QWidget*>(ui->portEdit)})
        w->setEnabled(rules.lineSettings);
    ui->testButton->setEnabled(rules.test);
    ui->layoutCombo->setEnabled(rules.layout);
    ui->makeRtfButton->setEnabled(rules.makeRtf);
    speech = rules.speech;
}

void CDictionaryBuilderDlg::OnInitDialog() {
    UpdateData(false);
    std::string name, version;
    if (GetProductNameAndVersion(name, version))
        ui->versionText->setText(QStringLiteral("v.") + platform::ToQString(version));

    AppSettings& settings = GetSettings();
    userStart = StartDefaultUser(settings, DefaultDocumentsFolder());
    if (!userStart.documentsFolderReady)
        platform::ShowMessageBox("The folder for progress files and dictionaries could not be "
                                 "created: " + userStart.documentsError +
                                     "\nProgress cannot be saved until it exists.",
                                 {}, platform::kMbOk | platform::kMbIconWarning);
    UpdateData(false);

    modules = ListModules(settings.dataFolder);
    for (const auto& module : modules)
        ui->moduleCombo->addItem(FileNameText(module.title));
    ui->moduleCombo->setCurrentIndex(modules.empty() ? -1 : 0);
    FillWordLists(modules.empty() ? std::string() : modules.front().path);
    OnSelchangeSubcategory();
}

void CDictionaryBuilderDlg::FillWordLists(const std::string& moduleFolder) {
    {
        const QSignalBlocker blocker(ui->subcategoryList);
        ui->subcategoryList->clear();
        // Each entry carries its own file, whatever place the sorted list gives it.
        for (const auto& list : ListWordLists(moduleFolder)) {
            auto* item = new QListWidgetItem(FileNameText(list.title), ui->subcategoryList);
            item->setData(kPathRole, QByteArray::fromStdString(list.path));
        }
        ui->subcategoryList->setCurrentRow(ui->subcategoryList->count() > 0 ? 0 : -1);
    }
}

std::string CDictionaryBuilderDlg::SelectedWordListPath() const {
    const QListWidgetItem* item = ui->subcategoryList->currentItem();
    if (!item || ui->subcategoryList->count() == 0) return {};
    return item->data(kPathRole).toByteArray().toStdString();
}

void CDictionaryBuilderDlg::OnSelchangeModule() {
    const int index = ui->moduleCombo->currentIndex();
    FillWordLists(index >= 0 && index < int(modules.size()) ? modules[std::size_t(index)].path
                                                            : std::string());
    OnSelchangeSubcategory();
}

void CDictionaryBuilderDlg::OnSelchangeSubcategory() {
    UpdateData(true);
    const std::string path = SelectedWordListPath();
    if (!path.empty())
        ui->makeRtfButton->setEnabled(IsFile(ProgressPathFor(GetSettings().documentsFolder, path)));
}

void CDictionaryBuilderDlg::OnSelchangeWriter() { UpdateData(true); }

void CDictionaryBuilderDlg::OnBuild() {
    GetSettings().SaveUserSettings();
    // A port that is not an integer is said; the job goes on with the record as it stood.
    UpdateData(true);
    const std::string path = SelectedWordListPath();
    if (path.empty()) {
        platform::ShowMessageBox("No Wordlists available");
    } else {
        std::string why;
        const bool loaded = speech ? runner.RunSpeechTraining(this, path, why)
                                   : runner.RunBuild(this, path, why);
        if (!loaded)
            platform::ShowMessageBox(why.empty() ? std::string("Error opening file")
                                                 : "Error opening file\n\n" + why);
    }
    // A progress file may exist now.
    OnSelchangeSubcategory();
}

void CDictionaryBuilderDlg::OnMakeRtf() {
    UpdateData(true);
    const std::string path = SelectedWordListPath();
    if (path.empty()) {
        platform::ShowMessageBox("No Wordlists available");
        return;
    }
    const AppSettings& settings = GetSettings();
    const std::string title = GetPathTitle(path);
    const std::string progressPath = ProgressPathFor(settings.documentsFolder, path);
    if (!IsFile(progressPath)) {
        platform::ShowMessageBox("No progress has been saved for \"" + title +
                                     "\" yet, so there is no dictionary to make.\n"
                                     "Build the list first.",
                                 {}, platform::kMbOk | platform::kMbIconInformation);
        return;
    }
    platform::FileDialogRequest request;
    request.save = true;
    request.folder = settings.documentsFolder;
    request.fileName = RtfPathFor(settings.documentsFolder, path);
    request.filter = "RTF (*.rtf)";
    request.defaultSuffix = "rtf";
    const std::string rtfPath = platform::ShowFileDialog(request);
    if (rtfPath.empty()) return;
    if (const std::string refusal = RtfTargetRefusal(rtfPath, progressPath); !refusal.empty()) {
        platform::ShowMessageBox(refusal, {}, platform::kMbOk | platform::kMbIconWarning);
        return;
    }
    std::string error;
    if (!WriteRtfDictionary(progressPath, rtfPath, &error))
        platform::ShowMessageBox("The dictionary \"" + PathForMessage(rtfPath) +
                                     "\" could not be written: " + FileErrorReason(error, rtfPath),
                                 {}, platform::kMbOk | platform::kMbIconError);
}

void CDictionaryBuilderDlg::OnTest() {
    UpdateData(true);
    runner.RunWriterTest(this);
}

void CDictionaryBuilderDlg::OnAbout() { runner.RunAbout(this); }

void CDictionaryBuilderDlg::OnPortArrow(int delta) {
    if (!ui->portEdit->isEnabled()) return;
    const int port = StepPortNumber(platform::FromQString(ui->portEdit->text()), delta);
    ui->portEdit->setText(QString::number(port));
}

void CDictionaryBuilderDlg::accept() {
    if (UpdateData(true)) QDialog::accept();
}

QMenu* CDictionaryBuilderDlg::CreateContextMenu() {
    auto* menu = new QMenu(this);
    const std::string about = LoadResString(kAboutStringId);
    if (!about.empty())
        menu->addAction(platform::ToQString(about), this, &CDictionaryBuilderDlg::OnAbout);
    return menu;
}

void CDictionaryBuilderDlg::contextMenuEvent(QContextMenuEvent* event) {
    std::unique_ptr<QMenu> menu(CreateContextMenu());
    if (!menu->isEmpty()) menu->exec(event->globalPos());
}

bool CDictionaryBuilderDlg::eventFilter(QObject* watched, QEvent* event) {
    if (watched == ui->portEdit && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Up || key == Qt::Key_Down) {
            OnPortArrow(key == Qt::Key_Up ? +1 : -1);
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}
