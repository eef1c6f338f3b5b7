#include "ui/ChannelSettings.h"

#include "app/Channels.h"
#include "channel/PortMap.h"
#include "channel/TcpEndpoint.h"
#include "core/Config.h"

const char* const kBaudEntries[6] = {"300", "600", "1200", "2400", "4800", "9600"};
const char* const kDataBitsEntries[4] = {"8", "7", "6", "5"};
const char* const kParityEntries[3] = {"ODD", "EVEN", "NONE"};
const char* const kStopBitsEntries[3] = {"1", "1.5", "2"};

namespace {

// The value of each list position.
const int kBaudValues[] = {300, 600, 1200, 2400, 4800, 9600};
const int kDataBitsValues[] = {8, 7, 6, 5};
const int kParityValues[] = {1, 2, 0};
const int kStopBitsValues[] = {0, 1, 2};
const int kPortValues[] = {COM1, COM2};

template <std::size_t N>
int PositionOf(const int (&values)[N], int nValue)
{
    for (std::size_t i = 0; i < N; ++i)
        if (values[i] == nValue)
            return static_cast<int>(i);
    return -1;
}

template <std::size_t N>
int ValueAt(const int (&values)[N], int nPosition, int nCurrent)
{
    return nPosition >= 0 && nPosition < static_cast<int>(N) ? values[nPosition] : nCurrent;
}

}  // namespace

ChannelWords CurrentChannelWords()
{
    return {g_nBaudRate, g_nDataBits, g_nParity, g_nStopBits, g_nComPort, PortDevice(COM2), g_nKeepAliveSeconds};
}

ChannelChoice ChoiceFromWords(const ChannelWords& w)
{
    ChannelChoice c{PositionOf(kBaudValues, w.nBaudRate), PositionOf(kDataBitsValues, w.nDataBits),
                    PositionOf(kParityValues, w.nParity), PositionOf(kStopBitsValues, w.nStopBits),
                    PositionOf(kPortValues, w.nComPort)};
    c.nKeepAliveSeconds = w.nKeepAliveSeconds;
    if (const std::optional<TcpEndpoint> endpoint = ParseTcpDevice(w.Com2Device)) {
        c.bTcp = true;
        c.Host = endpoint->Host;
        c.nTcpPort = endpoint->nPort;
    }
    return c;
}

ChannelWords WordsFromChoice(const ChannelChoice& c, const ChannelWords& current)
{
    ChannelWords w{ValueAt(kBaudValues, c.nBaudIdx, current.nBaudRate),
                   ValueAt(kDataBitsValues, c.nDataBitsIdx, current.nDataBits),
                   ValueAt(kParityValues, c.nParityIdx, current.nParity),
                   ValueAt(kStopBitsValues, c.nStopBitsIdx, current.nStopBits),
                   ValueAt(kPortValues, c.nPort, current.nComPort),
                   current.Com2Device,
                   c.nKeepAliveSeconds};
    if (c.bTcp) {
        w.nComPort = COM2;  // COM1 stays serial
        w.Com2Device = TcpEndpoint{c.Host, c.nTcpPort}.Device();
    } else if (IsTcpDevice(current.Com2Device)) {
        w.Com2Device = SerialPortDevice(COM2);
    }
    return w;
}

ChannelChange ApplyChannelWords(const ChannelWords& w)
{
    ChannelChange change;
    if (w.nBaudRate != g_nBaudRate || w.nStopBits != g_nStopBits || w.nDataBits != g_nDataBits ||
        w.nParity != g_nParity) {
        g_nBaudRate = w.nBaudRate;
        g_nStopBits = w.nStopBits;
        g_nDataBits = w.nDataBits;
        g_nParity = w.nParity;
        ResetChannelLines();
        change.bLineReset = true;
    }
    g_nKeepAliveSeconds = w.nKeepAliveSeconds;
    // The engine's port, if it did not open, is tried again: the operator may have plugged
    // the adapter in or freed the device meanwhile. A TCP line that is not connected is
    // connecting already and is left to it, unless it is to connect elsewhere.
    // The dialog names no serial device: only a change to, from or between TCP
    // endpoints moves COM2 to another device.
    const std::string current = PortDevice(COM2);
    const bool bNewDevice = w.Com2Device != current && (IsTcpDevice(w.Com2Device) || IsTcpDevice(current));
    const bool bRetry = EnginePortClosed() && !IsTcpDevice(PortDevice(g_nComPort));
    if (w.nComPort != g_nComPort || bNewDevice || bRetry) {
        if (bNewDevice)
            MapPortDevice(COM2, w.Com2Device);
        g_nComPort = w.nComPort;
        RecreateChannels();
        change.bRecreated = true;
    }
    return change;
}
