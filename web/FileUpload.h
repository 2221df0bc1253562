#pragma once

#include <QElapsedTimer>
#include <QFile>
#include <QObject>
#include <QWebSocket>

// A desktop copy sending one file to the host's web surface (room port + 1), as
// a page would but without a seat there: the host keeps the file and answers the
// offer line, which the caller then says in the room as its own.
class FileUpload : public QObject {
    Q_OBJECT
public:
    FileUpload(const QString& path, const QString& hostAddress, quint16 webPort,
               const QString& nickname, QObject* parent = nullptr);

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
    QWebSocket socket_;
    QByteArray token_;
    qint64 sent_ = 0;
    qint64 acked_ = 0;
    bool over_ = false;
    bool opened_ = false;
};
