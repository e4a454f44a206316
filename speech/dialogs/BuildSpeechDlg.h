#pragma once
// "Train Speech Engine": walks a word list like the build dialog and hands each word to the
// speech engine (GetSpEngine) to add it to the loaded speaker's vocabulary or retrain it. The
// position reached is kept per list in the speech progress file; only OK (also after Next at
// the end of the list) stores it, Escape and the close box do not.
//
//   BuildSpeechDlg dlg;
//   if (!dlg.LoadWordList(path)) { /* "Error opening file" */ }
//   else dlg.Run();
#include <QDialog>
#include <memory>
#include <string>

#include "speech/SpeechTrainingWalk.h"

namespace Ui {
class BuildSpeechDlg;
}

class BuildSpeechDlg : public QDialog {
    Q_OBJECT

public:
    explicit BuildSpeechDlg(QWidget* parent = nullptr);
    // Shuts the engine down (saving the speaker's files when the engine says they changed).
    ~BuildSpeechDlg() override;

    // False when the list has no lines (also when it cannot be read).
    bool LoadWordList(const std::string& path);
    // Initialises the dialog, then runs it modally unless it already ended (a finished list
    // whose restart is declined). The dialog's result.
    int Run();
    // What Run does before the modal loop: the stored position, the first element shown.
    void OnInitDialog();

    void OnLoadSpeaker();
    void OnTrainWord();
    void OnNext();
    void OnBack();
    void OnFirstWord();
    // Stores the position and ends the dialog (a failed store is told, the dialog still ends).
    void OnOK();

    const SpeechTrainingWalk& Walk() const { return walk_; }
    bool Ended() const { return ended_; }

    std::string wordText;
    std::string headingText;
    std::string counterText;

public slots:
    void accept() override { OnOK(); }
    void done(int result) override;

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void ShowTrainingWord();
    bool AskRestart();  // "Are you sure you wish to restart the dictionary build?"
    void DoDataExchange();
    void FitWord();

    std::unique_ptr<Ui::BuildSpeechDlg> ui_;
    SpeechTrainingWalk walk_;
    bool initialised_ = false;
    bool ended_ = false;
};
