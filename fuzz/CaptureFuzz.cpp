// The viewer's reading of a capture file: text-mode line ends, 1A, NUL, the 8192-octet
// cap, GBK; and the viewer's line breaks.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "monitor/CaptureFile.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* pData, std::size_t nSize)
{
    const std::string text = DecodeCapture(std::string_view(reinterpret_cast<const char*>(pData), nSize));
    (void)ViewerLines(text);
    (void)EncodeCapture(text);
    return 0;
}
