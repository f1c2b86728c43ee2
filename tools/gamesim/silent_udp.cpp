#include "silent_udp.h"

namespace morvane::gamesim {

void SilentUdp::ServeReadable(platform::Socket socket) {
  platform::SocketAddress from;
  platform::ReceiveFrom(socket, buffer_, from);
}

}  // namespace morvane::gamesim
