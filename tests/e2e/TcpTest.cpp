// The master on a TCP line, over loopback: against the simulated RTU listening, against
// nobody, against a peer that accepts and never answers, and against one that breaks off
// in the middle of a frame.
#include <gtest/gtest.h>

#include <netinet/in.h>
#include <poll.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <mutex>

#include "app/Channels.h"
#include "channel/ChannelTable.h"
#include "channel/PortMap.h"
#include "channel/Protocol.h"
#include "channel/TcpLine.h"
#include "core/Clock.h"
#include "commands/CommandQueue.h"
#include "commands/CommandTable.h"
#include "core/Config.h"
#include "core/EngineStatus.h"
#include "core/Locks.h"
#include "dnp3/QueltProtocol.h"
#include "e2e/EndToEnd.h"
#include "support/Hex.h"

namespace {

// A loopback socket the test plays the far end on.
class TestSocket {
public:
    TestSocket()
    {
        m_fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        ::bind(m_fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
        socklen_t nLength = sizeof address;
        ::getsockname(m_fd, reinterpret_cast<sockaddr*>(&address), &nLength);
        m_nPort = ntohs(address.sin_port);
    }
    ~TestSocket()
    {
        for (const int fd : m_Accepted)
            ::close(fd);
        ::close(m_fd);
    }
    void Listen() { ::listen(m_fd, 8); }
    std::string Device() const { return "tcp://127.0.0.1:" + std::to_string(m_nPort); }
    int Port() const { return m_nPort; }
    // The next connection, waiting at most nMs; -1 when none came.
    int Accept(int nMs)
    {
        pollfd p{m_fd, POLLIN, 0};
        if (::poll(&p, 1, nMs) <= 0)
            return -1;
        const int fd = ::accept(m_fd, nullptr, nullptr);
        m_Accepted.push_back(fd);
        return fd;
    }
    // Reads until n octets came or nMs passed.
    static std::vector<std::uint8_t> ReadSome(int fd, std::size_t n, int nMs)
    {
        std::vector<std::uint8_t> data;
        std::uint8_t buffer[256];
        while (data.size() < n) {
            pollfd p{fd, POLLIN, 0};
            if (::poll(&p, 1, nMs) <= 0)
                break;
            const ssize_t k = ::recv(fd, buffer, std::min(sizeof buffer, n - data.size()), 0);
            if (k <= 0)
                break;
            data.insert(data.end(), buffer, buffer + k);
        }
        return data;
    }

private:
    int m_fd;
    int m_nPort = 0;
    std::vector<int> m_Accepted;
};

int EngineLineAttempts()
{
    std::lock_guard lock(g_csChannel);
    const auto* pLine = dynamic_cast<const CTcpLine*>(&g_Channels.pChannel[1]->Line());
    return pLine != nullptr ? pLine->Attempts() : -1;
}

double CpuSeconds()
{
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

}  // namespace

class TcpTest : public EndToEndTest {};

TEST_F(TcpTest, ConnectsRunsTheStartupPollsAndASelectAndExecute)
{
    g_nAskMode = ASK_AUTO;
    SimOptions options;
    options.nChangeMs = 250;
    StartOnTcp(options);
    ASSERT_TRUE(RunUntil([this] { return CountRtuLog("read 60.4") >= 1; }, 30)) << RtuLog().size();
    EXPECT_EQ(CountRtuLog("master connected"), 1);
    EXPECT_EQ(CountRtuLog("clock set"), 1);
    EXPECT_EQ(CountAlarms("TCP 连接已建立 " + PortDevice(COM2).substr(6)), 1);

    g_nAskMode = ASK_MANUAL;
    ManualChoice choice;
    choice.nPoint = 5;
    choice.nCloseTrip = 0;
    choice.lRelayMs = 1000;
    m_pRtu->With([](COutstation& rtu) {
        rtu.Database().SetBinary(5, 0, rtu.RtuTime());
        return 0;
    });
    QueueManualCommand(*FindMenuCommand(32817), choice);
    ASSERT_TRUE(RunUntil([this] { return CountAlarms("遥控执行成功 !") == 1; }, 30));
    EXPECT_EQ(CountAlarms("遥控选点成功 !"), 1);
    EXPECT_EQ(m_pRtu->With([](COutstation& rtu) { return rtu.Database().Yx(5); }), 1);
    g_nAskMode = ASK_AUTO;  // the class polls bring every event
    ASSERT_TRUE(DeliverAllEvents(30));
    EXPECT_EQ(ReportedEventLines(), ExpectedEventLines());
}

// The RTU drops each connection after a few seconds: the master connects again, resets the
// link, runs the start-up sequence again and loses no event.
TEST_F(TcpTest, ConnectionsDroppedByTheRtuAreRenewedAndNoEventIsLost)
{
    g_nAskMode = ASK_AUTO;
    SimOptions options;
    options.nChangeMs = 200;
    StartOnTcp(options, 4);
    ASSERT_TRUE(RunUntil([this] { return CountRtuLog("master connected") >= 3; }, 40)) << RtuLog().size();
    EXPECT_GE(CountRtuLog("read 80.1"), 2) << "the start-up sequence again on a new connection";
    // Closed, or reset when a request crossed the close.
    EXPECT_GE(std::count_if(m_Alarms.begin(), m_Alarms.end(),
                            [](const std::string& a) { return a.rfind("TCP 连接断开: ", 0) == 0; }),
              2);
    ASSERT_TRUE(DeliverAllEvents(60));
    const std::vector<std::string> expected = ExpectedEventLines();
    ASSERT_GE(expected.size(), 10u);
    EXPECT_EQ(ReportedEventLines(), expected);
    EXPECT_EQ(CountAlarms("链路层通讯失败 ！"), 0) << "nothing of one connection waits into the next";
}

// Nobody listens: tries after 1, 2, 4 ... s, the first three failures said, and the poll
// thread idle meanwhile. (The exact schedule is the unit test's, on the fake clock.)
TEST_F(TcpTest, NobodyListeningIsTriedWithGrowingPausesAndCostsNoCpu)
{
    TestSocket nobody;  // bound, never listening: every connect is refused
    MapPortDevice(COM2, nobody.Device());
    const double dCpuBefore = CpuSeconds();
    const auto tStart = std::chrono::steady_clock::now();
    CreateChannels();
    ASSERT_TRUE(RunUntil([] { return EngineLineAttempts() >= 4; }, 60));
    // The pauses held: a busy machine can only make them longer.
    EXPECT_GE(std::chrono::steady_clock::now() - tStart, std::chrono::seconds(7)) << "4th try at 1 + 2 + 4 s";
    EXPECT_LT(CpuSeconds() - dCpuBefore, 1.0) << "seconds of CPU in the retrying";
    const std::vector<std::string> expected = {"TCP 连接失败: Connection refused, 1 秒后重试",
                                               "TCP 连接失败: Connection refused, 2 秒后重试",
                                               "TCP 连接失败: Connection refused, 4 秒后重试"};
    EXPECT_EQ(AlarmsBesidesDelay(), expected) << "the fourth failure, for the same reason, unsaid";
}

// A peer that accepts and never answers is found by the keep-alive and connected anew.
TEST_F(TcpTest, SilentPeerIsFoundByTheKeepAliveAndTheConnectionRenewed)
{
    g_nKeepAliveSeconds = 4;
    TestSocket silent;
    silent.Listen();
    MapPortDevice(COM2, silent.Device());
    CreateChannels();
    const int fdFirst = silent.Accept(10'000);
    ASSERT_GE(fdFirst, 0);
    ASSERT_TRUE(RunUntil([this] { return CountAlarms("TCP 连接已建立 127.0.0.1:" + PortDevice(COM2).substr(16)) >= 1; }, 10));
    ASSERT_TRUE(RunUntil(
        [this] {
            return std::any_of(m_Alarms.begin(), m_Alarms.end(),
                               [](const std::string& a) { return a.rfind("TCP 连接断开: 保活无应答", 0) == 0; });
        },
        20));
    // What it sent in the silence: link resets, and the keep-alive's link-status request.
    const std::string sent = ToHex(TestSocket::ReadSome(fdFirst, 4096, 100));
    EXPECT_NE(sent.find("05 64 05 C0 36 00 AE 0C"), std::string::npos) << sent;
    EXPECT_GE(silent.Accept(10'000), 0) << "connected anew";
}

// The far end breaks off in the middle of a frame: its first half is never joined to the
// frames of the next connection.
TEST_F(TcpTest, HalfAFrameAtALostConnectionIsNeverSplicedIntoTheNext)
{
    TestSocket peer;
    peer.Listen();
    MapPortDevice(COM2, peer.Device());
    CreateChannels();
    const std::vector<std::uint8_t> reset = FromHex("05 64 05 C0 36 00 AE 0C A7 07");
    const std::vector<std::uint8_t> ack = FromHex("05 64 05 00 AE 0C 36 00 FF 2E");

    const int fdFirst = peer.Accept(10'000);
    ASSERT_GE(fdFirst, 0);
    ASSERT_EQ(TestSocket::ReadSome(fdFirst, reset.size(), 10'000), reset);
    ::send(fdFirst, ack.data(), 6, MSG_NOSIGNAL);  // half the ACK, then gone
    ::shutdown(fdFirst, SHUT_RDWR);

    const int fdSecond = peer.Accept(10'000);
    ASSERT_GE(fdSecond, 0);
    ASSERT_EQ(TestSocket::ReadSome(fdSecond, reset.size(), 10'000), reset) << "the link reset afresh";
    ::send(fdSecond, ack.data(), ack.size(), MSG_NOSIGNAL);
    ASSERT_TRUE(RunUntil(
        [] {
            std::lock_guard lock(g_csChannel);
            const auto* pEngine = dynamic_cast<const CQueltProtocol*>(g_Channels.pChannel[1].get());
            return pEngine != nullptr && pEngine->Link().IsReset();
        },
        10))
        << "the whole ACK of the new connection was taken";
    EXPECT_EQ(g_EngineStatus.Read().counts.nCrcFailures, 0u);
}

// On a network in UTC the clock is set as IEEE 1815 has it for LANs: "record current
// time", then 50.3 with the master's time of that moment.
TEST_F(TcpTest, UtcClockIsSetByTheNetworkProcedure)
{
    g_nAskMode = ASK_AUTO;
    g_nTimeFormat = TIME_FORMAT_UTC;
    SimOptions options;
    options.nChangeMs = 0;
    options.bUtcTime = true;
    options.nClockOffsetS = -3 * 3600;
    StartOnTcp(options);
    ASSERT_TRUE(RunUntil([this] { return CountRtuLog("clock set") >= 1; }, 30)) << RtuLog().size();
    EXPECT_EQ(CountRtuLog("function 24: current time recorded"), 1);
    EXPECT_EQ(CountRtuLog("at the recorded time"), 1);
    EXPECT_EQ(CountRtuLog("delay measurement"), 0);
    const long long llOff = m_pRtu->With(
        [](COutstation& rtu) { return static_cast<long long>(rtu.RtuTime()) - static_cast<long long>(UtcMs()); });
    EXPECT_LE(std::llabs(llOff), 50) << "ms off UTC";
}
