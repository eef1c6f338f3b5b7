#include "record/Recorder.h"

#include <cerrno>
#include <cstring>
#include <ctime>

#include "record/Pcapng.h"

using qdec::Direction;
using qdec::LineRecord;
using qdec::RecordKind;

CPcapngRecorder::~CPcapngRecorder() { Close(); }

bool CPcapngRecorder::Open(const RecordingOptions& options, std::string& reason)
{
    std::lock_guard lock(m_mx);
    if (m_pFile != nullptr) {
        reason = "a recording is already running";
        return false;
    }
    m_Options = options;
    m_nFileNumber = 0;
    m_nPackets = 0;
    m_RingFiles.clear();
    m_Decoder.Reset();
    return OpenFile(reason);
}

void CPcapngRecorder::OnError(std::function<void(const std::string&)> callback)
{
    std::lock_guard lock(m_mx);
    m_OnError = std::move(callback);
}

bool CPcapngRecorder::IsOpen() const
{
    std::lock_guard lock(m_mx);
    return m_pFile != nullptr;
}

std::uint64_t CPcapngRecorder::Packets() const
{
    std::lock_guard lock(m_mx);
    return m_nPackets;
}

std::string CPcapngRecorder::CurrentPath() const
{
    std::lock_guard lock(m_mx);
    return m_CurrentPath;
}

std::string CPcapngRecorder::RingPath(std::int64_t tWallUs) const
{
    // As dumpcap names its ring: prefix_NNNNN_YYYYmmddHHMMSS.suffix
    const std::string& path = m_Options.Path;
    const std::size_t nSlash = path.find_last_of('/');
    const std::size_t nDot = path.find_last_of('.');
    const bool bSuffix = nDot != std::string::npos && (nSlash == std::string::npos || nDot > nSlash);
    const std::string prefix = bSuffix ? path.substr(0, nDot) : path;
    const std::string suffix = bSuffix ? path.substr(nDot) : ".pcapng";
    const std::time_t t = static_cast<std::time_t>(tWallUs / 1'000'000);
    std::tm tm{};
    localtime_r(&t, &tm);
    char middle[48];
    std::snprintf(middle, sizeof middle, "_%05d_%04d%02d%02d%02d%02d%02d", m_nFileNumber, tm.tm_year + 1900,
                  tm.tm_mon + 1, tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec);
    return prefix + middle + suffix;
}

bool CPcapngRecorder::OpenFile(std::string& reason)
{
    ++m_nFileNumber;
    const bool bRing = m_Options.nMaxMb > 0;
    m_CurrentPath = bRing ? RingPath(static_cast<std::int64_t>(std::time(nullptr)) * 1'000'000) : m_Options.Path;
    m_pFile = std::fopen(m_CurrentPath.c_str(), "wb");
    if (m_pFile == nullptr) {
        reason = m_CurrentPath + ": " + std::strerror(errno);
        return false;
    }
    m_nFileOctets = 0;
    bool bOk = Write(pcapng::SectionHeader(std::string("Quelt ") + QUELT_VERSION));
    int nInterfaces = 0;
    for (int nPort = 0; nPort < 2 && bOk; ++nPort) {
        m_nInterface[nPort] = m_Options.Names[nPort].empty() ? -1 : nInterfaces++;
        if (m_nInterface[nPort] >= 0)
            bOk = Write(pcapng::InterfaceDescription(m_Options.Names[nPort], m_Options.Descriptions[nPort]));
    }
    if (!bOk || std::fflush(m_pFile) != 0) {
        reason = m_CurrentPath + ": " + std::strerror(errno);
        std::fclose(m_pFile);
        m_pFile = nullptr;
        return false;
    }
    if (bRing) {
        m_RingFiles.push_back(m_CurrentPath);
        while (m_Options.nFiles > 0 && static_cast<int>(m_RingFiles.size()) > m_Options.nFiles) {
            std::remove(m_RingFiles.front().c_str());
            m_RingFiles.pop_front();
        }
    }
    return true;
}

bool CPcapngRecorder::Write(const std::vector<std::uint8_t>& block)
{
    if (std::fwrite(block.data(), 1, block.size(), m_pFile) != block.size())
        return false;
    m_nFileOctets += block.size();
    return true;
}

void CPcapngRecorder::Fail(const std::string& reason)
{
    std::fclose(m_pFile);
    m_pFile = nullptr;
    if (m_OnError)
        m_OnError(reason);
}

void CPcapngRecorder::OnRecord(const LineRecord& record)
{
    std::lock_guard lock(m_mx);
    const int nInterface = m_nInterface[record.nPort & 1];
    if (m_pFile == nullptr || nInterface < 0)
        return;
    const qdec::FrameDescription d = m_Decoder.Describe(record);
    std::vector<std::string> comments;
    std::uint16_t wUdpPort = pcapng::kDnp3Port;
    switch (record.kind) {
    case RecordKind::Frame:
        if (d.CrcText != "ok")
            comments.push_back("CRC failure: " + d.CrcText);
        break;
    case RecordKind::Noise:
        comments.push_back("noise: " + std::to_string(record.Octets.size()) + " octets between frames");
        wUdpPort = pcapng::kOtherPort;
        break;
    case RecordKind::Truncated:
        comments.push_back(d.Items.back().Text);  // "frame cut short: 12 of 18 octets"
        wUdpPort = pcapng::kOtherPort;
        break;
    case RecordKind::Lost:
        comments.push_back(d.Items.back().Text);
        wUdpPort = pcapng::kOtherPort;
        break;
    }
    const bool bSent = record.dir == Direction::Sent;
    const bool bFromMaster = bSent == m_Options.bMaster;
    const std::vector<std::uint8_t> packet = pcapng::UdpPacket(record.nPort, bFromMaster, wUdpPort, record.Octets);
    const std::vector<std::uint8_t> block =
        pcapng::EnhancedPacket(static_cast<std::uint32_t>(nInterface), record.tWallUs, packet,
                               bSent ? pcapng::kOutbound : pcapng::kInbound, comments);
    if (!Write(block)) {
        Fail(m_CurrentPath + ": " + std::strerror(errno));
        return;
    }
    ++m_nPackets;
    if (m_Options.nMaxMb > 0 && m_nFileOctets >= static_cast<std::uint64_t>(m_Options.nMaxMb) * 1'000'000) {
        std::fclose(m_pFile);
        m_pFile = nullptr;
        std::string reason;
        if (!OpenFile(reason) && m_OnError)
            m_OnError(reason);
    }
}

void CPcapngRecorder::Flush()
{
    std::lock_guard lock(m_mx);
    if (m_pFile != nullptr && std::fflush(m_pFile) != 0)
        Fail(m_CurrentPath + ": " + std::strerror(errno));
}

void CPcapngRecorder::Close()
{
    std::lock_guard lock(m_mx);
    if (m_pFile == nullptr)
        return;
    std::fclose(m_pFile);
    m_pFile = nullptr;
}
