#pragma once

#include "protocol/Sha256.h"

#include <QFile>
#include <QFutureWatcher>
#include <QObject>
#include <QPointer>
#include <QPromise>
#include <QTcpSocket>
#include <QUrl>
#include <memory>

// Downloads one offered file from the host's web surface into `<target>.part`,
// going on from what the .part already holds (HTTP Range), checks the whole
// file's SHA-256 against the host's, and only then gives it its name. A name
// already taken is never overwritten: the file gets the next free one.
class FileFetch : public QObject {
    Q_OBJECT
public:
    FileFetch(const QUrl& url, const QString& target, QObject* parent = nullptr);
    ~FileFetch() override;

    // A file larger than this is refused before its bytes come; none by default.
    void setMaxSize(qint64 bytes) { maxSize_ = bytes; }
    void start();
    // Stops; the .part stays for a later start to go on from.
    void cancel();
    QString partPath() const { return target_ + QStringLiteral(".part"); }

    // "报告.pdf" taken: "报告 (2).pdf", and so on.
    static QString freeName(const QString& path);

signals:
    void progress(qint64 have, qint64 size);
    void done(const QString& savedAs);
    void failed(const QString& word);

private:
    // What an earlier try left, hashed on a pool thread: how many bytes, and their hash.
    struct Hashed {
        std::shared_ptr<Sha256> hash;
        qint64 size = -1;
    };
    static void hashPart(QPromise<Hashed>& promise, const QString& path, qint64 size);
    void partHashed();
    void request(bool headOnly = false);
    void readHead();
    void partIsWhole(qint64 size);
    void readBody();
    void take(const QByteArray& bytes);
    void finish();
    void fail(const QString& word);

    QUrl url_;
    QString target_;
    QFile part_;
    QPointer<QTcpSocket> socket_; // a new one for each request
    QFutureWatcher<Hashed> hashing_;
    std::shared_ptr<Sha256> hash_ = std::make_shared<Sha256>();
    QByteArray head_;
    QByteArray expected_; // hex digest from the ETag
    qint64 have_ = 0;
    qint64 size_ = -1;
    qint64 maxSize_ = -1;
    bool inBody_ = false;
    bool headOnly_ = false;
    bool over_ = false;
};
