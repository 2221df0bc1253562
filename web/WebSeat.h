#pragma once

#include "client/RoomClient.h"
#include "net/Sockets.h"
#include "protocol/RoomState.h"
#include "protocol/RoomView.h"
#include "web/PageLines.h"
#include "web/PageSocket.h"

#include <QDateTime>
#include <QJsonObject>
#include <QObject>
#include <QPointer>
#include <QTimer>
#include <deque>
#include <functional>
#include <limits>
#include <memory>
#include <optional>
#include <vector>
class WebThread;

// One browser's seat: a headless room client on a loopback connection to the
// room's own port, so the room sees exactly what a desktop participant sends. What
// the room sends it comes in-process (fromRoom), as one read, without the kernel.
// It outlives its page's connection for a while, so a phone that slept can come
// back to the same seat and the messages it missed.
class WebSeat : public QObject, private RoomView {
    Q_OBJECT
public:
    // How long a seat waits for its page to come back.
    static constexpr int kKeepMs = 60000;
    // Where a desktop whisper window blocks after a whisper, the seat queues.
    static constexpr int kWhisperQuietMs = 200;
    // Requests waiting out that pause: no one types faster, and a page that sends faster
    // must not grow the host's memory with them.
    static constexpr std::size_t kMaxQueued = 64;

    // A message the room said before this seat came, as the room's record keeps it.
    struct Said {
        QDateTime arrived;
        QByteArray message; // "&S" + line, or "&G" + notice
    };
    // Earlier talk is sent in frames of at most this much, ahead of the welcome.
    static constexpr qsizetype kHistoryPiece = 32 * 1024;
    // Sends `kept` as "history" frames of about kHistoryPiece each, every line made by
    // `one`; the last frame says there is no more.
    static void sendInPieces(const QList<Said>& kept,
                             const std::function<QJsonObject(const Said&)>& one,
                             const std::function<void(const QJsonObject&)>& send);

    // `lines` makes the frames for the room's lines, shared by every seat of the gateway.
    WebSeat(quint16 roomPort, PageLines& lines, QObject* parent = nullptr);
    ~WebSeat() override;

    // The largest picture its page shows inline: the host's own setting.
    void setPictureLimit(qint64 bytes) { pictureLimit_ = bytes; }
    void setKeepMs(int ms) { keep_.setInterval(ms); }
    // Where earlier talk comes from, asked once the room has let the seat in.
    void setHistory(std::function<std::optional<QList<Said>>()> history) {
        history_ = std::move(history);
    }

    // Tries to take a seat under that nickname; false when the attempt ended at
    // once (what the desktop refuses before connecting), its notice already sent.
    bool join(PageSocket* page, const QString& nickname);
    // A page comes back: everything after its last seen message is sent again.
    void attach(PageSocket* page, qint64 lastSeen);
    // The page's connection dropped: the seat waits for it.
    void detach();
    // A request of the page other than join and resume.
    void request(const QJsonObject& message);
    // One read of what the room sent this seat's connection.
    void fromRoom(QByteArrayView read);

    QByteArray token() const { return token_; }
    // The loopback port the room sees this seat's connection come from.
    quint16 localPort() const { return localPort_; }
    PageSocket* page() const { return page_; }

signals:
    // The seat is over; the gateway lets it go.
    void finished(WebSeat* seat);

private:
    // What was sent lately, numbered, for a page that comes back: a frame's own body, or a
    // run of the gateway's shared lines (those every seat the read reached was shown alike).
    struct Sent {
        qint64 number = 0; // of the first frame
        QByteArray body;   // empty for a run, and for a list of users a newer one replaced
        quint64 firstShared = 0;
        qsizetype sharedLines = 0;
        qsizetype bytes = 0;
        qsizetype frames() const { return sharedLines > 0 ? sharedLines : 1; }
    };

    void send(QJsonObject message);
    void serveQueue();
    void handle(const QJsonObject& message);
    void talk(const QString& to, const QString& text);
    void openWhisper(const QString& nickname);
    bool whisper(const QString& peer, const QString& text);
    bool encodable(const QJsonObject& request, const QString& text);
    bool inUserList(const QByteArray& nickname) const;
    void end();

    // RoomView, as a page sees it.
    void setStatus(const QString& text) override;
    void showNotice(const QString& text) override;
    bool confirm(const QString&) override { return false; }
    std::optional<QString> askText(const QString&, const QString&) override { return {}; }
    void focusField(Field) override {}
    void enterSession(bool asHost, const QByteArray& nickname, const QByteArray& roomName) override;
    void leaveSession(bool toSettingsPage) override;
    void appendLog(const QByteArray& line) override;
    void setUserList(const QList<QByteArray>& nicknames) override;
    std::optional<QByteArray> selectedUser() const override { return std::nullopt; }
    void removeSelectedUser() override {}
    void setOnlineCount(int count) override;
    void reportErrorLater(const QString& text) override;
    WhisperPeer* createWhisper(int slot) override;
    void setWhisperCaption(WhisperPeer* window, const QByteArray& peerName) override;
    void setWhisperPeer(WhisperPeer* window, const QByteArray& seatField) override;
    void appendWhisper(WhisperPeer* window, const QByteArray& line) override;
    void showWhisper(WhisperPeer* window) override;
    void focusWhisperInput(WhisperPeer* window) override;
    // The room client never pauses; the host does.
    void pause(int) override {}

    // Keeps a frame's body (a JSON object without its number) for a page that comes
    // back, numbered, and adds its frame to `out`.
    void keep(const QByteArray& body, QByteArray& out);
    // The same for the lines of a read that every seat is shown alike: kept as one run of
    // the lines the gateway shares, not line by line.
    void keepShared(const PageLines::Read& read, QByteArray& out);
    // The same for a list of users, which replaces the one kept before it.
    void keepUsers(const QByteArray& body, QByteArray& out);
    void remember(Sent sent);
    void toPage(const QByteArray& frames);
    void handleRead(QByteArrayView read);
    void sendHistory();
    void sendThread(const char* type, const WebThread& thread, bool focus = false);

    quint16 roomPort_;
    RoomState room_;
    TClientSocket client_;
    RoomClient roomClient_;
    std::vector<std::unique_ptr<WebThread>> threads_;
    QList<QByteArray> users_;
    PageLines& lines_;
    QPointer<PageSocket> page_;
    QByteArray token_;
    quint16 localPort_ = 0;
    bool entered_ = false;
    std::function<std::optional<QList<Said>>()> history_;
    bool historyAsked_ = false;
    bool ending_ = false;
    qint64 pictureLimit_ = qint64(10) << 20;

    std::deque<Sent> kept_;
    qsizetype keptBytes_ = 0;
    qsizetype keptFrames_ = 0;
    qint64 lastNumber_ = 0;
    qint64 lastUsers_ = 0; // the number of the last list of users sent

    std::deque<QJsonObject> queue_;
    std::deque<QByteArray> early_; // what the room sent before the connected event
    QTimer quiet_;
    QTimer keep_;
};
