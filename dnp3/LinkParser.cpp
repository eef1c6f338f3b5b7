#include "dnp3/LinkParser.h"

#include <algorithm>

bool CLinkParser::Abandon()
{
    if (m_State == HUNT)
        return false;
    m_State = HUNT;
    m_byPrev = 0;
    m_byLast = 0;
    return true;
}

int CLinkParser::MissingOctets() const
{
    switch (m_State) {
    case HUNT:  // a start octet may begin a frame: a header at least follows
        return m_byLast == dl::kStart1 ? dl::kHeaderSize - 1 : 0;
    case LEN:
        return dl::kHeaderSize - 2;
    default:
        return m_nExpected - m_nCount;
    }
}

void CLinkParser::HuntAgainAfterHeader()
{
    // The 05 64 may have been noise with the real start inside the rejected header:
    // search again from its second octet.
    std::uint8_t rest[dl::kHeaderSize];
    const int nRest = std::clamp(m_nIndex - 1, 0, dl::kHeaderSize);
    std::copy_n(m_Frame + 1, nRest, rest);
    m_State = HUNT;
    m_byPrev = 0;
    m_byLast = 0;
    for (int i = 0; i < nRest; ++i)
        Receive(rest[i]);
}

void CLinkParser::Receive(std::uint8_t by)
{
    switch (m_State) {
    case HUNT:
        m_byPrev = m_byLast;
        m_byLast = by;
        if (m_byPrev == dl::kStart1 && m_byLast == dl::kStart2) {
            m_Frame[0] = dl::kStart1;
            m_Frame[1] = dl::kStart2;
            m_nIndex = 2;
            m_State = LEN;
        }
        return;

    case LEN:
        if (by < 5) {
            // No frame has fewer than five LEN octets: corrupt, like a failed CRC. Hunt on
            // from the next octet rather than swallow a made-up frame's worth of octets.
            m_Handler.OnBadFrame();
            m_byLast = by;
            m_State = HUNT;
            return;
        }
        m_Frame[m_nIndex++] = by;
        m_nExpected = LinkFrameSize(by);
        m_nCount = 3;
        m_State = HEADER;
        return;

    case HEADER:
        m_Frame[m_nIndex++] = by;
        ++m_nCount;
        if (m_nCount == m_nExpected) {  // a header-only frame is complete
            m_Handler.OnFrameEnd();
            m_State = HUNT;
            if (!CrcMatches(m_Frame, 8)) {
                m_Handler.OnBadFrame();
                HuntAgainAfterHeader();
            } else {
                m_Handler.OnHeaderFrame(m_Frame);
            }
        } else if (m_nCount == dl::kHeaderSize) {  // header of a frame with user data
            if (!CrcMatches(m_Frame, 8)) {
                m_Handler.OnBadFrame();
                HuntAgainAfterHeader();
            } else if (!m_Handler.TakesUserData()) {
                m_State = HUNT;  // not accepted before the link is reset
            } else {
                m_State = BLOCKS;
                m_nBlock = 0;
                m_nIndex = 8;  // user data overwrites the header CRC
            }
        }
        return;

    case BLOCKS:
        m_Frame[m_nIndex++] = by;
        ++m_nCount;
        ++m_nBlock;
        if (m_nBlock == 18) {
            if (!CrcMatches(m_Frame + m_nIndex - 18, 16)) {
                m_State = HUNT;
                m_Handler.OnBadFrame();
                return;
            }
            m_nBlock = 0;
            m_nIndex -= 2;
        }
        if (m_nCount == m_nExpected) {
            m_State = HUNT;
            m_Handler.OnFrameEnd();
            if (m_nBlock > 2) {  // a last, partial block
                m_nBlock -= 2;
                m_nIndex -= 2;
                if (!CrcMatches(m_Frame + m_nIndex - m_nBlock, static_cast<std::size_t>(m_nBlock))) {
                    m_Handler.OnBadFrame();
                    return;
                }
            }
            m_Handler.OnDataFrame(m_Frame, m_nIndex);
        }
        return;
    }
}
