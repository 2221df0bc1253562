#pragma once

#include <QtGlobal>
#include <cstdint>
#include <functional>

class QObject;
class TCustomWinSocket;
class TServerClientWinSocket;
// The thread-blocking server's threads.
class TServerAcceptThread;
class TServerClientThread;

enum TClientType { ctNonBlocking = 0, ctBlocking = 1 };
enum TServerType { stNonBlocking = 0, stThreadBlocking = 1 };

enum TSocketEventKind {
    sekLookup = 0,
    sekConnecting = 1,
    sekConnect = 2,
    sekDisconnect = 3,
    sekListen = 4,
    sekAccept = 5,
    sekWrite = 6,
    sekRead = 7
};

enum TErrorEvent {
    errGeneral = 0,
    errSend = 1,
    errReceive = 2,
    errConnect = 3,
    errDisconnect = 4,
    errAccept = 5,
    errLookup = 6
};

// Watched network events; bit values of the readiness-notification flags.
enum TWatchedEvent : quint8 {
    nwRead = 1,
    nwWrite = 2,
    nwOutOfBand = 4,
    nwAccept = 8,
    nwConnect = 16,
    nwClose = 32
};
using TWatchedEvents = quint8;
constexpr TWatchedEvents WatchConnection = nwRead | nwWrite | nwConnect | nwClose; // 51
constexpr TWatchedEvents WatchListener = nwAccept;                                 // 8

enum TLookupStage : quint8 { lkIdle = 0, lkAddress = 1, lkService = 2 };

using TSocketNotifyEvent = std::function<void(QObject* Sender, TCustomWinSocket* Socket)>;
using TSocketErrorEvent = std::function<void(QObject* Sender, TCustomWinSocket* Socket,
                                             TErrorEvent ErrorEvent, int& ErrorCode)>;
using TGetSocketEvent =
    std::function<void(QObject* Sender, int Socket, TServerClientWinSocket*& ClientSocket)>;
using TGetThreadEvent = std::function<void(QObject* Sender, TServerClientWinSocket* ClientSocket,
                                           TServerClientThread*& SocketThread)>;
using TThreadNotifyEvent = std::function<void(QObject* Sender, TServerClientThread* Thread)>;

// Where a connection object reports its events and errors (its owner installs these).
using TSocketEventSink =
    std::function<void(TCustomWinSocket* Sender, TCustomWinSocket* Socket, TSocketEventKind Kind)>;
using TSocketErrorSink = std::function<void(TCustomWinSocket* Sender, TCustomWinSocket* Socket,
                                            TErrorEvent ErrorEvent, int& ErrorCode)>;

// Reported for a client started with neither host nor address.
constexpr int NoAddressErrorCode = 1110;
