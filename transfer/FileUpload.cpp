#include "transfer/FileUpload.h"

#include "protocol/UploadFrame.h"

#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QtEndian>

namespace {

constexpr qint64 kWindow = 4 << 20;
constexpr qint64 kChunk = uploadframe::kMaxMessage - uploadframe::kHeader;

} // namespace

FileUpload::FileUpload(const QString& path, const QString& hostAddress, quint16 webPort,
                       const QString& nickname, const Proof& proof, QObject* parent)
    : QObject(parent), file_(path), host_(hostAddress), port_(webPort), nickname_(nickname),
      proof_(proof), socket_(QStringLiteral("http://%1:%2").arg(hostAddress).arg(webPort)) {
    connect(&socket_, &QWebSocket::connected, this, [this] {
        opened_ = true;
        const QFileInfo info(file_);
        QJsonObject offer{{QStringLiteral("type"), QStringLiteral("fileOffer")},
                          {QStringLiteral("id"), 1},
                          {QStringLiteral("from"), nickname_},
                          {QStringLiteral("name"), info.fileName()},
                          {QStringLiteral("size"), file_.size()}};
        if (picture_)
            offer.insert(QStringLiteral("picture"), true);
        if (!proof_.hostKey.isEmpty())
            offer.insert(QStringLiteral("hostKey"), QString::fromLatin1(proof_.hostKey));
        else
            offer.insert(QStringLiteral("seatPort"), proof_.seatPort);
        socket_.sendTextMessage(
            QString::fromUtf8(QJsonDocument(offer).toJson(QJsonDocument::Compact)));
    });
    connect(&socket_, &QWebSocket::textMessageReceived, this, &FileUpload::message);
    connect(&socket_, &QWebSocket::bytesWritten, this, [this] { pump(); });
    // A refused connection or handshake may end without a disconnected signal.
    connect(
        &socket_, qOverload<QAbstractSocket::SocketError>(&QWebSocket::error), this,
        [this](QAbstractSocket::SocketError) {
            if (!opened_)
                fail(QStringLiteral("主机 %1 的端口 %2 上没有网页服务,不能发送文件:"
                                    "它可能是旧版本,或者没有开\"允许网页加入\"。什么也没有发出去。")
                         .arg(host_)
                         .arg(port_));
        });
    connect(&socket_, &QWebSocket::disconnected, this, [this] {
        if (!opened_)
            fail(QStringLiteral("主机 %1 的端口 %2 上没有网页服务,不能发送文件:"
                                "它可能是旧版本,或者没有开\"允许网页加入\"。什么也没有发出去。")
                     .arg(host_)
                     .arg(port_));
        else
            fail(QStringLiteral("和主机的连接断了,文件没有发完。"));
    });
}

FileUpload::~FileUpload() {
    // The socket closes after the members its signals would reach: nothing is told then.
    socket_.disconnect(this);
}

QString FileUpload::fileName() const {
    return QFileInfo(file_).fileName();
}

void FileUpload::start() {
    if (!file_.open(QIODevice::ReadOnly)) {
        fail(QStringLiteral("打不开文件 %1:%2").arg(file_.fileName(), file_.errorString()));
        return;
    }
    socket_.open(QUrl(QStringLiteral("ws://%1:%2/ws").arg(host_).arg(port_)));
}

void FileUpload::cancel() {
    if (over_)
        return;
    if (!token_.isEmpty())
        socket_.sendTextMessage(QStringLiteral(R"({"type":"fileCancel","token":"%1"})")
                                    .arg(QString::fromLatin1(token_)));
    over_ = true;
    socket_.close();
}

void FileUpload::fail(const QString& word) {
    if (over_)
        return;
    over_ = true;
    socket_.abort();
    emit failed(word);
}

void FileUpload::message(const QString& text) {
    const QJsonObject m = QJsonDocument::fromJson(text.toUtf8()).object();
    const QString type = m.value(QStringLiteral("type")).toString();
    if (type == QStringLiteral("fileReady")) {
        token_ = m.value(QStringLiteral("token")).toString().toLatin1();
        sent_ = acked_ = m.value(QStringLiteral("have")).toInteger();
        file_.seek(sent_);
        emit progress(acked_, file_.size());
        pump();
    } else if (type == QStringLiteral("fileHave")) {
        acked_ = m.value(QStringLiteral("have")).toInteger();
        emit progress(acked_, file_.size());
        pump();
    } else if (type == QStringLiteral("fileDone")) {
        emit progress(file_.size(), file_.size());
        over_ = true;
        socket_.close();
        emit done(m.value(QStringLiteral("text")).toString());
    } else if (type == QStringLiteral("fileRefused") || type == QStringLiteral("refused")) {
        fail(m.value(QStringLiteral("text")).toString());
    }
}

void FileUpload::pump() {
    // Only as far ahead of the host's disk as the window, and of our socket as a frame.
    while (!over_ && !token_.isEmpty() && sent_ < file_.size() && sent_ - acked_ < kWindow &&
           socket_.bytesToWrite() < kChunk * 4) {
        QByteArray frame = token_;
        frame.resize(uploadframe::kHeader);
        qToBigEndian<qint64>(sent_, frame.data() + 32);
        const QByteArray piece = file_.read(kChunk);
        if (piece.isEmpty()) {
            fail(QStringLiteral("读文件失败:%1").arg(file_.errorString()));
            return;
        }
        frame += piece;
        socket_.sendBinaryMessage(frame);
        sent_ += piece.size();
    }
}
