#pragma once

#include "protocol/FileOffer.h"

#include <QObject>
#include <QPointer>
#include <QUrl>

class FileFetch;

// A file offered to this copy, from the moment its line is seen until it is saved:
// offered, fetching, stopped (cancelled or cut, its .part kept) or saved. Fetched only
// from the room's own host, whatever address the line names.
class ReceivedOffer : public QObject {
    Q_OBJECT
public:
    enum class State { Offered, Fetching, Stopped, Saved };

    // webBase: "http://<host>:<port>" of the room's own web surface.
    ReceivedOffer(const fileoffer::Offer& offer, const QString& webBase, QObject* parent = nullptr);

    State state() const { return state_; }
    const fileoffer::Offer& offer() const { return offer_; }
    QUrl url() const { return url_; }
    // The name it is saved under: anyone can type an offer line, so it is made safe again.
    QString fileName() const { return fileName_; }
    QString target() const { return target_; }

    // Into the folder under a name nobody has, or on into the .part of a stopped fetch.
    void receiveInto(const QString& folder);
    // Into a path the user chose; nothing while it is on its way or saved.
    void fetchTo(const QString& target);
    void cancel();

signals:
    void started();
    void progress(qint64 have, qint64 size);
    void saved(const QString& path);
    // Stopped: by the user (failed false) or by what went wrong, in a word.
    void stopped(const QString& word, bool failed);

private:
    fileoffer::Offer offer_;
    QUrl url_;
    QString fileName_;
    QString target_;
    QPointer<FileFetch> fetch_;
    State state_ = State::Offered;
};
