#pragma once
// Frames what one port sent or received, for the analyser: its own parser, not the
// engine's, so that it shows what was on the line, including what the engine rejected.
// Whole link frames by their LEN; octets between frames as noise; a frame that silence
// or the start of the next frame cut short as a truncated record. A header whose CRC
// fails is still taken by its LEN, but the next good header ends it.
#include <cstdint>
#include <vector>

#include "decode/Record.h"

class CTapFramer {
public:
    static constexpr int kNoiseMax = 256;  // a run of noise is kept in records this long

    // nSilenceUs: a pause this long ends a frame under way and a run of noise.
    CTapFramer(int nPort, qdec::Direction dir, std::int64_t nSilenceUs);

    // Octets as they came, with the times of their read or write. Records that are
    // complete go to out.
    void Add(const std::uint8_t* pData, int nCount, std::int64_t tWallUs, std::int64_t tMonoUs,
             std::int64_t tMonoEndUs, std::vector<qdec::LineRecord>& out);
    // Ends what is under way if the line has been silent long enough by tMonoNowUs, or
    // at once with bForce (octets were lost, the tap stops).
    void Flush(std::int64_t tMonoNowUs, std::vector<qdec::LineRecord>& out, bool bForce = false);
    // When a record under way would end by silence; 0 when nothing is under way.
    std::int64_t Deadline() const;

private:
    void Take(std::uint8_t by, std::vector<qdec::LineRecord>& out);
    void Emit(qdec::RecordKind kind, std::vector<std::uint8_t>& octets, std::vector<qdec::LineRecord>& out);
    void StartTimes();

    int m_nPort;
    qdec::Direction m_Dir;
    std::int64_t m_nSilenceUs;
    std::vector<std::uint8_t> m_Octets;  // the noise or the frame under way
    bool m_bFrame = false;               // m_Octets holds a frame, not noise
    int m_nExpected = 0;                 // its size by LEN, once its header is whole
    bool m_bHeaderBad = false;
    // Times of the first octet under way, and of the chunk being taken.
    std::int64_t m_tFirstWallUs = 0;
    std::int64_t m_tFirstMonoUs = 0;
    std::int64_t m_tWallUs = 0;
    std::int64_t m_tMonoUs = 0;
    std::int64_t m_tMonoEndUs = 0;
    std::int64_t m_tLastMonoUs = 0;  // the end of the last chunk taken
};
