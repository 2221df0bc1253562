#include "transfer/ReceivedOffer.h"

#include "transfer/FileFetch.h"

#include <QDir>

ReceivedOffer::ReceivedOffer(const fileoffer::Offer& offer, const QString& webBase, QObject* parent)
    : QObject(parent), offer_(offer),
      url_(QStringLiteral("%1/f/%2/%3").arg(webBase, offer.token, offer.urlName)),
      fileName_(fileoffer::safeName(QUrl::fromPercentEncoding(offer.urlName.toUtf8()))) {}

void ReceivedOffer::receiveInto(const QString& folder) {
    // 继续 goes on into the same .part; the first 接收 picks a name nobody has.
    fetchTo(target_.isEmpty() ? FileFetch::freeName(QDir(folder).filePath(fileName_)) : target_);
}

void ReceivedOffer::fetchTo(const QString& target) {
    if (state_ == State::Fetching || state_ == State::Saved)
        return; // on its way or there already: the transfer window says which
    target_ = target;
    state_ = State::Fetching;
    auto* fetch = new FileFetch(url_, target, this);
    fetch_ = fetch;
    connect(fetch, &FileFetch::progress, this, &ReceivedOffer::progress);
    connect(fetch, &FileFetch::done, this, [this, fetch](const QString& path) {
        state_ = State::Saved;
        fetch->deleteLater();
        emit saved(path);
    });
    connect(fetch, &FileFetch::failed, this, [this, fetch](const QString& word) {
        state_ = State::Stopped;
        fetch->deleteLater();
        emit stopped(word, true);
    });
    emit started();
    fetch->start();
}

void ReceivedOffer::cancel() {
    if (!fetch_)
        return;
    fetch_->cancel();
    fetch_->deleteLater();
    state_ = State::Stopped;
    emit stopped(QStringLiteral("已取消;收到的部分留在 %1.part,点 继续 接着收").arg(target_),
                 false);
}
