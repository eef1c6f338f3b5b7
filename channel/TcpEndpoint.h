#pragma once
// Where a TCP line connects. "tcp://HOST[:PORT]" names it wherever a device is named (the
// command line, the port map, the channel dialog), so COM2 is either a serial device or
// an RTU on the network.
#include <optional>
#include <string>

constexpr int kDnp3TcpPort = 20000;  // where IEEE 1815 outstations listen

struct TcpEndpoint {
    std::string Host;  // a name, an IPv4 address, or an IPv6 address without its brackets
    int nPort = kDnp3TcpPort;

    // "10.0.0.5:20000", "[fe80::1]:20000".
    std::string Text() const;
    // "tcp://10.0.0.5:20000".
    std::string Device() const { return "tcp://" + Text(); }
};

bool IsTcpDevice(const std::string& device);
// The endpoint "tcp://HOST[:PORT]" names (an IPv6 address in brackets); none, with the
// reason in *pError, when it is malformed.
std::optional<TcpEndpoint> ParseTcpDevice(const std::string& device, std::string* pError = nullptr);
// A host as typed in a dialog: no blanks, no brackets but around an IPv6 address.
bool IsValidHost(const std::string& host);
