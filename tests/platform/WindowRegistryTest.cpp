// Owner windows as handles: posting, liveness, and the Qt back end that turns a post into an
// event on the receiver's own thread.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QObject>
#include <QThread>
#include <atomic>
#include <thread>
#include <vector>

#include "platform/QtMessageWindow.h"
#include "platform/WindowRegistry.h"

namespace {

struct Recorder final : platform::MessageTarget {
    std::vector<unsigned> messages;
    std::vector<std::uintptr_t> wParams;
    void Deliver(unsigned message, std::uintptr_t wParam, std::intptr_t) override {
        messages.push_back(message);
        wParams.push_back(wParam);
    }
};

TEST(WindowRegistry, PostsReachOnlyLiveWindows) {
    Recorder target;
    platform::WindowHandle handle;
    {
        platform::WindowRegistration registration(&target);
        handle = registration.Handle();
        EXPECT_NE(handle, platform::kNoWindow);
        EXPECT_TRUE(platform::IsWindow(handle));
        EXPECT_TRUE(platform::PostMessage(handle, platform::kStrokeMessage, 7));
    }
    EXPECT_FALSE(platform::IsWindow(handle));
    EXPECT_FALSE(platform::PostMessage(handle, platform::kStrokeMessage));
    EXPECT_FALSE(platform::PostMessage(platform::kNoWindow, platform::kStrokeMessage));
    EXPECT_FALSE(platform::IsWindow(platform::kNoWindow));
    EXPECT_EQ(target.messages, std::vector<unsigned>{0x402});
    EXPECT_EQ(target.wParams, std::vector<std::uintptr_t>{7});
}

TEST(WindowRegistry, HandlesAreNeverReused) {
    Recorder a, b;
    platform::WindowHandle first = platform::RegisterWindow(&a);
    platform::UnregisterWindow(first);
    platform::WindowHandle second = platform::RegisterWindow(&b);
    EXPECT_NE(first, second);
    EXPECT_FALSE(platform::PostMessage(first, 1));  // a stale handle stays dead
    EXPECT_TRUE(b.messages.empty());
    platform::UnregisterWindow(second);
    EXPECT_EQ(platform::RegisterWindow(nullptr), platform::kNoWindow);
}

// Windows come and go while another thread posts to them: no post ever reaches a window after
// it left the registry (the recorder below would be destroyed by then).
TEST(WindowRegistry, APostNeverOutlivesUnregistration) {
    struct Guarded final : platform::MessageTarget {
        std::atomic<bool> alive{true};
        std::atomic<int> lateDeliveries{0};
        void Deliver(unsigned, std::uintptr_t, std::intptr_t) override {
            if (!alive) ++lateDeliveries;
        }
    };
    std::atomic<platform::WindowHandle> current{platform::kNoWindow};
    std::atomic<bool> running{true};
    std::thread poster([&] {
        while (running) platform::PostMessage(current.load(), platform::kStrokeMessage);
    });
    int late = 0;
    for (int i = 0; i < 2000; ++i) {
        Guarded window;
        platform::WindowRegistration registration(&window);
        current = registration.Handle();
        registration.Unregister();
        window.alive = false;
        late += window.lateDeliveries;
    }
    running = false;
    poster.join();
    EXPECT_EQ(late, 0);
}

class Receiver : public QObject {
public:
    std::vector<unsigned> messages;
    std::vector<bool> onOwnThread;
    bool event(QEvent* e) override {
        if (const auto* m = platform::WindowMessageEvent::From(e)) {
            messages.push_back(m->Message());
            onOwnThread.push_back(QThread::currentThread() == thread());
            return true;
        }
        return QObject::event(e);
    }
};

TEST(QtMessageWindow, MessagesFromAnyThreadArriveOnTheReceiversThread) {
    int argc = 0;
    QCoreApplication app(argc, nullptr);
    Receiver receiver;
    platform::QtMessageWindow window(&receiver);
    std::thread reader([&] { platform::PostMessage(window.Handle(), platform::kStrokeMessage); });
    reader.join();
    EXPECT_TRUE(receiver.messages.empty());  // posted, not sent
    QCoreApplication::processEvents();
    EXPECT_EQ(receiver.messages, std::vector<unsigned>{0x402});
    EXPECT_EQ(receiver.onOwnThread, std::vector<bool>{true});
    EXPECT_EQ(platform::WindowMessageEvent::From(nullptr), nullptr);
}

TEST(QtMessageWindow, NothingArrivesAfterUnregistering) {
    int argc = 0;
    QCoreApplication app(argc, nullptr);
    Receiver receiver;
    platform::QtMessageWindow window(&receiver);
    const platform::WindowHandle handle = window.Handle();
    window.Unregister();
    EXPECT_FALSE(platform::IsWindow(handle));
    EXPECT_FALSE(platform::PostMessage(handle, platform::kStrokeMessage));
    QCoreApplication::processEvents();
    EXPECT_TRUE(receiver.messages.empty());
}

}  // namespace
