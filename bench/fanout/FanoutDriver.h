#pragma once

#include <QStringList>

// The participants of the fanout benchmark, in a process of their own (plain
// sockets and epoll, no Qt event loop), speaking to one of three servers:
//   "host"  our host: join with "&U" + nickname, talk lines "&S" + ... + CR
//   "floor" our floor relay: connect only, the same talk lines
//   "irc"   an IRC server: NICK, USER, JOIN #room, then PRIVMSG #room
// Arguments: mode port participants lines spacingUs batches batchLines.
// Reports on stdout, one line each: JOINED ms, BEGIN, END, LAT us..., TBEGIN,
// TEND, TPUT lines ns, CHECK lost duplicates.
int fanoutDriverMain(const QStringList& args);
