#include "app/dialogs/DialogRunner.h"

#include "app/dialogs/SuggestConfigDlg.h"
#include "app/dialogs/SuggestStrokes.h"
#include "core/AppSettings.h"
#include "platform/Presenter.h"
#include "writers/CWriter.h"

// The factory and the capture dialog come with the writer dialogs; a tree without them opens
// no writer and captures nothing.
#if __has_include("writers/CreateWriter.h")
#include "writers/CreateWriter.h"
#define DQ_HAVE_CREATE_WRITER 1
#endif
#if __has_include("writers/dialogs/CWriterAdjDlg.h")
#include "writers/dialogs/CWriterAdjDlg.h"
#define DQ_HAVE_ADJUST_DIALOG 1
#endif

bool DialogRunner::CaptureStroke(CWriter* writer, Stroke& keys) {
#ifdef DQ_HAVE_ADJUST_DIALOG
    CWriterAdjDlg capture(1, true, writer);
    if (capture.exec() != QDialog::Accepted || !capture.strokeSeen) return false;
    keys = capture.lastStroke.keys;
    return true;
#else
    (void)writer;
    (void)keys;
    return false;
#endif
}

bool DialogRunner::Suggest(const std::string& outlineText, std::vector<std::string>& chosen) {
    SuggestStrokes dialog(outlineText);
    if (dialog.Run() != platform::kIdOk) return false;
    chosen = dialog.chosenOutlines;
    return true;
}

void DialogRunner::Configure(CWriter* writer) {
    SuggestConfigDlg dialog;
    dialog.writer = writer;
    dialog.capture = this;
    dialog.Run();
}

CWriter* CreateRealtimeWriter(platform::WindowHandle owner) {
#ifdef DQ_HAVE_CREATE_WRITER
    return CreateWriter(GetSettings(), kModeRealtime, owner, 1);
#else
    (void)owner;
    return nullptr;
#endif
}
