#pragma once
// The channel dialog's lists and the translation between their positions and the
// configuration words, in both directions; and what confirming the dialog changes.
#include <string>

// The list entries, in their order.
extern const char* const kBaudEntries[6];
extern const char* const kDataBitsEntries[4];
extern const char* const kParityEntries[3];
extern const char* const kStopBitsEntries[3];

// Zero-based list positions and the port radio; -1 is no selection. A TCP line is the
// engine's COM2 with its host, port and keep-alive period.
struct ChannelChoice {
    int nBaudIdx = -1;
    int nDataBitsIdx = -1;
    int nParityIdx = -1;
    int nStopBitsIdx = -1;
    int nPort = -1;
    bool bTcp = false;
    std::string Host;
    int nTcpPort = 20000;
    int nKeepAliveSeconds = 60;
    bool operator==(const ChannelChoice&) const = default;
};

struct ChannelWords {
    int nBaudRate;
    int nDataBits;
    int nParity;    // 0 none, 1 odd, 2 even
    int nStopBits;  // 0 one, 1 one and a half, 2 two
    int nComPort;
    std::string Com2Device;  // a serial device, or "tcp://HOST:PORT"
    int nKeepAliveSeconds;
    bool operator==(const ChannelWords&) const = default;
};

ChannelWords CurrentChannelWords();
// A value without an entry gives -1.
ChannelChoice ChoiceFromWords(const ChannelWords& words);
// A position without an entry keeps the current value.
ChannelWords WordsFromChoice(const ChannelChoice& choice, const ChannelWords& current);

struct ChannelChange {
    bool bLineReset = false;  // both ports re-programmed
    bool bRecreated = false;  // both channels rebuilt for the new port, or to retry the engine's
};

// Writes the confirmed words. Changed line settings re-program both open ports, entry 0
// first; a changed port or COM2 device, or an engine port that is not open, then rebuilds
// both channels, which open with the new settings.
ChannelChange ApplyChannelWords(const ChannelWords& words);
