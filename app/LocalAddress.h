#pragma once

#include <QString>
#include <QStringList>

// The address others should use to reach this machine, dotted.
QString localAddress();

// The rule behind it: the first address the host name resolves to, unless that is
// a loopback address or nothing resolved; then the first non-loopback interface
// address; then "127.0.0.1".
QString chooseLocalAddress(const QString& resolved, const QString& firstInterface);

// Every non-loopback IPv4 address of this machine's interfaces, dotted, each once.
QStringList interfaceAddresses();
