#pragma once

#include "web/FileStore.h"

#include <QByteArray>
#include <QFile>
#include <QObject>
#include <optional>

class QTcpSocket;
struct HttpRequest;

// One file answered on one HTTP connection, read from disk a piece at a time as
// the socket drains, so a big file never sits in memory.
class FileDownload : public QObject {
    Q_OBJECT
public:
    // Where a download's address leads: the token and the name, or nothing.
    struct Target {
        QByteArray token;
        QString name;
    };
    static std::optional<Target> parsePath(const QByteArray& path);

    // Answers the request on the socket and closes it when done; the object lives
    // on the socket.
    static void serve(QTcpSocket* socket, const HttpRequest& request, const FileStore& store);

    // The first byte and the count a Range header asks for; nullopt when it does
    // not parse (the whole file is sent), a count of -1 when it cannot be met.
    struct Span {
        qint64 first = 0;
        qint64 count = 0;
    };
    static std::optional<Span> parseRange(const QByteArray& value, qint64 size);

private:
    FileDownload(QTcpSocket* socket, const QString& path, qint64 first, qint64 count);
    void pump();

    QTcpSocket* socket_;
    QFile file_;
    qint64 left_;
};
