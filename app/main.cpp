// DictionaryQuillfast: builds the application, installs the presenter that shows the real
// dialogs and runs the start-up. The main dialog is the only top-level window.
//
// For checks of the installed program, not for users:
//   DQ_EXIT_WHEN_SHOWN=1   print "main dialog shown" and a line "module: <title>" for each
//                          module listed, then close the main dialog (as Escape does), as
//                          soon as it is on the screen; a message box on the way is printed
//                          ("message: <text>") and answered with OK instead of shown;
//   DQ_SCREENSHOT=<file>   before that, save a picture of the main dialog to <file>.
#include <QApplication>
#include <QGuiApplication>
#include <QPixmap>
#include <QScreen>
#include <cstdio>
#include <cstdlib>

#include "app/StartupSettings.h"
#include "app/dialogs/CDictionaryBuilderApp.h"
#include "app/dialogs/CDictionaryBuilderDlg.h"
#include "app/dialogs/MainDialogChildren.h"
#include "core/dialogs/DialogPresenter.h"
#include "platform/Presenter.h"
#include "writers/dialogs/CWaitDlg.h"
#include "writers/dialogs/QtStartRunner.h"

namespace {

// Nobody is at the screen of a check to answer a message.
class CheckPresenter : public DialogPresenter {
public:
    int MessageBox(const std::string& text, const std::string&, unsigned) override {
        std::printf("message: %s\n", text.c_str());
        std::fflush(stdout);
        return platform::kIdOk;
    }
};

bool CheckMode() {
    const char* exitWhenShown = std::getenv("DQ_EXIT_WHEN_SHOWN");
    return exitWhenShown && *exitWhenShown && std::string(exitWhenShown) != "0";
}

void ShownCheck(CDictionaryBuilderDlg& dialog) {
    if (const char* shot = std::getenv("DQ_SCREENSHOT"); shot && *shot) {
        QScreen* screen = dialog.screen();
        QPixmap picture = screen ? screen->grabWindow(dialog.winId()) : QPixmap();
        if (picture.isNull()) picture = dialog.grab();
        if (!picture.save(QString::fromLocal8Bit(shot)))
            std::fprintf(stderr, "DictionaryQuillfast: could not save the picture to %s\n", shot);
    }
    std::printf("main dialog shown\n");
    for (const auto& module : dialog.Modules()) std::printf("module: %s\n", module.title.c_str());
    std::fflush(stdout);
    dialog.reject();
}

}  // namespace

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("DictionaryQuillfast"));
    const bool check = CheckMode();
    DialogPresenter shownPresenter;
    CheckPresenter checkPresenter;
    platform::InstallPresenter(check ? &checkPresenter : &shownPresenter);
    CWaitDlg::InstallAsWaitDialog();
    QtStartRunner::Install();
    {
        RealMainDialogChildren runner;
        CDictionaryBuilderApp app(runner, CurrentFolder(), InstalledDataFolder(ProgramPath()));
        if (check) app.SetOnShown(ShownCheck);
        app.InitInstance();
    }
    platform::InstallPresenter(nullptr);
    return 0;
}
