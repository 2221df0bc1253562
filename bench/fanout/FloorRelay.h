#pragma once

#include <QByteArray>
#include <functional>

// The floor: a minimal relay of our own with no GUI, one epoll loop that sends
// each read to every connection (the sender included). It serves until
// `stopFd` reaches end of file.
int openListener(quint16& port);
void runFloorRelay(int listener, int stopFd, const std::function<void(const QByteArray&)>& onLine);
