#pragma once
// "Please wait": the modeless progress window shown while a driver copies stored notes from a
// writer. Drivers reach it through platform::WaitDialog (InstallAsWaitDialog).
#include <QDialog>
#include <functional>
#include <memory>
#include <string>

#include "platform/WaitDialog.h"

class QProgressBar;
namespace Ui {
class CWaitDlg;
}

class CWaitDlg final : public QDialog, public platform::WaitDialog {
    Q_OBJECT

public:
    // Shown at once. The heading is string headingId up to its first line feed, the action text
    // string actionId. Without allowCancel the Cancel button is hidden.
    // Without a parent the window belongs to the dialog running modally, else to the active
    // window, so that its Cancel can be pressed while a modal dialog runs.
    CWaitDlg(int headingId, int actionId, bool allowCancel, QWidget* parent = nullptr);
    // The same with the texts themselves.
    CWaitDlg(const std::string& heading, const std::string& action, bool allowCancel,
             QWidget* parent = nullptr);
    ~CWaitDlg() override;

    // A status line in place of the progress text (the file system's bytes, as a device
    // name is).
    void SetStatusLine(const std::string& text);

    void SetRange(int low, int high, int interval) override;
    void SetProgress(int position, const std::string& text) override;
    bool IsCancelled() const override { return cancelled; }
    void Close() override;

    // Makes every wait window that a driver opens a CWaitDlg.
    static void InstallAsWaitDialog();

    QWidget* parentWindow = nullptr;
    bool allowCancel = false;
    int updateInterval = 0;
    int updateCount = 0;
    bool cancelled = false;
    QProgressBar* progressBar = nullptr;
    std::string headingText;
    std::string actionText;
    std::string statusText;
    // Called at once when Cancel is pressed.
    std::function<void()> onCancel;

protected:
    // Cancel, Escape and the close box: the transfer stops at its next check; the window stays.
    void reject() override;

private:
    void OnInitDialog();
    void DoDataExchange();

    std::unique_ptr<Ui::CWaitDlg> ui_;
};
