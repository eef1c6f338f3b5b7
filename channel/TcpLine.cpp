#include "channel/TcpLine.h"

#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <mutex>
#include <thread>

#include "core/Clock.h"
#include "monitor/AlarmLog.h"

// Written once by the resolving thread; read only after IsDone, which orders the reads
// after its writes.
struct CTcpLine::Resolution {
    std::mutex mx;
    bool bDone = false;  // under mx
    std::vector<sockaddr_storage> Addresses;
    std::string Error;

    bool IsDone()
    {
        std::lock_guard lock(mx);
        return bDone;
    }

    void Resolve(const TcpEndpoint& endpoint)
    {
        addrinfo hints{};
        hints.ai_family = AF_UNSPEC;
        hints.ai_socktype = SOCK_STREAM;
        addrinfo* pList = nullptr;
        const std::string port = std::to_string(endpoint.nPort);
        const int nResult = ::getaddrinfo(endpoint.Host.c_str(), port.c_str(), &hints, &pList);
        std::vector<sockaddr_storage> addresses;
        for (addrinfo* p = pList; nResult == 0 && p != nullptr; p = p->ai_next) {
            sockaddr_storage address{};
            std::memcpy(&address, p->ai_addr, std::min<std::size_t>(p->ai_addrlen, sizeof address));
            addresses.push_back(address);
        }
        if (pList != nullptr)
            ::freeaddrinfo(pList);
        std::lock_guard lock(mx);
        Addresses = std::move(addresses);
        if (nResult != 0)
            Error = std::string("无法解析主机名 ") + endpoint.Host + " (" + ::gai_strerror(nResult) + ")";
        else if (Addresses.empty())
            Error = "主机名 " + endpoint.Host + " 没有地址";
        bDone = true;
    }
};

namespace {

socklen_t AddressLength(const sockaddr_storage& address)
{
    return address.ss_family == AF_INET6 ? sizeof(sockaddr_in6) : sizeof(sockaddr_in);
}

// An address written as one needs no resolver.
bool NumericAddress(const TcpEndpoint& endpoint, sockaddr_storage& address)
{
    address = {};
    auto* p4 = reinterpret_cast<sockaddr_in*>(&address);
    if (::inet_pton(AF_INET, endpoint.Host.c_str(), &p4->sin_addr) == 1) {
        p4->sin_family = AF_INET;
        p4->sin_port = htons(static_cast<std::uint16_t>(endpoint.nPort));
        return true;
    }
    auto* p6 = reinterpret_cast<sockaddr_in6*>(&address);
    if (::inet_pton(AF_INET6, endpoint.Host.c_str(), &p6->sin6_addr) == 1) {
        p6->sin6_family = AF_INET6;
        p6->sin6_port = htons(static_cast<std::uint16_t>(endpoint.nPort));
        return true;
    }
    return false;
}

}  // namespace

CTcpLine::CTcpLine(TcpEndpoint endpoint) : m_Endpoint(std::move(endpoint)), m_nNextTryMs(MonotonicMs()) {}

CTcpLine::~CTcpLine() { CloseSocket(); }

void CTcpLine::Close()
{
    CloseSocket();
    m_State = State::CLOSED;
}

void CTcpLine::CloseSocket()
{
    if (m_fd >= 0)
        ::close(m_fd);
    m_fd = -1;
    // Half a frame never reaches the next connection.
    m_Unsent.clear();
}

int CTcpLine::Waiting() const
{
    int n = 0;
    return IsOpen() && ::ioctl(m_fd, FIONREAD, &n) == 0 ? n : 0;
}

void CTcpLine::Maintain()
{
    const std::int64_t nNowMs = MonotonicMs();
    switch (m_State) {
    case State::WAITING:
        if (nNowMs >= m_nNextTryMs)
            StartAttempt(nNowMs);
        break;
    case State::RESOLVING:
        if (!m_pResolution->IsDone())
            break;
        if (!m_pResolution->Error.empty())
            Failed(m_pResolution->Error);
        else
            Connect(nNowMs);
        break;
    case State::CONNECTING:
        CheckConnect(nNowMs);
        break;
    case State::CONNECTED:
        Flush();
        break;
    case State::CLOSED:
        break;
    }
}

void CTcpLine::StartAttempt(std::int64_t nNowMs)
{
    ++m_nAttempts;
    sockaddr_storage address{};
    if (m_pResolution == nullptr || !m_pResolution->Error.empty() ||
        m_nNextAddress >= m_pResolution->Addresses.size()) {
        m_nNextAddress = 0;
        m_pResolution = std::make_shared<Resolution>();
        if (NumericAddress(m_Endpoint, address)) {
            m_pResolution->Addresses = {address};
            m_pResolution->bDone = true;
        } else {
            // A name may take the resolver seconds: never on the poll thread.
            std::thread([pResolution = m_pResolution, endpoint = m_Endpoint] { pResolution->Resolve(endpoint); })
                .detach();
            m_State = State::RESOLVING;
            return;
        }
    }
    Connect(nNowMs);
}

void CTcpLine::Connect(std::int64_t nNowMs)
{
    const sockaddr_storage address = m_pResolution->Addresses[m_nNextAddress++];
    m_fd = ::socket(address.ss_family, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (m_fd < 0) {
        Failed(std::strerror(errno));
        return;
    }
    const int nOne = 1;
    ::setsockopt(m_fd, IPPROTO_TCP, TCP_NODELAY, &nOne, sizeof nOne);  // a frame goes out whole, now
    if (::connect(m_fd, reinterpret_cast<const sockaddr*>(&address), AddressLength(address)) == 0) {
        Connected(nNowMs);
        return;
    }
    if (errno != EINPROGRESS) {
        Failed(std::strerror(errno));
        return;
    }
    m_State = State::CONNECTING;
    m_nDeadlineMs = nNowMs + kConnectTimeoutMs;
}

void CTcpLine::CheckConnect(std::int64_t nNowMs)
{
    pollfd p{m_fd, POLLOUT, 0};
    if (::poll(&p, 1, 0) > 0) {
        int nError = 0;
        socklen_t nLength = sizeof nError;
        if (::getsockopt(m_fd, SOL_SOCKET, SO_ERROR, &nError, &nLength) != 0)
            nError = errno;
        if (nError == 0)
            Connected(nNowMs);
        else
            Failed(std::strerror(nError));
    } else if (nNowMs >= m_nDeadlineMs) {
        Failed("连接超时 (" + std::to_string(kConnectTimeoutMs / 1000) + " 秒)");
    }
}

void CTcpLine::Connected(std::int64_t nNowMs)
{
    m_State = State::CONNECTED;
    m_nConnectedMs = nNowMs;
    ++m_nSession;
    m_nFailuresInARow = 0;
    m_LastFailure.clear();
    m_nNextAddress = 0;
    AddAlarm("TCP 连接已建立 " + m_Endpoint.Text());
}

void CTcpLine::RetryLater(std::int64_t nNowMs)
{
    m_State = State::WAITING;
    m_nNextTryMs = nNowMs + m_nRetryMs;
    m_nRetryMs = std::min(m_nRetryMs * 2, kMaxRetryMs);
}

void CTcpLine::Failed(const std::string& reason)
{
    CloseSocket();
    const int nWaitS = m_nRetryMs / 1000;
    ++m_nFailuresInARow;
    if (m_nFailuresInARow <= kReportedFailures || reason != m_LastFailure)
        AddAlarm("TCP 连接失败: " + reason + ", " + std::to_string(nWaitS) + " 秒后重试");
    m_LastFailure = reason;
    RetryLater(MonotonicMs());
}

void CTcpLine::Lost(const std::string& reason)
{
    const std::int64_t nNowMs = MonotonicMs();
    CloseSocket();
    if (nNowMs - m_nConnectedMs >= kSteadyMs)
        m_nRetryMs = kFirstRetryMs;
    AddAlarm("TCP 连接断开: " + reason);
    RetryLater(nNowMs);
}

void CTcpLine::Drop(const std::string& reason)
{
    if (IsOpen())
        Lost(reason);
}

int CTcpLine::Read(std::uint8_t* pBuffer, int nMax)
{
    if (!IsOpen() || nMax <= 0)
        return 0;
    const ssize_t n = ::recv(m_fd, pBuffer, static_cast<std::size_t>(nMax), MSG_DONTWAIT);
    if (n > 0)
        return static_cast<int>(n);
    if (n == 0)
        Lost("对方关闭了连接");
    else if (errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR)
        Lost(std::strerror(errno));
    return 0;
}

bool CTcpLine::Write(const std::uint8_t* pData, int nCount, int /*nTimeoutMs*/, int& nWritten)
{
    nWritten = 0;
    if (!IsOpen())
        return false;
    m_Unsent.insert(m_Unsent.end(), pData, pData + std::max(nCount, 0));
    if (m_Unsent.size() > kMaxUnsent) {
        Lost("发送缓冲区已满 (对方不再接收)");
        return false;
    }
    nWritten = nCount;
    Flush();
    return true;
}

void CTcpLine::Flush()
{
    while (IsOpen() && !m_Unsent.empty()) {
        const ssize_t n = ::send(m_fd, m_Unsent.data(), m_Unsent.size(), MSG_DONTWAIT | MSG_NOSIGNAL);
        if (n > 0) {
            m_Unsent.erase(m_Unsent.begin(), m_Unsent.begin() + n);
        } else if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR) {
            Lost(std::strerror(errno));
        } else {
            return;  // the socket is full: the rest at the next step
        }
    }
}
