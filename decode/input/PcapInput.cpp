// pcap and pcapng through libpcap: Quelt's own recordings packet by packet, others' DNP3
// over UDP or TCP port 20000 and RTAC serial captures framed as the line tap frames.
#include <arpa/inet.h>
#include <pcap/pcap.h>

#include <cstdio>
#include <map>
#include <memory>
#include <tuple>

#include "decode/input/InputsInternal.h"
#include "record/LineTap.h"
#include "record/Pcapng.h"
#include "record/TapFramer.h"

namespace qdec {

namespace {

constexpr int kLinktypeRtacSerial = 250;
constexpr int kRtacHeader = 12;

struct Span {
    const std::uint8_t* p;
    std::size_t n;
    bool Has(std::size_t nAt, std::size_t nCount) const { return nAt <= n && nCount <= n - nAt; }
    unsigned U16(std::size_t nAt) const { return static_cast<unsigned>(p[nAt] << 8 | p[nAt + 1]); }
};

struct Endpoint {
    std::string Address;
    unsigned nPort = 0;
    auto operator<=>(const Endpoint&) const = default;
};

struct Segment {
    bool bTcp = false;
    Endpoint Src;
    Endpoint Dst;
    const std::uint8_t* pMac = nullptr;  // Ethernet source and destination, when there
    Span Payload{nullptr, 0};
};

std::string Ip4Text(const std::uint8_t* p)
{
    char text[INET_ADDRSTRLEN] = {};
    inet_ntop(AF_INET, p, text, sizeof text);
    return text;
}

std::string Ip6Text(const std::uint8_t* p)
{
    char text[INET6_ADDRSTRLEN] = {};
    inet_ntop(AF_INET6, p, text, sizeof text);
    return std::string("[") + text + "]";
}

// IPv4 or IPv6 at the start of s, then UDP or TCP; false for anything else.
bool ReadIp(Span s, int nVersion, Segment& seg)
{
    std::size_t nAt = 0;
    int nProtocol = 0;
    std::size_t nEnd = s.n;
    if (nVersion == 4) {
        if (!s.Has(0, 20) || (s.p[0] >> 4) != 4)
            return false;
        nAt = static_cast<std::size_t>(s.p[0] & 0x0F) * 4;
        nEnd = std::min<std::size_t>(s.n, s.U16(2));
        if ((s.U16(6) & 0x3FFF) != 0 || nAt < 20)
            return false;  // fragments are not put together
        nProtocol = s.p[9];
        seg.Src.Address = Ip4Text(s.p + 12);
        seg.Dst.Address = Ip4Text(s.p + 16);
    } else {
        if (!s.Has(0, 40) || (s.p[0] >> 4) != 6)
            return false;
        nAt = 40;
        nEnd = std::min<std::size_t>(s.n, 40 + s.U16(4));
        nProtocol = s.p[6];
        seg.Src.Address = Ip6Text(s.p + 8);
        seg.Dst.Address = Ip6Text(s.p + 24);
    }
    if (nEnd < nAt)
        return false;
    const Span l4{s.p + nAt, nEnd - nAt};
    if (nProtocol == 17 && l4.Has(0, 8)) {
        seg.Src.nPort = l4.U16(0);
        seg.Dst.nPort = l4.U16(2);
        seg.Payload = {l4.p + 8, std::min<std::size_t>(l4.n, std::max<unsigned>(l4.U16(4), 8)) - 8};
        return true;
    }
    if (nProtocol == 6 && l4.Has(0, 20)) {
        const std::size_t nHeader = static_cast<std::size_t>(l4.p[12] >> 4) * 4;
        if (nHeader < 20 || !l4.Has(0, nHeader))
            return false;
        seg.bTcp = true;
        seg.Src.nPort = l4.U16(0);
        seg.Dst.nPort = l4.U16(2);
        seg.Payload = {l4.p + nHeader, l4.n - nHeader};
        return true;
    }
    return false;
}

// The IP packet inside a frame of this linktype.
bool ReadLink(int nLinktype, Span s, Segment& seg)
{
    std::size_t nAt = 0;
    unsigned nType = 0;
    switch (nLinktype) {
    case DLT_EN10MB:
        if (!s.Has(0, 14))
            return false;
        seg.pMac = s.p;
        nType = s.U16(12);
        nAt = 14;
        while (nType == 0x8100 && s.Has(nAt, 4)) {  // VLAN tags
            nType = s.U16(nAt + 2);
            nAt += 4;
        }
        break;
    case DLT_LINUX_SLL:
        if (!s.Has(0, 16))
            return false;
        nType = s.U16(14);
        nAt = 16;
        break;
    case DLT_LINUX_SLL2:
        if (!s.Has(0, 20))
            return false;
        nType = s.U16(0);
        nAt = 20;
        break;
    case DLT_NULL:
        if (!s.Has(0, 4))
            return false;
        nAt = 4;
        nType = s.Has(4, 1) && (s.p[4] >> 4) == 6 ? 0x86DD : 0x0800;
        break;
    case DLT_RAW:
        nType = s.n > 0 && (s.p[0] >> 4) == 6 ? 0x86DD : 0x0800;
        break;
    default:
        return false;
    }
    if (nType != 0x0800 && nType != 0x86DD)
        return false;
    return ReadIp({s.p + nAt, s.n - nAt}, nType == 0x0800 ? 4 : 6, seg);
}

// A packet of a Quelt recording: its MAC addresses say the port and who sent it.
bool IsQueltPacket(const Segment& seg)
{
    if (seg.pMac == nullptr || seg.bTcp)
        return false;
    const std::uint8_t* pSrc = seg.pMac + 6;
    return pSrc[0] == 0x02 && pSrc[1] == 0 && pSrc[2] == 0 && pSrc[3] == 0 && (pSrc[4] == 1 || pSrc[4] == 2) &&
           (pSrc[5] == 1 || pSrc[5] == 2) && (seg.Src.nPort == pcapng::kDnp3Port || seg.Src.nPort == pcapng::kOtherPort);
}

class CPcapReader {
public:
    explicit CPcapReader(std::vector<LineRecord>& records) : m_Records(records) {}

    void Packet(int nLinktype, std::int64_t tUs, Span s);
    void End();

private:
    void Stream(const std::string& name, Direction dir, std::int64_t tUs, Span payload);

    std::vector<LineRecord>& m_Records;
    // Streams of others' captures, by conversation and direction.
    std::map<std::tuple<std::string, Direction>, std::unique_ptr<CTapFramer>> m_Framers;
};

void CPcapReader::Stream(const std::string& name, Direction dir, std::int64_t tUs, Span payload)
{
    auto& pFramer = m_Framers[{name, dir}];
    if (!pFramer)
        pFramer = std::make_unique<CTapFramer>(1, dir, CLineTap::kSilenceUs);
    std::vector<LineRecord> framed;
    pFramer->Add(payload.p, static_cast<int>(payload.n), tUs, tUs, tUs, framed);
    for (LineRecord& r : framed) {
        SetDirectionByDirBit(r);
        r.PortName = name;
        m_Records.push_back(std::move(r));
    }
}

void CPcapReader::Packet(int nLinktype, std::int64_t tUs, Span s)
{
    if (nLinktype == kLinktypeRtacSerial) {
        if (s.n > kRtacHeader)
            Stream("serial", Direction::Received, tUs, {s.p + kRtacHeader, s.n - kRtacHeader});
        return;
    }
    Segment seg;
    if (!ReadLink(nLinktype, s, seg))
        return;
    if (IsQueltPacket(seg)) {
        LineRecord r;
        const std::uint8_t* pSrc = seg.pMac + 6;
        r.nPort = pSrc[4] - 1;
        r.dir = pSrc[5] == 1 ? Direction::Sent : Direction::Received;  // as the master saw it
        r.tWallUs = r.tMonoUs = r.tMonoEndUs = tUs;
        r.Octets.assign(seg.Payload.p, seg.Payload.p + seg.Payload.n);
        if (seg.Src.nPort == pcapng::kOtherPort)
            r.kind = r.Octets.empty() ? RecordKind::Lost
                     : r.Octets.size() >= 2 && r.Octets[0] == 0x05 && r.Octets[1] == 0x64 ? RecordKind::Truncated
                                                                                        : RecordKind::Noise;
        m_Records.push_back(std::move(r));
        return;
    }
    if (seg.Src.nPort != pcapng::kDnp3Port && seg.Dst.nPort != pcapng::kDnp3Port)
        return;
    if (seg.Payload.n == 0)
        return;
    // Named by the outstation's end, the one on port 20000.
    const Endpoint& station = seg.Dst.nPort == pcapng::kDnp3Port && (seg.Src.nPort != pcapng::kDnp3Port || seg.Dst > seg.Src)
                                  ? seg.Dst
                                  : seg.Src;
    const std::string name = std::string(seg.bTcp ? "tcp " : "udp ") + station.Address + ":" + std::to_string(station.nPort);
    Stream(name, &station == &seg.Dst ? Direction::Sent : Direction::Received, tUs, seg.Payload);
}

void CPcapReader::End()
{
    for (auto& [key, pFramer] : m_Framers) {
        std::vector<LineRecord> framed;
        pFramer->Flush(0, framed, true);
        for (LineRecord& r : framed) {
            SetDirectionByDirBit(r);
            r.PortName = std::get<0>(key);
            m_Records.push_back(std::move(r));
        }
    }
}

// A packet's time; 0 (not known) for one no calendar holds, as a damaged file may say.
std::int64_t Microseconds(const timeval& tv)
{
    constexpr long long kLastSecond = 253'402'300'799;  // 9999-12-31 23:59:59
    if (tv.tv_sec < 0 || tv.tv_sec > kLastSecond || tv.tv_usec < 0 || tv.tv_usec >= 1'000'000)
        return 0;
    return static_cast<std::int64_t>(tv.tv_sec) * 1'000'000 + tv.tv_usec;
}

}  // namespace

bool ReadPcap(const std::string& content, std::vector<LineRecord>& records, std::string& reason)
{
    std::FILE* pFile = fmemopen(const_cast<char*>(content.data()), content.size(), "rb");
    if (pFile == nullptr) {
        reason = "cannot read the capture in memory";
        return false;
    }
    char error[PCAP_ERRBUF_SIZE] = {};
    pcap_t* p = pcap_fopen_offline_with_tstamp_precision(pFile, PCAP_TSTAMP_PRECISION_MICRO, error);
    if (p == nullptr) {
        std::fclose(pFile);
        reason = error;
        return false;
    }
    CPcapReader reader(records);
    pcap_pkthdr* pHeader = nullptr;
    const u_char* pData = nullptr;
    int nResult = 0;
    while ((nResult = pcap_next_ex(p, &pHeader, &pData)) == 1)
        reader.Packet(pcap_datalink(p), Microseconds(pHeader->ts), {pData, pHeader->caplen});
    reader.End();
    if (nResult == PCAP_ERROR)
        reason = pcap_geterr(p);
    pcap_close(p);  // closes the file too
    return nResult != PCAP_ERROR;
}

}  // namespace qdec
