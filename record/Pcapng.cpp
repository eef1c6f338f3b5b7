#include "record/Pcapng.h"

namespace pcapng {

namespace {

constexpr std::uint32_t kSectionHeaderType = 0x0A0D0D0A;
constexpr std::uint32_t kInterfaceType = 1;
constexpr std::uint32_t kEnhancedPacketType = 6;
constexpr std::uint16_t kLinktypeEthernet = 1;

// Little-endian host order, as pcapng allows (the byte-order magic says which).
class CBlock {
public:
    explicit CBlock(std::uint32_t dwType) { U32(dwType), U32(0); }

    CBlock& U16(std::uint16_t w)
    {
        m_Octets.push_back(static_cast<std::uint8_t>(w));
        m_Octets.push_back(static_cast<std::uint8_t>(w >> 8));
        return *this;
    }
    CBlock& U32(std::uint32_t dw)
    {
        U16(static_cast<std::uint16_t>(dw));
        return U16(static_cast<std::uint16_t>(dw >> 16));
    }
    CBlock& Octets(const std::uint8_t* p, std::size_t n)
    {
        m_Octets.insert(m_Octets.end(), p, p + n);
        while (m_Octets.size() % 4 != 0)
            m_Octets.push_back(0);
        return *this;
    }
    CBlock& Option(std::uint16_t wCode, const std::string& value)
    {
        U16(wCode).U16(static_cast<std::uint16_t>(value.size()));
        return Octets(reinterpret_cast<const std::uint8_t*>(value.data()), value.size());
    }
    CBlock& Option(std::uint16_t wCode, std::uint32_t dwValue) { return U16(wCode).U16(4).U32(dwValue); }
    CBlock& OptionU8(std::uint16_t wCode, std::uint8_t byValue)
    {
        U16(wCode).U16(1);
        return Octets(&byValue, 1);
    }
    CBlock& EndOfOptions() { return U32(0); }

    std::vector<std::uint8_t> Done()
    {
        const auto n = static_cast<std::uint32_t>(m_Octets.size() + 4);
        U32(n);
        for (int i = 0; i < 4; ++i)
            m_Octets[static_cast<std::size_t>(4 + i)] = static_cast<std::uint8_t>(n >> (8 * i));
        return std::move(m_Octets);
    }

private:
    std::vector<std::uint8_t> m_Octets;
};

void Put16(std::vector<std::uint8_t>& v, std::uint16_t w)  // network order
{
    v.push_back(static_cast<std::uint8_t>(w >> 8));
    v.push_back(static_cast<std::uint8_t>(w));
}

void Put32(std::vector<std::uint8_t>& v, std::uint32_t dw)
{
    Put16(v, static_cast<std::uint16_t>(dw >> 16));
    Put16(v, static_cast<std::uint16_t>(dw));
}

void PutMac(std::vector<std::uint8_t>& v, int nPort, bool bMaster)
{
    for (const std::uint8_t by : {0x02, 0x00, 0x00, 0x00})
        v.push_back(by);
    v.push_back(static_cast<std::uint8_t>(nPort + 1));
    v.push_back(bMaster ? 1 : 2);
}

std::uint16_t InternetChecksum(const std::uint8_t* p, std::size_t n)
{
    std::uint32_t sum = 0;
    for (std::size_t i = 0; i + 1 < n; i += 2)
        sum += static_cast<std::uint32_t>(p[i] << 8 | p[i + 1]);
    if (n % 2 != 0)
        sum += static_cast<std::uint32_t>(p[n - 1] << 8);
    while (sum >> 16 != 0)
        sum = (sum & 0xFFFF) + (sum >> 16);
    return static_cast<std::uint16_t>(~sum);
}

}  // namespace

std::vector<std::uint8_t> SectionHeader(const std::string& application)
{
    CBlock block(kSectionHeaderType);
    block.U32(0x1A2B3C4D).U16(1).U16(0).U32(0xFFFFFFFF).U32(0xFFFFFFFF);  // section length unknown
    return block.Option(4, application).EndOfOptions().Done();             // shb_userappl
}

std::vector<std::uint8_t> InterfaceDescription(const std::string& name, const std::string& description)
{
    CBlock block(kInterfaceType);
    block.U16(kLinktypeEthernet).U16(0).U32(65535);
    return block.Option(2, name).Option(3, description).OptionU8(9, 6).EndOfOptions().Done();  // if_tsresol 10^-6
}

std::vector<std::uint8_t> EnhancedPacket(std::uint32_t nInterface, std::int64_t tUs,
                                         const std::vector<std::uint8_t>& packet, Direction direction,
                                         const std::vector<std::string>& comments)
{
    const auto t = static_cast<std::uint64_t>(tUs);
    CBlock block(kEnhancedPacketType);
    block.U32(nInterface).U32(static_cast<std::uint32_t>(t >> 32)).U32(static_cast<std::uint32_t>(t));
    block.U32(static_cast<std::uint32_t>(packet.size())).U32(static_cast<std::uint32_t>(packet.size()));
    block.Octets(packet.data(), packet.size());
    block.Option(2, static_cast<std::uint32_t>(direction));  // epb_flags
    for (const std::string& comment : comments)
        block.Option(1, comment);  // opt_comment
    return block.EndOfOptions().Done();
}

std::vector<std::uint8_t> UdpPacket(int nPort, bool bFromMaster, std::uint16_t wUdpPort,
                                    const std::vector<std::uint8_t>& payload)
{
    std::vector<std::uint8_t> p;
    p.reserve(42 + payload.size());
    PutMac(p, nPort, !bFromMaster);  // destination first
    PutMac(p, nPort, bFromMaster);
    Put16(p, 0x0800);
    const std::size_t nIp = p.size();
    const auto nUdpLength = static_cast<std::uint16_t>(8 + payload.size());
    p.push_back(0x45);
    p.push_back(0);
    Put16(p, static_cast<std::uint16_t>(20 + nUdpLength));
    Put32(p, 0x00004000);  // identification 0, don't fragment
    p.push_back(64);
    p.push_back(17);
    Put16(p, 0);  // checksum, below
    Put32(p, bFromMaster ? kMasterIp : kRtuIp);
    Put32(p, bFromMaster ? kRtuIp : kMasterIp);
    const std::uint16_t wIpSum = InternetChecksum(&p[nIp], 20);
    p[nIp + 10] = static_cast<std::uint8_t>(wIpSum >> 8);
    p[nIp + 11] = static_cast<std::uint8_t>(wIpSum);
    Put16(p, wUdpPort);
    Put16(p, wUdpPort);
    Put16(p, nUdpLength);
    Put16(p, 0);  // no UDP checksum (allowed over IPv4)
    p.insert(p.end(), payload.begin(), payload.end());
    return p;
}

}  // namespace pcapng
