#pragma once

#include "web/FileStore.h"

#include <QHash>
#include <QJsonObject>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QTcpServer>
#include <QWebSocketServer>
#include <functional>
#include <memory>

class QTcpSocket;
class QWebSocket;
class WebSeat;

// The host's web surface on the room's port + 1: the page over HTTP and its
// WebSocket, each joined page a WebSeat on the room's own port.
class WebGateway : public QObject {
    Q_OBJECT
public:
    // Tells the host which browser a loopback connection from that port stands for.
    using AddressNote = std::function<void(quint16 loopbackPort, const QString& address)>;
    using AddressForget = std::function<void(quint16 loopbackPort)>;

    static constexpr qint64 kMaxMessage = 64 * 1024;
    // Pages that have not joined, and HTTP connections that have not finished asking.
    static constexpr int kMaxWaitingPages = 16;
    static constexpr int kMaxHttpConnections = 64;
    static constexpr int kDeadlineMs = 10000;

    explicit WebGateway(QObject* parent = nullptr);
    ~WebGateway() override;

    void setAddressBook(AddressNote note, AddressForget forget);
    // How long a dropped page's seat waits for it (a minute; tests wait less).
    void setSeatKeepMs(int ms) { seatKeepMs_ = ms; }
    // How long a connection may take to ask, and a page to join (tests wait less).
    void setDeadlineMs(int ms) {
        deadlineMs_ = ms;
        ws_.setHandshakeTimeout(ms);
    }
    // Listens on every IPv4 address; false with the reason when the port is taken.
    bool start(quint16 webPort, quint16 roomPort, QString* error = nullptr);
    // Ends every page and every seat.
    void stop();
    bool isRunning() const { return http_.isListening(); }
    quint16 port() const { return http_.serverPort(); }
    int seatCount() const { return static_cast<int>(seats_.size()); }

    // Where the room's files are kept (a private folder is made inside), and how much.
    void setFileFolder(const QString& folder);
    void setFileLimits(const FileStore::Limits& limits);
    // The room's files while it runs, else null.
    FileStore* files() { return files_.get(); }
    // The address offers name when the uploader reached us on a loopback address.
    void setPublicAddress(const QString& address) { publicAddress_ = address; }

    // A page may have this much of an upload unacknowledged; the host answers
    // with how much it has every kAckBytes, so a page never gets far ahead of the disk.
    static constexpr qint64 kAckBytes = 1 << 20;
    static constexpr int kUploadHeader = 40; // 32 hex digits of token, 8 bytes of offset

private:
    struct Page {
        WebSeat* seat = nullptr;
        QString address;
        bool joining = false;
        bool uploading = false; // kept open without a seat while it sends a file
    };
    struct Upload {
        QByteArray senderKey;
        QJsonObject where; // "to" or "peer": where the offer goes when it is in
        QString base;      // "http://host:port" as the uploader reached us
        qint64 acked = 0;
        bool stalled = false; // refused once; frames still in flight are dropped quietly
        QJsonValue id;
    };

    void accept();
    void readHead(QTcpSocket* socket);
    void answer(QTcpSocket* socket, const QByteArray& method, const QByteArray& path);
    void upgrade(QTcpSocket* socket);
    void openPage(QWebSocket* page);
    void pageMessage(QWebSocket* page, const QString& text);
    void pageGone(QWebSocket* page);
    void refuse(QWebSocket* page, const QString& text);
    void join(QWebSocket* page, const QString& nickname);
    void resume(QWebSocket* page, const QByteArray& token, qint64 lastSeen);
    void seatFinished(WebSeat* seat);
    int waitingPages() const;
    // Files, in WebGatewayFiles.cpp.
    void fileRequest(QWebSocket* page, const QJsonObject& message);
    void fileOffer(QWebSocket* page, const QJsonObject& message);
    void fileResume(QWebSocket* page, const QByteArray& token);
    void fileData(QWebSocket* page, const QByteArray& frame);
    void fileDone(QWebSocket* page, const QByteArray& token);
    void fileRefused(QWebSocket* page, const QJsonObject& about, const QString& text);
    QByteArray senderKey(QWebSocket* page, const QString& from) const;
    QString baseUrl(QWebSocket* page) const;

    QTcpServer http_;
    QWebSocketServer ws_;
    quint16 roomPort_ = 0;
    int seatKeepMs_;
    int deadlineMs_ = kDeadlineMs;
    int httpConnections_ = 0;
    QHash<QWebSocket*, Page> pages_;
    QHash<QByteArray, WebSeat*> seats_; // by resume token
    AddressNote note_;
    AddressForget forget_;
    QString fileFolder_;
    FileStore::Limits fileLimits_;
    std::unique_ptr<FileStore> files_;
    QHash<QByteArray, Upload> uploads_;    // by file token, while the file is coming
    QHash<QByteArray, QString> seatNames_; // by seat token: who a seat's files are from
    QHash<QWebSocket*, QString> pageFrom_; // a seatless uploader's own word for its name
    QString publicAddress_;
};
