#include "decode/Transport.h"

namespace qdec {

TransportHeader ReadTransportHeader(std::span<const std::uint8_t> userData)
{
    TransportHeader t;
    if (userData.empty())
        return t;
    t.bPresent = true;
    t.byHeader = userData[0];
    t.bFin = (t.byHeader & 0x80) != 0;
    t.bFir = (t.byHeader & 0x40) != 0;
    t.nSeq = t.byHeader & 0x3F;
    return t;
}

void CFragmentAssembler::Reset()
{
    m_Fragment.clear();
    m_bUnderWay = false;
    m_nLastSeq = -1;
    m_nSegments = 0;
}

CFragmentAssembler::Result CFragmentAssembler::Add(std::span<const std::uint8_t> userData)
{
    Result result;
    const TransportHeader t = ReadTransportHeader(userData);
    if (!t.bPresent)
        return result;
    if (t.bFir) {
        if (m_bUnderWay)
            result.Note = "fragment under way (" + std::to_string(m_Fragment.size()) +
                          " octets) dropped: a new FIR began";
        m_Fragment.clear();
        m_nSegments = 0;
        m_bUnderWay = true;
    } else if (!m_bUnderWay) {
        result.Note = "stray segment (no FIR before it), seq " + std::to_string(t.nSeq);
        return result;
    } else if (t.nSeq == m_nLastSeq) {
        result.Note = "repeated segment, seq " + std::to_string(t.nSeq) + ", ignored";
        return result;
    } else if (t.nSeq != ((m_nLastSeq + 1) & 0x3F)) {
        result.Note = "sequence gap: expected " + std::to_string((m_nLastSeq + 1) & 0x3F) + ", got " +
                      std::to_string(t.nSeq) + "; fragment under way dropped";
        Reset();
        return result;
    }
    m_nLastSeq = t.nSeq;
    ++m_nSegments;
    m_Fragment.insert(m_Fragment.end(), userData.begin() + 1, userData.end());
    if (m_Fragment.size() > kMaxFragment) {
        result.Note = "fragment longer than " + std::to_string(kMaxFragment) + " octets dropped";
        Reset();
        return result;
    }
    if (t.bFin) {
        result.bComplete = true;
        result.Fragment = std::move(m_Fragment);
        result.nSegments = m_nSegments;
        Reset();
    }
    return result;
}

}  // namespace qdec
