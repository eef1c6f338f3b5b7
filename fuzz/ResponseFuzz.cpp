// Response decoding of arbitrary elements, with the point counts of a fresh start and at
// their largest, in either time convention. The first octet picks the counts, the
// convention and the request the element answers.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "core/Config.h"
#include "fuzz/FuzzEngine.h"
#include "monitor/AlarmLog.h"
#include "response/FrameHandler.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* pData, std::size_t nSize)
{
    PrepareFuzzing();
    static CQueltHandler handler;
    if (nSize < 1)
        return 0;
    const bool bLargest = (pData[0] & 1) != 0;
    g_nYxPoints = bLargest ? 1024 : 128;
    g_nYcPoints = bLargest ? 1024 : 128;
    g_nYmPoints = bLargest ? 1024 : 64;
    SetPointCounts();
    g_nTimeFormat = (pData[0] & 2) != 0 ? TIME_FORMAT_UTC : TIME_FORMAT_MONTH;
    // Exactly as long as the input, so a read past it is caught.
    std::vector<std::uint8_t> element(pData + 1, pData + nSize);
    handler.ProcessElement(element.data(), static_cast<int>(element.size()), pData[0] >> 1);
    g_AlarmLog.Clear();
    return 0;
}
