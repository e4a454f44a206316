#include "app/dialogs/CAboutDlg.h"

#include <QFont>
#include <QPushButton>

#include "app/ProductVersion.h"
#include "platform/Codepage.h"
#include "ui_CAboutDlg.h"

CAboutDlg::CAboutDlg(QWidget* parent) : QDialog(parent), ui(std::make_unique<Ui::CAboutDlg>()) {
    ui->setupUi(this);
    QFont bold = ui->productText->font();
    bold.setBold(true);
    ui->productText->setFont(bold);
    std::string name, version;
    if (GetProductNameAndVersion(name, version)) {
        ui->productText->setText(platform::ToQString(name));
        ui->versionText->setText(QStringLiteral("Version ") + platform::ToQString(version));
    }
    // Wide enough for its caption in the title bar, at any font.
    setMinimumWidth(fontMetrics().horizontalAdvance(windowTitle()) + 6 * fontMetrics().averageCharWidth());
    setFixedHeight(sizeHint().height());
    connect(ui->okButton, &QPushButton::clicked, this, &QDialog::accept);
}

CAboutDlg::~CAboutDlg() = default;

QString CAboutDlg::ProductText() const { return ui->productText->text(); }
QString CAboutDlg::VersionText() const { return ui->versionText->text(); }
