#pragma once
// The program's message box (dialog 205): text, flags and button captions come from one
// message string (core/MessageString.h). Run by AlertBox through the presenter.
#include <QDialog>
#include <cstdint>
#include <memory>
#include <string>

#include "platform/Presenter.h"

class QPushButton;
namespace Ui {
class CAlertDlg;
}

class CAlertDlg : public QDialog {
    Q_OBJECT
public:
    CAlertDlg(int messageId, std::uint32_t style, const std::string& insertText,
              QWidget* owner = nullptr);
    // A question already prepared from its message string.
    explicit CAlertDlg(const platform::AlertRequest& request, QWidget* owner = nullptr);
    ~CAlertDlg() override;

    // Shows the buttons, Help and the text. A message answered at once ends the dialog with
    // button 1's result instead; then it returns false and the dialog must not be shown.
    bool OnInitDialog();
    // OnInitDialog, then the modal run unless answered at once; returns Result().
    int Run();
    // The result of the button pressed; -1 until one is (Escape and the close box leave it).
    int Result() const { return result; }

    // Button n (1 to 4, left to right) stores its result and ends the dialog; a button that
    // the style does not list changes nothing.
    void OnButton(int n);
    void OnHelp();

    QPushButton* Button(int n) const;
    QPushButton* HelpButton() const;

private:
    void DoDataExchange();
    // Sizes the text box and the dialog to the text.
    void FitToText();

    std::uint32_t style;
    int result = platform::kIdClosed;
    int messageId;
    std::unique_ptr<Ui::CAlertDlg> ui;
    platform::AlertRequest request;
    std::string messageText;
};
