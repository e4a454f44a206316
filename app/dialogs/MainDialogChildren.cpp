#include "app/dialogs/MainDialogChildren.h"

#include "app/dialogs/CAboutDlg.h"
#include "app/dialogs/CBuildDlg.h"
#include "speech/dialogs/BuildSpeechDlg.h"
#include "writers/dialogs/CWriterAdjDlg.h"

bool RealMainDialogChildren::RunBuild(QWidget* parent, const std::string& wordListPath,
                                      std::string& why) {
    CBuildDlg dialog(parent);
    if (!dialog.LoadWordList(wordListPath, &why)) return false;
    dialog.Run();
    return true;
}

bool RealMainDialogChildren::RunSpeechTraining(QWidget* parent, const std::string& wordListPath,
                                               std::string& /*why*/) {
    BuildSpeechDlg dialog(parent);
    if (!dialog.LoadWordList(wordListPath)) return false;
    dialog.Run();
    return true;
}

void RealMainDialogChildren::RunWriterTest(QWidget* parent) {
    CWriterAdjDlg dialog(parent);
    dialog.exec();
}

void RealMainDialogChildren::RunAbout(QWidget* parent) {
    CAboutDlg dialog(parent);
    dialog.exec();
}
