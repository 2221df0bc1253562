#pragma once

#include <QElapsedTimer>
#include <QFile>
#include <QObject>
#include <QWebSocket>

// A desktop copy sending one file to the host's web surface (room port + 1), as
// a page would but proving its seat in the room instead of taking one there: the
// host keeps the file and answers the offer line, which the caller then says in
// the room as its own.
class FileUpload : public QObject {
    Q_OBJECT
public:
    // How the host knows the sender holds a seat: the local port of its room
    // connection (the host finds that connection from this address), or, for the
    // host's own copy, the key its web surface gave it.
    struct Proof {
        quint16 seatPort = 0;
        QByteArray hostKey;
    };
    FileUpload(const QString& path, const QString& hostAddress, quint16 webPort,
               const QString& nickname, const Proof& proof, QObject* parent = nullptr);
    ~FileUpload() override;

    // Offered as a picture: the line then carries the picture's mark.
    void setPicture(bool picture) { picture_ = picture; }
    void start();
    void cancel();
    QString fileName() const;
    qint64 size() const { return file_.size(); }

signals:
    void progress(qint64 have, qint64 size);
    // The offer line, ready to be said.
    void done(const QString& text);
    void failed(const QString& word);

private:
    void message(const QString& text);
    void pump();
    void fail(const QString& word);

    QFile file_;
    QString host_;
    quint16 port_;
    QString nickname_;
    Proof proof_;
    QWebSocket socket_;
    QByteArray token_;
    qint64 sent_ = 0;
    qint64 acked_ = 0;
    bool over_ = false;
    bool opened_ = false;
    bool picture_ = false;
};
