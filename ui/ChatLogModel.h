#pragma once

#include "protocol/Attachment.h"
#include "protocol/LineKind.h"
#include "ui/LineStore.h"
#include "ui/ThumbnailPainter.h"

#include <QAbstractListModel>
#include <QCache>

// The chat log's lines as a list model: rows are decoded only when a view or an
// accessibility tool asks for them, so the cost of a row is its bytes.
class ChatLogModel : public QAbstractListModel {
    Q_OBJECT

public:
    enum Role {
        ArrivedRole = Qt::UserRole, // QDateTime
        KindRole,                   // int, a wire::LineKind
        BytesRole,                  // QByteArray, as it arrived
        EarlierRole,                // bool: said before this session, kept by the room
        HeaderRole,                 // QString drawn above the row, or empty
        AttachmentRole,             // int, an attachment::Kind
    };

    explicit ChatLogModel(QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;

    void append(const QByteArray& line);
    // A line the room kept from before this session, with the time it was said.
    void appendEarlier(const QByteArray& line, qint64 arrivedSecs);
    struct Earlier {
        QByteArray line;
        qint64 arrivedSecs = 0;
    };
    // Lines the room kept, put above `row` (where this session began) in one go.
    void insertEarlier(int row, const QList<Earlier>& lines);
    bool isEarlier(int row) const;
    QString header(int row) const;
    void clear();
    const LineStore& store() const { return store_; }

    // Shown text of a row: decoded on its own, without the CR the bytes keep.
    QString text(int row) const;
    wire::LineKind kind(int row) const;
    attachment::Kind attachment(int row) const;
    // The offer a row carries, read from its shown text; nothing for most rows.
    std::optional<fileoffer::Offer> offer(int row) const;
    void setOwnNickname(const QByteArray& nickname);
    // How each picture stands, so that a reader hears what the row shows.
    void setPictures(PictureLookup lookup) { pictures_ = std::move(lookup); }

private:
    QString describeOffer(int row) const;

    quint8 tagFor(const QByteArray& line) const;

    LineStore store_;
    QByteArray ownNickname_;
    PictureLookup pictures_;
    // Rows on screen are asked for again at every paint; their lines never change.
    mutable QCache<int, QString> shown_{512};
};
