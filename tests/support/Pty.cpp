#include "support/Pty.h"

#include <algorithm>
#include <chrono>

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <stdexcept>

#include "channel/Pty.h"

PtyPair::PtyPair()
{
    // The code under test opens the slave itself, by name.
    if (!OpenRawPty(m_fdMaster, m_Device))
        throw std::runtime_error("openpty failed");
    fcntl(m_fdMaster, F_SETFL, fcntl(m_fdMaster, F_GETFL) | O_NONBLOCK);
}

PtyPair::~PtyPair() { ::close(m_fdMaster); }

void PtyPair::Write(const std::vector<std::uint8_t>& data) const
{
    std::size_t nDone = 0;
    while (nDone < data.size()) {
        const ssize_t n = ::write(m_fdMaster, data.data() + nDone, data.size() - nDone);
        if (n > 0) {
            nDone += static_cast<std::size_t>(n);
        } else {
            pollfd pfd{m_fdMaster, POLLOUT, 0};
            if (::poll(&pfd, 1, 2000) <= 0)
                throw std::runtime_error("pty write stalled");
        }
    }
}

std::vector<std::uint8_t> PtyPair::ReadAll(int nWaitMs) const
{
    std::vector<std::uint8_t> data;
    std::uint8_t buf[4096];
    pollfd pfd{m_fdMaster, POLLIN, 0};
    while (::poll(&pfd, 1, nWaitMs) > 0) {
        const ssize_t n = ::read(m_fdMaster, buf, sizeof buf);
        if (n <= 0)
            break;
        data.insert(data.end(), buf, buf + n);
        nWaitMs = 20;  // the rest of a burst follows quickly
    }
    return data;
}

std::vector<std::uint8_t> PtyPair::ReadCount(std::size_t n, int nBoundMs) const
{
    std::vector<std::uint8_t> data;
    std::uint8_t buf[4096];
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(nBoundMs);
    pollfd pfd{m_fdMaster, POLLIN, 0};
    while (data.size() < n) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0 || ::poll(&pfd, 1, static_cast<int>(left.count())) <= 0)
            break;
        const ssize_t nRead = ::read(m_fdMaster, buf, std::min(sizeof buf, n - data.size()));
        if (nRead <= 0)
            break;
        data.insert(data.end(), buf, buf + nRead);
    }
    return data;
}
