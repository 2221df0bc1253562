#include "transfer/PictureCache.h"

#include "transfer/FileFetch.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QStandardPaths>

namespace {

// The most a line's "(2.1 MB)" can stand for: it is rounded to one decimal.
qint64 mostBytes(const QString& sizeText) {
    static const QRegularExpression size(QStringLiteral(R"(^(\d+(?:\.\d)?) (B|KB|MB|GB|TB)$)"));
    const QRegularExpressionMatch m = size.match(sizeText);
    if (!m.hasMatch())
        return std::numeric_limits<qint64>::max();
    const QStringList units{QStringLiteral("B"), QStringLiteral("KB"), QStringLiteral("MB"),
                            QStringLiteral("GB"), QStringLiteral("TB")};
    double unit = 1;
    for (qsizetype i = units.indexOf(m.captured(2)); i > 0; --i)
        unit *= 1024;
    return qint64((m.captured(1).toDouble() + 0.05) * unit);
}

// A folder of its own under the user's cache, which may not be there yet.
QString folderPattern() {
    const QString cache = QStandardPaths::writableLocation(QStandardPaths::CacheLocation);
    QDir().mkpath(cache);
    return QDir(cache).filePath(QStringLiteral("pictures-XXXXXX"));
}

} // namespace

PictureCache::PictureCache(QObject* parent) : QObject(parent), folder_(folderPattern()) {
    pool_.setMaxThreadCount(1);
}

QString PictureCache::keepPasted(const QByteArray& png, QString* error) {
    // Named after the moment, with no character a phone or another system would refuse.
    const QString name =
        QDateTime::currentDateTime().toString(QStringLiteral("'图片 'yyyy-MM-dd HH.mm.ss'.png'"));
    QDir().mkpath(folder_.filePath(QStringLiteral("pasted")));
    const QString path = FileFetch::freeName(folder_.filePath(QStringLiteral("pasted/") + name));
    QFile file(path);
    if (!folder_.isValid() || !file.open(QIODevice::WriteOnly) || file.write(png) != png.size()) {
        *error = folder_.isValid() ? file.errorString() : folder_.errorString();
        return {};
    }
    return path;
}

PictureCache::~PictureCache() {
    // A decode still running posts to this object: it must be over first.
    pool_.clear();
    pool_.waitForDone();
}

void PictureCache::offered(const fileoffer::Offer& offer, const QString& webBase) {
    if (!offer.picture || entries_.contains(offer.token) || !folder_.isValid())
        return;
    Entry& entry = entries_[offer.token];
    if (mostBytes(offer.sizeText) > limit_)
        return; // stays a file entry
    entry.state = State::Fetching;
    const QUrl url(QStringLiteral("%1/f/%2/%3").arg(webBase, offer.token, offer.urlName));
    auto* fetch = new FileFetch(url, folder_.filePath(offer.token), this);
    // The line's size is anyone's word; the host's is not let past the limit either.
    fetch->setMaxSize(limit_);
    const QString token = offer.token;
    connect(fetch, &FileFetch::done, this, [this, fetch, token](const QString& saved) {
        fetch->deleteLater();
        entries_[token].path = saved;
        decode(token, saved, box_, false);
    });
    connect(fetch, &FileFetch::failed, this, [this, fetch, token](const QString& word) {
        fetch->deleteLater();
        Entry& e = entries_[token];
        e.state = State::Refused;
        e.word = word;
        emit changed(token);
    });
    fetch->start();
}

PictureCache::Look PictureCache::look(const QString& token) {
    const auto it = entries_.constFind(token);
    if (it == entries_.constEnd())
        return {};
    Look look{it->state, QImage(), it->size, it->word};
    if (it->state != State::Shown)
        return look;
    if (const QImage* thumb = thumbs_.object(token))
        look.image = *thumb;
    else if (!making_.contains(token)) // dropped from the cache: made again from disk
        decode(token, it->path, box_, false);
    return look;
}

QString PictureCache::path(const QString& token) const {
    return entries_.value(token).path;
}

void PictureCache::loadWhole(const QString& token, QSize box) {
    const QString file = path(token);
    if (file.isEmpty())
        emit wholeReady(token, QImage(), QStringLiteral("图片还没有收到"));
    else
        decode(token, file, box, true);
}

void PictureCache::decode(const QString& token, const QString& path, QSize box, bool whole) {
    if (!whole)
        making_.insert(token);
    pool_.start([this, token, path, box, whole] {
        const thumbnail::Result result = thumbnail::fromFile(path, box);
        QMetaObject::invokeMethod(
            this, [this, token, result, whole] { decoded(token, result, whole); },
            Qt::QueuedConnection);
    });
}

void PictureCache::decoded(const QString& token, const thumbnail::Result& result, bool whole) {
    if (whole) {
        emit wholeReady(token, result.image, result.word);
        return;
    }
    making_.remove(token);
    Entry& entry = entries_[token];
    if (result.image.isNull()) {
        entry.state = State::Refused;
        entry.word = result.word;
    } else {
        entry.state = State::Shown;
        entry.size = result.image.size();
        thumbs_.insert(token, new QImage(result.image), result.image.sizeInBytes());
    }
    emit changed(token);
}
