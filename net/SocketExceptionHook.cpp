#include "SocketExceptionHook.h"

#include <QDebug>

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
