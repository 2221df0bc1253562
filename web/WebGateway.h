#pragma once

#include "web/Budget.h"
#include "web/FileStore.h"
#include "web/Owner.h"
#include "web/PageConnection.h"
#include "web/PageLines.h"
#include "web/WebLimits.h"
#include "web/WebSeat.h"

#include <QElapsedTimer>
#include <QHash>
#include <QJsonObject>
#include <QObject>
#include <QString>
#include <QTcpServer>
#include <QTimer>
#include <functional>
#include <memory>
#include <optional>
#include <unordered_map>

class QTcpSocket;
struct HttpRequest;

// The host's web surface on the room's port + 1: the page over HTTP and its
// WebSocket, each joined page a WebSeat on the room's own port. Nothing is
// trusted before a seat: a connection without one may only join, resume or prove
// that a desktop copy holds a seat in the room.
class WebGateway : public QObject {
    Q_OBJECT
public:
    // Takes one read's bytes for a seat, in this process.
    using Reader = std::function<void(QByteArrayView read)>;
    // Tells the host which browser a loopback connection from that port stands for, and
    // how to hand its seat what the room sends it.
    using AddressNote =
        std::function<void(quint16 loopbackPort, const QString& address, Reader reader)>;
    using AddressForget = std::function<void(quint16 loopbackPort)>;
    // The room's seated connection with exactly that peer endpoint, if there is one.
    struct Holder {
        quint64 serial = 0; // the seat's, for as long as its holder stays
        QString nickname;
    };
    // What the room kept of its talk, for whoever takes a seat: nothing when it keeps none.
    using History = std::function<std::optional<QList<WebSeat::Said>>()>;
    struct Room {
        std::function<std::optional<Holder>(const QString& address, quint16 port)> seatAt;
        std::function<bool(const QString& address)> isBanned;
        std::function<QString()> hostNickname;
        History history;
    };

    static constexpr qint64 kMaxMessage = WebLimits::kMaxMessage;
    static constexpr qint64 kAckBytes = WebLimits::kAckBytes;
    static constexpr int kUploadHeader = WebLimits::kUploadHeader;

    explicit WebGateway(QObject* parent = nullptr);
    ~WebGateway() override;

    void setAddressBook(AddressNote note, AddressForget forget);
    void setRoom(Room room) { room_ = std::move(room); }
    void setLimits(const WebLimits& limits);
    const WebLimits& limits() const { return limits_; }
    // Shorter waits for tests.
    void setSeatKeepMs(int ms) { limits_.seatKeepMs = ms; }
    // Pictures up to this many bytes show inline in the pages: the host's setting.
    void setPictureLimit(qint64 bytes) { pictureLimit_ = bytes; }
    void setDeadlineMs(int ms);
    // Listens on every IPv4 address; false with the reason when the port is taken.
    bool start(quint16 webPort, quint16 roomPort, QString* error = nullptr);
    // Ends every page and every seat.
    void stop();
    bool isRunning() const { return http_.isListening(); }
    quint16 port() const { return http_.serverPort(); }
    int seatCount() const { return static_cast<int>(seats_.size()); }
    // The proof the host's own copy gives for its files: it never leaves this process.
    QByteArray hostKey() const { return hostKey_; }
    // A participant of the room left for good: what it had not finished sending goes.
    void seatLeft(quint64 serial);

    // Where the room's files are kept (a private folder is made inside), and how much.
    void setFileFolder(const QString& folder);
    void setFileLimits(const FileStore::Limits& limits);
    // The room's files while it runs, else null.
    FileStore* files() { return files_.get(); }
    // The address offers name when the uploader reached us on a loopback address.
    void setPublicAddress(const QString& address) { publicAddress_ = address; }

    // A connection without a socket, answered through the sink: what the gateway does
    // with its messages is then driven directly (fuzzing).
    PageConnection* openDetached(const QString& address, PageConnection::Sink sink);
    void text(PageConnection* page, const QString& text);
    void binary(PageConnection* page, const QByteArray& frame);
    void gone(PageConnection* page);
    // What the gateway holds now, for checks that nothing outlives its owner.
    int connectionCount() const { return static_cast<int>(pages_.size()); }
    int uploadCount() const { return static_cast<int>(uploads_.size()); }
    // Drops what waited too long; runs every second on its own.
    void sweep();

private:
    struct Upload {
        Owner owner;
        QJsonObject where; // "to" or "peer": where the offer goes when it is in
        QString base;      // "http://host:port" as the uploader reached us
        qint64 acked = 0;
        bool stalled = false; // refused once; frames still in flight are dropped quietly
        QJsonValue id;
        qint64 lastBytesMs = 0;
        bool picture = false; // offered as a picture: its line carries the picture's mark
    };
    struct SeatOf {
        Owner owner;
        QString nickname;
    };

    // HTTP, in WebGateway.cpp.
    void accept();
    void readHead(QTcpSocket* socket);
    void answer(QTcpSocket* socket, const QByteArray& method, const QByteArray& path);
    void upgrade(QTcpSocket* socket, const HttpRequest& request);
    bool startDownload(QTcpSocket* socket);
    // Pages and seats, in WebGatewayPages.cpp.
    void openPage(PageSocket* socket);
    PageConnection* adopt(std::unique_ptr<PageConnection> page);
    void refuse(PageConnection* page, const QString& text);
    void join(PageConnection* page, const QString& nickname);
    void resume(PageConnection* page, const QByteArray& token, qint64 lastSeen);
    bool prove(PageConnection* page, const QJsonObject& message);
    void giveHistory(PageConnection* page);
    void seatFinished(WebSeat* seat);
    void ownerGone(const Owner& owner);
    int waitingPages() const;
    int waitingFrom(const QString& address) const;
    PageConnection* pageOf(PageSocket* socket) const;
    qint64 nowMs() const { return clock_.elapsed(); }
    // Files, in WebGatewayFiles.cpp.
    void fileRequest(PageConnection* page, const QJsonObject& message);
    void fileOffer(PageConnection* page, const QJsonObject& message);
    void fileResume(PageConnection* page, const QByteArray& token);
    void fileData(PageConnection* page, const QByteArray& frame);
    void fileDone(PageConnection* page, const QByteArray& token);
    void fileRefused(PageConnection* page, const QJsonObject& about, const QString& text);
    QString baseUrl(const PageConnection* page) const;

    QTcpServer http_;
    WebLimits limits_;
    qint64 pictureLimit_ = qint64(10) << 20;
    Room room_;
    quint16 roomPort_ = 0;
    QByteArray hostKey_;
    QElapsedTimer clock_;
    QTimer sweep_;
    // HTTP connections still asking, and downloads, by address.
    QHash<QString, int> asking_;
    QHash<QString, int> downloading_;
    int askingTotal_ = 0;
    int downloadingTotal_ = 0;
    std::unordered_map<const void*, std::unique_ptr<PageConnection>> pages_; // by socket or self
    QHash<QByteArray, WebSeat*> seats_;                                      // by resume token
    QHash<WebSeat*, SeatOf> seatOf_;
    quint64 nextPageSerial_ = 0;
    AddressNote note_;
    AddressForget forget_;
    QString fileFolder_;
    std::unique_ptr<FileStore> files_;
    QHash<QByteArray, Upload> uploads_; // by file token, while the file is coming
    QHash<Owner, Budget> offerBudget_;
    QHash<QString, Budget> joinBudget_; // by address
    PageLines lines_;
    QString publicAddress_;
};
