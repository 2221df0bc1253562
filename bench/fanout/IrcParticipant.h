#pragma once

#include "RawParticipant.h"

#include <QByteArray>

// The IRC side of a raw participant: registration and channel talk.
namespace irc {

inline constexpr char kChannel[] = "#room";

// NICK and USER, wait for the welcome (001), JOIN the channel, wait for the end
// of its names list (366). False when the server refused or did not answer.
bool join(RawParticipant& p, quint16 port, const QByteArray& nickname, int timeoutMs = 10000);

// One line of channel talk as a client writes it.
QByteArray privmsg(const QByteArray& text);

// Answers every PING the stream holds, so a slow phase is never taken for a dead client.
void answerPings(RawParticipant& p);

} // namespace irc
