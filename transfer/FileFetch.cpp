#include "transfer/FileFetch.h"

#include <QDir>
#include <QFileInfo>
#include <QThreadPool>

namespace {

QByteArray headerOf(const QByteArray& head, const QByteArray& name) {
    for (const QByteArray& line : head.split('\n')) {
        if (line.toLower().startsWith(name + ':'))
            return line.mid(name.size() + 1).trimmed();
    }
    return {};
}

} // namespace

FileFetch::FileFetch(const QUrl& url, const QString& target, QObject* parent)
    : QObject(parent), url_(url), target_(target), part_(target + QStringLiteral(".part")) {
    connect(&hashing_, &QFutureWatcher<Hashed>::finished, this, &FileFetch::partHashed);
}

// A job still reading a big .part stops at its next piece.
FileFetch::~FileFetch() {
    hashing_.cancel();
}

void FileFetch::request(bool headOnly) {
    if (socket_) {
        socket_->disconnect(this);
        socket_->abort();
        socket_->deleteLater();
    }
    headOnly_ = headOnly;
    head_.clear();
    inBody_ = false;
    socket_ = new QTcpSocket(this);
    connect(socket_, &QTcpSocket::connected, this, [this] {
        QByteArray request = (headOnly_ ? "HEAD " : "GET ") +
                             url_.path(QUrl::FullyEncoded).toLatin1() +
                             " HTTP/1.1\r\nHost: " + url_.authority().toLatin1() + "\r\n";
        if (have_ > 0 && !headOnly_)
            request += "Range: bytes=" + QByteArray::number(have_) + "-\r\n";
        socket_->write(request + "Connection: close\r\n\r\n");
    });
    connect(socket_, &QTcpSocket::readyRead, this, [this] { inBody_ ? readBody() : readHead(); });
    connect(socket_, &QTcpSocket::disconnected, this, [this] {
        if (!over_)
            fail(QStringLiteral("和主机的连接断了,已收到 %1 字节,保存在 %2,可以继续接收。")
                     .arg(have_)
                     .arg(partPath()));
    });
    connect(socket_, &QTcpSocket::errorOccurred, this, [this](QAbstractSocket::SocketError e) {
        if (e != QAbstractSocket::RemoteHostClosedError && !over_)
            fail(QStringLiteral("连不上主机:%1").arg(socket_->errorString()));
    });
    socket_->connectToHost(url_.host(), static_cast<quint16>(url_.port(80)));
}

QString FileFetch::freeName(const QString& path) {
    if (!QFileInfo::exists(path) && !QFileInfo::exists(path + QStringLiteral(".part")))
        return path;
    const QFileInfo info(path);
    const QString base = info.completeBaseName();
    const QString suffix = info.suffix().isEmpty() ? QString() : QLatin1Char('.') + info.suffix();
    for (int n = 2;; ++n) {
        const QString candidate =
            info.dir().filePath(QStringLiteral("%1 (%2)%3").arg(base).arg(n).arg(suffix));
        if (!QFileInfo::exists(candidate) &&
            !QFileInfo::exists(candidate + QStringLiteral(".part")))
            return candidate;
    }
}

void FileFetch::start() {
    if (!part_.open(QIODevice::ReadWrite)) {
        fail(QStringLiteral("不能在这里写文件:%1").arg(part_.errorString()));
        return;
    }
    have_ = part_.size();
    if (have_ == 0) {
        request();
        return;
    }
    // What an earlier try left counts towards the check; up to 2 GiB of it must not
    // stop the window, so it is read on a pool thread and the request waits for it.
    auto promise = std::make_shared<QPromise<Hashed>>();
    hashing_.setFuture(promise->future());
    promise->start();
    QThreadPool::globalInstance()->start([promise, path = partPath(), size = have_] {
        hashPart(*promise, path, size);
        promise->finish();
    });
}

void FileFetch::hashPart(QPromise<Hashed>& promise, const QString& path, qint64 size) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return;
    Hashed hashed{std::make_shared<Sha256>(), 0};
    while (hashed.size < size && !promise.isCanceled()) {
        const QByteArray piece = file.read(std::min<qint64>(1 << 20, size - hashed.size));
        if (piece.isEmpty())
            return;
        hashed.hash->addData(piece);
        hashed.size += piece.size();
    }
    promise.addResult(hashed);
}

void FileFetch::partHashed() {
    if (over_)
        return;
    const QFuture<Hashed> future = hashing_.future();
    if (future.resultCount() == 0 || future.result().size != have_) {
        fail(QStringLiteral("读不了已收到的部分 %1,请删掉它重新接收。").arg(partPath()));
        return;
    }
    hash_ = future.result().hash;
    request();
}

void FileFetch::cancel() {
    over_ = true;
    hashing_.cancel();
    if (socket_)
        socket_->abort();
    part_.close();
}

void FileFetch::fail(const QString& word) {
    if (over_)
        return;
    over_ = true;
    if (socket_)
        socket_->abort();
    part_.close();
    emit failed(word);
}

void FileFetch::readHead() {
    head_ += socket_->readAll();
    const qsizetype end = head_.indexOf("\r\n\r\n");
    if (end < 0) {
        if (head_.size() > 16384)
            fail(QStringLiteral("主机的回答看不懂"));
        return;
    }
    const QByteArray rest = head_.mid(end + 4);
    head_.truncate(end + 2);
    const int status = head_.mid(9, 3).toInt();
    expected_ = headerOf(head_, "etag");
    expected_.replace('"', "");
    if (status == 404) {
        fail(QStringLiteral("主机上已经没有这个文件了(聊天室结束或主持人删掉了它)。"));
        return;
    }
    if (status == 416) {
        const QByteArray range = headerOf(head_, "content-range");
        if (!range.startsWith("bytes */")) {
            fail(QStringLiteral("主机的回答看不懂"));
            return;
        }
        partIsWhole(range.mid(8).toLongLong());
        return;
    }
    if (headOnly_) {
        // Asked only for the digest of a .part that already holds the whole file.
        if (status != 200 || headerOf(head_, "content-length").toLongLong() != have_ ||
            expected_.size() != 64) {
            fail(QStringLiteral("主机的回答看不懂"));
            return;
        }
        size_ = have_;
        finish();
        return;
    }
    if (status == 200 && have_ > 0) { // the host starts over: so do we
        part_.resize(0);
        hash_ = std::make_shared<Sha256>();
        have_ = 0;
    } else if (status == 206) {
        const QByteArray range = headerOf(head_, "content-range");
        if (!range.startsWith("bytes " + QByteArray::number(have_) + '-')) {
            fail(QStringLiteral("主机的回答看不懂"));
            return;
        }
        size_ = range.mid(range.indexOf('/') + 1).toLongLong();
    } else if (status != 200) {
        fail(QStringLiteral("主机拒绝了:%1")
                 .arg(QString::fromLatin1(head_.left(head_.indexOf('\r')))));
        return;
    }
    if (status == 200)
        size_ = headerOf(head_, "content-length").toLongLong();
    if (expected_.size() != 64) {
        fail(QStringLiteral("主机没有给出文件的校验值"));
        return;
    }
    if (maxSize_ >= 0 && size_ > maxSize_) {
        fail(QStringLiteral("文件太大,没有自动接收"));
        return;
    }
    part_.seek(have_);
    inBody_ = true;
    take(rest);
}

// The host says the .part already reaches the end: a rename failed after the last
// piece, or the file is shorter than what we hold.
void FileFetch::partIsWhole(qint64 size) {
    if (size > have_ || size < 0) {
        fail(QStringLiteral("主机的回答看不懂"));
        return;
    }
    if (size < have_) { // not this file's beginning after all: start over
        part_.resize(0);
        hash_ = std::make_shared<Sha256>();
        have_ = 0;
        request();
        return;
    }
    // Our host's 416 carries no ETag, and a HEAD gives it without a byte of body.
    request(true);
}

void FileFetch::readBody() {
    take(socket_->readAll());
}

void FileFetch::take(const QByteArray& bytes) {
    if (over_)
        return;
    if (!bytes.isEmpty() && (part_.write(bytes) != bytes.size() || !part_.flush())) {
        // What did land stays: a later start goes on from the end of the .part.
        fail(
            QStringLiteral(
                "写不下了(%1):磁盘满了或者没有权限。已收到的部分保存在 %2,腾出空间后可以继续接收。")
                .arg(part_.errorString(), partPath()));
        return;
    }
    hash_->addData(bytes);
    have_ += bytes.size();
    // An empty file, or a head that brought the rest, ends here: no more bytes will come.
    if (have_ >= size_) {
        finish();
        return;
    }
    if (!bytes.isEmpty())
        emit progress(have_, size_);
}

void FileFetch::finish() {
    over_ = true;
    if (socket_)
        socket_->abort();
    part_.close();
    if (hash_->result().toHex() != expected_) {
        emit failed(QStringLiteral("收到的文件和主机上的不一样(校验值不符),没有保存;请重新接收。"));
        QFile::remove(partPath());
        return;
    }
    // Someone may have taken the name while this came in.
    const QString name = QFileInfo::exists(target_) ? freeName(target_) : target_;
    if (!QFile::rename(partPath(), name)) {
        emit failed(QStringLiteral("文件收到了,但改不了名字:保存在 %1").arg(partPath()));
        return;
    }
    emit done(name);
}
