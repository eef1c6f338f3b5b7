#include "dnp3/IinWatch.h"

#include "decode/AppNames.h"

namespace {

constexpr int kNeedTime = 4;  // IIN1.4

struct Watched {
    int nBit;
    const char* pszText;
};

constexpr Watched kWatched[] = {
    {4, "RTU请求对时"},      {5, "RTU处于就地控制"},    {6, "RTU设备故障"},
    {8, "RTU不支持该功能码"}, {9, "RTU不支持该对象"},     {10, "RTU报参数错误"},
    {11, "RTU事件缓冲区溢出"}, {12, "RTU报操作已在执行"}, {13, "RTU配置损坏"},
};

std::uint16_t Mask(int nBit) { return static_cast<std::uint16_t>(nBit < 8 ? 0x100 << nBit : 1 << (nBit - 8)); }

}  // namespace

std::string IinMeaning(int nBit)
{
    for (const Watched& w : kWatched)
        if (w.nBit == nBit)
            return std::string(w.pszText) + "(IIN" + (nBit < 8 ? "1." : "2.") + std::to_string(nBit % 8) + ")";
    return {};
}

std::string IinRefusal(std::uint8_t byIin2)
{
    constexpr int kEventOverflow = 11;  // says nothing about the request
    for (int nBit = 8; nBit <= 13; ++nBit)
        if (nBit != kEventOverflow && qdec::IinBitSet(byIin2, nBit))
            return IinMeaning(nBit);
    return {};
}

std::vector<std::string> CIinWatch::OnResponse(std::uint8_t byIin1, std::uint8_t byIin2, const std::string& request,
                                               bool bManual)
{
    const auto wIin = static_cast<std::uint16_t>(byIin1 << 8 | byIin2);
    std::vector<std::string> lines;
    std::uint16_t wWatched = 0;
    for (const Watched& w : kWatched) {
        if (w.nBit == kNeedTime && !bManual)
            continue;  // automatic mode sets the clock itself
        const std::uint16_t wBit = Mask(w.nBit);
        wWatched |= wBit;
        if ((wIin & wBit) != 0 && (m_wSaid & wBit) == 0)
            lines.push_back(IinMeaning(w.nBit) + ": " + request);
    }
    // A bit cleared may be said again; one not watched now (IIN1.4 in automatic mode) is
    // forgotten, so that manual mode says it when it is still set.
    m_wSaid = static_cast<std::uint16_t>(wIin & wWatched);
    return lines;
}
