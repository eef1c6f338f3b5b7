#include "monitor/CaptureFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "core/Gbk.h"

namespace {

constexpr char kEndOfFile = '\x1A';

bool IsGbkLead(unsigned char by) { return by >= 0x81 && by <= 0xFE; }

// Drops a lead octet at the very end whose second octet was cut off by the limit.
void DropSplitCharacter(std::string& octets)
{
    std::size_t i = 0;
    while (i < octets.size()) {
        const std::size_t n = IsGbkLead(static_cast<unsigned char>(octets[i])) ? 2 : 1;
        if (i + n > octets.size()) {
            octets.resize(i);
            return;
        }
        i += n;
    }
}

std::string Reason(const std::string& path, int err) { return path + ": " + std::strerror(err); }

// Where the file really is: a link is followed, so replacing the file keeps the link.
std::string TargetOf(const std::string& path)
{
    struct stat st{};
    if (lstat(path.c_str(), &st) == 0 && S_ISLNK(st.st_mode)) {
        char resolved[PATH_MAX];
        if (realpath(path.c_str(), resolved) != nullptr)
            return resolved;
    }
    return path;
}

bool WriteAll(int fd, const std::string& data)
{
    std::size_t nDone = 0;
    while (nDone < data.size()) {
        const ssize_t n = ::write(fd, data.data() + nDone, data.size() - nDone);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        nDone += static_cast<std::size_t>(n);
    }
    return true;
}

}  // namespace

std::string EncodeCapture(std::string_view utf8Text)
{
    const std::string gbk = Utf8ToGbk(utf8Text);
    std::string octets;
    octets.reserve(gbk.size() + gbk.size() / 16);
    for (const char c : gbk) {
        if (c == '\n')
            octets += '\r';
        octets += c;
    }
    return octets;
}

std::string DecodeCapture(std::string_view file)
{
    std::string octets;
    for (std::size_t i = 0; i < file.size() && octets.size() < kCaptureReadMax; ++i) {
        if (file[i] == kEndOfFile)
            break;
        if (file[i] == '\r' && i + 1 < file.size() && file[i + 1] == '\n')
            continue;  // the line feed that follows stands for both
        octets += file[i];
    }
    if (octets.size() == kCaptureReadMax)
        DropSplitCharacter(octets);
    const std::size_t nNul = octets.find('\0');
    if (nNul != std::string::npos)
        octets.resize(nNul);
    return GbkToUtf8(octets);
}

bool WriteCaptureFile(const std::string& path, std::string_view utf8Text, std::string& reason)
{
    const std::string target = TargetOf(path);
    if (access(target.c_str(), F_OK) == 0 && access(target.c_str(), W_OK) != 0) {
        reason = Reason(path, errno);
        return false;
    }
    // Written beside the target and renamed over it once complete, so a full disk or a
    // broken write never leaves a cut file under the chosen name.
    std::string temp = target + ".XXXXXX";
    const int fd = mkstemp(temp.data());
    if (fd < 0) {
        reason = Reason(path, errno);
        return false;
    }
    struct stat st{};
    const mode_t umaskNow = umask(0);
    umask(umaskNow);
    const mode_t mode = stat(target.c_str(), &st) == 0 ? (st.st_mode & 07777) : (0666 & ~umaskNow);
    const bool bWritten = fchmod(fd, mode) == 0 && WriteAll(fd, EncodeCapture(utf8Text)) && fsync(fd) == 0;
    const int errWrite = errno;
    const bool bClosed = ::close(fd) == 0;
    if (!bWritten || !bClosed || std::rename(temp.c_str(), target.c_str()) != 0) {
        reason = Reason(path, !bWritten ? errWrite : errno);
        ::unlink(temp.c_str());
        return false;
    }
    return true;
}

bool ReadCaptureFile(const std::string& path, std::string& utf8Text, std::string& reason)
{
    // Not blocking, and only a regular file: a FIFO or a device would hang or never end.
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        reason = Reason(path, errno);
        return false;
    }
    struct stat st{};
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        reason = path + ": 不是普通文件";
        ::close(fd);
        return false;
    }
    // Enough for kCaptureReadMax octets even if every one came from a CR LF pair, and the
    // octet after them that decides whether the last CR pairs up.
    std::string file(2 * kCaptureReadMax + 1, '\0');
    std::size_t nRead = 0;
    while (nRead < file.size()) {
        const ssize_t n = ::read(fd, file.data() + nRead, file.size() - nRead);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            reason = Reason(path, errno);
            ::close(fd);
            return false;
        }
        if (n == 0)
            break;
        nRead += static_cast<std::size_t>(n);
    }
    ::close(fd);
    file.resize(nRead);
    utf8Text = DecodeCapture(file);
    return true;
}

std::string ViewerLines(std::string_view text)
{
    std::string lines;
    lines.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') {
            lines += '\n';
            ++i;
        } else if (text[i] != '\r' && text[i] != '\n') {
            lines += text[i];
        }
    }
    return lines;
}
