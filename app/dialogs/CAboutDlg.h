#pragma once
// The about box: the product's name and version, and OK.
#include <QDialog>
#include <memory>

namespace Ui {
class CAboutDlg;
}

class CAboutDlg : public QDialog {
    Q_OBJECT
public:
    explicit CAboutDlg(QWidget* parent = nullptr);
    ~CAboutDlg() override;

    QString ProductText() const;
    QString VersionText() const;

private:
    std::unique_ptr<Ui::CAboutDlg> ui;
};
