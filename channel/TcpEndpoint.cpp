#include "channel/TcpEndpoint.h"

#include <algorithm>
#include <charconv>

namespace {

constexpr char kScheme[] = "tcp://";

bool HostChar(char c)
{
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '.' || c == '-' ||
           c == '_' || c == ':' || c == '%';
}

}  // namespace

std::string TcpEndpoint::Text() const
{
    const bool bIpv6 = Host.find(':') != std::string::npos;
    return (bIpv6 ? "[" + Host + "]" : Host) + ":" + std::to_string(nPort);
}

bool IsTcpDevice(const std::string& device) { return device.rfind(kScheme, 0) == 0; }

bool IsValidHost(const std::string& host)
{
    return !host.empty() && host.size() <= 253 && std::all_of(host.begin(), host.end(), HostChar);
}

std::optional<TcpEndpoint> ParseTcpDevice(const std::string& device, std::string* pError)
{
    const auto fail = [pError](const char* pszWhy) -> std::optional<TcpEndpoint> {
        if (pError != nullptr)
            *pError = pszWhy;
        return std::nullopt;
    };
    if (!IsTcpDevice(device))
        return fail("not tcp://HOST[:PORT]");
    const std::string rest = device.substr(sizeof kScheme - 1);
    TcpEndpoint endpoint;
    std::string port;
    if (!rest.empty() && rest[0] == '[') {
        const std::size_t close = rest.find(']');
        if (close == std::string::npos)
            return fail("an IPv6 address needs its closing bracket");
        endpoint.Host = rest.substr(1, close - 1);
        if (close + 1 < rest.size()) {
            if (rest[close + 1] != ':')
                return fail("only :PORT may follow the address");
            port = rest.substr(close + 2);
        } else {
            port = std::to_string(kDnp3TcpPort);
        }
    } else {
        const std::size_t colon = rest.find(':');
        if (colon != std::string::npos && rest.find(':', colon + 1) != std::string::npos)
            return fail("an IPv6 address goes in brackets: tcp://[ADDRESS]:PORT");
        endpoint.Host = rest.substr(0, colon);
        port = colon == std::string::npos ? std::to_string(kDnp3TcpPort) : rest.substr(colon + 1);
    }
    if (!IsValidHost(endpoint.Host))
        return fail("no valid host");
    int nPort = 0;
    const auto [end, ec] = std::from_chars(port.data(), port.data() + port.size(), nPort);
    if (ec != std::errc() || end != port.data() + port.size() || nPort < 1 || nPort > 65535)
        return fail("the port is a number from 1 to 65535");
    endpoint.nPort = nPort;
    return endpoint;
}
