#pragma once
// The program's main window (dialog 102): the writer model, keyboard layout and serial line
// settings, the module and word-list choice, and the three jobs Build, Make RTF and Test. Its
// initialisation completes the start-up (documents folder, the user "default", the first-run
// migration, the module lists). The dialogs it opens come from a MainDialogChildren.
#include <QDialog>
#include <memory>
#include <string>
#include <vector>

#include "app/MainDialogRules.h"
#include "app/UserStart.h"

namespace Ui {
class CDictionaryBuilderDlg;
}
class MainDialogChildren;
class QMenu;

class CDictionaryBuilderDlg : public QDialog {
    Q_OBJECT
public:
    explicit CDictionaryBuilderDlg(MainDialogChildren& runner, QWidget* parent = nullptr);
    ~CDictionaryBuilderDlg() override;

    // Initialisation, then the modal run.
    int Run();
    void OnInitDialog();

    // Moves the choices between the settings record and the controls and applies the enable
    // rules. Saving stops with "Enter an integer." at a port that is not one, storing nothing:
    // false.
    bool UpdateData(bool save);

    void OnSelchangeModule();
    void OnSelchangeSubcategory();
    void OnSelchangeWriter();
    void OnBuild();
    void OnMakeRtf();
    void OnTest();
    void OnAbout();
    // One port arrow: +1 up, -1 down.
    void OnPortArrow(int delta);

    // "Exit" stores the choices and closes, unless the port is not an integer; Escape and the
    // close box close without storing them.
    void accept() override;

    // The window's context menu: "About Dictionary Quillfast...". The caller owns it.
    QMenu* CreateContextMenu();

    bool SpeechFlag() const { return speech; }
    // The path of the selected word list; empty without a selection.
    std::string SelectedWordListPath() const;
    const std::vector<ListedFolderEntry>& Modules() const { return modules; }
    const UserStartResult& StartResult() const { return userStart; }

protected:
    void contextMenuEvent(QContextMenuEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void FillWordLists(const std::string& moduleFolder);
    void ApplyEnableRules();

    std::unique_ptr<Ui::CDictionaryBuilderDlg> ui;
    MainDialogChildren& runner;

    // Dialog data: list indexes (-1: no entry) and the port.
    int writerIndex = -1;
    int layoutIndex = -1;
    int baudIndex = -1;
    int parityIndex = -1;
    int dataBitsIndex = -1;
    int stopBitsIndex = -1;
    int portNumber = 0;
    bool speech = false;

    std::vector<ListedFolderEntry> modules;  // combo index -> module folder
    UserStartResult userStart;
};
