#pragma once

#include <QTcpSocket>
#include <QTest>

// A plain HTTP client on 127.0.0.1: one request, the answer as it came.
struct HttpAnswer {
    QByteArray head;
    QByteArray body;
    bool cut = false; // we stopped reading before the end

    int status() const { return head.mid(9, 3).toInt(); }
    QByteArray header(const QByteArray& name) const {
        for (const QByteArray& line : head.split('\n')) {
            if (line.toLower().startsWith(name.toLower() + ':'))
                return line.mid(name.size() + 1).trimmed();
        }
        return {};
    }
};

// Sends the request and reads until the server closes, or until `stopAfter` body
// bytes arrived (then the connection is cut, as a dropped network would).
inline HttpAnswer httpGet(quint16 port, const QByteArray& path, const QByteArray& extra = {},
                          qint64 stopAfter = -1, const QByteArray& method = "GET") {
    QTcpSocket socket;
    socket.connectToHost(QHostAddress::LocalHost, port);
    HttpAnswer a;
    if (!socket.waitForConnected(5000))
        return a;
    socket.write(method + ' ' + path + " HTTP/1.1\r\nHost: 127.0.0.1\r\n" + extra + "\r\n");
    QByteArray got;
    (void)QTest::qWaitFor(
        [&] {
            got += socket.readAll();
            const qsizetype end = got.indexOf("\r\n\r\n");
            if (stopAfter >= 0 && end >= 0 && got.size() - end - 4 >= stopAfter) {
                a.cut = true;
                return true;
            }
            return socket.state() == QAbstractSocket::UnconnectedState &&
                   socket.bytesAvailable() == 0;
        },
        30000);
    socket.abort();
    const qsizetype end = got.indexOf("\r\n\r\n");
    a.head = got.left(end + 2);
    a.body = got.mid(end + 4);
    return a;
}
