#include "TCustomWinSocket.h"

#include "ESocketError.h"
#include "SocketEndpoint.h"
#include "SocketLookup.h"

#include <QPointer>
#include <arpa/inet.h>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <netinet/tcp.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>
#include <utility>

namespace {

constexpr int LookupBufferSize = 1024;
constexpr int MaxBacklog = 5;
constexpr qsizetype KeptReadBuffer = 64 * 1024;

class StateGuard {
public:
    explicit StateGuard(std::shared_ptr<QRecursiveMutex> lock) : lock_(std::move(lock)) {
        lock_->lock();
    }
    ~StateGuard() { lock_->unlock(); }
    StateGuard(const StateGuard&) = delete;
    StateGuard& operator=(const StateGuard&) = delete;

private:
    std::shared_ptr<QRecursiveMutex> lock_;
};

TErrorEvent errorKindFor(int networkEvent) {
    switch (networkEvent) {
    case nwRead:
        return errReceive;
    case nwWrite:
        return errSend;
    case nwAccept:
        return errAccept;
    case nwConnect:
        return errConnect;
    case nwClose:
        return errDisconnect;
    default:
        return errGeneral;
    }
}

// Outcomes of the attempt itself, which a non-blocking connect reports later rather than raises.
bool isConnectOutcome(int code) {
    return code == ECONNREFUSED || code == ETIMEDOUT || code == ENETUNREACH ||
           code == EHOSTUNREACH || code == ECONNRESET;
}

} // namespace

TCustomWinSocket::TCustomWinSocket(int ASocket) : socket_(ASocket), connected_(ASocket != -1) {
    if (ASocket != -1)
        generation_ = 1;
    resetAddress();
}

TCustomWinSocket::~TCustomWinSocket() {
    eventSink_ = nullptr;
    cancelLookup();
    closeSilently();
    if (endpoint_ && !endpoint_->detach())
        delete endpoint_;
    endpoint_ = nullptr;
}

QObject* TCustomWinSocket::NotifyWindow() const {
    return endpoint_;
}

int TCustomWinSocket::LookupRequest() const {
    return lookupRequest_ ? lookupRequest_->handle : 0;
}

int TCustomWinSocket::SendString(const QByteArray& Text) {
    return SendBytes(Text.constData(), static_cast<int>(Text.size()));
}

QByteArray TCustomWinSocket::ReceiveString() {
    const int pending = ReceiveBytes(nullptr, -1);
    // The buffer is reused when the caller let go of the last result; one it still holds stays
    // its own (implicit sharing), and the next read takes fresh memory.
    if (!readBuffer_.isDetached())
        readBuffer_ = QByteArray();
    readBuffer_.truncate(0);
    readBuffer_.resize(pending > 0 ? pending : 0);
    const int got = ReceiveBytes(readBuffer_.data(), static_cast<int>(readBuffer_.size()));
    readBuffer_.resize(got > 0 ? got : 0);
    if (readBuffer_.capacity() > KeptReadBuffer)
        return std::exchange(readBuffer_, QByteArray()); // a flood's buffer is not kept
    return readBuffer_;
}

void TCustomWinSocket::CloseConnection() {
    HandleDisconnect(socket_);
}

int TCustomWinSocket::SendBytes(const void* Buffer, int ByteCount) {
    StateGuard guard(stateLock_);
    if (!connected_)
        return 0;
    const ssize_t sent =
        ::send(socket_, Buffer, static_cast<size_t>(std::max(ByteCount, 0)), MSG_NOSIGNAL);
    if (sent == -1) {
        const int code = errno;
        if (code == EWOULDBLOCK || code == EAGAIN) {
            if (endpoint_)
                endpoint_->rearmWrite();
            return -1;
        }
        return failTransfer(errSend, code, "send");
    }
    return static_cast<int>(sent);
}

int TCustomWinSocket::ReceiveBytes(void* Buffer, int ByteCount) {
    StateGuard guard(stateLock_);
    if (ByteCount == -1 && connected_) {
        int pending = 0;
        if (::ioctl(socket_, FIONREAD, &pending) == -1)
            pending = 0;
        return pending;
    }
    if (!connected_ || ByteCount < 0)
        return 0;
    if (ByteCount == 0) {
        if (endpoint_)
            endpoint_->rearmRead();
        return 0;
    }
    const ssize_t got = ::recv(socket_, Buffer, static_cast<size_t>(ByteCount), 0);
    const int code = errno;
    if (got == -1 && code != EWOULDBLOCK && code != EAGAIN)
        return failTransfer(errReceive, code, "recv");
    if (endpoint_)
        endpoint_->rearmRead(); // a read re-enables the read report while data remain
    return static_cast<int>(got);
}

int TCustomWinSocket::failTransfer(TErrorEvent Kind, int Code, const char* Api) {
    QPointer<TCustomWinSocket> self(this);
    ReportError(this, Kind, Code);
    if (self)
        HandleDisconnect(socket_);
    if (Code != 0)
        throw ESocketError::platform(Code, Api);
    return -1;
}

void TCustomWinSocket::openSocket() {
    // An earlier attempt whose connect or lookup never completed is given up here.
    cancelLookup();
    closeSilently();
    lookupStage_ = lkIdle;
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd == -1)
        throw ESocketError(SocketMessages::CantCreate);
    socket_ = fd;
    ++generation_;
}

void TCustomWinSocket::BeginConnect(const QString& Host, const QString& Address,
                                    const QString& Service, quint16 Port, bool Blocking) {
    if (connected_)
        throw ESocketError(SocketMessages::AlreadyOpen);
    openSocket();
    // Messages are tiny and kept apart only by time; Nagle would hold an echo back ~20 ms.
    const int one = 1;
    ::setsockopt(socket_, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    QPointer<TCustomWinSocket> self(this);
    try {
        ReportEvent(this, sekLookup);
        if (self)
            resolve(Host, Address, Service, Port, 0, true, Blocking);
    } catch (...) {
        if (self)
            HandleDisconnect(socket_);
        throw;
    }
}

void TCustomWinSocket::BeginListen(const QString& Host, const QString& Address,
                                   const QString& Service, quint16 Port, int Backlog,
                                   bool Blocking) {
    if (connected_)
        throw ESocketError(SocketMessages::CantListenOpen);
    openSocket();
    QPointer<TCustomWinSocket> self(this);
    try {
        ReportEvent(this, sekLookup);
        if (self)
            resolve(Host, Address, Service, Port, Backlog, false, Blocking);
    } catch (...) {
        if (self)
            HandleDisconnect(socket_);
        throw;
    }
}

void TCustomWinSocket::resolve(QString Host, QString Address, QString Service, quint16 Port,
                               int Backlog, bool IsClient, bool Blocking) {
    for (;;) {
        switch (lookupStage_) {
        case lkIdle:
            if (!IsClient) {
                address_.sin_addr.s_addr = htonl(INADDR_ANY);
            } else if (!Host.isEmpty()) {
                if (!Blocking) {
                    startLookup(false, Host);
                    pendingService_ = Service;
                    pendingPort_ = Port;
                    pendingBacklog_ = Backlog;
                    pendingIsClient_ = IsClient;
                    lookupStage_ = lkAddress;
                    return;
                }
                quint32 found = 0;
                if (const int code = SocketLookup::hostNow(Host.toUtf8(), found))
                    throw ESocketError::platform(code, "gethostbyname");
                address_.sin_addr.s_addr = found;
            } else if (!Address.isEmpty()) {
                // No further validation: a text that does not parse gives 255.255.255.255.
                address_.sin_addr.s_addr = ::inet_addr(Address.toLatin1().constData());
            } else {
                if (Blocking)
                    throw ESocketError(SocketMessages::NoAddress);
                int code = NoAddressErrorCode;
                QPointer<TCustomWinSocket> self(this);
                ReportError(this, errLookup, code);
                if (self)
                    HandleDisconnect(socket_);
                if (code != 0)
                    throw ESocketError(SocketMessages::NoAddress);
                return;
            }
            lookupStage_ = lkAddress;
            break;
        case lkAddress:
            if (!Service.isEmpty()) {
                if (!Blocking) {
                    startLookup(true, Service);
                    pendingBacklog_ = Backlog;
                    pendingIsClient_ = IsClient;
                    lookupStage_ = lkService;
                    return;
                }
                quint16 found = 0;
                if (const int code = SocketLookup::serviceNow(Service.toUtf8(), found))
                    throw ESocketError::platform(code, "getservbyname");
                address_.sin_port = found;
            } else {
                address_.sin_port = htons(Port);
            }
            lookupStage_ = lkService;
            break;
        case lkService:
            lookupStage_ = lkIdle;
            if (IsClient)
                connectPhase();
            else
                listenPhase(Backlog);
            return;
        }
    }
}

void TCustomWinSocket::startLookup(bool Service, const QString& Name) {
    if (!lookupBuffer_)
        lookupBuffer_ = std::make_unique<char[]>(LookupBufferSize);
    TSocketEndpoint* target = ensureEndpoint();
    lookupRequest_ = Service ? SocketLookup::startService(target, Name.toUtf8())
                             : SocketLookup::startHost(target, Name.toUtf8());
}

void TCustomWinSocket::cancelLookup() {
    SocketLookup::cancel(lookupRequest_);
    lookupRequest_.reset();
}

void TCustomWinSocket::connectPhase() {
    RegisterWatchedEvents();
    QPointer<TCustomWinSocket> self(this);
    ReportEvent(this, sekConnecting);
    if (!self || socket_ == -1)
        return;
    const int rc =
        ::connect(socket_, reinterpret_cast<const sockaddr*>(&address_), sizeof address_);
    if (rc == -1) {
        const int code = errno;
        const bool nonBlocking = watched_ & nwConnect;
        if (code == EINPROGRESS && nonBlocking) {
            // under way; the connect notification finishes the job
        } else if (nonBlocking && isConnectOutcome(code) && endpoint_) {
            endpoint_->reportConnectNow(code);
        } else {
            // Only EINPROGRESS means under way; EAGAIN here is a connect that never happened.
            throw ESocketError::platform(code, "connect");
        }
    }
    lookupStage_ = lkIdle;
    if (!(watched_ & nwConnect)) {
        connected_ = socket_ != -1;
        ReportEvent(this, sekConnect);
    }
}

void TCustomWinSocket::listenPhase(int Backlog) {
    // Lets a host reopen its port while old connections linger in TIME_WAIT, as on Windows;
    // a port another socket listens on is still refused.
    const int one = 1;
    ::setsockopt(socket_, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    CheckSocketCall(::bind(socket_, reinterpret_cast<const sockaddr*>(&address_), sizeof address_),
                    "bind");
    RegisterWatchedEvents();
    if (Backlog > MaxBacklog)
        Backlog = MaxBacklog;
    QPointer<TCustomWinSocket> self(this);
    ReportEvent(this, sekListen);
    if (!self || socket_ == -1)
        return;
    CheckSocketCall(::listen(socket_, Backlog), "listen");
    lookupStage_ = lkIdle;
    connected_ = true;
}

TSocketEndpoint* TCustomWinSocket::ensureEndpoint() {
    if (!endpoint_)
        endpoint_ = new TSocketEndpoint(this);
    return endpoint_;
}

void TCustomWinSocket::RegisterWatchedEvents() {
    if (socket_ == -1)
        return;
    const int flags = ::fcntl(socket_, F_GETFL);
    if (watched_ != 0) {
        ensureEndpoint()->watch(socket_, watched_, connected_);
        ::fcntl(socket_, F_SETFL, flags | O_NONBLOCK);
    } else {
        if (endpoint_)
            endpoint_->unwatch();
        ::fcntl(socket_, F_SETFL, flags & ~O_NONBLOCK);
    }
}

void TCustomWinSocket::PostDeferredFree() {
    ensureEndpoint()->postDeferredFree();
}

void TCustomWinSocket::HandleAccept(int) {}

void TCustomWinSocket::HandleConnect(int) {}

void TCustomWinSocket::HandleRead(int Socket) {
    if (socket_ != -1 && socket_ == Socket)
        ReportEvent(this, sekRead);
}

void TCustomWinSocket::HandleWrite(int Socket) {
    if (socket_ != -1 && socket_ == Socket)
        ReportEvent(this, sekWrite);
}

void TCustomWinSocket::HandleDisconnect(int Socket) {
    StateGuard guard(stateLock_);
    cancelLookup();
    if (Socket == -1 || Socket != socket_)
        return;
    // A disconnect handler that closes again leaves the close to the call already running.
    const quint32 generation = generation_;
    if (closing_ == generation)
        return;
    closing_ = generation;
    QPointer<TCustomWinSocket> self(this);
    try {
        ReportEvent(this, sekDisconnect);
    } catch (...) {
        if (self && generation_ == generation)
            closeSilently();
        throw;
    }
    // A handler that restarted got a new socket, often with the same number: leave it open.
    if (!self || generation_ != generation)
        return;
    closing_ = 0;
    if (endpoint_)
        endpoint_->unwatch();
    const int rc = closeDescriptor();
    const int code = errno;
    ++generation_;
    resetAddress();
    connected_ = false;
    errno = code;
    CheckSocketCall(rc, "closesocket");
}

void TCustomWinSocket::closeSilently() {
    if (socket_ == -1)
        return;
    if (endpoint_)
        endpoint_->unwatch();
    closeDescriptor();
    ++generation_;
    closing_ = 0;
    resetAddress();
    connected_ = false;
}

int TCustomWinSocket::closeDescriptor() {
    std::lock_guard<std::mutex> lock(descriptorGuard_);
    const int rc = ::close(socket_);
    const int code = errno;
    socket_ = -1;
    errno = code;
    return rc;
}

void TCustomWinSocket::InterruptBlockingCalls() {
    std::lock_guard<std::mutex> lock(descriptorGuard_);
    if (socket_ != -1)
        ::shutdown(socket_, SHUT_RDWR);
}

void TCustomWinSocket::resetAddress() {
    address_ = sockaddr_in{};
    address_.sin_family = AF_INET;
}

void TCustomWinSocket::ReportEvent(TCustomWinSocket* Socket, TSocketEventKind Kind) {
    if (eventSink_) {
        auto sink = eventSink_; // the handler may replace the sink while it runs
        sink(this, Socket, Kind);
    }
}

void TCustomWinSocket::ReportError(TCustomWinSocket* Socket, TErrorEvent ErrorEvent,
                                   int& ErrorCode) {
    if (errorSink_) {
        auto sink = errorSink_;
        sink(this, Socket, ErrorEvent, ErrorCode);
    }
}

void TCustomWinSocket::dispatchNotification(int Socket, int NetworkEvent, int ErrorCode) {
    if (ErrorCode != 0) {
        // The notified event itself is dropped and the connection stays open.
        ReportError(this, errorKindFor(NetworkEvent), ErrorCode);
        if (ErrorCode != 0)
            throw ESocketError::asynchronous(ErrorCode);
        return;
    }
    switch (NetworkEvent) {
    case nwConnect:
        HandleConnect(Socket);
        break;
    case nwClose:
        // A stale close must not cancel a lookup that a newer attempt started.
        if (Socket != -1)
            HandleDisconnect(Socket);
        break;
    case nwRead:
        HandleRead(Socket);
        break;
    case nwWrite:
        HandleWrite(Socket);
        break;
    case nwAccept:
        HandleAccept(Socket);
        break;
    default:
        break;
    }
}

void TCustomWinSocket::dispatchDeferredFree() {
    delete this;
}

void TCustomWinSocket::dispatchLookupComplete(int Handle, int ErrorCode, const QByteArray& Result) {
    if (!lookupRequest_ || Handle != lookupRequest_->handle)
        return; // a request cancelled or replaced since
    lookupRequest_.reset();
    if (ErrorCode != 0) {
        QPointer<TCustomWinSocket> self(this);
        ReportError(this, errLookup, ErrorCode);
        if (self)
            HandleDisconnect(socket_);
        if (ErrorCode != 0)
            throw ESocketError::platform(ErrorCode, "ASync Lookup");
        return;
    }
    std::memcpy(lookupBuffer_.get(), Result.constData(),
                std::min<size_t>(Result.size(), LookupBufferSize));
    if (lookupStage_ == lkAddress) {
        std::memcpy(&address_.sin_addr.s_addr, lookupBuffer_.get(), sizeof(in_addr_t));
        resolve({}, {}, pendingService_, pendingPort_, pendingBacklog_, pendingIsClient_, false);
    } else if (lookupStage_ == lkService) {
        std::memcpy(&address_.sin_port, lookupBuffer_.get(), sizeof(in_port_t));
        pendingPort_ = 0;
        pendingService_.clear();
        resolve({}, {}, {}, 0, pendingBacklog_, pendingIsClient_, false);
    }
}
