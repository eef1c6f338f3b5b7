#pragma once
// The transport layer of one direction of one line: segments put back into fragments as
// the line shows them, saying what did not fit (a gap in the sequence, a stray segment).
#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace qdec {

struct TransportHeader {
    bool bPresent = false;
    std::uint8_t byHeader = 0;
    bool bFir = false;
    bool bFin = false;
    int nSeq = 0;
};

TransportHeader ReadTransportHeader(std::span<const std::uint8_t> userData);

class CFragmentAssembler {
public:
    static constexpr std::size_t kMaxFragment = 65536;  // longer runs are dropped, said

    struct Result {
        bool bComplete = false;           // the segment ended a fragment
        std::vector<std::uint8_t> Fragment;  // when complete
        int nSegments = 0;                // segments in it
        std::string Note;                 // what did not fit, if anything
    };

    // The user data of one frame whose CRCs were right: transport header, then payload.
    Result Add(std::span<const std::uint8_t> userData);
    void Reset();

private:
    std::vector<std::uint8_t> m_Fragment;
    bool m_bUnderWay = false;
    int m_nLastSeq = -1;
    int m_nSegments = 0;
};

}  // namespace qdec
