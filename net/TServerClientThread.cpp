#include "TServerClientThread.h"

#include "ESocketError.h"
#include "SocketExceptionHook.h"
#include "TServerWinSocket.h"

#include <cerrno>
#include <poll.h>
#include <stdexcept>
#include <sys/ioctl.h>
#include <sys/socket.h>

namespace {
template <class F, class... A> void fire(const F& handler, A&&... args) {
    if (handler) {
        F copy = handler; // the handler may reassign its own slot
        copy(std::forward<A>(args)...);
    }
}

constexpr int UnreadPauseMs = 50;
} // namespace

TServerClientThread::TServerClientThread(TServerClientWinSocket* ASocket)
    : server_(ASocket->OwnerServer()), client_(ASocket) {}

TServerClientThread::~TServerClientThread() = default;

void TServerClientThread::run() {
    for (;;) {
        TServerClientWinSocket* client = server_->nextClientFor(this);
        if (!client)
            break;
        serve();
        delete client; // closes it silently when the loop left it open
        if (!server_->keepAfterServing(this))
            return;
    }
    server_->leave(this);
}

void TServerClientThread::serve() {
    auto guarded = [this](auto&& call) {
        try {
            call();
        } catch (const std::exception& e) {
            HandleException(e);
        } catch (...) {
            HandleException(std::runtime_error("Unknown exception in a server thread"));
        }
    };
    guarded([&] {
        fire(server_->OnThreadStart, server_, this);
        if (!Terminated())
            ClientExecute();
    });
    guarded([&] { fire(server_->OnThreadEnd, server_, this); });
}

void TServerClientThread::ClientExecute() {
    TServerClientWinSocket* socket = ClientSocket();
    while (!Terminated() && socket->IsConnected()) {
        const int fd = socket->SocketId();
        pollfd ready{fd, POLLIN, 0};
        if (::poll(&ready, 1, -1) == -1 && errno != EINTR)
            break;
        if (Terminated())
            return;
        char probe;
        const ssize_t n = ::recv(fd, &probe, 1, MSG_PEEK | MSG_DONTWAIT);
        if (n > 0) {
            const int pending = socket->ReceiveBytes(nullptr, -1);
            socket->ReportEvent(socket, sekRead);
            if (socket->IsConnected() && socket->SocketId() == fd)
                waitWhileUnread(fd, pending);
        } else if (n == 0) {
            socket->CloseConnection(); // the peer closed
        } else if (errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR) {
            int code = errno;
            socket->ReportError(socket, errReceive, code);
            socket->CloseConnection();
            if (code != 0)
                throw ESocketError::platform(code, "recv");
        }
    }
}

void TServerClientThread::waitWhileUnread(int fd, int pending) {
    // A handler that left every byte unread is asked again after a pause, not in a busy loop.
    int now = 0;
    if (pending > 0 && ::ioctl(fd, FIONREAD, &now) == 0 && now == pending) {
        pollfd hangup{fd, POLLRDHUP, 0};
        ::poll(&hangup, 1, UnreadPauseMs);
    }
}

void TServerClientThread::ForwardEvent(TCustomWinSocket* Socket, TSocketEventKind Kind) {
    if (Terminated())
        return; // a stopping server reports nothing more, as when it stops without threads
    switch (Kind) {
    case sekConnect:
        fire(server_->OnClientConnect, server_, Socket);
        break;
    case sekDisconnect:
        fire(server_->OnClientDisconnect, server_, Socket);
        break;
    case sekRead:
        fire(server_->OnClientRead, server_, Socket);
        break;
    case sekWrite:
        fire(server_->OnClientWrite, server_, Socket);
        break;
    default:
        break;
    }
}

void TServerClientThread::ForwardError(TCustomWinSocket* Socket, TErrorEvent ErrorEvent,
                                       int& ErrorCode) {
    if (Terminated()) {
        ErrorCode = 0; // caused by the stop itself
        return;
    }
    fire(server_->OnClientError, server_, Socket, ErrorEvent, ErrorCode);
}

void TServerClientThread::HandleException(const std::exception& e) {
    reportSocketExceptionLater(e);
}
