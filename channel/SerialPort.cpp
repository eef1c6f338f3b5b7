#include "channel/SerialPort.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <thread>

namespace {

using SteadyClock = std::chrono::steady_clock;

int MillisecondsLeft(SteadyClock::time_point deadline)
{
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - SteadyClock::now());
    return left.count() > 0 ? static_cast<int>(left.count()) : 0;
}

// Sets (TIOCMBIS) or clears (TIOCMBIC) modem lines. A device without them (a pty)
// refuses this; that is not an error here.
void ChangeModemLines(int fd, unsigned long request, int bits)
{
    (void)ioctl(fd, request, &bits);
}

}  // namespace

bool CSerialPort::Open(const std::string& device)
{
    Close();
    const int fd = ::open(device.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return false;
    // Not shared: another program holding the lock (or the exclusive mode) keeps us out.
    if (!isatty(fd) || flock(fd, LOCK_EX | LOCK_NB) != 0 || ioctl(fd, TIOCEXCL) != 0) {
        const int err = errno == EWOULDBLOCK ? EBUSY : errno;  // held by another program
        ::close(fd);
        errno = err;
        return false;
    }
    m_fd = fd;
    return true;
}

bool CSerialPort::Apply(const LineSettings& settings)
{
    termios tio{};
    if (m_fd < 0 || tcgetattr(m_fd, &tio) != 0 || !TranslateLineSettings(settings, tio) ||
        tcsetattr(m_fd, TCSANOW, &tio) != 0)
        return false;
    ChangeModemLines(m_fd, TIOCMBIS, TIOCM_DTR | TIOCM_RTS);
    m_nOctetUs = 11'000'000 / std::max(settings.nBaudRate, 1);
    return true;
}

int CSerialPort::Waiting() const
{
    int n = 0;
    if (m_fd < 0 || ioctl(m_fd, FIONREAD, &n) != 0 || n < 0)
        return 0;
    return n;
}

int CSerialPort::Read(std::uint8_t* pBuffer, int nMax)
{
    const int nWanted = std::min(nMax, Waiting());
    if (nWanted <= 0)
        return 0;
    const ssize_t n = ::read(m_fd, pBuffer, static_cast<size_t>(nWanted));
    return n > 0 ? static_cast<int>(n) : 0;
}

bool CSerialPort::Write(const std::uint8_t* pData, int nCount, int nTimeoutMs, int& nWritten)
{
    nWritten = 0;
    if (m_fd < 0)
        return false;
    const auto deadline = SteadyClock::now() + std::chrono::milliseconds(nTimeoutMs);
    while (nWritten < nCount) {
        const ssize_t n = ::write(m_fd, pData + nWritten, static_cast<size_t>(nCount - nWritten));
        if (n > 0) {
            nWritten += static_cast<int>(n);
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && errno != EAGAIN)
            return nWritten > 0;
        const int nLeft = MillisecondsLeft(deadline);
        if (nLeft == 0)
            return true;  // timed out: the caller sees the short count
        pollfd pfd{m_fd, POLLOUT, 0};
        (void)::poll(&pfd, 1, nLeft);
    }
    // Like the platform's write completion: done once the octets have left the queue.
    // Each wait lasts as long as what is still queued needs on the line, so a frame costs
    // a wake-up or two rather than one a millisecond.
    int nQueued = 0;
    while (ioctl(m_fd, TIOCOUTQ, &nQueued) == 0 && nQueued > 0) {
        const int nLeft = MillisecondsLeft(deadline);
        if (nLeft == 0)
            break;
        const auto wait = std::chrono::microseconds(std::max<long long>(1000, 1LL * nQueued * m_nOctetUs));
        std::this_thread::sleep_for(std::min<std::chrono::microseconds>(wait, std::chrono::milliseconds(nLeft)));
    }
    return true;
}

void CSerialPort::Purge()
{
    if (m_fd >= 0)
        tcflush(m_fd, TCIOFLUSH);
}

void CSerialPort::Close()
{
    if (m_fd < 0)
        return;
    ChangeModemLines(m_fd, TIOCMBIC, TIOCM_DTR);
    Purge();
    ::close(m_fd);
    m_fd = -1;
}
