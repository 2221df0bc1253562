#include "TServerAcceptThread.h"

#include "SocketExceptionHook.h"
#include "TServerWinSocket.h"

#include <cerrno>
#include <stdexcept>
#include <sys/socket.h>
#include <unistd.h>

namespace {
// Failures of one pending connection, not of the listener: take the next one.
bool connectionFailed(int code) {
    return code == EINTR || code == ECONNABORTED || code == EPROTO || code == EPERM ||
           code == ENETDOWN || code == ENOPROTOOPT || code == EHOSTDOWN || code == ENONET ||
           code == EHOSTUNREACH || code == EOPNOTSUPP || code == ENETUNREACH;
}

bool outOfResources(int code) {
    return code == EMFILE || code == ENFILE || code == ENOBUFS || code == ENOMEM;
}
} // namespace

void TServerAcceptThread::run() {
    // The listening socket stays open until this thread has been waited for.
    const int listener = server_->SocketId();
    while (!terminated_) {
        const int fd = ::accept4(listener, nullptr, nullptr, SOCK_CLOEXEC);
        if (fd == -1) {
            const int code = errno;
            if (connectionFailed(code))
                continue;
            if (outOfResources(code) && !terminated_) {
                QThread::msleep(100); // the connection waits in the queue; retry, do not spin
                continue;
            }
            break; // stopped: the listener was shut down
        }
        if (terminated_) {
            ::close(fd);
            break;
        }
        try {
            server_->acceptOnThread(this, fd);
        } catch (const std::exception& e) {
            reportSocketExceptionLater(e);
        } catch (...) {
            reportSocketExceptionLater(
                std::runtime_error("Unknown exception in the accept thread"));
        }
    }
}
