// A Unix socket left in the current folder, for the tests that check that
// the program never opens one.
#pragma once

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstring>

namespace corvane::testing {

// Binds a socket to `name` in the current folder and closes it again: the
// socket file stays. Returns false when the system refused.
inline bool LeaveUnixSocket(const char* name) {
  const int sock = ::socket(AF_UNIX, SOCK_STREAM, 0);
  if (sock < 0) return false;
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  std::strncpy(address.sun_path, name, sizeof address.sun_path - 1);
  const bool bound = ::bind(sock, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
  ::close(sock);
  return bound;
}

}  // namespace corvane::testing
