#pragma once
// The one-line prompt (dialog 206), run by AskFor through the presenter. For the password
// prompt the text is typed hidden.
#include <QDialog>
#include <memory>
#include <string>

namespace Ui {
class CAskForDlg;
}

class CAskForDlg : public QDialog {
    Q_OBJECT
public:
    // The prompt is string `promptId`, or for the id -1 `promptText` (empty when null).
    CAskForDlg(int promptId, const char* promptText, QWidget* owner = nullptr);
    ~CAskForDlg() override;

    // Fills the controls; in password mode shows the hidden edit in place of the plain one
    // and gives it the focus.
    void OnInitDialog();
    // OnInitDialog, then the modal run: IDOK (1) or IDCANCEL (2).
    int Run();
    // OK: takes the texts from the controls; in password mode the hidden text becomes the
    // value. Ends with IDOK.
    void OnOK();

    void accept() override { OnOK(); }
    // Cancel, Escape and the close box: the value stays as given.
    void reject() override;

    bool PasswordMode() const { return passwordMode; }

    std::string value;
    std::string prompt;
    std::string password;

private:
    void DoDataExchange(bool save);

    std::unique_ptr<Ui::CAskForDlg> ui;
    bool passwordMode;
};
