#include "support/Frames.h"

#include <algorithm>

#include "dnp3/LinkFrame.h"
#include "support/Hex.h"

std::string FrameHex(std::uint8_t byCtrl, int nDest, int nSrc, const std::string& userDataHex)
{
    const std::vector<std::uint8_t> data = FromHex(userDataHex);
    std::uint8_t frame[dl::kMaxFrameSize];
    const int n = BuildLinkFrame(byCtrl, nDest, nSrc, data.data(), static_cast<int>(data.size()), frame);
    return ToHex(std::vector<std::uint8_t>(frame, frame + n));
}

std::vector<std::uint8_t> FrameUserData(const std::vector<std::uint8_t>& frame)
{
    std::vector<std::uint8_t> data;
    for (std::size_t nPos = dl::kHeaderSize; nPos + 2 < frame.size(); nPos += 18)
        data.insert(data.end(), frame.begin() + static_cast<long>(nPos),
                    frame.begin() + static_cast<long>(std::min(nPos + 16, frame.size() - 2)));
    return data;
}
