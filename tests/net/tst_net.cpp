#include "Interpose.h"
#include "RawPeer.h"
#include "net/SocketEndpoint.h"
#include "net/Sockets.h"

#include <QDir>
#include <QPointer>
#include <QtTest>
#include <arpa/inet.h>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <memory>
#include <netdb.h>
#include <sys/socket.h>
#include <unistd.h>
#include <vector>

namespace {

const QString ActiveRefusal = QStringLiteral("Can't change value while socket is active");

QString platformText(int code, const char* api) {
    return QString::fromUtf8(ESocketError::platform(code, api).what());
}

// The text of the ESocketError the call raised, or empty when it raised none.
template <class F> QString errorOf(F&& call) {
    try {
        call();
    } catch (const ESocketError& e) {
        return QString::fromUtf8(e.what());
    }
    return {};
}

// Loopback readiness is immediate, so a few turns of the loop deliver everything pending;
// used only to show that nothing further arrives.
void spin(int turns = 20) {
    for (int i = 0; i < turns; ++i)
        QCoreApplication::processEvents(QEventLoop::AllEvents);
}

// What a server component publishes: no peer address and none of the listener's own events.
// clang-format off
template <class C> concept HasAddress = requires(C& c) { c.Address(); };
template <class C> concept HasHost = requires(C& c) { c.setHost(QString()); };
template <class C> concept HasAnyOwnEvent =
    requires(C& c) { c.OnLookup; } || requires(C& c) { c.OnConnect; } ||
    requires(C& c) { c.OnDisconnect; } || requires(C& c) { c.OnRead; } ||
    requires(C& c) { c.OnWrite; } || requires(C& c) { c.OnError; };
// clang-format on
static_assert(HasAddress<TClientSocket> && HasHost<TClientSocket>);
static_assert(HasAnyOwnEvent<TClientSocket> && HasAnyOwnEvent<TCustomServerSocket>);
static_assert(!HasAddress<TServerSocket> && !HasHost<TServerSocket>);
static_assert(!HasAnyOwnEvent<TServerSocket>);

void listenOnFreePort(TServerSocket& ser) {
    ser.setPort(RawPeer::freePort());
    ser.Start();
}

void aimAt(TClientSocket& client, const TServerSocket& ser) {
    client.setAddress("127.0.0.1");
    client.setPort(ser.Port());
}

struct Peer {
    int fd = -1;
    explicit Peer(int fd) : fd(fd) {}
    ~Peer() {
        if (fd != -1)
            ::close(fd);
    }
};

} // namespace

class tst_net : public QObject {
    Q_OBJECT

    QStringList hooked;

private slots:
    void init() {
        hooked.clear();
        setSocketExceptionHook([this](const std::exception& e) { hooked << e.what(); });
    }
    void cleanup() { setSocketExceptionHook(nullptr); }

    void eventOrderOnConnectAndAccept();
    void readReportsAndPendingReads();
    void sendResults();
    void propertiesWhileActive();
    void portUsesLow16Bits();
    void emptyAddress_data();
    void emptyAddress();
    void bindOnPortInUse();
    void closeConnectionInsideOnAccept();
    void closeConnectionInsideOwnRead();
    void peerCloses();
    void peerResets_data();
    void peerResets();
    void refusedConnect_data();
    void refusedConnect();
    void stopWithOpenConnections();
    void stopWhileConnectPendingThenStartAgain();
    void staleNotifications();
    void nameLookups();
    void handlerExceptionGoesToHook();
    void stopServerInsideClientRead();
    void deleteClientInsideOnDisconnect();
    void startOnOpenObjectRefused();
    void nestedLoopInsideReadEventFreesConnection();
    void nestedLoopBeforeReadingGetsNoSecondRead();
    void blockingTypesStartAndStop();
    void resolverFailureReportsResolverError();
    void secondStartCancelsPendingLookup();
    void restartInsideDisconnectKeepsNewSocket();
    void connectEagainIsNoConnection();
    void connectReportQueuedBeforeCloseConnection();
    void quitDoesNotWaitForBlockedLookup();
    void threadBlockingServerLifeCycle();
    void stopFromOwnThreadDoesNotCrash();
    void finishedWorkersAreJoinedWithoutAnotherAccept();
};

void tst_net::eventOrderOnConnectAndAccept() {
    QStringList log;
    TServerSocket ser;
    ser.OnListen = [&](QObject* sender, TCustomWinSocket*) {
        QCOMPARE(sender, &ser);
        log << "listen";
    };
    ser.OnGetSocket = [&](QObject* sender, int, TServerClientWinSocket*& made) {
        QCOMPARE(sender, ser.Listener());
        QVERIFY(!made);
        log << "getsocket";
    };
    ser.OnClientConnect = [&](QObject* sender, TCustomWinSocket* s) {
        QCOMPARE(sender, ser.Listener());
        QVERIFY(ser.Listener()->ConnectionList().contains(s));
        log << "clientconnect";
    };
    ser.OnAccept = [&](QObject* sender, TCustomWinSocket*) {
        QCOMPARE(sender, &ser);
        log << "accept";
    };
    ser.OnClientWrite = [&](QObject*, TCustomWinSocket*) { log << "clientwrite"; };
    ser.OnClientRead = [&](QObject*, TCustomWinSocket* s) { log << "read:" + s->ReceiveString(); };
    listenOnFreePort(ser);
    QCOMPARE(log, QStringList{"listen"});
    QVERIFY(ser.Active());

    // Data already waiting at accept time still come after the accept events.
    Peer raw(RawPeer::connectTo(ser.Port()));
    RawPeer::sendAll(raw.fd, "early");
    QTRY_VERIFY(log.contains("read:early"));
    QCOMPARE(log.mid(0, 4), (QStringList{"listen", "getsocket", "clientconnect", "accept"}));
    QTRY_COMPARE(log.count("clientwrite"), 1);

    QStringList clog;
    TClientSocket client;
    aimAt(client, ser);
    client.OnLookup = [&](QObject*, TCustomWinSocket*) { clog << "lookup"; };
    client.OnConnecting = [&](QObject*, TCustomWinSocket*) { clog << "connecting"; };
    client.OnConnect = [&](QObject* sender, TCustomWinSocket* s) {
        QCOMPARE(sender, &client);
        QCOMPARE(s, client.Connection());
        clog << "connect";
    };
    client.OnWrite = [&](QObject*, TCustomWinSocket*) { clog << "write"; };
    client.OnRead = [&](QObject*, TCustomWinSocket* s) { clog << "read:" + s->ReceiveString(); };
    client.Start();
    QCOMPARE(clog, (QStringList{"lookup", "connecting"}));
    QVERIFY(!client.Active());
    QTRY_COMPARE(clog, (QStringList{"lookup", "connecting", "connect", "write"}));
    QVERIFY(client.Active());
    QTRY_COMPARE(ser.Listener()->ConnectionList().size(), 2);

    TServerClientWinSocket* accepted = ser.Listener()->ConnectionList().last();
    QCOMPARE(accepted->OwnerServer(), ser.Listener());
    QCOMPARE(client.Connection()->SendString("hello"), 5);
    QTRY_VERIFY(log.contains("read:hello"));
    QCOMPARE(accepted->SendString("back"), 4);
    QTRY_VERIFY(clog.contains("read:back"));

    for (int fd : {client.Connection()->SocketId(), accepted->SocketId()}) {
        QVERIFY(RawPeer::hasNoDelay(fd));
        QVERIFY(RawPeer::hasCloseOnExec(fd));
    }
    QVERIFY(RawPeer::hasCloseOnExec(ser.Listener()->SocketId()));
    QCOMPARE(client.Connection()->WatchedEvents(), TWatchedEvents(51));
    QCOMPARE(ser.Listener()->WatchedEvents(), TWatchedEvents(8));
    QCOMPARE(hooked, QStringList{});
}

void tst_net::readReportsAndPendingReads() {
    TServerSocket ser;
    int reads = 0, errors = 0;
    QByteArray got;
    ser.OnClientError = [&](QObject*, TCustomWinSocket*, TErrorEvent, int&) { ++errors; };
    ser.OnClientRead = [&](QObject*, TCustomWinSocket* s) {
        ++reads;
        char two[2];
        const int n = s->ReceiveBytes(two, 2);
        if (n > 0)
            got.append(two, n);
    };
    listenOnFreePort(ser);
    Peer raw(RawPeer::connectTo(ser.Port()));
    QTRY_COMPARE(ser.Listener()->ConnectionList().size(), 1);
    TServerClientWinSocket* conn = ser.Listener()->ConnectionList().first();

    // Reported again after each read while data remain, and not once they are gone.
    RawPeer::sendAll(raw.fd, "abcdef");
    QTRY_COMPARE(got, QByteArray("abcdef"));
    spin();
    QCOMPARE(reads, 3);

    // A handler that does not read gets no further report until someone reads.
    ser.OnClientRead = [&](QObject*, TCustomWinSocket*) { ++reads; };
    RawPeer::sendAll(raw.fd, "xyz");
    QTRY_COMPARE(reads, 4);
    spin();
    QCOMPARE(reads, 4);
    QCOMPARE(conn->ReceiveBytes(nullptr, -1), 3);
    QCOMPARE(conn->ReceiveString(), QByteArray("xyz"));
    spin();
    QCOMPARE(reads, 4);

    // Nothing pending: empty string, and a plain read would block.
    QCOMPARE(conn->ReceiveString(), QByteArray());
    char buffer[8];
    QCOMPARE(conn->ReceiveBytes(buffer, sizeof buffer), -1);
    QCOMPARE(conn->ReceiveBytes(buffer, 0), 0);

    // Closed: reads and sends do nothing.
    QPointer<TServerClientWinSocket> guard(conn);
    conn->CloseConnection();
    QCOMPARE(conn->ReceiveString(), QByteArray());
    QCOMPARE(conn->ReceiveBytes(nullptr, -1), 0);
    QCOMPARE(conn->SendString("x"), 0);
    QTRY_VERIFY(!guard);
    QCOMPARE(errors, 0);
    QCOMPARE(hooked, QStringList{});
}

void tst_net::sendResults() {
    TClientSocket idle;
    QCOMPARE(idle.Connection()->SendString("x"), 0);

    TServerSocket ser;
    int writes = 0, errors = 0;
    ser.OnClientWrite = [&](QObject*, TCustomWinSocket*) { ++writes; };
    ser.OnClientError = [&](QObject*, TCustomWinSocket*, TErrorEvent, int&) { ++errors; };
    listenOnFreePort(ser);
    Peer raw(RawPeer::connectTo(ser.Port()));
    QTRY_COMPARE(writes, 1);
    TServerClientWinSocket* conn = ser.Listener()->ConnectionList().first();
    QCOMPARE(conn->SendString(QByteArray()), 0);

    const int small = 4096;
    ::setsockopt(conn->SocketId(), SOL_SOCKET, SO_SNDBUF, &small, sizeof small);
    ::setsockopt(raw.fd, SOL_SOCKET, SO_RCVBUF, &small, sizeof small);
    const QByteArray chunk(65536, 'z');
    qint64 accepted = 0;
    int result = 0;
    for (int i = 0; i < 10000 && result != -1; ++i) {
        result = conn->SendString(chunk);
        QVERIFY(result == -1 || (result > 0 && result <= chunk.size()));
        if (result > 0)
            accepted += result;
    }
    // Full buffer: -1, and neither an event nor an exception.
    QCOMPARE(result, -1);
    QVERIFY(accepted > 0);
    QCOMPARE(errors, 0);
    QCOMPARE(hooked, QStringList{});
    QCOMPARE(writes, 1);

    // Exactly the bytes the sends reported reach the peer; nothing is kept back and resent.
    const QByteArray drained = RawPeer::readAll(raw.fd, static_cast<int>(accepted));
    QCOMPARE(drained.size(), accepted);
    QTRY_COMPARE(writes, 2); // room again after a would-block send
    QCOMPARE(conn->SendString("end"), 3);
    QCOMPARE(RawPeer::readAll(raw.fd, 3), QByteArray("end"));
    spin();
    QCOMPARE(writes, 2);
}

void tst_net::propertiesWhileActive() {
    TServerSocket ser;
    TCustomServerSocket& component = ser; // a server publishes neither Address nor Host
    component.setAddress("abc");
    component.setHost(QString::fromUtf8("ä"));
    listenOnFreePort(ser);
    const int port = ser.Port();

    ser.setPort(port);
    QCOMPARE(errorOf([&] { ser.setPort(port + 1); }), ActiveRefusal);
    QCOMPARE(ser.Port(), port);
    component.setAddress("ABC");
    QCOMPARE(component.Address(), QString("abc"));
    QCOMPARE(errorOf([&] { component.setAddress("abd"); }), ActiveRefusal);
    QCOMPARE(component.Address(), QString("abc"));
    // Only a-z fold; other letters are different values.
    QCOMPARE(errorOf([&] { component.setHost(QString::fromUtf8("Ä")); }), ActiveRefusal);
    QCOMPARE(errorOf([&] { ser.setService("echo"); }), ActiveRefusal);
    QCOMPARE(errorOf([&] { ser.setServerType(stThreadBlocking); }), ActiveRefusal);
    QCOMPARE(ser.ServerType(), stNonBlocking);

    TClientSocket client;
    client.setAddress("127.0.0.1");
    client.setPort(port);
    client.Start();
    QTRY_VERIFY(client.Active());
    QCOMPARE(errorOf([&] { client.setClientType(ctBlocking); }), ActiveRefusal);
    client.setAddress("127.0.0.1");
    QCOMPARE(errorOf([&] { client.setAddress("127.0.0.2"); }), ActiveRefusal);
    int disconnects = 0;
    client.OnDisconnect = [&](QObject*, TCustomWinSocket*) { ++disconnects; };
    client.Stop();
    QCOMPARE(disconnects, 1); // before Stop returns
    QVERIFY(!client.Active());
    client.setAddress("127.0.0.2");
    client.setClientType(ctBlocking);
    QCOMPARE(client.Connection()->WatchedEvents(), TWatchedEvents(0));
    client.setClientType(ctNonBlocking);
    QCOMPARE(client.Connection()->WatchedEvents(), TWatchedEvents(51));

    ser.Stop();
    ser.setPort(port + 1);
    QCOMPARE(ser.Port(), port + 1);
    ser.setServerType(stThreadBlocking);
    QCOMPARE(ser.Listener()->WatchedEvents(), TWatchedEvents(0));
    ser.setServerType(stNonBlocking);
    QCOMPARE(ser.Listener()->WatchedEvents(), TWatchedEvents(8));
}

void tst_net::portUsesLow16Bits() {
    int probePort = 4464;
    const int probe = RawPeer::listenOn(probePort);
    if (probe == -1)
        QSKIP("port 4464 is taken on this machine");
    ::close(probe);

    TServerSocket ser;
    ser.setPort(70000);
    ser.Start();
    QCOMPARE(ser.Port(), 70000);
    QCOMPARE(RawPeer::localPort(ser.Listener()->SocketId()), 4464);

    TClientSocket client;
    client.setAddress("127.0.0.1");
    client.setPort(70000);
    client.Start();
    QTRY_VERIFY(client.Active());
    QCOMPARE(ntohs(client.Connection()->SocketAddress().sin_port), 4464);
    QTRY_COMPARE(ser.Listener()->ConnectionList().size(), 1);
}

void tst_net::emptyAddress_data() {
    QTest::addColumn<bool>("clearCode");
    QTest::newRow("code left") << false;
    QTest::newRow("code cleared") << true;
}

void tst_net::emptyAddress() {
    QFETCH(bool, clearCode);
    TClientSocket client;
    QStringList log;
    client.OnLookup = [&](QObject*, TCustomWinSocket*) { log << "lookup"; };
    client.OnConnecting = [&](QObject*, TCustomWinSocket*) { log << "connecting"; };
    client.OnDisconnect = [&](QObject*, TCustomWinSocket*) { log << "disconnect"; };
    client.OnError = [&](QObject*, TCustomWinSocket*, TErrorEvent kind, int& code) {
        log << QString("error %1 %2").arg(kind).arg(code);
        if (clearCode)
            code = 0;
    };
    const QString raised = errorOf([&] { client.Start(); });
    QCOMPARE(log, (QStringList{"lookup", "error 6 1110", "disconnect"}));
    QCOMPARE(raised, clearCode ? QString() : QString("No address specified"));
    QVERIFY(!client.Active());
    QCOMPARE(client.Connection()->SocketId(), -1);
}

void tst_net::bindOnPortInUse() {
    int port = 0;
    Peer blocker(RawPeer::listenOn(port));
    TServerSocket ser;
    TCustomServerSocket& component = ser; // the listener's own events are not published
    QStringList log;
    component.OnLookup = [&](QObject*, TCustomWinSocket*) { log << "lookup"; };
    ser.OnListen = [&](QObject*, TCustomWinSocket*) { log << "listen"; };
    component.OnDisconnect = [&](QObject*, TCustomWinSocket*) { log << "disconnect"; };
    ser.setPort(port);
    QCOMPARE(errorOf([&] { ser.Start(); }), platformText(EADDRINUSE, "bind"));
    QCOMPARE(platformText(EADDRINUSE, "bind"),
             QString("Windows socket error: Address already in use (98), on API 'bind'"));
    QCOMPARE(log, (QStringList{"lookup", "disconnect"}));
    QVERIFY(!ser.Active());
    QCOMPARE(ser.Listener()->SocketId(), -1);

    ::close(blocker.fd);
    blocker.fd = -1;
    ser.Start();
    QVERIFY(ser.Active());
}

void tst_net::closeConnectionInsideOnAccept() {
    TServerSocket ser;
    QStringList log;
    QPointer<TCustomWinSocket> accepted;
    ser.OnClientDisconnect = [&](QObject*, TCustomWinSocket*) { log << "clientdisconnect"; };
    ser.OnClientRead = [&](QObject*, TCustomWinSocket*) { log << "read"; };
    ser.OnAccept = [&](QObject*, TCustomWinSocket* s) {
        accepted = s;
        log << "accept";
        s->CloseConnection();
        log << "closed";
        const auto& list = ser.Listener()->ConnectionList();
        log << QString("listed %1").arg(list.contains(static_cast<TServerClientWinSocket*>(s)));
    };
    listenOnFreePort(ser);
    Peer raw(RawPeer::connectTo(ser.Port()));
    RawPeer::sendAll(raw.fd, "data");
    QTRY_VERIFY(log.contains("closed"));
    QCOMPARE(log, (QStringList{"accept", "clientdisconnect", "closed", "listed 1"}));
    QTRY_VERIFY(!accepted);
    QVERIFY(ser.Listener()->ConnectionList().isEmpty());
    QVERIFY(RawPeer::sawClose(raw.fd));
    spin();
    QCOMPARE(log.size(), 4);
}

void tst_net::closeConnectionInsideOwnRead() {
    TServerSocket ser;
    listenOnFreePort(ser);
    TClientSocket client;
    aimAt(client, ser);
    QStringList log;
    client.OnDisconnect = [&](QObject*, TCustomWinSocket*) { log << "disconnect"; };
    client.OnRead = [&](QObject*, TCustomWinSocket* s) {
        log << "read:" + s->ReceiveString();
        s->CloseConnection();
        log << QString("returned active=%1").arg(client.Active());
    };
    client.Start();
    QTRY_COMPARE(ser.Listener()->ConnectionList().size(), 1);
    QTRY_VERIFY(client.Active());
    ser.Listener()->ConnectionList().first()->SendString("bye");
    QTRY_COMPARE(log, (QStringList{"read:bye", "disconnect", "returned active=0"}));
    QCOMPARE(client.Connection()->SocketId(), -1);
    QTRY_VERIFY(ser.Listener()->ConnectionList().isEmpty());
}

void tst_net::peerCloses() {
    // Server side: the disconnect event runs while the socket is still open; freed later.
    TServerSocket ser;
    QStringList log;
    ser.OnClientDisconnect = [&](QObject* sender, TCustomWinSocket* s) {
        QCOMPARE(sender, ser.Listener());
        log << QString("clientdisconnect open=%1").arg(s->SocketId() != -1);
    };
    ser.OnClientError = [&](QObject*, TCustomWinSocket*, TErrorEvent, int&) { log << "error"; };
    listenOnFreePort(ser);
    int fd = RawPeer::connectTo(ser.Port());
    QTRY_COMPARE(ser.Listener()->ConnectionList().size(), 1);
    QPointer<TServerClientWinSocket> conn = ser.Listener()->ConnectionList().first();
    ::close(fd);
    QTRY_COMPARE(log, QStringList{"clientdisconnect open=1"});
    QTRY_VERIFY(!conn);
    QVERIFY(ser.Listener()->ConnectionList().isEmpty());

    // Client side: bytes sent before the close are read first, then the disconnect.
    int port = 0;
    Peer listener(RawPeer::listenOn(port));
    TClientSocket client;
    client.setAddress("127.0.0.1");
    client.setPort(port);
    QStringList clog;
    client.OnRead = [&](QObject*, TCustomWinSocket* s) { clog << "read:" + s->ReceiveString(); };
    client.OnDisconnect = [&](QObject*, TCustomWinSocket*) { clog << "disconnect"; };
    client.OnError = [&](QObject*, TCustomWinSocket*, TErrorEvent, int&) { clog << "error"; };
    client.Start();
    Peer peer(RawPeer::acceptFrom(listener.fd));
    QTRY_VERIFY(client.Active());
    RawPeer::sendAll(peer.fd, "last words");
    ::close(peer.fd);
    peer.fd = -1;
    QTRY_COMPARE(clog, (QStringList{"read:last words", "disconnect"}));
    QVERIFY(!client.Active());
    QCOMPARE(client.Connection()->SocketId(), -1);
    QCOMPARE(hooked, QStringList{});
}

void tst_net::peerResets_data() {
    QTest::addColumn<bool>("clearCode");
    QTest::newRow("code left") << false;
    QTest::newRow("code cleared") << true;
}

void tst_net::peerResets() {
    QFETCH(bool, clearCode);
    TServerSocket ser;
    QStringList log;
    int lastCode = 0;
    ser.OnClientError = [&](QObject*, TCustomWinSocket*, TErrorEvent kind, int& code) {
        log << QString("error %1").arg(kind);
        lastCode = code;
        if (clearCode)
            code = 0;
    };
    ser.OnClientDisconnect = [&](QObject*, TCustomWinSocket*) { log << "clientdisconnect"; };
    listenOnFreePort(ser);
    const int fd = RawPeer::connectTo(ser.Port());
    QTRY_COMPARE(ser.Listener()->ConnectionList().size(), 1);
    QPointer<TServerClientWinSocket> conn = ser.Listener()->ConnectionList().first();
    RawPeer::reset(fd);

    QTRY_COMPARE(log, QStringList{"error 4"});
    QCOMPARE(lastCode, ECONNRESET);
    QCOMPARE(hooked, clearCode ? QStringList{} : QStringList{"Asynchronous socket error 104"});
    spin();
    // No disconnect: the connection stays open and listed.
    QCOMPARE(log.size(), 1);
    QVERIFY(conn);
    QVERIFY(conn->IsConnected());
    QCOMPARE(ser.Listener()->ConnectionList().size(), 1);

    // Sending on it now fails: error event, disconnect event, then the exception.
    log.clear();
    hooked.clear();
    int result = 0;
    const QString raised = errorOf([&] {
        result = conn->SendString("x");
        log << "returned";
    });
    QVERIFY(lastCode == EPIPE || lastCode == ECONNRESET);
    if (clearCode) {
        QCOMPARE(log, (QStringList{"error 1", "clientdisconnect", "returned"}));
        QCOMPARE(result, -1);
        QCOMPARE(raised, QString());
    } else {
        QCOMPARE(log, (QStringList{"error 1", "clientdisconnect"}));
        QCOMPARE(raised, platformText(lastCode, "send"));
    }
    QTRY_VERIFY(!conn);
}

void tst_net::refusedConnect_data() {
    QTest::addColumn<bool>("clearCode");
    QTest::newRow("code left") << false;
    QTest::newRow("code cleared") << true;
}

void tst_net::refusedConnect() {
    QFETCH(bool, clearCode);
    TClientSocket client;
    client.setAddress("127.0.0.1");
    client.setPort(RawPeer::freePort());
    QStringList log;
    client.OnConnect = [&](QObject*, TCustomWinSocket*) { log << "connect"; };
    client.OnDisconnect = [&](QObject*, TCustomWinSocket*) { log << "disconnect"; };
    client.OnError = [&](QObject*, TCustomWinSocket*, TErrorEvent kind, int& code) {
        log << QString("error %1 %2").arg(kind).arg(code);
        if (clearCode)
            code = 0;
    };
    client.Start();
    QTRY_COMPARE(log, QStringList{QString("error 3 %1").arg(ECONNREFUSED)});
    QCOMPARE(hooked, clearCode ? QStringList{} : QStringList{"Asynchronous socket error 111"});
    spin();
    QCOMPARE(log.size(), 1);
    QVERIFY(!client.Active());
    QVERIFY(!client.Connection()->IsConnected());

    // Trying again once somebody listens there works.
    TServerSocket ser;
    ser.setPort(client.Port());
    ser.Start();
    client.Start();
    QTRY_VERIFY(client.Active());
    QCOMPARE(log.last(), QString("connect"));
}

void tst_net::stopWithOpenConnections() {
    TServerSocket ser;
    int clientDisconnects = 0, reads = 0;
    QStringList log;
    ser.OnClientDisconnect = [&](QObject*, TCustomWinSocket*) { ++clientDisconnects; };
    ser.OnClientRead = [&](QObject*, TCustomWinSocket*) { ++reads; };
    static_cast<TCustomServerSocket&>(ser).OnDisconnect = [&](QObject*, TCustomWinSocket*) {
        log << "disconnect";
    };
    listenOnFreePort(ser);
    Peer a(RawPeer::connectTo(ser.Port())), b(RawPeer::connectTo(ser.Port())),
        c(RawPeer::connectTo(ser.Port()));
    QTRY_COMPARE(ser.Listener()->ConnectionList().size(), 3);

    QList<QPointer<TServerClientWinSocket>> conns;
    QList<int> destroyedOrder;
    for (int i = 0; i < 3; ++i) {
        conns << ser.Listener()->ConnectionList().at(i);
        connect(conns.last(), &QObject::destroyed, this,
                [&destroyedOrder, i] { destroyedOrder << i; });
    }
    for (const Peer* p : {&a, &b, &c})
        RawPeer::sendAll(p->fd, "pending");
    ser.Stop();
    QCOMPARE(clientDisconnects, 0);
    QCOMPARE(destroyedOrder, (QList<int>{2, 1, 0}));
    for (const auto& conn : conns)
        QVERIFY(!conn);
    QVERIFY(ser.Listener()->ConnectionList().isEmpty());
    QVERIFY(!ser.Active());
    QCOMPARE(log, QStringList{"disconnect"});
    reads = 0;
    spin();
    QCOMPARE(reads, 0);
    for (const Peer* p : {&a, &b, &c})
        QVERIFY(RawPeer::sawClose(p->fd));
}

void tst_net::stopWhileConnectPendingThenStartAgain() {
    TServerSocket ser;
    QByteArray received;
    ser.OnClientRead = [&](QObject*, TCustomWinSocket* s) { received += s->ReceiveString(); };
    listenOnFreePort(ser);

    TClientSocket client;
    aimAt(client, ser);
    QStringList log;
    client.OnLookup = [&](QObject*, TCustomWinSocket*) { log << "lookup"; };
    client.OnConnecting = [&](QObject*, TCustomWinSocket*) { log << "connecting"; };
    client.OnConnect = [&](QObject*, TCustomWinSocket*) { log << "connect"; };
    client.OnDisconnect = [&](QObject*, TCustomWinSocket*) { log << "disconnect"; };
    client.Start();
    const int first = client.Connection()->SocketId();
    QVERIFY(first != -1);
    QVERIFY(!client.Active());

    client.Stop(); // Active is still false: nothing to stop
    QCOMPARE(client.Connection()->SocketId(), first);
    QCOMPARE(log, (QStringList{"lookup", "connecting"}));

    client.Start();
    QCOMPARE(log, (QStringList{"lookup", "connecting", "lookup", "connecting"}));
    QTRY_VERIFY(client.Active());
    spin();
    QCOMPARE(log.count("connect"), 1);
    QCOMPARE(client.Connection()->SendString("second"), 6);
    QTRY_COMPARE(received, QByteArray("second"));
}

void tst_net::staleNotifications() {
    // Reports already queued when a handler closes the connection are dropped.
    TServerSocket ser;
    QStringList log;
    auto firstReportCloses = [&](const char* name) {
        return [&log, name](QObject*, TCustomWinSocket* s) {
            log << name;
            s->CloseConnection();
        };
    };
    ser.OnClientWrite = firstReportCloses("write");
    ser.OnClientRead = firstReportCloses("read");
    ser.OnClientDisconnect = [&](QObject*, TCustomWinSocket*) { log << "disconnect"; };
    listenOnFreePort(ser);
    Peer raw(RawPeer::connectTo(ser.Port()));
    RawPeer::sendAll(raw.fd, "early"); // readable and writable together right after the accept
    QTRY_VERIFY(log.contains("disconnect"));
    spin();
    QCOMPARE(log.size(), 2);
    QCOMPARE(log.last(), QString("disconnect"));

    // A lookup completion for a request that was replaced changes nothing.
    ser.OnClientWrite = nullptr;
    ser.OnClientRead = nullptr;
    TClientSocket client;
    client.setHost("localhost");
    client.setPort(ser.Port());
    QStringList clog;
    client.OnLookup = [&](QObject*, TCustomWinSocket*) { clog << "lookup"; };
    client.OnConnecting = [&](QObject*, TCustomWinSocket*) { clog << "connecting"; };
    client.OnConnect = [&](QObject*, TCustomWinSocket*) { clog << "connect"; };
    client.Start();
    const int firstRequest = client.Connection()->LookupRequest();
    client.Start(); // still not Active, so this starts a further attempt
    QVERIFY(client.Connection()->LookupRequest() != firstRequest);
    QTRY_VERIFY(client.Active());
    spin();
    QCOMPARE(clog, (QStringList{"lookup", "lookup", "connecting", "connect"}));
}

void tst_net::nameLookups() {
    TServerSocket ser;
    listenOnFreePort(ser);
    TClientSocket client;
    client.setHost("localhost");
    client.setPort(ser.Port());
    QStringList log;
    client.OnLookup = [&](QObject*, TCustomWinSocket*) { log << "lookup"; };
    client.OnConnecting = [&](QObject*, TCustomWinSocket*) { log << "connecting"; };
    client.OnConnect = [&](QObject*, TCustomWinSocket*) { log << "connect"; };
    client.Start();
    QCOMPARE(log, QStringList{"lookup"});
    QCOMPARE(client.Connection()->LookupStage(), lkAddress);
    QVERIFY(client.Connection()->LookupRequest() != 0);
    QTRY_VERIFY(client.Active());
    QCOMPARE(log, (QStringList{"lookup", "connecting", "connect"}));
    QCOMPARE(client.Connection()->SocketAddress().sin_addr.s_addr, htonl(INADDR_LOOPBACK));
    QCOMPARE(client.Connection()->LookupRequest(), 0);

    // A service name gives the port from the services table; nobody listens on echo here.
    TClientSocket echo;
    echo.setAddress("127.0.0.1");
    echo.setService("echo");
    int connectError = 0;
    echo.OnError = [&](QObject*, TCustomWinSocket*, TErrorEvent kind, int& code) {
        if (kind == errConnect)
            connectError = code;
        code = 0;
    };
    echo.Start();
    QCOMPARE(echo.Connection()->LookupStage(), lkService);
    QTRY_COMPARE(ntohs(echo.Connection()->SocketAddress().sin_port), 7);
    QTRY_VERIFY(connectError != 0);
}

void tst_net::handlerExceptionGoesToHook() {
    TServerSocket ser;
    QByteArray got;
    ser.OnClientRead = [&](QObject*, TCustomWinSocket* s) {
        got += s->ReceiveString();
        throw std::runtime_error("handler failed");
    };
    listenOnFreePort(ser);
    Peer raw(RawPeer::connectTo(ser.Port()));
    RawPeer::sendAll(raw.fd, "one");
    QTRY_COMPARE(hooked, QStringList{"handler failed"});
    RawPeer::sendAll(raw.fd, "two");
    QTRY_COMPARE(got, QByteArray("onetwo"));
    QCOMPARE(hooked.size(), 2);
}

void tst_net::stopServerInsideClientRead() {
    // The connection whose read event is running is destroyed by the handler.
    TServerSocket ser;
    int disconnects = 0;
    ser.OnClientDisconnect = [&](QObject*, TCustomWinSocket*) { ++disconnects; };
    ser.OnClientRead = [&](QObject*, TCustomWinSocket*) { ser.Stop(); };
    listenOnFreePort(ser);
    Peer raw(RawPeer::connectTo(ser.Port()));
    RawPeer::sendAll(raw.fd, "stop");
    QTRY_VERIFY(!ser.Active());
    spin();
    QVERIFY(ser.Listener()->ConnectionList().isEmpty());
    QCOMPARE(disconnects, 0);
    QVERIFY(RawPeer::sawClose(raw.fd));
    QCOMPARE(hooked, QStringList{});
}

void tst_net::deleteClientInsideOnDisconnect() {
    int port = 0;
    Peer listener(RawPeer::listenOn(port));
    QPointer<TClientSocket> client = new TClientSocket;
    client->setAddress("127.0.0.1");
    client->setPort(port);
    int disconnects = 0;
    client->OnDisconnect = [&](QObject* sender, TCustomWinSocket*) {
        ++disconnects;
        delete sender;
    };
    client->Start();
    Peer peer(RawPeer::acceptFrom(listener.fd));
    QTRY_VERIFY(client->Active());
    ::close(peer.fd);
    peer.fd = -1;
    QTRY_VERIFY(!client);
    spin();
    QCOMPARE(disconnects, 1);
    QCOMPARE(hooked, QStringList{});
}

void tst_net::startOnOpenObjectRefused() {
    TServerSocket ser;
    listenOnFreePort(ser);
    QCOMPARE(errorOf([&] { ser.Listener()->BeginListen({}, {}, {}, 0, 5, false); }),
             QString("Can't listen on an open socket"));
    TClientSocket client;
    aimAt(client, ser);
    client.Start();
    QTRY_VERIFY(client.Active());
    QCOMPARE(errorOf([&] { client.Connection()->BeginConnect({}, "127.0.0.1", {}, 1, false); }),
             QString("Socket already open"));
    QVERIFY(client.Active());
    QVERIFY(ser.Active());
}

void tst_net::blockingTypesStartAndStop() {
    TServerSocket ser;
    QByteArray received;
    ser.OnClientRead = [&](QObject*, TCustomWinSocket* s) { received += s->ReceiveString(); };
    listenOnFreePort(ser);

    // A blocking client connects inside Start and gets no read or write reports.
    TClientSocket client;
    client.setClientType(ctBlocking);
    aimAt(client, ser);
    QStringList log;
    client.OnConnecting = [&](QObject*, TCustomWinSocket*) { log << "connecting"; };
    client.OnConnect = [&](QObject*, TCustomWinSocket*) { log << "connect"; };
    client.OnWrite = [&](QObject*, TCustomWinSocket*) { log << "write"; };
    client.Start();
    QCOMPARE(log, (QStringList{"connecting", "connect"}));
    QVERIFY(client.Active());
    QCOMPARE(client.Connection()->SendString("hi"), 2);
    QTRY_COMPARE(received, QByteArray("hi"));
    spin();
    QCOMPARE(log.size(), 2);
    client.Stop();
    QVERIFY(!client.Active());

    // The thread-blocking server type can be set, started and stopped.
    TServerSocket threaded;
    threaded.setServerType(stThreadBlocking);
    listenOnFreePort(threaded);
    QVERIFY(threaded.Active());
    threaded.Stop();
    QVERIFY(!threaded.Active());
}

void tst_net::nestedLoopInsideReadEventFreesConnection() {
    // Like a message box shown from a read handler: the peer's close, the disconnect and the
    // deferred free all run inside the nested loop while the outer read event is still open.
    TServerSocket ser;
    QStringList log;
    Peer raw(-1);
    ser.OnClientDisconnect = [&](QObject*, TCustomWinSocket*) { log << "clientdisconnect"; };
    ser.OnClientRead = [&](QObject*, TCustomWinSocket* s) {
        log << "read:" + s->ReceiveString();
        QPointer<TCustomWinSocket> guard(s);
        ::close(raw.fd);
        raw.fd = -1;
        QEventLoop nested;
        QTimer poll;
        connect(&poll, &QTimer::timeout, &nested, [&] {
            if (!guard)
                nested.quit();
        });
        poll.start(1);
        QTimer::singleShot(5000, &nested, &QEventLoop::quit);
        nested.exec();
        log << QString("back freed=%1").arg(!guard);
    };
    listenOnFreePort(ser);
    raw.fd = RawPeer::connectTo(ser.Port());
    RawPeer::sendAll(raw.fd, "box");
    QTRY_COMPARE(log.size(), 3);
    QCOMPARE(log, (QStringList{"read:box", "clientdisconnect", "back freed=1"}));
    QVERIFY(ser.Listener()->ConnectionList().isEmpty());
    spin();
    QCOMPARE(hooked, QStringList{});
}

void tst_net::nestedLoopBeforeReadingGetsNoSecondRead() {
    // A read handler that shows a message box before it reads: while the box's loop runs,
    // the unread data (and more that arrives) must not report another read; one comes
    // once the handler has read.
    TServerSocket ser;
    QStringList log;
    Peer raw(-1);
    int depth = 0;
    ser.OnClientRead = [&](QObject*, TCustomWinSocket* s) {
        log << QString("read at depth %1").arg(depth);
        if (log.size() == 1) {
            ++depth;
            RawPeer::sendAll(raw.fd, " more");
            QEventLoop nested;
            QTimer::singleShot(100, &nested, &QEventLoop::quit);
            nested.exec();
            --depth;
        }
        log << "got:" + s->ReceiveString();
    };
    listenOnFreePort(ser);
    raw.fd = RawPeer::connectTo(ser.Port());
    RawPeer::sendAll(raw.fd, "box");
    QTRY_VERIFY(!log.isEmpty());
    QTRY_COMPARE(log.size(), 2);
    QCOMPARE(log, (QStringList{"read at depth 0", "got:box more"}));
    RawPeer::sendAll(raw.fd, "next");
    QTRY_COMPARE(log.size(), 4);
    QCOMPARE(log.mid(2), (QStringList{"read at depth 0", "got:next"}));
    spin();
    QCOMPARE(hooked, QStringList{});
}

void tst_net::resolverFailureReportsResolverError() {
    // An unknown service: lookup error with the resolver's own code, disconnect, then the
    // exception with the resolver's own text to the hook.
    TClientSocket unknown;
    unknown.setAddress("127.0.0.1");
    unknown.setService("pinwa-no-such-service");
    QStringList log;
    unknown.OnError = [&](QObject*, TCustomWinSocket*, TErrorEvent kind, int& code) {
        log << QString("error %1 %2").arg(kind).arg(code);
    };
    unknown.OnDisconnect = [&](QObject*, TCustomWinSocket*) { log << "disconnect"; };
    unknown.Start();
    QTRY_COMPARE(log, (QStringList{QString("error 6 %1").arg(EAI_SERVICE), "disconnect"}));
    QCOMPARE(hooked, QStringList{"Windows socket error: Servname not supported for ai_socktype "
                                 "(-8), on API 'ASync Lookup'"});
    QCOMPARE(unknown.Connection()->SocketId(), -1);
}

namespace {
// Counts the lookup completions that reach a connection's endpoint.
class LookupCounter : public QObject {
public:
    int count = 0;
    bool eventFilter(QObject*, QEvent* e) override {
        if (e->type() == LookupCompleteEvent::eventType())
            ++count;
        return false;
    }
};
} // namespace

void tst_net::secondStartCancelsPendingLookup() {
    TServerSocket ser;
    listenOnFreePort(ser);
    Interpose::holdLookups(true);
    const int finishedBefore = Interpose::lookupsFinished();
    TClientSocket client;
    client.setHost("localhost");
    client.setPort(ser.Port());
    client.Start();
    client.Start(); // the first lookup is still waiting in the resolver
    LookupCounter counter;
    client.Connection()->NotifyWindow()->installEventFilter(&counter);

    // The same on an object destroyed while both lookups wait: nothing may reach it later.
    auto* gone = new TClientSocket;
    gone->setHost("localhost");
    gone->setPort(ser.Port());
    gone->Start();
    gone->Start();
    delete gone;

    Interpose::holdLookups(false);
    QTRY_VERIFY(client.Active());
    QTRY_COMPARE(Interpose::lookupsFinished() - finishedBefore, 4);
    spin();
    QCOMPARE(counter.count, 1);
    QCOMPARE(hooked, QStringList{});
}

void tst_net::restartInsideDisconnectKeepsNewSocket() {
    TServerSocket ser;
    QByteArray received;
    ser.OnClientRead = [&](QObject*, TCustomWinSocket* s) { received += s->ReceiveString(); };
    listenOnFreePort(ser);
    TClientSocket client;
    aimAt(client, ser);
    int disconnects = 0;
    client.OnDisconnect = [&](QObject*, TCustomWinSocket*) {
        if (++disconnects == 1)
            client.Start(); // usually gets the number of the socket being closed
    };
    client.Start();
    client.Connection()->CloseConnection(); // while the connect is still pending
    QCOMPARE(disconnects, 1);
    QVERIFY(client.Connection()->SocketId() != -1);
    QTRY_VERIFY(client.Active());
    QCOMPARE(client.Connection()->SendString("again"), 5);
    QTRY_COMPARE(received, QByteArray("again"));
    QCOMPARE(disconnects, 1);
}

void tst_net::connectEagainIsNoConnection() {
    TServerSocket ser;
    listenOnFreePort(ser);
    TClientSocket client;
    aimAt(client, ser);
    QStringList log;
    client.OnConnect = [&](QObject*, TCustomWinSocket*) { log << "connect"; };
    client.OnDisconnect = [&](QObject*, TCustomWinSocket*) { log << "disconnect"; };
    Interpose::failNextConnect(EAGAIN);
    QCOMPARE(errorOf([&] { client.Start(); }),
             QString("Windows socket error: Resource temporarily unavailable (11), on API "
                     "'connect'"));
    QCOMPARE(log, QStringList{"disconnect"});
    spin();
    QCOMPARE(log, QStringList{"disconnect"});
    QVERIFY(!client.Active());
    QVERIFY(!client.Connection()->IsConnected());
    QCOMPARE(client.Connection()->SocketId(), -1);
}

namespace {
// Closes the connection as the first report reaches its endpoint, before it is handled.
class CloseBeforeFirstReport : public QObject {
public:
    explicit CloseBeforeFirstReport(TCustomWinSocket* s) : socket(s) {}
    TCustomWinSocket* socket;
    bool done = false;
    bool eventFilter(QObject*, QEvent* e) override {
        if (!done && e->type() >= QEvent::User) {
            done = true;
            socket->CloseConnection();
        }
        return false;
    }
};
} // namespace

void tst_net::connectReportQueuedBeforeCloseConnection() {
    TServerSocket ser;
    listenOnFreePort(ser);
    TClientSocket client;
    aimAt(client, ser);
    QStringList log;
    client.OnConnect = [&](QObject*, TCustomWinSocket*) { log << "connect"; };
    client.OnDisconnect = [&](QObject*, TCustomWinSocket*) { log << "disconnect"; };
    client.Start();
    CloseBeforeFirstReport closer(client.Connection());
    client.Connection()->NotifyWindow()->installEventFilter(&closer);
    QTRY_VERIFY(closer.done);
    spin();
    QCOMPARE(log, QStringList{"disconnect"});
    QVERIFY(!client.Active());
    QVERIFY(!client.Connection()->IsConnected());

    // Not left half-open: it starts again as usual.
    client.Start();
    QTRY_VERIFY(client.Active());
    QCOMPARE(log, (QStringList{"disconnect", "connect"}));
}

void tst_net::quitDoesNotWaitForBlockedLookup() {
    // Quitting waits for the global thread pool; a lookup stuck in the resolver must not be
    // there.
    Interpose::holdLookups(true);
    const int finishedBefore = Interpose::lookupsFinished();
    {
        TClientSocket client;
        client.setHost("localhost");
        client.setPort(RawPeer::freePort());
        client.Start();
        QVERIFY(client.Connection()->LookupRequest() != 0);
        QVERIFY(QThreadPool::globalInstance()->waitForDone(0));
    }
    Interpose::holdLookups(false);
    QTRY_COMPARE(Interpose::lookupsFinished() - finishedBefore, 1);
    spin();
    QCOMPARE(hooked, QStringList{});
}

namespace {
int entriesIn(const char* directory) {
    return static_cast<int>(
        QDir(directory).entryList(QDir::AllEntries | QDir::NoDotAndDotDot).size());
}

// A worker with its own client loop: blocking reads, echoed with a mark.
class EchoThread : public TServerClientThread {
public:
    using TServerClientThread::TServerClientThread;

protected:
    void ClientExecute() override {
        char buffer[256];
        for (;;) {
            const int n = ClientSocket()->ReceiveBytes(buffer, sizeof buffer);
            if (n <= 0)
                break;
            ClientSocket()->SendString("own:" + QByteArray(buffer, n));
        }
        if (!Terminated())
            ClientSocket()->CloseConnection();
    }
};

// The lists change on the server's threads; read them under their lock.
qsizetype listed(TServerWinSocket* listener, bool threads) {
    QMutexLocker lock(&listener->ListGuard());
    return threads ? listener->ThreadList().size() : listener->ConnectionList().size();
}

QByteArray exchange(int fd, const QByteArray& message) {
    RawPeer::sendAll(fd, message);
    return RawPeer::readAll(fd, static_cast<int>(message.size()) + 4);
}
} // namespace

void tst_net::threadBlockingServerLifeCycle() {
    const int fdsBefore = entriesIn("/proc/self/fd");
    const int threadsBefore = entriesIn("/proc/self/task");
    std::atomic<int> getThreads{0}, starts{0}, ends{0}, connects{0}, accepts{0}, disconnects{0};
    std::atomic<int> onGuiThread{0};
    TServerSocket ser;
    ser.setServerType(stThreadBlocking);
    ser.setThreadCacheSize(4);
    // Every second new worker runs its own client loop; the others the default one.
    ser.OnGetThread = [&](QObject*, TServerClientWinSocket* c, TServerClientThread*& made) {
        if (++getThreads % 2 == 0)
            made = new EchoThread(c);
    };
    ser.OnThreadStart = [&](QObject*, TServerClientThread* t) {
        starts += t->ClientSocket() && t == QThread::currentThread() ? 1 : 1000;
    };
    ser.OnThreadEnd = [&](QObject*, TServerClientThread*) { ++ends; };
    ser.OnClientConnect = [&](QObject*, TCustomWinSocket*) { ++connects; };
    ser.OnAccept = [&](QObject*, TCustomWinSocket*) { ++accepts; };
    ser.OnClientDisconnect = [&](QObject*, TCustomWinSocket*) { ++disconnects; };
    ser.OnClientRead = [&](QObject*, TCustomWinSocket* s) {
        onGuiThread += QThread::currentThread() == qApp->thread();
        s->SendString("def:" + s->ReceiveString());
    };
    listenOnFreePort(ser);
    QVERIFY(ser.Active());
    QVERIFY(ser.Listener()->AcceptThread());

    // 24 peers served at once, each by a worker of its own.
    const int count = 24;
    std::vector<std::unique_ptr<Peer>> peers;
    for (int i = 0; i < count; ++i)
        peers.push_back(std::make_unique<Peer>(RawPeer::connectTo(ser.Port())));
    QMap<QByteArray, int> marks;
    for (int i = 0; i < count; ++i) {
        const QByteArray message = "m" + QByteArray::number(i);
        const QByteArray reply = exchange(peers[i]->fd, message);
        QCOMPARE(reply.mid(4), message);
        ++marks[reply.left(4)];
    }
    QCOMPARE(marks, (QMap<QByteArray, int>{{"def:", count / 2}, {"own:", count / 2}}));
    QCOMPARE(listed(ser.Listener(), false), count);
    QCOMPARE(listed(ser.Listener(), true), count);
    QCOMPARE(connects.load(), count);
    QCOMPARE(accepts.load(), count);
    QCOMPARE(onGuiThread.load(), 0);
    QTRY_COMPARE(entriesIn("/proc/self/task"), threadsBefore + 1 + count);

    // Half the peers leave: their workers end serving; four wait in the cache.
    for (int i = 0; i < count / 2; ++i)
        peers[i].reset();
    QTRY_COMPARE(disconnects.load(), count / 2);
    QTRY_COMPARE(ends.load(), count / 2);
    QTRY_COMPARE(listed(ser.Listener(), true), count / 2 + 4);
    QTRY_COMPARE(listed(ser.Listener(), false), count / 2);

    // New peers are served by cached workers.
    for (int i = 0; i < 2; ++i) {
        peers.push_back(std::make_unique<Peer>(RawPeer::connectTo(ser.Port())));
        QCOMPARE(exchange(peers.back()->fd, "n").mid(4), QByteArray("n"));
    }
    QCOMPARE(getThreads.load(), count);
    QCOMPARE(starts.load(), count + 2);

    // Stop: every worker and connection ends, without disconnect events.
    ser.Stop();
    QVERIFY(!ser.Active());
    QVERIFY(!ser.Listener()->AcceptThread());
    QVERIFY(ser.Listener()->ThreadList().isEmpty());
    QVERIFY(ser.Listener()->ConnectionList().isEmpty());
    QCOMPARE(disconnects.load(), count / 2);
    QCOMPARE(ends.load(), starts.load());
    for (std::size_t i = count / 2; i < peers.size(); ++i)
        QVERIFY(RawPeer::sawClose(peers[i]->fd));
    peers.clear();
    QCOMPARE(entriesIn("/proc/self/fd"), fdsBefore);
    QTRY_COMPARE(entriesIn("/proc/self/task"), threadsBefore);
    QTRY_COMPARE(hooked, QStringList{});
}

void tst_net::stopFromOwnThreadDoesNotCrash() {
    for (const bool inAccept : {false, true}) { // OnClientRead on a worker, OnAccept
        const int threadsBefore = entriesIn("/proc/self/task");
        TServerSocket ser;
        ser.setServerType(stThreadBlocking);
        std::atomic<int> accepts{0}, stops{0};
        auto stopIf = [&](bool now) {
            if (now)
                ser.Stop(), ++stops;
        };
        ser.OnAccept = [&](QObject*, TCustomWinSocket*) { stopIf(++accepts == 2 && inAccept); };
        ser.OnClientRead = [&](QObject*, TCustomWinSocket* s) {
            stopIf(s->ReceiveString() == "stop");
        };
        listenOnFreePort(ser);
        Peer other(RawPeer::connectTo(ser.Port())), stopper(RawPeer::connectTo(ser.Port()));
        RawPeer::sendAll(stopper.fd, "stop");
        QTRY_COMPARE(stops.load(), 1);
        QVERIFY(RawPeer::sawClose(other.fd) && RawPeer::sawClose(stopper.fd));
        QTRY_COMPARE(entriesIn("/proc/self/task"), threadsBefore);
        QTRY_COMPARE(listed(ser.Listener(), false), 0);
    }
    QCOMPARE(hooked, QStringList{});
}

void tst_net::finishedWorkersAreJoinedWithoutAnotherAccept() {
    TServerSocket ser;
    ser.setServerType(stThreadBlocking);
    ser.setThreadCacheSize(0);
    QPointer<TServerClientThread> worker;
    ser.OnGetThread = [&](QObject*, TServerClientWinSocket* c, TServerClientThread*& made) {
        worker = made = new TServerClientThread(c);
    };
    listenOnFreePort(ser);
    auto peer = std::make_unique<Peer>(RawPeer::connectTo(ser.Port()));
    QTRY_VERIFY(worker);
    peer.reset();
    QTRY_VERIFY(!worker); // freed once it ends, though no further accept comes
}

QTEST_GUILESS_MAIN(tst_net)
#include "tst_net.moc"
