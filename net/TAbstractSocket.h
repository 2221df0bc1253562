#pragma once

#include "SocketTypes.h"

#include <QObject>
#include <QString>

// The properties every socket component has.
class TAbstractSocket : public QObject {
    Q_OBJECT
public:
    explicit TAbstractSocket(QObject* parent = nullptr) : QObject(parent) {}

    bool Active() const { return active_; }
    void setActive(bool Value);
    void Start() { setActive(true); }
    void Stop() { setActive(false); }

    int Port() const { return port_; }
    void setPort(int Value);
    const QString& Address() const { return address_; }
    void setAddress(const QString& Value);
    const QString& Host() const { return host_; }
    void setHost(const QString& Value);
    const QString& Service() const { return service_; }
    void setService(const QString& Value);

protected:
    virtual void HandleSocketEvent(TCustomWinSocket* Socket, TSocketEventKind Kind) = 0;
    virtual void HandleSocketError(TCustomWinSocket* Socket, TErrorEvent ErrorEvent,
                                   int& ErrorCode) = 0;
    virtual void ApplyActive(bool Value) = 0;

    // Only the connection's events change Active.
    bool active_ = false;

private:
    void setText(QString& field, const QString& Value);

    int port_ = 0;
    QString address_;
    QString host_;
    QString service_;
};
