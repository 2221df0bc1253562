#pragma once

// Faults injected into the C library calls the socket layer makes, for cases loopback cannot
// produce on demand. Unarmed, every call goes straight through.
namespace Interpose {
// The next connect() in this process fails at once with this errno.
void failNextConnect(int error);
// While held, name and service lookups wait inside the resolver.
void holdLookups(bool hold);
// Lookups that have come back from the resolver so far.
int lookupsFinished();
} // namespace Interpose
