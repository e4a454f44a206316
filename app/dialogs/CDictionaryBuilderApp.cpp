#include "app/dialogs/CDictionaryBuilderApp.h"

#include <QTimer>
#include <QWindow>

#include "app/StartupSettings.h"
#include "app/dialogs/CDictionaryBuilderDlg.h"
#include "core/AppSettings.h"
#include "platform/Presenter.h"
#include "platform/SerialPortNames.h"

CDictionaryBuilderApp::CDictionaryBuilderApp(MainDialogChildren& runner, std::string currentFolder,
                                             std::string installedDataFolder)
    : runner(runner),
      currentFolder(std::move(currentFolder)),
      installedDataFolder(std::move(installedDataFolder)) {}

void CDictionaryBuilderApp::SetOnShown(std::function<void(CDictionaryBuilderDlg&)> onShown) {
    this->onShown = std::move(onShown);
}

void CDictionaryBuilderApp::InitInstance() {
    AppSettings& settings = GetSettings();
    const DataFolderChoice data = ReadStartupSettings(settings, currentFolder, installedDataFolder);
    // Where a user links COMn to a writer's device (README's step works on a fresh account).
    platform::EnsureSerialDeviceFolder();
    if (const std::string notice = NoModulesNotice(data); !notice.empty())
        platform::ShowMessageBox(notice, {}, platform::kMbOk | platform::kMbIconWarning);
    {
        CDictionaryBuilderDlg dialog(runner);
        QTimer shown;
        if (onShown) {
            // Looks from the dialog's own loop until the window is on the screen.
            shown.setInterval(5);
            QObject::connect(&shown, &QTimer::timeout, &dialog, [this, &dialog, &shown] {
                if (!dialog.windowHandle() || !dialog.windowHandle()->isExposed()) return;
                shown.stop();
                dialog.repaint();
                onShown(dialog);
            });
            shown.start();
        }
        dialog.Run();
    }
    settings.SaveUserSettings();
}
