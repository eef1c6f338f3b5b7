#include "support/Pty.h"

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

#include <stdexcept>

PtyPair::PtyPair()
{
    int fdSlave = -1;
    char name[128] = {};
    termios raw{};
    cfmakeraw(&raw);
    if (openpty(&m_fdMaster, &fdSlave, name, &raw, nullptr) != 0)
        throw std::runtime_error("openpty failed");
    m_Device = name;
    ::close(fdSlave);  // the code under test opens the slave itself
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
