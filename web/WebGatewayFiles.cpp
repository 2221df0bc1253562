// Files a page sends to the room: announced in JSON, carried in binary frames,
// written to the room's store as they arrive, and offered as a line when complete.
#include "protocol/FileOffer.h"
#include "web/FileStore.h"
#include "web/WebGateway.h"
#include "web/WebSeat.h"

#include <QJsonDocument>
#include <QtEndian>

namespace {

QString json(const QJsonObject& o) {
    return QString::fromUtf8(QJsonDocument(o).toJson(QJsonDocument::Compact));
}

bool isLoopback(const QString& host) {
    return host.isEmpty() || host == QStringLiteral("localhost") ||
           host.startsWith(QStringLiteral("127."));
}

} // namespace

QString WebGateway::baseUrl(const PageConnection* page) const {
    QString host = page->socket() != nullptr ? page->socket()->host() : QString();
    if (isLoopback(host) && !publicAddress_.isEmpty())
        host = publicAddress_;
    if (host.isEmpty())
        host = QStringLiteral("127.0.0.1");
    if (host.contains(QLatin1Char(':')))
        host = QLatin1Char('[') + host + QLatin1Char(']');
    return QStringLiteral("http://%1:%2").arg(host).arg(port());
}

void WebGateway::fileRefused(PageConnection* page, const QJsonObject& about, const QString& text) {
    QJsonObject answer = about;
    answer.insert(QStringLiteral("type"), QStringLiteral("fileRefused"));
    answer.insert(QStringLiteral("text"), text);
    page->send(json(answer));
}

void WebGateway::fileRequest(PageConnection* page, const QJsonObject& message) {
    const QString type = message.value(QStringLiteral("type")).toString();
    const QByteArray token = message.value(QStringLiteral("token")).toString().toLatin1();
    if (!files_) {
        refuse(page, QStringLiteral("不能发送文件"));
    } else if (type == QStringLiteral("fileOffer")) {
        fileOffer(page, message);
    } else if (type == QStringLiteral("fileResume")) {
        fileResume(page, token);
    } else if (type == QStringLiteral("fileCancel")) {
        const auto it = uploads_.find(token);
        if (it != uploads_.end() && it->owner == page->owner) {
            uploads_.erase(it);
            files_->remove(token);
        }
        page->send(json({{QStringLiteral("type"), QStringLiteral("fileCancelled")},
                         {QStringLiteral("token"), QString::fromLatin1(token)}}));
    } else {
        refuse(page, QStringLiteral("不明白的请求"));
    }
}

void WebGateway::fileOffer(PageConnection* page, const QJsonObject& message) {
    const QJsonObject about{{QStringLiteral("id"), message.value(QStringLiteral("id"))}};
    // Offers are metered per seat as talk is, so one cannot keep the host busy with them.
    auto budget = offerBudget_.find(page->owner);
    if (budget == offerBudget_.end())
        budget = offerBudget_.insert(page->owner, Budget(limits_.offerBurst, limits_.offerEveryMs));
    if (!budget->take(nowMs())) {
        fileRefused(page, about, QStringLiteral("发得太快了,请过一会儿再发"));
        return;
    }
    QJsonObject where;
    if (page->state == PageConnection::State::Seated) {
        for (const char* key : {"to", "peer"}) {
            const QString k = QString::fromLatin1(key);
            if (message.value(k).isString())
                where.insert(k, message.value(k));
        }
        if (where.isEmpty()) {
            fileRefused(page, about, QStringLiteral("请选择说话对象!"));
            return;
        }
    } // a desktop copy says the offer line itself, once the file is in
    QString refusal;
    const QByteArray token =
        files_->begin(page->owner, page->nickname, message.value(QStringLiteral("name")).toString(),
                      message.value(QStringLiteral("size")).toInteger(-1), &refusal);
    if (token.isEmpty()) {
        fileRefused(page, about, refusal);
        return;
    }
    uploads_.insert(token, Upload{page->owner, where, baseUrl(page), 0, false,
                                  message.value(QStringLiteral("id")), nowMs(),
                                  message.value(QStringLiteral("picture")).toBool()});
    if (files_->find(token)->complete()) { // nothing to wait for
        fileDone(page, token);
        return;
    }
    fileResume(page, token);
}

void WebGateway::fileResume(PageConnection* page, const QByteArray& token) {
    const auto it = uploads_.find(token);
    const FileStore::File* file = files_->find(token);
    if (it == uploads_.end() || file == nullptr || it->owner != page->owner) {
        fileRefused(page, {{QStringLiteral("token"), QString::fromLatin1(token)}},
                    QStringLiteral("主机上已经没有这个文件了"));
        return;
    }
    it->stalled = false;
    it->lastBytesMs = nowMs();
    it->acked = file->have;
    page->send(json({{QStringLiteral("type"), QStringLiteral("fileReady")},
                     {QStringLiteral("id"), it->id},
                     {QStringLiteral("token"), QString::fromLatin1(token)},
                     {QStringLiteral("have"), file->have}}));
}

void WebGateway::fileData(PageConnection* page, const QByteArray& frame) {
    const QByteArray token = frame.left(32);
    const auto it = uploads_.find(token);
    if (frame.size() < kUploadHeader || it == uploads_.end() || !files_ ||
        it->owner != page->owner || !page->owner.isSomebody()) {
        refuse(page, QStringLiteral("没有这个正在发送的文件"));
        return;
    }
    if (it->stalled)
        return;
    it->lastBytesMs = nowMs();
    if (files_->find(token) == nullptr) { // the host removed it
        uploads_.erase(it);
        fileRefused(page, {{QStringLiteral("token"), QString::fromLatin1(token)}},
                    QStringLiteral("主持人删掉了这个文件"));
        return;
    }
    const qint64 offset = qFromBigEndian<qint64>(frame.constData() + 32);
    QString refusal;
    if (!files_->write(token, offset, QByteArrayView(frame).sliced(kUploadHeader), &refusal)) {
        it->stalled = true; // until the page asks where to go on from
        fileRefused(page,
                    {{QStringLiteral("token"), QString::fromLatin1(token)},
                     {QStringLiteral("have"), files_->find(token)->have}},
                    refusal);
        return;
    }
    const FileStore::File* file = files_->find(token);
    if (file->complete()) {
        fileDone(page, token);
    } else if (file->have - it->acked >= kAckBytes) {
        it->acked = file->have;
        page->send(json({{QStringLiteral("type"), QStringLiteral("fileHave")},
                         {QStringLiteral("token"), QString::fromLatin1(token)},
                         {QStringLiteral("have"), file->have}}));
    }
}

void WebGateway::fileDone(PageConnection* page, const QByteArray& token) {
    const Upload upload = uploads_.take(token);
    const FileStore::File* file = files_->find(token);
    const QString text = fileoffer::text(file->name, file->size, upload.base,
                                         QString::fromLatin1(token), upload.picture);
    page->send(json({{QStringLiteral("type"), QStringLiteral("fileDone")},
                     {QStringLiteral("id"), upload.id},
                     {QStringLiteral("token"), QString::fromLatin1(token)},
                     {QStringLiteral("have"), file->size},
                     {QStringLiteral("sha256"), QString::fromLatin1(file->sha256.toHex())},
                     {QStringLiteral("text"), text}}));
    // A page's offer goes into the room as its own talk or whisper line.
    WebSeat* seat = page->seat;
    if (upload.owner.kind != Owner::Kind::Page || seat == nullptr)
        return;
    QJsonObject line = upload.where;
    line.insert(QStringLiteral("type"), upload.where.contains(QStringLiteral("peer"))
                                            ? QStringLiteral("whisper")
                                            : QStringLiteral("talk"));
    line.insert(QStringLiteral("text"), text);
    seat->request(line);
}
