#pragma once

#include "protocol/FileOffer.h"
#include "transfer/Thumbnail.h"

#include <QCache>
#include <QHash>
#include <QImage>
#include <QObject>
#include <QSet>
#include <QTemporaryDir>
#include <QThreadPool>

// Pictures offered in the room, shown inline. Each is fetched once from the room's own
// host when it is small enough, kept whole in a folder of this copy's cache (read again
// only to open it or to make its thumbnail again), and the thumbnails lately drawn stay
// in a small cache of their own: a log of a thousand photos holds about a screenful of
// thumbnails. Decoding runs on a thread of its own, one picture at a time.
class PictureCache : public QObject {
    Q_OBJECT
public:
    enum class State { None, Fetching, Shown, Refused };
    struct Look {
        State state = State::None;
        QImage image; // null while it is being made again
        QSize size;   // of the thumbnail, in device pixels, once known
        QString word; // why it is not shown
    };

    explicit PictureCache(QObject* parent = nullptr);
    ~PictureCache() override;

    // Larger pictures stay file entries. The host's setting; 10 MiB unless it says otherwise.
    void setLimit(qint64 bytes) { limit_ = bytes; }
    qint64 limit() const { return limit_; }
    // The box a thumbnail fits, in device pixels.
    void setBox(QSize box) { box_ = box; }

    // A picture offer seen in a line; webBase is the room's own web surface.
    void offered(const fileoffer::Offer& offer, const QString& webBase);
    Look look(const QString& token);
    // The whole picture on disk, once fetched; empty before.
    QString path(const QString& token) const;
    // A picture pasted here, kept as a file to send while this copy runs; empty and
    // the reason in `error` when it cannot be written.
    QString keepPasted(const QByteArray& png, QString* error);
    // Decodes the whole picture, fitted to `box`, and answers with wholeReady.
    void loadWhole(const QString& token, QSize box);

signals:
    void changed(const QString& token);
    void wholeReady(const QString& token, const QImage& image, const QString& word);

private:
    struct Entry {
        State state = State::None;
        QString path;
        QSize size;
        QString word;
    };
    void decode(const QString& token, const QString& path, QSize box, bool whole);
    void decoded(const QString& token, const thumbnail::Result& result, bool whole);

    QTemporaryDir folder_;
    qint64 limit_ = 10 << 20;
    QSize box_{240, 240};
    QHash<QString, Entry> entries_;
    QCache<QString, QImage> thumbs_{48 << 20}; // cost: bytes
    QSet<QString> making_;
    QThreadPool pool_;
};
