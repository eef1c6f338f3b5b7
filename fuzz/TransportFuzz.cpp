// Link user data straight into transport reassembly and the poll cycle, above the CRC
// check that random input would almost never pass. The input is a run of segments, each
// led by its length.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "fuzz/FuzzEngine.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* pData, std::size_t nSize)
{
    PrepareFuzzing();
    if (nSize < 1)
        return 0;
    CFuzzEngine engine;
    engine.m_nLinkState = CQueltProtocol::LINK_RESET;
    engine.m_byRequestSeq = pData[0] & 0x0F;
    engine.m_byRequestFunc = pData[0] >> 4;
    for (std::size_t nPos = 1; nPos < nSize;) {
        const std::size_t nLength = std::min<std::size_t>(pData[nPos] % (dl::kMaxUserData + 1), nSize - nPos - 1);
        ++nPos;
        // As the link layer queues it: the frame's eight header octets, then the user data.
        std::vector<std::uint8_t> element{dl::kStart1, dl::kStart2, static_cast<std::uint8_t>(nLength + 5), 0x44,
                                          0xAE, 0x0C, 0x36, 0x00};
        element.insert(element.end(), pData + nPos, pData + nPos + nLength);
        engine.m_RecvQueue.push_back(std::move(element));
        nPos += nLength;
        engine.CycleAndDecode(1);
    }
    engine.CycleAndDecode(4);
    return 0;
}
