#pragma once

#include "TCustomServerSocket.h"

// The server component as the main window holds it.
class TServerSocket : public TCustomServerSocket {
    Q_OBJECT
public:
    explicit TServerSocket(QObject* parent = nullptr) : TCustomServerSocket(parent) {}
};
