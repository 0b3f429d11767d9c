#pragma once
// TCP helpers shared by the SOCKET and VXI-11 resources: a connect that
// honours a time-out, and waiting on a descriptor with one.

#include "bus/visa/VisaTypes.h"

#include <cstdint>
#include <string>

struct addrinfo;

namespace velda::visa {

// The name lookup, getaddrinfo's own signature. Tests put a stand-in here
// (one that never answers, say); returns the lookup it replaces.
using Resolver = int (*)(const char*, const char*, const addrinfo*, addrinfo**);
Resolver setResolver(Resolver resolver);

// Milliseconds to wait for `timeoutMs` of VISA (VI_TMO_INFINITE = forever).
int pollTimeout(ViUInt32 timeoutMs);

// Connects to host:port within `timeoutMs`, the name lookup included. On
// success `fd` is a connected, non-blocking socket; on failure a VISA status
// and a sentence in `message`.
// Names in the ".invalid" domain are refused without asking a name server
// (they never resolve, RFC 6761).
ViStatus connectTcp(const std::string& host, std::uint16_t port, ViUInt32 timeoutMs, int* fd,
                    std::string* message);

// Waits for `events` (POLLIN / POLLOUT) on fd; false on time-out. The
// thread's wait turn (bus/WaitTurn.h), if any, runs between slices.
bool waitFd(int fd, short events, int timeoutMs);

} // namespace velda::visa
