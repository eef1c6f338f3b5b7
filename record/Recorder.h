#pragma once
// Continuous recording of the line tap to pcapng: one interface per port, each record one
// packet, written as it comes and flushed at least once a second, so that a crash or a
// power cut loses at most the last second and leaves a file Wireshark opens. Optionally
// a ring of files like dumpcap's: a new file past a size, only the newest kept.
#include <cstdint>
#include <cstdio>
#include <deque>
#include <functional>
#include <mutex>
#include <string>

#include "decode/Frame.h"
#include "record/LineTap.h"

struct RecordingOptions {
    std::string Path;           // FILE.pcapng
    bool bMaster = true;        // the octets we send go from the master's address
    int nMaxMb = 0;             // > 0: a new file once this many MB are written
    int nFiles = 0;             // > 0 with nMaxMb: keep only this many files
    std::string Names[2];       // if_name per port: the device; a port without one has no
    std::string Descriptions[2];  // interface and is not recorded; "COM2 DNP3 1200 8N1"
};

class CPcapngRecorder : public ITapSink {
public:
    CPcapngRecorder() = default;
    ~CPcapngRecorder() override;
    CPcapngRecorder(const CPcapngRecorder&) = delete;
    CPcapngRecorder& operator=(const CPcapngRecorder&) = delete;

    // Creates the (first) file. False with a one-line reason when it cannot.
    bool Open(const RecordingOptions& options, std::string& reason);
    void Close();
    bool IsOpen() const;
    // Said once, from the thread that wrote, when the disk refuses a write; the
    // recording then stops.
    void OnError(std::function<void(const std::string&)> callback);

    void OnRecord(const qdec::LineRecord& record) override;
    void Flush() override;

    std::uint64_t Packets() const;
    std::string CurrentPath() const;

private:
    bool OpenFile(std::string& reason);
    bool Write(const std::vector<std::uint8_t>& block);
    void Fail(const std::string& reason);
    std::string RingPath(std::int64_t tWallUs) const;

    mutable std::mutex m_mx;
    RecordingOptions m_Options;
    std::FILE* m_pFile = nullptr;
    std::string m_CurrentPath;
    std::uint64_t m_nFileOctets = 0;
    std::uint64_t m_nPackets = 0;
    int m_nFileNumber = 0;
    int m_nInterface[2] = {-1, -1};  // interface id of each port
    std::deque<std::string> m_RingFiles;
    qdec::CStreamDecoder m_Decoder;  // for the CRC status said in comments
    std::function<void(const std::string&)> m_OnError;
};
