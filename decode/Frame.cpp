#include "decode/Frame.h"

#include "decode/Format.h"

#include <cstdio>
#include <ctime>

namespace qdec {

namespace {

std::string CrcFault(const char* pszWhat, const CrcCheck& c)
{
    return Format("%s CRC %04X, expected %04X", pszWhat, c.wFound, c.wExpected);
}

void DescribeLink(FrameDescription& d)
{
    const LinkFrameInfo& l = d.Link;
    const LinkHeader& h = l.header;
    std::string line = "link";
    if (l.nOctets >= 2)
        line += h.bStartOk ? " 05 64" : Format(" start %02X %02X (not 05 64)", d.Record.Octets[0], d.Record.Octets[1]);
    if (l.nOctets >= 3)
        line += Format(" len %d", h.nLen) + (l.bLenInvalid ? " (below 5)" : "");
    if (l.nOctets >= 4) {
        line += Format("  ctrl %02X", h.byCtrl) + (h.bDir ? " DIR" : "") + (h.bPrm ? " PRM" : "");
        if (h.bPrm)
            line += Format(" FCB=%d FCV=%d", h.bFcb, h.bFcvDfc);
        else if (h.bFcvDfc)
            line += " DFC";
        line += Format("  %s (%d)", LinkFunctionName(h.bPrm, h.nFunction), h.nFunction);
    }
    if (l.nOctets >= 8)
        line += Format("  dest %d  src %d", h.nDest, h.nSrc);
    if (l.headerCrc.bPresent)
        line += l.headerCrc.bOk ? "  header CRC ok" : "  " + CrcFault("header", l.headerCrc);
    const bool bHeaderFault = (l.headerCrc.bPresent && !l.headerCrc.bOk) || !h.bStartOk || l.bLenInvalid;
    d.Items.push_back({1, line, 0, std::min(l.nOctets, 10), bHeaderFault});
    int nBlock = 0;
    bool bBlocksOk = true;
    for (const CrcCheck& c : l.blocks) {
        ++nBlock;
        if (c.bPresent && !c.bOk) {
            bBlocksOk = false;
            d.Items.push_back({2, CrcFault(Format("block %d", nBlock).c_str(), c), c.nOffset, c.nLength + 2, true});
        }
    }
    if (!l.blocks.empty() && bBlocksOk && !l.bTruncated)
        d.Items.push_back({2, Format("user data %d octets in %d block%s, CRC ok", static_cast<int>(l.userData.size()),
                                     nBlock, nBlock == 1 ? "" : "s"),
                           10, l.nOctets - 10});
}

void SetCrcText(FrameDescription& d)
{
    const LinkFrameInfo& l = d.Link;
    if (l.headerCrc.bPresent && !l.headerCrc.bOk) {
        d.CrcText = CrcFault("header", l.headerCrc);
        return;
    }
    int nBlock = 0;
    for (const CrcCheck& c : l.blocks) {
        ++nBlock;
        if (c.bPresent && !c.bOk) {
            d.CrcText = CrcFault(Format("block %d", nBlock).c_str(), c);
            return;
        }
    }
    d.CrcText = l.bTruncated ? "cut short" : "ok";
}

std::string WallText(std::int64_t tWallUs)
{
    if (tWallUs <= 0)
        return "-";
    const std::time_t t = static_cast<std::time_t>(tWallUs / 1'000'000);
    std::tm tm{};
    if (localtime_r(&t, &tm) == nullptr)
        return "-";
    return Format("%04d-%02d-%02d %02d:%02d:%02d.%06d", tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday, tm.tm_hour,
                  tm.tm_min, tm.tm_sec, static_cast<int>(tWallUs % 1'000'000));
}

const char* Arrow(Direction dir) { return dir == Direction::Sent ? "=>" : "<="; }

std::string Csv(std::string field)
{
    if (field.find_first_of(",\"\n") == std::string::npos)
        return field;
    std::string quoted = "\"";
    for (const char ch : field) {
        quoted += ch;
        if (ch == '"')
            quoted += '"';
    }
    return quoted + "\"";
}

}  // namespace

std::string PortText(const LineRecord& record)
{
    if (!record.PortName.empty())
        return record.PortName;
    return "COM" + std::to_string(record.nPort + 1);
}

void CStreamDecoder::Reset()
{
    m_Assemblers.clear();
    m_tLastUs.clear();
}

FrameDescription CStreamDecoder::Describe(LineRecord record)
{
    FrameDescription d;
    d.Record = std::move(record);
    const LineRecord& r = d.Record;
    const std::string port = PortText(r);
    const std::int64_t t = r.tMonoUs != 0 ? r.tMonoUs : r.tWallUs;
    if (t != 0) {
        const auto it = m_tLastUs.find(port);
        if (it != m_tLastUs.end())
            d.dDeltaMs = static_cast<double>(t - it->second) / 1000.0;
        m_tLastUs[port] = t;
    }
    const int n = static_cast<int>(r.Octets.size());
    switch (r.kind) {
    case RecordKind::Noise:
        d.Summary = Format("noise, %d octet%s", n, n == 1 ? "" : "s");
        d.CrcText = "-";
        d.Items.push_back({1, "noise between frames: not a link frame", 0, n, true});
        d.bFault = true;
        return d;
    case RecordKind::Lost:
        d.Summary = Format("%llu octets lost by the line tap", static_cast<unsigned long long>(r.nLost));
        d.CrcText = "-";
        d.Items.push_back({1, d.Summary + " (its queue was full)", -1, 0, true});
        d.bFault = true;
        return d;
    case RecordKind::Frame:
    case RecordKind::Truncated:
        break;
    }
    d.Link = DecodeLinkFrame(r.Octets);
    DescribeLink(d);
    SetCrcText(d);
    const LinkHeader& h = d.Link.header;
    d.Summary = Format("%s %d→%d", LinkFunctionName(h.bPrm, h.nFunction), h.nSrc, h.nDest);
    d.bFault = !d.Link.CrcOk() || r.kind == RecordKind::Truncated || !h.bStartOk || d.Link.bLenInvalid;
    if (r.kind == RecordKind::Truncated || d.Link.bTruncated) {
        const std::string cut = d.Link.nExpected > 0 ? Format("frame cut short: %d of %d octets", n, d.Link.nExpected)
                                                     : Format("frame cut short: %d octets, header incomplete", n);
        d.Items.push_back({2, cut, 0, n, true});
        d.Summary = "cut short (" + d.Summary + ")";
        return d;
    }
    const bool bUserData = h.bPrm && (h.nFunction == 3 || h.nFunction == 4) && !d.Link.userData.empty();
    if (!bUserData)
        return d;
    d.Transport = ReadTransportHeader(d.Link.userData);
    const TransportHeader& tp = d.Transport;
    d.Items.push_back({1,
                       Format("transport %02X", tp.byHeader) + (tp.bFir ? " FIR" : "") + (tp.bFin ? " FIN" : "") +
                           Format(" seq %d", tp.nSeq),
                       UserDataOffset(0), 1});
    if (!d.Link.CrcOk()) {
        d.Items.push_back({2, "user data not taken: CRC failure", -1, 0, true});
        return d;
    }
    CFragmentAssembler::Result result = m_Assemblers[{port, r.dir}].Add(d.Link.userData);
    if (!result.Note.empty()) {
        d.Items.push_back({2, result.Note, -1, 0, true});
        d.bFault = true;
    }
    if (!result.bComplete) {
        d.Summary += Format("  segment%s seq %d, fragment continues", tp.bFir ? " FIR" : "", tp.nSeq);
        return d;
    }
    d.bFragment = true;
    d.nSegments = result.nSegments;
    d.App = DecodeApplication(result.Fragment, m_Convention);
    if (d.nSegments > 1)
        d.Items.push_back({2, Format("fragment of %d segments, %d octets", d.nSegments,
                                     static_cast<int>(result.Fragment.size())),
                           -1, 0});
    for (Item item : d.App.Items) {
        item.bInFragment = true;
        d.Items.push_back(std::move(item));
    }
    if (d.App.bPresent) {
        d.Summary += Format("  %s seq %d", AppFunctionName(d.App.nFunction), d.App.nSeq);
        if (d.App.bHasIin)
            d.Summary += Format("  IIN %04X", d.App.wIin);
        if (!d.App.ObjectSummary.empty())
            d.Summary += "  " + d.App.ObjectSummary;
    }
    if (!d.App.Fault.empty()) {
        d.Summary += "  [" + d.App.Fault + "]";
        d.bFault = true;
    }
    return d;
}

std::string DescriptionText(const FrameDescription& d)
{
    const LineRecord& r = d.Record;
    const int n = static_cast<int>(r.Octets.size());
    std::string text = WallText(r.tWallUs);
    if (d.dDeltaMs >= 0)
        text += Format("  +%.3f ms", d.dDeltaMs);
    text += "  " + PortText(r) + " " + Arrow(r.dir) + Format("  %d octet%s  ", n, n == 1 ? "" : "s") + d.Summary + "\n";
    for (const Item& item : d.Items)
        text += std::string(static_cast<std::size_t>(item.nDepth) * 2, ' ') + (item.bFault ? "! " : "") + item.Text +
                "\n";
    if (!r.Octets.empty())
        text += "  octets " + HexText(r.Octets) + "\n";
    return text;
}

const char* CsvHeader()
{
    return "time,delta_ms,port,direction,length,link_function,destination,source,crc,transport,"
           "app_function,app_seq,iin,objects";
}

std::string CsvRow(const FrameDescription& d)
{
    const LineRecord& r = d.Record;
    const bool bLink = r.kind == RecordKind::Frame || r.kind == RecordKind::Truncated;
    const LinkHeader& h = d.Link.header;
    std::string row = Csv(WallText(r.tWallUs)) + "," + (d.dDeltaMs >= 0 ? Format("%.3f", d.dDeltaMs) : "") + "," +
                      Csv(PortText(r)) + "," + (r.dir == Direction::Sent ? "sent" : "received") + "," +
                      std::to_string(r.Octets.size()) + ",";
    if (bLink && d.Link.nOctets >= 4)
        row += LinkFunctionName(h.bPrm, h.nFunction);
    else
        row += r.kind == RecordKind::Noise ? "noise" : r.kind == RecordKind::Lost ? "lost" : "";
    row += ",";
    if (bLink && d.Link.nOctets >= 8)
        row += std::to_string(h.nDest) + "," + std::to_string(h.nSrc);
    else
        row += ",";
    row += "," + Csv(d.CrcText) + ",";
    if (d.Transport.bPresent)
        row += Format("%s%s seq %d", d.Transport.bFir ? "FIR " : "", d.Transport.bFin ? "FIN" : "", d.Transport.nSeq);
    row += ",";
    if (d.App.bPresent)
        row += std::string(AppFunctionName(d.App.nFunction)) + "," + std::to_string(d.App.nSeq) + "," +
               (d.App.bHasIin ? Format("%04X", d.App.wIin) : "") + "," + Csv(d.App.ObjectSummary);
    else
        row += ",,,";
    return row;
}

}  // namespace qdec
