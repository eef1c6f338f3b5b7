#include "response/QueltHandler.h"

#include <cstdio>
#include <string>

#include "commands/CommandQueue.h"
#include "core/Clock.h"
#include "core/Config.h"
#include "core/ResponseList.h"
#include "monitor/AlarmLog.h"

namespace {

enum class Check { None, PositiveRange, PositiveCount };

struct ObjectSpec {
    std::uint8_t byGroup;
    std::uint32_t dwVariations;  // bit v: variation v accepted
    QualifierKind qualifier;
    Check check;
    const char* pszBadVariation;
    const char* pszBadQualifier;
    const char* pszBadRange;
    CQueltHandler::Decoder decode;
};

constexpr std::uint32_t Vars(std::initializer_list<int> variations)
{
    std::uint32_t dw = 0;
    for (const int v : variations)
        dw |= 1u << v;
    return dw;
}
constexpr std::uint32_t kAnyVariation = 0xFFFFFFFF;

using H = CQueltHandler;
using Q = QualifierKind;

// Several rows of one group differ only in the variations they take (group 2 names its
// events by whether they carry a time).
const ObjectSpec kObjects[] = {
    {1, Vars({1, 2}), Q::Range, Check::PositiveRange, "全遥信类别非法 !", "全遥信修饰码非法 !",
     "全遥信范围域非法 !", &H::DecodeBinaryInputs},
    {2, Vars({1}), Q::Indexed, Check::PositiveCount, "遥信事件类别非法 !", "遥信COS修饰码非法 !",
     "遥信COS范围域非法 !", &H::DecodeBinaryEvents},
    {2, Vars({2, 3}), Q::Indexed, Check::PositiveCount, "遥信事件类别非法 !", "遥信SOE修饰码非法 !",
     "遥信SOE范围域非法 !", &H::DecodeBinaryEvents},
    {12, Vars({1}), Q::Indexed, Check::None, "控制继电器输出块类别非法 !", "控制继电器输出修饰码非法 !",
     nullptr, &H::DecodeControlBlock},
    {20, Vars({1, 2}), Q::Range, Check::PositiveRange, "计数器输入类别非法 !", "计数器输入修饰码非法 !",
     "计数器输入范围域非法 !", &H::DecodeCounters},
    {21, Vars({1, 2}), Q::Range, Check::PositiveRange, "冻结计数器输入类别非法 !",
     "冻结计数器输入修饰码非法 !", "冻结计数器输入范围域非法 !", &H::DecodeCounters},
    {30, Vars({2}), Q::Range, Check::PositiveRange, "全遥测类别非法 !", "全遥测修饰码非法 !",
     "全遥测范围域非法 !", &H::DecodeAnalogs},
    {32, Vars({2}), Q::Indexed, Check::None, "变化遥测类别非法 !", "变化遥测修饰码非法 !", nullptr,
     &H::DecodeAnalogEvents},
    {41, Vars({2}), Q::Indexed, Check::None, "模拟量输出块类别非法 !", "模拟量输出修饰码非法 !", nullptr,
     &H::AcceptObject},
    {51, Vars({1, 2}), Q::Count8, Check::None, "遥信SOE日期与时间对象类别非法 !",
     "遥信SOE日期与时间对象修饰码非法 !", nullptr, &H::DecodeCto},
    {52, kAnyVariation, Q::Any, Check::None, nullptr, nullptr, nullptr, &H::AcceptObject},
    {80, kAnyVariation, Q::Any, Check::None, nullptr, nullptr, nullptr, &H::AcceptObject},
};

const char kTruncated[] = "响应报文长度不足 !";

const ObjectSpec* FindSpec(std::uint8_t byGroup, int nVar)
{
    for (const ObjectSpec& object : kObjects)
        if (object.byGroup == byGroup && nVar < 32 && (object.dwVariations >> nVar & 1u) != 0)
            return &object;
    return nullptr;
}

const ObjectSpec* FindGroup(std::uint8_t byGroup)
{
    for (const ObjectSpec& object : kObjects)
        if (object.byGroup == byGroup)
            return &object;
    return nullptr;
}

bool RangeOk(Check check, const ObjectRange& range)
{
    // Both counts must be above 0 when read as signed 16-bit numbers.
    return check == Check::None || static_cast<std::int16_t>(range.nCount) > 0;
}

int Failed(const CObjectReader& r, const char* pszText)
{
    AddAlarm(pszText);
    return r.Length();
}

// The computer's time of day in ms, counted in whole seconds.
std::uint32_t WholeSecondsOfDay() { return MillisecondsOfDay(Clock().LocalNow()) / 1000 * 1000; }

void CheckTimeout(std::atomic<int>& bPending, const std::atomic<std::time_t>& tSent, const char* pszText)
{
    if (bPending.load(std::memory_order_acquire) == 0)
        return;
    if (Now() - tSent.load(std::memory_order_relaxed) >= 15) {
        AddAlarm(pszText);
        bPending.store(0, std::memory_order_relaxed);
    }
}

}  // namespace

void CQueltHandler::ProcessResponses()
{
    // An event with relative time before any CTO in this call is dated from now.
    m_dwCto = WholeSecondsOfDay();
    ResponseElement element;
    while (PopResponse(element))
        ProcessElement(element.data(), static_cast<int>(element.size()));
}

void CQueltHandler::ProcessElement(const std::uint8_t* pElement, int nLength)
{
    if (nLength < 2)
        return;
    // The stated length never reaches beyond the octets that are there.
    const int nStated = pElement[0] | (pElement[1] << 8);
    const CObjectReader r(pElement, nStated < nLength ? nStated : nLength);
    m_pFrame = pElement;
    for (int p = 4; p < r.Length();)
        p = ProcessObject(r, p);
    m_pFrame = nullptr;
}

int CQueltHandler::ProcessObject(const CObjectReader& r, int p)
{
    const std::uint8_t byGroup = r.U8(p);
    const ObjectSpec* pGroup = FindGroup(byGroup);
    if (pGroup == nullptr)
        return Failed(r, ("收到非法对象--" + std::to_string(byGroup) + " !").c_str());
    if (pGroup->qualifier == Q::Any)
        return (this->*pGroup->decode)(r, p, ObjectRange{}, 0);
    if (!r.Has(p, 2))
        return Truncated(r);
    const std::uint8_t byVar = r.U8(p + 1);
    const ObjectSpec* pSpec = FindSpec(byGroup, byVar);
    if (pSpec == nullptr)
        return Failed(r, pGroup->pszBadVariation);
    if (!r.Has(p, 3))
        return Truncated(r);
    if (!QualifierFits(pSpec->qualifier, r.U8(p + 2)))
        return Failed(r, pSpec->pszBadQualifier);
    ObjectRange range;
    if (!ReadObjectRange(r, p, range))
        return Truncated(r);
    if (!RangeOk(pSpec->check, range))
        return Failed(r, pSpec->pszBadRange);
    return (this->*pSpec->decode)(r, p, range, byVar);
}

int CQueltHandler::Truncated(const CObjectReader& r) { return Failed(r, kTruncated); }

int CQueltHandler::DecodeBinaryInputs(const CObjectReader& r, int p, const ObjectRange& range,
                                      std::uint8_t byVar)
{
    const int nData = p + range.nHeaderSize;
    for (int k = 0; k < range.nCount; ++k) {
        const int nPoint = range.nStart + k;
        if (nPoint >= kPointCapacity)
            break;
        const int nAt = byVar == 1 ? nData + k / 8 : nData + k;
        if (!r.Has(nAt, 1))
            return Truncated(r);
        const std::uint8_t byState =
            byVar == 1 ? (r.U8(nAt) >> (k % 8)) & 1 : (r.U8(nAt) & 0x80) != 0 ? 1 : 0;
        g_RtuPoints[0].pYX[nPoint].byState = byState;
    }
    return r.Length();
}

int CQueltHandler::DecodeBinaryEvents(const CObjectReader& r, int p, const ObjectRange& range,
                                      std::uint8_t byVar)
{
    const int nBody = byVar == 1 ? 1 : byVar == 2 ? 7 : 3;  // flag, then time or relative time
    const int nSize = range.nIndexSize + nBody;
    for (int i = 0; i < range.nCount; ++i) {
        const int nAt = p + range.nHeaderSize + i * nSize;
        if (!r.Has(nAt, nSize))
            return Truncated(r);
        const int nPoint = range.nIndexSize == 2 ? r.U16(nAt) : r.U8(nAt);
        if (nPoint >= kPointCapacity)
            break;
        const int nFlag = nAt + range.nIndexSize;
        const int nState = (r.U8(nFlag) & 0x80) != 0 ? 1 : 0;
        g_RtuPoints[0].pYX[nPoint].byState = static_cast<std::uint8_t>(nState);
        if (byVar == 2)
            AddAlarm(SoeLine(r.U32(nFlag + 1), nPoint, nState));
        else if (byVar == 3)
            AddAlarm(SoeLine(m_dwCto + r.U16(nFlag + 1), nPoint, nState));
    }
    return r.Length();
}

int CQueltHandler::DecodeControlBlock(const CObjectReader& r, int p, const ObjectRange& range, std::uint8_t)
{
    // The status of the first block: after its index, control code, count and two times.
    const int nStatus = p + range.nHeaderSize + range.nIndexSize + 10;
    if (!r.Has(nStatus, 1))
        return Truncated(r);
    const bool bSuccess = r.U8(nStatus) == 0;
    if (g_CtrlCmd.m_bSelectPending.load(std::memory_order_acquire) != 0) {
        AddAlarm(bSuccess ? "遥控选点成功 !" : "遥控选点失败 !");
        g_CtrlCmd.m_bSelectPending.store(0, std::memory_order_relaxed);
    }
    if (g_CtrlCmd.m_bOperatePending.load(std::memory_order_acquire) != 0) {
        AddAlarm(bSuccess ? "遥控执行成功 !" : "遥控执行失败 !");
        g_CtrlCmd.m_bOperatePending.store(0, std::memory_order_relaxed);
    }
    return r.Length();
}

int CQueltHandler::DecodeCounters(const CObjectReader& r, int p, const ObjectRange& range, std::uint8_t byVar)
{
    const int nSize = byVar == 1 ? 5 : 3;  // flag, then 32 or 16 bits
    for (int k = 0; k < range.nCount; ++k) {
        const int nPoint = range.nStart + k;
        if (nPoint >= kPointCapacity)
            break;
        const int nValue = p + range.nHeaderSize + k * nSize + 1;
        if (!r.Has(nValue, nSize - 1))
            return Truncated(r);
        g_RtuPoints[0].pYM[nPoint].dwValue = byVar == 1 ? r.U32(nValue) : r.U16(nValue);
    }
    return r.Length();
}

int CQueltHandler::DecodeAnalogs(const CObjectReader& r, int p, const ObjectRange& range, std::uint8_t)
{
    for (int k = 0; k < range.nCount; ++k) {
        const int nPoint = range.nStart + k;
        if (nPoint >= kPointCapacity)
            break;
        const int nValue = p + range.nHeaderSize + k * 3 + 1;
        if (!r.Has(nValue, 2))
            return Truncated(r);
        g_RtuPoints[0].pYC[nPoint].nValue = static_cast<std::int16_t>(r.U16(nValue));
    }
    return p + range.nHeaderSize + 3 * range.nCount;
}

int CQueltHandler::DecodeAnalogEvents(const CObjectReader& r, int p, const ObjectRange& range, std::uint8_t)
{
    const int nSize = range.nIndexSize + 3;  // index, flag, 16-bit value
    for (int i = 0; i < range.nCount; ++i) {
        const int nAt = p + range.nHeaderSize + i * nSize;
        if (!r.Has(nAt, nSize))
            return Truncated(r);
        const int nPoint = range.nIndexSize == 2 ? r.U16(nAt) : r.U8(nAt);
        if (nPoint < kPointCapacity)  // a point beyond is skipped, the next event read
            g_RtuPoints[0].pYC[nPoint].nValue = static_cast<std::int16_t>(r.U16(nAt + range.nIndexSize + 1));
    }
    return p + range.nHeaderSize + nSize * range.nCount;
}

int CQueltHandler::DecodeCto(const CObjectReader& r, int p, const ObjectRange&, std::uint8_t byVar)
{
    if (!r.Has(p, 10))  // header and the six-octet time
        return Truncated(r);
    // Unsynchronised: the RTU's time is not trusted; the computer's time of day instead.
    m_dwCto = byVar == 1 ? r.U32(p + 4) : WholeSecondsOfDay();
    return p + 10;
}

int CQueltHandler::AcceptObject(const CObjectReader& r, int, const ObjectRange&, std::uint8_t)
{
    return r.Length();
}

std::string SoeLine(std::uint32_t dwTime, int nPoint, int nState)
{
    const LocalTime today = Clock().LocalNow();
    const std::uint32_t r = dwTime % 86'400'000u;
    char line[128];
    std::snprintf(line, sizeof line, "%4d-%02d-%02d %02d:%02d:%02d:%3d 站号=%d 点号=%d 状态=%d", today.nYear,
                  today.nMonth, today.nDay, static_cast<int>(r / 3'600'000), static_cast<int>(r % 3'600'000 / 60'000),
                  static_cast<int>(r % 60'000 / 1000), static_cast<int>(r % 1000), g_nRtuAddress.load() & 0xFFFF,
                  nPoint, nState);
    return line;
}

void CheckSelectTimeout() { CheckTimeout(g_CtrlCmd.m_bSelectPending, g_CtrlCmd.m_tSelect, "遥控选点超时 !"); }

void CheckOperateTimeout() { CheckTimeout(g_CtrlCmd.m_bOperatePending, g_CtrlCmd.m_tOperate, "遥控执行超时 !"); }
