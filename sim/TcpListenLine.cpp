#include "sim/TcpListenLine.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <cstring>

namespace {

std::string PeerText(const sockaddr_storage& peer)
{
    char text[INET6_ADDRSTRLEN] = "?";
    int nPort = 0;
    if (peer.ss_family == AF_INET6) {
        const auto* p = reinterpret_cast<const sockaddr_in6*>(&peer);
        ::inet_ntop(AF_INET6, &p->sin6_addr, text, sizeof text);
        nPort = ntohs(p->sin6_port);
        return "[" + std::string(text) + "]:" + std::to_string(nPort);
    }
    const auto* p = reinterpret_cast<const sockaddr_in*>(&peer);
    ::inet_ntop(AF_INET, &p->sin_addr, text, sizeof text);
    nPort = ntohs(p->sin_port);
    return std::string(text) + ":" + std::to_string(nPort);
}

}  // namespace

bool ParseListenAddress(const std::string& where, std::string& address, int& nPort)
{
    std::string port = where;
    address = "0.0.0.0";
    if (!where.empty() && where[0] == '[') {
        const std::size_t close = where.find("]:");
        if (close == std::string::npos)
            return false;
        address = where.substr(1, close - 1);
        port = where.substr(close + 2);
    } else if (const std::size_t colon = where.rfind(':'); colon != std::string::npos) {
        address = where.substr(0, colon);
        port = where.substr(colon + 1);
    }
    const auto [end, ec] = std::from_chars(port.data(), port.data() + port.size(), nPort);
    return ec == std::errc() && end == port.data() + port.size() && nPort >= 0 && nPort <= 65535 && !address.empty();
}

std::unique_ptr<CTcpListenLine> CTcpListenLine::Listen(const std::string& where, int nDropAfterS, Log log,
                                                       std::string& error)
{
    std::string address;
    int nPort = 0;
    if (!ParseListenAddress(where, address, nPort)) {
        error = "not [ADDRESS:]PORT: " + where;
        return nullptr;
    }
    sockaddr_storage bind{};
    socklen_t nLength = 0;
    auto* p4 = reinterpret_cast<sockaddr_in*>(&bind);
    auto* p6 = reinterpret_cast<sockaddr_in6*>(&bind);
    if (::inet_pton(AF_INET, address.c_str(), &p4->sin_addr) == 1) {
        p4->sin_family = AF_INET;
        p4->sin_port = htons(static_cast<std::uint16_t>(nPort));
        nLength = sizeof(sockaddr_in);
    } else if (::inet_pton(AF_INET6, address.c_str(), &p6->sin6_addr) == 1) {
        p6->sin6_family = AF_INET6;
        p6->sin6_port = htons(static_cast<std::uint16_t>(nPort));
        nLength = sizeof(sockaddr_in6);
    } else {
        error = "not an IP address: " + address;
        return nullptr;
    }
    const int fd = ::socket(bind.ss_family, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    const int nOne = 1;
    if (fd < 0 || ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &nOne, sizeof nOne) != 0 ||
        ::bind(fd, reinterpret_cast<sockaddr*>(&bind), nLength) != 0 || ::listen(fd, 4) != 0) {
        error = std::string("cannot listen on ") + where + ": " + std::strerror(errno);
        if (fd >= 0)
            ::close(fd);
        return nullptr;
    }
    sockaddr_storage bound{};
    socklen_t nBound = sizeof bound;
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&bound), &nBound);
    const int nBoundPort = ntohs(bound.ss_family == AF_INET6 ? reinterpret_cast<sockaddr_in6*>(&bound)->sin6_port
                                                             : reinterpret_cast<sockaddr_in*>(&bound)->sin_port);
    return std::unique_ptr<CTcpListenLine>(new CTcpListenLine(fd, nBoundPort, nDropAfterS, std::move(log)));
}

CTcpListenLine::CTcpListenLine(int fdListen, int nPort, int nDropAfterS, Log log)
    : m_fdListen(fdListen), m_nPort(nPort), m_nDropAfterS(nDropAfterS), m_Log(std::move(log))
{
}

CTcpListenLine::~CTcpListenLine()
{
    if (m_fdConnection >= 0)
        ::close(m_fdConnection);
    ::close(m_fdListen);
}

void CTcpListenLine::AcceptWaiting()
{
    sockaddr_storage peer{};
    socklen_t nLength = sizeof peer;
    const int fd = ::accept4(m_fdListen, reinterpret_cast<sockaddr*>(&peer), &nLength, SOCK_NONBLOCK | SOCK_CLOEXEC);
    if (fd < 0)
        return;
    if (m_fdConnection >= 0)
        CloseConnection("replaced by a new connection");
    const int nOne = 1;
    ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &nOne, sizeof nOne);
    m_fdConnection = fd;
    m_tAccepted = std::chrono::steady_clock::now();
    ++m_nSession;
    if (m_Log)
        m_Log("master connected from " + PeerText(peer));
}

void CTcpListenLine::CloseConnection(const std::string& why)
{
    ::close(m_fdConnection);
    m_fdConnection = -1;
    if (m_Log)
        m_Log("connection closed: " + why);
}

int CTcpListenLine::Read(std::uint8_t* pBuffer, int nMax)
{
    AcceptWaiting();
    if (m_fdConnection >= 0 && m_nDropAfterS > 0 &&
        std::chrono::steady_clock::now() - m_tAccepted >= std::chrono::seconds(m_nDropAfterS))
        CloseConnection("dropped after " + std::to_string(m_nDropAfterS) + " s, as asked");
    if (m_fdConnection < 0)
        return 0;
    const ssize_t n = ::recv(m_fdConnection, pBuffer, static_cast<std::size_t>(nMax), MSG_DONTWAIT);
    if (n > 0)
        return static_cast<int>(n);
    if (n == 0)
        CloseConnection("the master closed it");
    else if (errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR)
        CloseConnection(std::strerror(errno));
    return 0;
}

void CTcpListenLine::Write(const std::uint8_t* pData, int nCount)
{
    for (int nDone = 0; nDone < nCount && m_fdConnection >= 0;) {
        const ssize_t n = ::send(m_fdConnection, pData + nDone, static_cast<std::size_t>(nCount - nDone),
                                 MSG_DONTWAIT | MSG_NOSIGNAL);
        if (n > 0) {
            nDone += static_cast<int>(n);
            continue;
        }
        if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR) {
            CloseConnection(std::strerror(errno));
            return;
        }
        pollfd pfd{m_fdConnection, POLLOUT, 0};
        if (::poll(&pfd, 1, 1000) <= 0)
            return;  // the master reads nothing: drop the rest rather than hang
    }
}
