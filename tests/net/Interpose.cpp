#include "Interpose.h"

#include <atomic>
#include <cerrno>
#include <condition_variable>
#include <dlfcn.h>
#include <mutex>
#include <netdb.h>
#include <sys/socket.h>

namespace {
std::atomic<int> nextConnectError{0};
std::atomic<int> finished{0};
std::mutex holdMutex;
std::condition_variable holdChanged;
bool held = false;

template <class F> F next(const char* name) {
    return reinterpret_cast<F>(::dlsym(RTLD_NEXT, name));
}
} // namespace

namespace Interpose {
void failNextConnect(int error) {
    nextConnectError = error;
}

void holdLookups(bool hold) {
    {
        std::lock_guard<std::mutex> lock(holdMutex);
        held = hold;
    }
    holdChanged.notify_all();
}

int lookupsFinished() {
    return finished;
}
} // namespace Interpose

extern "C" int connect(int fd, const sockaddr* address, socklen_t length) {
    using Connect = int (*)(int, const sockaddr*, socklen_t);
    static const Connect real = next<Connect>("connect");
    if (const int error = nextConnectError.exchange(0)) {
        errno = error;
        return -1;
    }
    return real(fd, address, length);
}

extern "C" int getaddrinfo(const char* node, const char* service, const addrinfo* hints,
                           addrinfo** result) {
    using Lookup = int (*)(const char*, const char*, const addrinfo*, addrinfo**);
    static const Lookup real = next<Lookup>("getaddrinfo");
    {
        std::unique_lock<std::mutex> lock(holdMutex);
        holdChanged.wait(lock, [] { return !held; });
    }
    const int rc = real(node, service, hints, result);
    ++finished;
    return rc;
}
