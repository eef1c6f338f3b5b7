// The link receive parser fed an arbitrary octet stream in reads as the poll step makes
// them, with the link procedures, the transport, the poll cycle and decoding behind it.
#include <algorithm>
#include <cstddef>
#include <cstdint>

#include "fuzz/FuzzEngine.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* pData, std::size_t nSize)
{
    PrepareFuzzing();
    if (nSize < 2)
        return 0;
    CFuzzEngine engine((pData[0] & 1) != 0);
    const std::size_t nRead = 1 + pData[1] % 64;  // octets a read brings
    for (std::size_t nPos = 2; nPos < nSize; nPos += nRead) {
        const std::size_t n = std::min(nRead, nSize - nPos);
        engine.Receive(pData + nPos, static_cast<int>(n));
        engine.CycleAndDecode(1);
    }
    engine.CycleAndDecode(12);
    return 0;
}
