#pragma once
// The application's start-up: reads the start-up values into the settings record, says so
// when the data folder lists no module, runs the main dialog as the main window and saves the
// settings however it was closed.
#include <functional>
#include <string>

class CDictionaryBuilderDlg;
class MainDialogChildren;

class CDictionaryBuilderApp {
public:
    // `currentFolder`: where the default data folder ("Data") lies; `installedDataFolder`: the
    // one taken when that has none and no stored folder exists (empty: none).
    CDictionaryBuilderApp(MainDialogChildren& runner, std::string currentFolder,
                          std::string installedDataFolder = {});

    // Called once the main dialog is on the screen (after its first paint).
    void SetOnShown(std::function<void(CDictionaryBuilderDlg&)> onShown);

    // The whole run; returns when the main dialog has closed and the settings are saved.
    void InitInstance();

private:
    MainDialogChildren& runner;
    std::string currentFolder;
    std::string installedDataFolder;
    std::function<void(CDictionaryBuilderDlg&)> onShown;
};
