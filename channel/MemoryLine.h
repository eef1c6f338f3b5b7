#pragma once
// A line in memory: what the far end sends waits until the channel reads it, and what the
// channel writes is kept for the far end to take. No device, no waiting; the engine's unit
// tests and the fuzz targets run over it.
#include <deque>
#include <mutex>
#include <vector>

#include "channel/Line.h"

class CMemoryLine : public ILine {
public:
    bool IsOpen() const override { return m_bOpen; }
    bool Apply(const LineSettings&) override { return m_bOpen; }
    int Waiting() const override;
    int Read(std::uint8_t* pBuffer, int nMax) override;
    bool Write(const std::uint8_t* pData, int nCount, int nTimeoutMs, int& nWritten) override;
    void Purge() override;
    void Close() override;

    // The far end: octets for the channel to read, and those it wrote since the last take.
    void Inject(const std::vector<std::uint8_t>& octets);
    std::vector<std::uint8_t> TakeWritten();
    // As a network line: a connection, and a new one.
    bool IsNetwork() const override { return m_bNetwork; }
    int Session() const override { return m_nSession; }
    void SetNetwork(bool bNetwork) { m_bNetwork = bNetwork; }
    void NewSession() { ++m_nSession; }

private:
    mutable std::mutex m_mx;
    bool m_bOpen = true;
    bool m_bNetwork = false;
    int m_nSession = 0;
    std::deque<std::uint8_t> m_ToChannel;
    std::vector<std::uint8_t> m_FromChannel;
};
