#include "sim/FrameAssembler.h"

#include <algorithm>

#include "dnp3/LinkFrame.h"

std::vector<std::vector<std::uint8_t>> CFrameAssembler::Push(const std::uint8_t* pData, int nCount)
{
    std::vector<std::vector<std::uint8_t>> frames;
    m_Buffer.insert(m_Buffer.end(), pData, pData + nCount);
    for (;;) {
        // Drop everything before the next 05 64.
        std::size_t nStart = 0;
        while (nStart + 1 < m_Buffer.size() && !(m_Buffer[nStart] == dl::kStart1 && m_Buffer[nStart + 1] == dl::kStart2))
            ++nStart;
        if (nStart + 1 >= m_Buffer.size()) {
            const bool bKeepLast = !m_Buffer.empty() && m_Buffer.back() == dl::kStart1;
            m_Buffer.erase(m_Buffer.begin(), m_Buffer.end() - (bKeepLast ? 1 : 0));
            return frames;
        }
        m_Buffer.erase(m_Buffer.begin(), m_Buffer.begin() + static_cast<long>(nStart));
        if (m_Buffer.size() < dl::kHeaderSize)
            return frames;
        if (m_Buffer[2] < 5 || !CrcMatches(m_Buffer.data(), 8)) {
            ++m_nCrcErrors;
            m_Buffer.erase(m_Buffer.begin());  // hunt again from the next octet
            continue;
        }
        const int nSize = LinkFrameSize(m_Buffer[2]);
        if (static_cast<int>(m_Buffer.size()) < nSize)
            return frames;
        std::vector<std::uint8_t> frame(m_Buffer.begin(), m_Buffer.begin() + 8);
        bool bValid = true;
        for (int nPos = dl::kHeaderSize; nPos < nSize && bValid; nPos += 18) {
            const int nBlock = std::min(16, nSize - nPos - 2);
            bValid = CrcMatches(m_Buffer.data() + nPos, static_cast<std::size_t>(nBlock));
            frame.insert(frame.end(), m_Buffer.begin() + nPos, m_Buffer.begin() + nPos + nBlock);
        }
        if (bValid) {
            m_Buffer.erase(m_Buffer.begin(), m_Buffer.begin() + nSize);
            frames.push_back(std::move(frame));
        } else {
            ++m_nCrcErrors;
            m_Buffer.erase(m_Buffer.begin());
        }
    }
}
