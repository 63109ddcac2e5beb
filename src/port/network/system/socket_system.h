#pragma once

// The system's socket headers, and the little that differs around them.
#ifdef _WIN32
#include <winsock2.h>
#include <ws2tcpip.h>
#else
#include <netdb.h>
#include <sys/socket.h>
#endif

#include <string>

namespace probelyn {

// Readies the system's sockets once per process (Winsock); nothing on POSIX.
void StartSockets();
// The resolver's reason for a failure, for people.
std::string ResolveFailureText(int error);

}  // namespace probelyn
