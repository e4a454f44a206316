#include "writers/TransferSupport.h"

#include <QCoreApplication>
#include <QEvent>
#include <QObject>
#include <cstdlib>
#include <mutex>

#include "platform/FileSystem.h"

std::string GetTempDir() {
    const char* temp = std::getenv("TEMP");
    if (temp && *temp) return temp;

    const char* tmpdir = std::getenv("TMPDIR");
    std::string parent = tmpdir && *tmpdir ? tmpdir : "/tmp";
    // A fixed shared folder with fixed file names would let another user plant links there, so
    // the capture files go into a folder only this user can reach.
    static std::mutex lock;
    static std::string cachedParent, cachedFolder;
    std::lock_guard<std::mutex> guard(lock);
    if (parent == cachedParent && platform::IsPrivateFolder(cachedFolder)) return cachedFolder;
    std::string name = "dqs-" + std::to_string(platform::CurrentUserId());
    cachedParent = parent;
    cachedFolder = platform::EnsurePrivateFolder(parent, name);
    return cachedFolder;
}

namespace {

class QuitCatcher final : public QObject {
public:
    bool quitSeen = false;

    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Quit && watched == QCoreApplication::instance()) {
            quitSeen = true;
            return true;  // kept for the modal loop: posted again after the pump
        }
        return false;
    }
};

}  // namespace

bool PumpMessages() {
    QCoreApplication* app = QCoreApplication::instance();
    if (!app) return true;
    QuitCatcher catcher;
    app->installEventFilter(&catcher);
    QCoreApplication::processEvents(QEventLoop::AllEvents);
    app->removeEventFilter(&catcher);
    if (catcher.quitSeen) {
        QCoreApplication::postEvent(app, new QEvent(QEvent::Quit));
        return false;
    }
    return true;
}
