#include "channel/MemoryLine.h"

#include <algorithm>

int CMemoryLine::Waiting() const
{
    std::lock_guard lock(m_mx);
    return m_bOpen ? static_cast<int>(m_ToChannel.size()) : 0;
}

int CMemoryLine::Read(std::uint8_t* pBuffer, int nMax)
{
    std::lock_guard lock(m_mx);
    if (!m_bOpen || nMax <= 0)
        return 0;
    const int n = std::min(nMax, static_cast<int>(m_ToChannel.size()));
    std::copy_n(m_ToChannel.begin(), n, pBuffer);
    m_ToChannel.erase(m_ToChannel.begin(), m_ToChannel.begin() + n);
    return n;
}

bool CMemoryLine::Write(const std::uint8_t* pData, int nCount, int, int& nWritten)
{
    std::lock_guard lock(m_mx);
    nWritten = 0;
    if (!m_bOpen)
        return false;
    if (nCount > 0)
        m_FromChannel.insert(m_FromChannel.end(), pData, pData + nCount);
    nWritten = std::max(nCount, 0);
    return true;
}

void CMemoryLine::Purge()
{
    std::lock_guard lock(m_mx);
    m_ToChannel.clear();
    m_FromChannel.clear();
}

void CMemoryLine::Close()
{
    std::lock_guard lock(m_mx);
    m_bOpen = false;
}

void CMemoryLine::Inject(const std::vector<std::uint8_t>& octets)
{
    std::lock_guard lock(m_mx);
    m_ToChannel.insert(m_ToChannel.end(), octets.begin(), octets.end());
}

std::vector<std::uint8_t> CMemoryLine::TakeWritten()
{
    std::lock_guard lock(m_mx);
    std::vector<std::uint8_t> written;
    written.swap(m_FromChannel);
    return written;
}
