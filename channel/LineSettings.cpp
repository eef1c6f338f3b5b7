#include "channel/LineSettings.h"

#include "core/Config.h"

const char* ParityLetter(int nCode)
{
    constexpr const char* kLetters[] = {"N", "O", "E"};
    return kLetters[nCode >= 0 && nCode < 3 ? nCode : 0];
}

const char* StopBitsText(int nCode)
{
    constexpr const char* kTexts[] = {"1", "1.5", "2"};
    return kTexts[nCode >= 0 && nCode < 3 ? nCode : 0];
}

LineSettings CurrentLineSettings()
{
    return {g_nBaudRate.load(), g_nDataBits.load(), g_nParity.load(), g_nStopBits.load()};
}

namespace {

struct SpeedCode {
    int nBaudRate;
    speed_t speed;
};

const SpeedCode kSpeeds[] = {{300, B300},   {600, B600},   {1200, B1200}, {2400, B2400},
                             {4800, B4800}, {9600, B9600}, {19200, B19200}};

const tcflag_t kCharSize[] = {CS5, CS6, CS7, CS8};  // by data bits - 5

}  // namespace

bool TranslateLineSettings(const LineSettings& s, termios& tio)
{
    const SpeedCode* pSpeed = nullptr;
    for (const SpeedCode& sc : kSpeeds)
        if (sc.nBaudRate == s.nBaudRate)
            pSpeed = &sc;
    if (pSpeed == nullptr || s.nDataBits < 5 || s.nDataBits > 8 || s.nParity < 0 ||
        s.nParity > 2 || s.nStopBits < 0 || s.nStopBits > 2)
        return false;
    // CSTOPB means 1.5 stop bits for 5-bit characters and 2 for all others.
    const bool bFiveBits = s.nDataBits == 5;
    if ((s.nStopBits == 1 && !bFiveBits) || (s.nStopBits == 2 && bFiveBits))
        return false;

    termios t = tio;
    cfmakeraw(&t);
    cfsetispeed(&t, pSpeed->speed);
    cfsetospeed(&t, pSpeed->speed);
    t.c_cflag &= ~(CSIZE | PARENB | PARODD | CSTOPB | CRTSCTS);
    t.c_cflag |= kCharSize[s.nDataBits - 5] | CLOCAL | CREAD;
    t.c_iflag &= ~(IXON | IXOFF | IXANY | INPCK | IGNPAR | PARMRK);
    if (s.nParity != 0) {
        t.c_cflag |= PARENB | (s.nParity == 1 ? PARODD : 0);
        t.c_iflag |= INPCK;
    }
    if (s.nStopBits != 0)
        t.c_cflag |= CSTOPB;
    t.c_cc[VMIN] = 0;  // reads never wait
    t.c_cc[VTIME] = 0;
    t.c_cc[VSTART] = 0x11;
    t.c_cc[VSTOP] = 0x13;
    tio = t;
    return true;
}
