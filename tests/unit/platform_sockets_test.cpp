// The socket calls keep Winsock's semantics on every build. These tests use
// 127.0.0.1 only and hold on Linux and under Wine alike.
#include <atomic>
#include <chrono>
#include <cstring>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include <algorithm>

#include "platform/platform.h"
#include "platform/program_support.h"

namespace morvane::platform {
namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

// Timers on either system may fire a little early; "not before roughly the
// time-out" allows this much.
constexpr milliseconds kEarlyMargin{60};

milliseconds Since(Clock::time_point start) {
  return std::chrono::duration_cast<milliseconds>(Clock::now() - start);
}

SocketAddress Loopback(std::uint16_t port) {
  SocketAddress address;
  address.family = kAddressFamilyInet;
  address.port_be = HostToNetwork16(port);
  address.address_be = ParseIpv4("127.0.0.1");
  return address;
}

// A socket closed when the test ends, whatever the outcome.
class OwnedSocket {
 public:
  explicit OwnedSocket(Socket socket) : socket_(socket) {}
  ~OwnedSocket() { CloseSocket(socket_); }
  OwnedSocket(const OwnedSocket&) = delete;
  OwnedSocket& operator=(const OwnedSocket&) = delete;
  Socket get() const { return socket_; }

 private:
  Socket socket_;
};

class SocketTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(StartSocketLibrary()); }
  void TearDown() override { StopSocketLibrary(); }
};

// Sends `size` bytes of a counting pattern from `from` to the port.
int SendPattern(Socket from, std::uint16_t port, std::size_t size) {
  std::vector<std::uint8_t> bytes(size);
  for (std::size_t i = 0; i < size; ++i) bytes[i] = static_cast<std::uint8_t>(i);
  return SendTo(from, bytes, Loopback(port));
}

TEST_F(SocketTest, ReceiveFailsOnceTheTimeOutRunsOut) {
  OwnedSocket server(OpenLoopbackServer(SocketType::kUdp, 0));
  ASSERT_NE(server.get(), kInvalidSocket);
  ASSERT_TRUE(SetReceiveTimeout(server.get(), 300));

  std::vector<std::uint8_t> buffer(65536);
  SocketAddress from;
  const auto start = Clock::now();
  EXPECT_EQ(ReceiveFrom(server.get(), buffer, from), -1);
  EXPECT_GE(Since(start), milliseconds(300) - kEarlyMargin);
}

// Zero is no limit, and a negative time-out is read as an unsigned DWORD (a
// wait of weeks), not as "fail at once": both wait for a late datagram.
TEST_F(SocketTest, ZeroOrNegativeTimeOutWaitsForALateDatagram) {
  for (const std::int32_t timeout : {0, -1}) {
    SCOPED_TRACE(timeout);
    OwnedSocket server(OpenLoopbackServer(SocketType::kUdp, 0));
    OwnedSocket client(OpenSocket(SocketType::kUdp));
    ASSERT_NE(server.get(), kInvalidSocket);
    ASSERT_NE(client.get(), kInvalidSocket);
    ASSERT_TRUE(SetReceiveTimeout(server.get(), timeout));
    const std::uint16_t port = LocalPort(server.get());

    std::thread sender([&client, port] {
      std::this_thread::sleep_for(milliseconds(200));
      SendPattern(client.get(), port, 12);
    });
    std::vector<std::uint8_t> buffer(65536);
    SocketAddress from;
    const auto start = Clock::now();
    const int received = ReceiveFrom(server.get(), buffer, from);
    const auto waited = Since(start);
    sender.join();
    EXPECT_EQ(received, 12);
    EXPECT_GE(waited, milliseconds(200) - kEarlyMargin);
  }
}

TEST_F(SocketTest, DatagramCarriesItsSenderAndBytes) {
  OwnedSocket server(OpenLoopbackServer(SocketType::kUdp, 0));
  OwnedSocket client(OpenLoopbackServer(SocketType::kUdp, 0));
  ASSERT_NE(server.get(), kInvalidSocket);
  ASSERT_NE(client.get(), kInvalidSocket);
  ASSERT_TRUE(SetReceiveTimeout(server.get(), 2000));
  ASSERT_EQ(SendPattern(client.get(), LocalPort(server.get()), 5), 5);

  std::vector<std::uint8_t> buffer(64, 0xEE);
  SocketAddress from;
  ASSERT_EQ(ReceiveFrom(server.get(), buffer, from), 5);
  EXPECT_EQ(std::vector<std::uint8_t>(buffer.begin(), buffer.begin() + 6),
            (std::vector<std::uint8_t>{0, 1, 2, 3, 4, 0xEE}));
  EXPECT_EQ(from.family, kAddressFamilyInet);
  EXPECT_EQ(FormatIpv4(from.address_be), "127.0.0.1");
  EXPECT_EQ(NetworkToHost16(from.port_be), LocalPort(client.get()));
}

// The worker's drain rule asks how much waits: nothing before a datagram,
// then the size of the next datagram alone, then nothing once it is read.
// Winsock counts every queued datagram, Linux and Wine the next one; the
// plug-in only asks whether anything waits.
TEST_F(SocketTest, BytesWaitingSaysWhetherADatagramWaits) {
  OwnedSocket server(OpenLoopbackServer(SocketType::kUdp, 0));
  OwnedSocket client(OpenSocket(SocketType::kUdp));
  ASSERT_NE(server.get(), kInvalidSocket);
  ASSERT_TRUE(SetReceiveTimeout(server.get(), 2000));
  const std::uint16_t port = LocalPort(server.get());
  EXPECT_EQ(BytesWaiting(server.get()), 0);

  ASSERT_EQ(SendPattern(client.get(), port, 37), 37);
  ASSERT_EQ(SendPattern(client.get(), port, 5), 5);
  ASSERT_EQ(WaitReadable(server.get(), 2000), WaitResult::kReady);
  EXPECT_GE(BytesWaiting(server.get()), 37);

  std::vector<std::uint8_t> buffer(65536);
  SocketAddress from;
  EXPECT_EQ(ReceiveFrom(server.get(), buffer, from), 37);
  EXPECT_EQ(ReceiveFrom(server.get(), buffer, from), 5);
  EXPECT_EQ(BytesWaiting(server.get()), 0);
}

// A datagram larger than the buffer fails as WSAEMSGSIZE does and is used up:
// the next receive gets the next datagram, not the rest of the large one.
TEST_F(SocketTest, OversizedDatagramFailsAndIsDropped) {
  OwnedSocket server(OpenLoopbackServer(SocketType::kUdp, 0));
  OwnedSocket client(OpenSocket(SocketType::kUdp));
  ASSERT_NE(server.get(), kInvalidSocket);
  ASSERT_TRUE(SetReceiveTimeout(server.get(), 2000));
  const std::uint16_t port = LocalPort(server.get());
  ASSERT_EQ(SendPattern(client.get(), port, 100), 100);
  ASSERT_EQ(SendPattern(client.get(), port, 3), 3);

  std::vector<std::uint8_t> buffer(10);
  SocketAddress from;
  EXPECT_EQ(ReceiveFrom(server.get(), buffer, from), -1);
  EXPECT_EQ(ReceiveFrom(server.get(), buffer, from), 3);
}

// Winsock reports a refused connection only in the exception set, which the
// probe does not watch: the wait for writability runs its full course.
TEST_F(SocketTest, RefusedConnectionNeverBecomesWritable) {
  std::uint16_t closed_port = 0;
  {
    OwnedSocket listener(OpenLoopbackServer(SocketType::kTcp, 0));
    ASSERT_NE(listener.get(), kInvalidSocket);
    closed_port = LocalPort(listener.get());
  }
  OwnedSocket client(OpenSocket(SocketType::kTcp));
  ASSERT_NE(client.get(), kInvalidSocket);
  ASSERT_TRUE(SetNonBlocking(client.get()));
  ASSERT_EQ(Connect(client.get(), Loopback(closed_port)), ConnectResult::kWouldBlock);

  const auto start = Clock::now();
  EXPECT_EQ(WaitWritable(client.get(), 300), WaitResult::kTimedOut);
  EXPECT_GE(Since(start), milliseconds(300) - kEarlyMargin);
  // A poll of the refused socket says the same.
  EXPECT_EQ(WaitWritable(client.get(), 0), WaitResult::kTimedOut);
}

TEST_F(SocketTest, AcceptedConnectionBecomesWritable) {
  OwnedSocket listener(OpenLoopbackServer(SocketType::kTcp, 0));
  ASSERT_NE(listener.get(), kInvalidSocket);
  OwnedSocket client(OpenSocket(SocketType::kTcp));
  ASSERT_TRUE(SetNonBlocking(client.get()));
  const ConnectResult connected = Connect(client.get(), Loopback(LocalPort(listener.get())));
  ASSERT_NE(connected, ConnectResult::kFailed);

  EXPECT_EQ(WaitWritable(client.get(), 5000), WaitResult::kReady);
  OwnedSocket accepted(Accept(listener.get()));
  EXPECT_NE(accepted.get(), kInvalidSocket);
}

TEST_F(SocketTest, ReadWaitRunsOutThenSeesADatagram) {
  OwnedSocket server(OpenLoopbackServer(SocketType::kUdp, 0));
  OwnedSocket client(OpenSocket(SocketType::kUdp));
  ASSERT_NE(server.get(), kInvalidSocket);

  EXPECT_EQ(WaitReadable(server.get(), 0), WaitResult::kTimedOut);
  const auto start = Clock::now();
  EXPECT_EQ(WaitReadable(server.get(), 250), WaitResult::kTimedOut);
  EXPECT_GE(Since(start), milliseconds(250) - kEarlyMargin);

  ASSERT_EQ(SendPattern(client.get(), LocalPort(server.get()), 1), 1);
  EXPECT_EQ(WaitReadable(server.get(), 5000), WaitResult::kReady);
}

// The worker waits on all the sockets of a request at once: a datagram that
// came, a connection made and one refused are each told apart, the refused
// one as failed, never as writable.
TEST_F(SocketTest, OneWaitTellsEverySocketsState) {
  OwnedSocket server(OpenLoopbackServer(SocketType::kUdp, 0));
  OwnedSocket sender(OpenSocket(SocketType::kUdp));
  OwnedSocket listener(OpenLoopbackServer(SocketType::kTcp, 0));
  std::uint16_t closed_port = 0;
  {
    OwnedSocket gone(OpenLoopbackServer(SocketType::kTcp, 0));
    closed_port = LocalPort(gone.get());
  }
  OwnedSocket accepted_client(OpenSocket(SocketType::kTcp));
  OwnedSocket refused_client(OpenSocket(SocketType::kTcp));
  ASSERT_TRUE(SetNonBlocking(accepted_client.get()) && SetNonBlocking(refused_client.get()));
  ASSERT_NE(Connect(accepted_client.get(), Loopback(LocalPort(listener.get()))),
            ConnectResult::kFailed);
  ASSERT_NE(Connect(refused_client.get(), Loopback(closed_port)), ConnectResult::kFailed);

  std::vector<SocketWait> waits = {
      {server.get(), false}, {accepted_client.get(), true}, {refused_client.get(), true}};
  EXPECT_EQ(WaitForSockets(std::span(waits).first(1), 0), WaitResult::kTimedOut);
  ASSERT_EQ(SendPattern(sender.get(), LocalPort(server.get()), 1), 1);
  std::vector<SocketState> seen(waits.size(), SocketState::kWaiting);
  for (int round = 0; round < 100 && std::count(seen.begin(), seen.end(), SocketState::kWaiting);
       ++round) {
    ASSERT_NE(WaitForSockets(waits, 100), WaitResult::kError);
    for (std::size_t i = 0; i < waits.size(); ++i) {
      if (waits[i].state != SocketState::kWaiting) seen[i] = waits[i].state;
    }
  }
  EXPECT_EQ(seen, (std::vector<SocketState>{SocketState::kReady, SocketState::kReady,
                                            SocketState::kFailed}));
  std::vector<SocketWait> bad = {{kInvalidSocket, false}};
  EXPECT_EQ(WaitForSockets(bad, 0), WaitResult::kError);
  EXPECT_EQ(WaitForSockets(waits, -1), WaitResult::kError);
}

// Winsock's select rejects a negative time-out, and a closed socket.
TEST_F(SocketTest, WaitsRejectNegativeTimeOutsAndBadSockets) {
  OwnedSocket server(OpenLoopbackServer(SocketType::kUdp, 0));
  ASSERT_NE(server.get(), kInvalidSocket);
  EXPECT_EQ(WaitReadable(server.get(), -1), WaitResult::kError);
  EXPECT_EQ(WaitWritable(server.get(), -1), WaitResult::kError);
  EXPECT_EQ(WaitReadable(kInvalidSocket, 0), WaitResult::kError);
  EXPECT_EQ(WaitWritable(kInvalidSocket, 0), WaitResult::kError);
  // A datagram socket can always send.
  EXPECT_EQ(WaitWritable(server.get(), 1000), WaitResult::kReady);
}

TEST(PlatformAddressTest, ResolvesToTheFirstIpv4AddressInDottedForm) {
  ASSERT_TRUE(StartSocketLibrary());
  EXPECT_EQ(ResolveHostIpv4(u"127.0.0.1"), "127.0.0.1");
  EXPECT_EQ(ResolveHostIpv4(u"192.0.2.7"), "192.0.2.7");  // Itself, with no lookup.
  EXPECT_EQ(ResolveHostIpv4(u"localhost").rfind("127.", 0), 0u) << ResolveHostIpv4(u"localhost");
  EXPECT_EQ(ResolveHostIpv4(u"no-such-host.invalid"), "");
  EXPECT_EQ(ResolveHostIpv4(u""), "");
  EXPECT_EQ(ResolveHostIpv4(std::u16string_view(u"localhost\0.example", 18)), "");
  EXPECT_EQ(DottedIpv4(u"localhost"), std::nullopt);
  StopSocketLibrary();
}

// At most kMaxNameLookups lookups run at once in the process, each on a
// thread of its own that outlives its asker; a stop learns whether one still
// runs. (The worker's tests show lookups side by side within a request.)
TEST(PlatformAddressTest, LookupsAreBoundedAndOutliveTheirAskers) {
  ASSERT_TRUE(StartSocketLibrary());
  auto released = std::make_shared<std::atomic<bool>>(false);
  SetNameResolverForTesting([released](std::u16string_view) -> std::string {
    for (int i = 0; i < 1000 && !*released; ++i) SleepMilliseconds(5);
    return "192.0.2.1";
  });
  auto settled = [] {
    for (int i = 0; i < 400 && !SettleNameLookups(); ++i) SleepMilliseconds(10);
    return SettleNameLookups();
  };
  ASSERT_TRUE(settled());
  std::size_t started = 0;
  {
    std::vector<NameLookup> stuck(kMaxNameLookups + 1);
    for (NameLookup& lookup : stuck) started += lookup.Start(u"stuck.test", nullptr) ? 1 : 0;
    EXPECT_FALSE(stuck.back().Started());
  }  // Their askers let go while they run.
  EXPECT_EQ(started, kMaxNameLookups);
  EXPECT_FALSE(SettleNameLookups());
  *released = true;
  EXPECT_TRUE(settled());
  NameLookup again;
  EXPECT_TRUE(again.Start(u"again.test", nullptr)) << "the places are free again";
  EXPECT_TRUE(settled());
  EXPECT_EQ(again.Address(), "192.0.2.1");
  SetNameResolverForTesting(nullptr);
  StopSocketLibrary();
}

TEST(PlatformAddressTest, ParsesDottedAddressesInNetworkOrder) {
  const std::uint32_t parsed = ParseIpv4("1.2.3.4");
  std::uint8_t bytes[4];
  std::memcpy(bytes, &parsed, sizeof bytes);
  EXPECT_EQ(bytes[0], 1);
  EXPECT_EQ(bytes[3], 4);
  EXPECT_EQ(FormatIpv4(parsed), "1.2.3.4");
  EXPECT_EQ(NetworkToHost16(HostToNetwork16(27015)), 27015);

  for (const char* junk : {"junk", "1.2.3.4.5", "256.1.1.1", "1.2.3.x"}) {
    EXPECT_EQ(ParseIpv4(junk), 0xFFFFFFFFu) << junk;
  }
}

}  // namespace
}  // namespace morvane::platform
