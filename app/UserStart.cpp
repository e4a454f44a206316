#include "app/UserStart.h"

#include <QFile>
#include <QStandardPaths>

#include "app/MainDialogRules.h"
#include "core/AppSettings.h"
#include "platform/Folder.h"

std::string DefaultDocumentsFolder() {
    QString documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    if (documents.isEmpty()) documents = QStandardPaths::writableLocation(QStandardPaths::HomeLocation);
    return QFile::encodeName(documents).toStdString() + "/Dictionary Quillfast/";
}

UserStartResult StartDefaultUser(AppSettings& settings, const std::string& documentsFolder) {
    UserStartResult result;
    result.firstRun = settings.userNames.empty();
    settings.documentsFolder = documentsFolder;
    result.documentsFolderReady =
        platform::MakeFolderWithParents(documentsFolder, &result.documentsError);
    AddUserOnce(settings.userNames, kDefaultUserName);
    settings.LoadUserSettings(kDefaultUserName);
    if (result.firstRun) result.migration = MigrateOldData(settings);
    settings.SaveUserSettings();
    return result;
}
