#pragma once
// The presenter that shows real dialogs: CAlertDlg, CAskForDlg, Qt's message box and file
// dialogs. The program installs one on its user-interface thread once the QApplication
// exists (platform::InstallPresenter). Every dialog is owned by the active modal dialog or
// the active window.
#include "platform/Presenter.h"

class QWidget;

class DialogPresenter : public platform::Presenter {
public:
    int Alert(const platform::AlertRequest& request) override;
    int Prompt(const platform::PromptRequest& request, std::string& value) override;
    int MessageBox(const std::string& text, const std::string& caption, unsigned style) override;
    std::string FileDialog(const platform::FileDialogRequest& request) override;
    void Notice(const std::string& text, const std::string& caption) override;
    // Opens the help file in the desktop's browser at the topic; where there is none, or it
    // cannot be opened, says so in a notice.
    void Help(int contextId) override;

protected:
    // Opens a help address; false when the desktop could not. Tests replace it.
    virtual bool OpenUrl(const std::string& fileName, int contextId);
    static QWidget* Owner();
};
