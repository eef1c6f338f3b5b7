#include <gtest/gtest.h>

#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include "channel/TcpEndpoint.h"
#include "channel/TcpLine.h"
#include "core/Clock.h"
#include "monitor/AlarmLog.h"

TEST(TcpEndpointTest, DevicesNameHostAndPort)
{
    const struct {
        const char* device;
        const char* host;  // nullptr: refused
        int nPort;
        const char* text;
    } cases[] = {
        {"tcp://10.0.0.5:20000", "10.0.0.5", 20000, "10.0.0.5:20000"},
        {"tcp://10.0.0.5", "10.0.0.5", 20000, "10.0.0.5:20000"},
        {"tcp://rtu-7.plant:4001", "rtu-7.plant", 4001, "rtu-7.plant:4001"},
        {"tcp://[fe80::1]:20001", "fe80::1", 20001, "[fe80::1]:20001"},
        {"tcp://[::1]", "::1", 20000, "[::1]:20000"},
        {"tcp://fe80::1", nullptr, 0, ""},        // an IPv6 address needs its brackets
        {"tcp://[::1", nullptr, 0, ""},
        {"tcp://[::1]x", nullptr, 0, ""},
        {"tcp://", nullptr, 0, ""},
        {"tcp://host:0", nullptr, 0, ""},
        {"tcp://host:65536", nullptr, 0, ""},
        {"tcp://host:20 000", nullptr, 0, ""},
        {"tcp://ho st:1", nullptr, 0, ""},
        {"/dev/ttyS1", nullptr, 0, ""},
    };
    for (const auto& c : cases) {
        std::string error;
        const std::optional<TcpEndpoint> endpoint = ParseTcpDevice(c.device, &error);
        ASSERT_EQ(endpoint.has_value(), c.host != nullptr) << c.device << ": " << error;
        if (endpoint) {
            EXPECT_EQ(endpoint->Host, c.host);
            EXPECT_EQ(endpoint->nPort, c.nPort);
            EXPECT_EQ(endpoint->Text(), c.text);
            EXPECT_EQ(ParseTcpDevice(endpoint->Device())->Text(), c.text) << "the device names it again";
        } else {
            EXPECT_FALSE(error.empty()) << c.device;
        }
    }
}

namespace {

// A listening loopback socket that accepts when asked.
struct Listener {
    int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    int nPort = 0;
    Listener()
    {
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
        ::listen(fd, 4);
        socklen_t n = sizeof address;
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &n);
        nPort = ntohs(address.sin_port);
    }
    ~Listener() { ::close(fd); }
    int Accept()
    {
        pollfd p{fd, POLLIN, 0};
        return ::poll(&p, 1, 5000) > 0 ? ::accept(fd, nullptr, nullptr) : -1;
    }
};

// Maintains the line until it is connected (the connect completes on the loopback at
// once, yet is reported by the next look).
bool MaintainUntilOpen(CTcpLine& line)
{
    for (int i = 0; i < 1000 && !line.IsOpen(); ++i) {
        line.Maintain();
        if (!line.IsOpen())
            ::usleep(1000);
    }
    return line.IsOpen();
}

}  // namespace

// After a loss the next try waits 1 s, then 2, 4 ...; a connection that lived a minute
// starts the count again. Lost connections leave nothing unsent for the next.
TEST(TcpLineTest, RetriesBackOffAndAConnectionThatLivedAMinuteStartsThemAgain)
{
    ScopedFakeClock clock;
    g_AlarmLog.Clear();
    Listener rtu;
    CTcpLine line({"127.0.0.1", rtu.nPort});
    ASSERT_TRUE(MaintainUntilOpen(line));
    EXPECT_EQ(line.Session(), 1);
    const auto loseAfter = [&](int nSeconds) {
        const int fd = rtu.Accept();
        clock.AdvanceSeconds(nSeconds);
        ::close(fd);
        std::uint8_t buffer[16];
        for (int i = 0; i < 1000 && line.IsOpen(); ++i) {
            line.Read(buffer, sizeof buffer);
            ::usleep(1000);
        }
    };
    // Short-lived connections: 1 s, then 2 s before the next try.
    for (const int nWaitS : {1, 2}) {
        loseAfter(5);
        ASSERT_FALSE(line.IsOpen());
        const int nAttempts = line.Attempts();
        clock.Advance(nWaitS * 1000 - 1);
        line.Maintain();
        EXPECT_EQ(line.Attempts(), nAttempts) << "not before " << nWaitS << " s";
        clock.Advance(1);
        ASSERT_TRUE(MaintainUntilOpen(line));
        EXPECT_EQ(line.Attempts(), nAttempts + 1);
    }
    // One that lived a minute: 1 s again.
    loseAfter(60);
    const int nAttempts = line.Attempts();
    clock.Advance(999);
    line.Maintain();
    EXPECT_EQ(line.Attempts(), nAttempts);
    clock.Advance(1);
    ASSERT_TRUE(MaintainUntilOpen(line));
    EXPECT_EQ(line.Session(), 4);

    // Octets the socket has not taken are dropped with the connection.
    int nWritten = 0;
    const std::uint8_t frame[] = {0x05, 0x64, 0x05, 0xC0};
    EXPECT_TRUE(line.Write(frame, 4, 0, nWritten));
    EXPECT_EQ(nWritten, 4);
    line.Drop("test");
    EXPECT_FALSE(line.IsOpen());
    EXPECT_FALSE(line.Write(frame, 4, 0, nWritten)) << "nothing is taken while not connected";
    EXPECT_EQ(g_AlarmLog.Texts().back(), "TCP 连接断开: test");
    g_AlarmLog.Clear();
}

// A name is resolved on a thread of its own; each of its addresses is tried in turn.
TEST(TcpLineTest, NamesAreResolvedOffThePollThread)
{
    ScopedFakeClock clock;
    Listener rtu;  // IPv4 only: "localhost" may name ::1 first, refused, then 127.0.0.1
    CTcpLine line({"localhost", rtu.nPort});
    for (int i = 0; i < 5000 && !line.IsOpen(); ++i) {
        line.Maintain();
        clock.Advance(100);  // over any retry's pause
        ::usleep(1000);
    }
    EXPECT_TRUE(line.IsOpen());
    g_AlarmLog.Clear();
}
