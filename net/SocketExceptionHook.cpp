#include "SocketExceptionHook.h"

#include "ESocketError.h"

#include <QCoreApplication>
#include <QDebug>
#include <string>

namespace {
std::function<void(const std::exception&)>& hookSlot() {
    static std::function<void(const std::exception&)> hook;
    return hook;
}
} // namespace

void setSocketExceptionHook(std::function<void(const std::exception&)> hook) {
    hookSlot() = std::move(hook);
}

void reportSocketException(const std::exception& e) {
    // Copy first: the hook may replace itself while it runs (a nested loop in a message box).
    auto hook = hookSlot();
    if (hook) {
        try {
            hook(e);
        } catch (...) {
            qWarning("socket exception hook threw");
        }
    } else {
        qWarning("%s", e.what());
    }
}

void reportSocketExceptionLater(const std::exception& e) {
    QCoreApplication* app = QCoreApplication::instance();
    if (!app) {
        qWarning("%s", e.what());
        return;
    }
    const bool socketError = dynamic_cast<const ESocketError*>(&e) != nullptr;
    QMetaObject::invokeMethod(
        app,
        [text = std::string(e.what()), socketError] {
            if (socketError)
                reportSocketException(ESocketError(text));
            else
                reportSocketException(std::runtime_error(text));
        },
        Qt::QueuedConnection);
}
