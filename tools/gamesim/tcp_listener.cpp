#include "tcp_listener.h"

#include "platform/program_support.h"

namespace morvane::gamesim {

void TcpListener::ServeReadable(platform::Socket socket) {
  platform::Socket client = platform::Accept(socket);
  if (client != platform::kInvalidSocket) platform::CloseSocket(client);
}

}  // namespace morvane::gamesim
