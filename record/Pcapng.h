#pragma once
// The few pcapng blocks a recording needs, and the packet each link frame becomes, so
// that stock Wireshark dissects serial DNP3 with no preference change: Ethernet, IPv4,
// UDP 20000 → 20000, the master at 192.0.2.1 and the RTU at 192.0.2.2. libpcap reads
// these files but cannot write their options (direction, comments), so this is ours.
#include <cstdint>
#include <string>
#include <vector>

namespace pcapng {

constexpr std::uint16_t kDnp3Port = 20000;
// Octets that are not a whole frame (noise, a cut, a loss) go to this port, so that no
// dissector takes them for a frame.
constexpr std::uint16_t kOtherPort = 20001;
constexpr std::uint32_t kMasterIp = 0xC0000201;  // 192.0.2.1
constexpr std::uint32_t kRtuIp = 0xC0000202;     // 192.0.2.2

enum Direction : std::uint32_t { kInbound = 1, kOutbound = 2 };  // epb_flags bits 0-1

std::vector<std::uint8_t> SectionHeader(const std::string& application);
// Linktype Ethernet, microsecond times.
std::vector<std::uint8_t> InterfaceDescription(const std::string& name, const std::string& description);
std::vector<std::uint8_t> EnhancedPacket(std::uint32_t nInterface, std::int64_t tUs,
                                         const std::vector<std::uint8_t>& packet, Direction direction,
                                         const std::vector<std::string>& comments);

// Ethernet / IPv4 / UDP around the payload. The MAC addresses are locally administered
// and name the port (02:00:00:00:port+1:1 for the master, :2 for the RTU), so that a
// reader without the interface blocks still knows which port a packet came from.
std::vector<std::uint8_t> UdpPacket(int nPort, bool bFromMaster, std::uint16_t wUdpPort,
                                    const std::vector<std::uint8_t>& payload);

}  // namespace pcapng
