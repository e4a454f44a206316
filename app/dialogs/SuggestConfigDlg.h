#pragma once
// "Configure Shadows/Drops" (dialog 135): the shadow and drop masks of the suggestions, each
// set by writing a stroke on the machine or cleared. Changes go into the settings at once;
// the caller saves them.
#include <QDialog>
#include <memory>
#include <string>

#include "app/ChildDialogs.h"

class CWriter;

namespace Ui {
class SuggestConfigDlg;
}

class SuggestConfigDlg : public QDialog {
    Q_OBJECT
public:
    explicit SuggestConfigDlg(QWidget* parent = nullptr);
    ~SuggestConfigDlg() override;

    void OnShadows();
    void OnDrops();
    void OnResetShadows();
    void OnResetDrops();
    // Shows the masks; the modal run: IDOK or IDCANCEL.
    int Run();

    std::string dropText;
    std::string shadowText;
    CWriter* writer = nullptr;          // borrowed for the captures; never deleted here
    StrokeCapture* capture = nullptr;   // the capture dialog's runner; null: none opens

private:
    void DoDataExchange(bool save);
    void CaptureInto(Outline& mask);
    void ResetMask(Outline& mask);

    std::unique_ptr<Ui::SuggestConfigDlg> ui;
};
