#include "app/dialogs/MainDialogChildren.h"

#include <cstdio>

#include "app/dialogs/CAboutDlg.h"
#include "speech/dialogs/BuildSpeechDlg.h"
#include "writers/dialogs/CWriterAdjDlg.h"

// The build dialog is there once its source is part of the tree (app/dialogs/CMakeLists.txt).
#ifdef DQ_HAVE_BUILD_DIALOG
#include "app/dialogs/CBuildDlg.h"
#endif

bool RealMainDialogChildren::RunBuild(QWidget* parent, const std::string& wordListPath) {
#ifdef DQ_HAVE_BUILD_DIALOG
    CBuildDlg dialog(parent);
    if (!dialog.LoadWordList(wordListPath)) return false;
    dialog.Run();
    return true;
#else
    // Not part of this build yet: said on standard error, and taken as a refused list.
    (void)parent;
    std::fprintf(stderr, "DictionaryQuillfast: no build dialog in this build for %s\n",
                 wordListPath.c_str());
    return false;
#endif
}

bool RealMainDialogChildren::RunSpeechTraining(QWidget* parent, const std::string& wordListPath) {
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
