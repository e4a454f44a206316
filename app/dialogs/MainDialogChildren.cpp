#include "app/dialogs/MainDialogChildren.h"

#include <cstdio>

#include "app/dialogs/CAboutDlg.h"

// Each child is there once its folder is part of the tree (app/dialogs/CMakeLists.txt).
#ifdef DQ_HAVE_BUILD_DIALOG
#include "app/dialogs/CBuildDlg.h"
#endif
#ifdef DQ_HAVE_SPEECH_DIALOG
#include "speech/dialogs/BuildSpeechDlg.h"
#endif
#ifdef DQ_HAVE_ADJUST_DIALOG
#include "writers/dialogs/CWriterAdjDlg.h"
#endif

namespace {

// A child dialog that this build does not have yet: said on standard error, as a refused list.
bool Missing(const char* what) {
    std::fprintf(stderr, "DictionaryQuillfast: the %s is not part of this build\n", what);
    return false;
}

}  // namespace

bool RealMainDialogChildren::RunBuild(QWidget* parent, const std::string& wordListPath) {
#ifdef DQ_HAVE_BUILD_DIALOG
    CBuildDlg dialog(parent);
    if (!dialog.LoadWordList(wordListPath)) return false;
    dialog.Run();
    return true;
#else
    (void)parent;
    (void)wordListPath;
    return Missing("build dialog");
#endif
}

bool RealMainDialogChildren::RunSpeechTraining(QWidget* parent, const std::string& wordListPath) {
#ifdef DQ_HAVE_SPEECH_DIALOG
    BuildSpeechDlg dialog(parent);
    if (!dialog.LoadWordList(wordListPath)) return false;
    dialog.Run();
    return true;
#else
    (void)parent;
    (void)wordListPath;
    return Missing("speech-training dialog");
#endif
}

void RealMainDialogChildren::RunWriterTest(QWidget* parent) {
#ifdef DQ_HAVE_ADJUST_DIALOG
    CWriterAdjDlg dialog(parent);
    dialog.exec();
#else
    (void)parent;
    Missing("writer test dialog");
#endif
}

void RealMainDialogChildren::RunAbout(QWidget* parent) {
    CAboutDlg dialog(parent);
    dialog.exec();
}
