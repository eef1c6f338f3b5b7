// Link user data into transport reassembly and the poll cycle, in frames whose CRCs are
// made good (random input would almost never pass them). The input is a run of segments,
// each led by its length.
#include <algorithm>
#include <cstddef>
#include <cstdint>

#include "fuzz/FuzzEngine.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* pData, std::size_t nSize)
{
    PrepareFuzzing();
    if (nSize < 1)
        return 0;
    CFuzzEngine engine(true);
    for (std::size_t nPos = 1; nPos < nSize;) {
        const std::size_t nLength = std::min<std::size_t>(pData[nPos] % (dl::kMaxUserData + 1), nSize - nPos - 1);
        ++nPos;
        engine.ReceiveFrame(dl::UNCONFIRMED_USER_DATA | dl::PRM, pData + nPos, static_cast<int>(nLength));
        nPos += nLength;
        engine.CycleAndDecode(1);
    }
    engine.CycleAndDecode(4);
    return 0;
}
