#include "platform/Help.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

namespace platform {

std::string FindHelpFile() {
    QString found = QStandardPaths::locate(
        QStandardPaths::GenericDataLocation,
        QStringLiteral("dictionary-quillfast/help/DictionaryQuillfast.html"));
    if (found.isEmpty() && QCoreApplication::instance()) {
        QString beside =
            QCoreApplication::applicationDirPath() + QStringLiteral("/help/DictionaryQuillfast.html");
        if (QFileInfo(beside).isFile()) found = beside;
    }
    return QFile::encodeName(found).toStdString();
}

}  // namespace platform
