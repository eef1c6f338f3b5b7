// The simulated RTU's handling of what arrives: raw octets, or (first octet odd) ready
// link frames built around the input's chunks so that its upper layers are reached.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "dnp3/LinkFrame.h"
#include "sim/Outstation.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* pData, std::size_t nSize)
{
    if (nSize < 1)
        return 0;
    SimOptions options;
    options.nChangeMs = 0;
    options.nFragment = 64 + pData[0] % 200;
    options.bCompact = (pData[0] & 2) != 0;
    COutstation rtu(options, [](const std::vector<std::uint8_t>&) {});
    if ((pData[0] & 1) == 0) {
        rtu.Receive(pData + 1, static_cast<int>(nSize - 1));
        rtu.Tick();
        return 0;
    }
    std::uint8_t frame[dl::kMaxFrameSize];
    for (std::size_t nPos = 1; nPos + 1 < nSize;) {
        const std::uint8_t byCtrl = pData[nPos];
        const std::size_t nLength = std::min<std::size_t>(pData[nPos + 1] % (dl::kMaxUserData + 1), nSize - nPos - 2);
        nPos += 2;
        const int n = BuildLinkFrame(byCtrl, 54, 3246, pData + nPos, static_cast<int>(nLength), frame);
        rtu.Receive(frame, n);
        rtu.Tick();
        nPos += nLength;
    }
    return 0;
}
