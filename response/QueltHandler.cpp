#include "response/QueltHandler.h"

#include <cstdio>
#include <string>

#include "commands/CommandQueue.h"
#include "core/Clock.h"
#include "core/Config.h"
#include "core/ResponseList.h"
#include "dnp3/FunctionCodes.h"
#include "dnp3/IinWatch.h"
#include "monitor/AlarmLog.h"

namespace {

enum class Check { None, PositiveRange, PositiveCount };

struct ObjectRow {
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
const ObjectRow kObjects[] = {
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
    {52, kAnyVariation, Q::Any, Check::None, nullptr, nullptr, nullptr, &H::SkipTimeDelay},
    {80, kAnyVariation, Q::Any, Check::None, nullptr, nullptr, nullptr, &H::SkipIndications},
};

const char kTruncated[] = "响应报文长度不足 !";

const ObjectRow* FindRow(std::uint8_t byGroup, int nVar)
{
    for (const ObjectRow& object : kObjects)
        if (object.byGroup == byGroup && nVar < 32 && (object.dwVariations >> nVar & 1u) != 0)
            return &object;
    return nullptr;
}

const ObjectRow* FindGroup(std::uint8_t byGroup)
{
    for (const ObjectRow& object : kObjects)
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

bool IsUtc() { return g_nTimeFormat.load(std::memory_order_relaxed) == TIME_FORMAT_UTC; }

// The computer's time in ms, counted in whole seconds: of the day, or UTC since 1970.
std::uint64_t WholeSecondsNow()
{
    return IsUtc() ? UtcMs() / 1000 * 1000 : MillisecondsOfDay(Clock().LocalNow()) / 1000 * 1000;
}

// 1990-01-01 00:00 UTC: no RTU clock that was ever set reads earlier.
constexpr std::uint64_t kPlausibleFromMs = 631'152'000'000;
constexpr std::uint64_t kDayMs = 86'400'000;

void CheckTimeout(std::atomic<int>& bPending, const std::atomic<std::time_t>& tSent, const char* pszText)
{
    if (bPending.load(std::memory_order_acquire) == 0)
        return;
    // Taken in one step, so an answer decoded meanwhile cannot be reported as well.
    if (Now() - tSent.load(std::memory_order_relaxed) >= 15 && bPending.exchange(0) != 0)
        AddAlarm(pszText);
}

// The echoed control block reports the outcome of the request it answers, and only if
// that request is still awaited.
void ReportControlOutcome(std::uint8_t byAnswers, bool bSuccess)
{
    if (byAnswers == fc::SELECT && g_CtrlCmd.m_bSelectPending.exchange(0) != 0)
        AddAlarm(bSuccess ? "遥控选点成功 !" : "遥控选点失败 !");
    else if (byAnswers == fc::OPERATE && g_CtrlCmd.m_bOperatePending.exchange(0) != 0)
        AddAlarm(bSuccess ? "遥控执行成功 !" : "遥控执行失败 !");
}

// Whether the qualifier of the header at p is one whose size ReadObjectRange knows.
bool KnownQualifier(const CObjectReader& r, int p, QualifierKind kind)
{
    return r.Has(p, 3) && QualifierFits(kind, r.U8(p + 2));
}

}  // namespace

void CQueltHandler::ProcessResponses()
{
    // An event with relative time before any CTO in this call is dated from now.
    m_qwCto = WholeSecondsNow();
    m_bCtoUnsynced = false;
    ResponseElement element;
    std::uint8_t byAnswers = 0;
    m_nRepeats = 0;
    while (PopResponse(element, &byAnswers))
        ProcessElement(element.data(), static_cast<int>(element.size()), byAnswers);
    if (m_nRepeats > 0)  // once per batch, not once per event
        AddAlarm("重复事件已忽略: " + std::to_string(m_nRepeats));
}

void CQueltHandler::ListEvent(std::uint64_t qwTime, int nPoint, int nState, bool bUnsynced)
{
    if (m_Repeats.IsRepeat(nPoint, nState, qwTime))
        ++m_nRepeats;
    else
        AddAlarm(SoeLine(qwTime, nPoint, nState, bUnsynced));
}

void CQueltHandler::ProcessElement(const std::uint8_t* pElement, int nLength, std::uint8_t byAnswers)
{
    if (nLength < 2)
        return;
    // The stated length never reaches beyond the octets that are there.
    const int nStated = pElement[0] | (pElement[1] << 8);
    const CObjectReader r(pElement, nStated < nLength ? nStated : nLength);
    m_pFrame = pElement;
    m_byAnswers = byAnswers;
    m_bControlBlock = false;
    for (int p = 4; p < r.Length();)
        p = ProcessObject(r, p);
    if (!m_bControlBlock && r.Has(3, 1))
        ControlRefusedByIin();
    m_pFrame = nullptr;
    m_byAnswers = 0;
}

int CQueltHandler::ProcessObject(const CObjectReader& r, int p)
{
    const std::uint8_t byGroup = r.U8(p);
    const ObjectRow* pGroup = FindGroup(byGroup);
    if (pGroup == nullptr)
        return Failed(r, ("收到非法对象--" + std::to_string(byGroup) + " !").c_str());
    const ObjectRow* pRow = pGroup;
    ObjectRange range;
    std::uint8_t byVar = 0;
    if (pGroup->qualifier != Q::Any) {
        if (!r.Has(p, 2))
            return Truncated(r);
        byVar = r.U8(p + 1);
        pRow = FindRow(byGroup, byVar);
        if (pRow == nullptr)
            return Failed(r, pGroup->pszBadVariation);
        if (!r.Has(p, 3))
            return Truncated(r);
        if (!QualifierFits(pRow->qualifier, r.U8(p + 2)))
            return Failed(r, pRow->pszBadQualifier);
        if (!ReadObjectRange(r, p, range))
            return Truncated(r);
        if (!RangeOk(pRow->check, range))
            return Failed(r, pRow->pszBadRange);
    }
    // Whatever the decoder could write is written; an object that runs past the element
    // is reported even when its missing part holds only points the image cannot keep.
    const int nEnd = (this->*pRow->decode)(r, p, range, byVar);
    return nEnd > r.Length() ? Truncated(r) : nEnd;
}

int CQueltHandler::Truncated(const CObjectReader& r) { return Failed(r, kTruncated); }

int CQueltHandler::DecodeBinaryInputs(const CObjectReader& r, int p, const ObjectRange& range,
                                      std::uint8_t byVar)
{
    const int nData = p + range.nHeaderSize;
    for (int k = 0; k < range.nCount; ++k) {
        const int nPoint = range.nStart + k;
        const int nAt = byVar == 1 ? nData + k / 8 : nData + k;
        if (nPoint >= kPointCapacity || !r.Has(nAt, 1))
            break;
        const std::uint8_t byState =
            byVar == 1 ? (r.U8(nAt) >> (k % 8)) & 1 : (r.U8(nAt) & 0x80) != 0 ? 1 : 0;
        g_RtuPoints[0].pYX[nPoint].byState = byState;
    }
    return nData + (byVar == 1 ? (range.nCount + 7) / 8 : range.nCount);
}

int CQueltHandler::DecodeBinaryEvents(const CObjectReader& r, int p, const ObjectRange& range,
                                      std::uint8_t byVar)
{
    const int nBody = byVar == 1 ? 1 : byVar == 2 ? 7 : 3;  // flag, then time or relative time
    const int nSize = range.nIndexSize + nBody;
    const int nFirst = p + range.nHeaderSize;
    for (int i = 0; i < range.nCount; ++i) {
        const int nAt = nFirst + i * nSize;
        if (!r.Has(nAt, nSize))
            break;
        const int nPoint = range.nIndexSize == 2 ? r.U16(nAt) : r.U8(nAt);
        if (nPoint >= kPointCapacity)
            continue;  // not kept in the image; the events after it still are
        const int nFlag = nAt + range.nIndexSize;
        const int nState = (r.U8(nFlag) & 0x80) != 0 ? 1 : 0;
        g_RtuPoints[0].pYX[nPoint].byState = static_cast<std::uint8_t>(nState);
        if (byVar == 2 && IsUtc())
            ListEvent(r.U48(nFlag + 1), nPoint, nState);
        else if (byVar == 2)
            ListEvent(r.U32(nFlag + 1), nPoint, nState);
        else if (byVar == 3 && IsUtc())
            ListEvent(m_qwCto + r.U16(nFlag + 1), nPoint, nState, m_bCtoUnsynced);
        else if (byVar == 3)  // month-relative: 32 bits, as the RTU counts them
            ListEvent(static_cast<std::uint32_t>(m_qwCto + r.U16(nFlag + 1)), nPoint, nState);
    }
    return nFirst + nSize * range.nCount;
}

int CQueltHandler::DecodeControlBlock(const CObjectReader& r, int p, const ObjectRange& range, std::uint8_t)
{
    // Each block: its index, control code, count, on-time, off-time and status.
    const int nBlock = range.nIndexSize + 11;
    const int nFirst = p + range.nHeaderSize;
    const int nStatus = nFirst + range.nIndexSize + 10;  // of the first block, the one reported
    m_bControlBlock = true;
    if (range.nCount > 0 && r.Has(nStatus, 1))
        ReportControlOutcome(m_byAnswers, r.U8(nStatus) == 0);
    return nFirst + nBlock * range.nCount;
}

int CQueltHandler::DecodeCounters(const CObjectReader& r, int p, const ObjectRange& range, std::uint8_t byVar)
{
    const int nSize = byVar == 1 ? 5 : 3;  // flag, then 32 or 16 bits
    const int nFirst = p + range.nHeaderSize;
    for (int k = 0; k < range.nCount; ++k) {
        const int nPoint = range.nStart + k;
        const int nValue = nFirst + k * nSize + 1;
        if (nPoint >= kPointCapacity || !r.Has(nValue, nSize - 1))
            break;
        g_RtuPoints[0].pYM[nPoint].dwValue = byVar == 1 ? r.U32(nValue) : r.U16(nValue);
    }
    return nFirst + nSize * range.nCount;
}

int CQueltHandler::DecodeAnalogs(const CObjectReader& r, int p, const ObjectRange& range, std::uint8_t)
{
    const int nFirst = p + range.nHeaderSize;
    for (int k = 0; k < range.nCount; ++k) {
        const int nPoint = range.nStart + k;
        const int nValue = nFirst + k * 3 + 1;
        if (nPoint >= kPointCapacity || !r.Has(nValue, 2))
            break;
        g_RtuPoints[0].pYC[nPoint].nValue = static_cast<std::int16_t>(r.U16(nValue));
    }
    return nFirst + 3 * range.nCount;
}

int CQueltHandler::DecodeAnalogEvents(const CObjectReader& r, int p, const ObjectRange& range, std::uint8_t)
{
    const int nSize = range.nIndexSize + 3;  // index, flag, 16-bit value
    const int nFirst = p + range.nHeaderSize;
    for (int i = 0; i < range.nCount; ++i) {
        const int nAt = nFirst + i * nSize;
        if (!r.Has(nAt, nSize))
            break;
        const int nPoint = range.nIndexSize == 2 ? r.U16(nAt) : r.U8(nAt);
        if (nPoint < kPointCapacity)  // a point beyond is skipped, the next event read
            g_RtuPoints[0].pYC[nPoint].nValue = static_cast<std::int16_t>(r.U16(nAt + range.nIndexSize + 1));
    }
    return nFirst + nSize * range.nCount;
}

int CQueltHandler::DecodeCto(const CObjectReader& r, int p, const ObjectRange& range, std::uint8_t byVar)
{
    const int nTime = p + range.nHeaderSize;  // six octets of milliseconds
    if (range.nCount > 0 && r.Has(nTime, 6)) {
        if (IsUtc()) {
            // The RTU's own time, marked on each event it dates.
            m_qwCto = r.U48(nTime);
            m_bCtoUnsynced = byVar == 2;
        } else {
            // Unsynchronised: the RTU's time is not trusted; the computer's time of day instead.
            m_qwCto = byVar == 1 ? r.U32(nTime) : WholeSecondsNow();
        }
    }
    return nTime + 6 * range.nCount;
}

int CQueltHandler::AcceptObject(const CObjectReader& r, int, const ObjectRange&, std::uint8_t)
{
    return r.Length();
}

int CQueltHandler::SkipTimeDelay(const CObjectReader& r, int p, const ObjectRange&, std::uint8_t)
{
    // 52.1 and 52.2: a 16-bit delay, one per object of a counted header.
    ObjectRange range;
    if (!KnownQualifier(r, p, Q::Count8) || (r.U8(p + 1) != 1 && r.U8(p + 1) != 2) ||
        !ReadObjectRange(r, p, range))
        return r.Length();
    return p + range.nHeaderSize + 2 * range.nCount;
}

int CQueltHandler::SkipIndications(const CObjectReader& r, int p, const ObjectRange&, std::uint8_t)
{
    // 80.1: the indications as packed bits over a range.
    ObjectRange range;
    if (!KnownQualifier(r, p, Q::Range) || r.U8(p + 1) != 1 || !ReadObjectRange(r, p, range))
        return r.Length();
    return p + range.nHeaderSize + (range.nCount + 7) / 8;
}

void CQueltHandler::ControlRefusedByIin()
{
    const std::string reason = IinRefusal(m_pFrame[3]);
    if (reason.empty())
        return;
    if (m_byAnswers == fc::SELECT && g_CtrlCmd.m_bSelectPending.exchange(0) != 0)
        AddAlarm("遥控选点失败: " + reason + " !");
    else if (m_byAnswers == fc::OPERATE && g_CtrlCmd.m_bOperatePending.exchange(0) != 0)
        AddAlarm("遥控执行失败: " + reason + " !");
}

std::string SoeLine(std::uint64_t qwTime, int nPoint, int nState, bool bUnsynced)
{
    LocalTime t;
    const char* pszMark = "";
    if (IsUtc()) {
        t = LocalAtMs(qwTime);
        if (qwTime < kPlausibleFromMs || qwTime > UtcMs() + kDayMs)
            pszMark = " (RTU时钟未同步?)";
        else if (bUnsynced)
            pszMark = " (未同步)";
    } else {
        t = Clock().LocalNow();
        const std::uint32_t r = static_cast<std::uint32_t>(qwTime) % static_cast<std::uint32_t>(kDayMs);
        t.nHour = static_cast<int>(r / 3'600'000);
        t.nMinute = static_cast<int>(r % 3'600'000 / 60'000);
        t.nSecond = static_cast<int>(r % 60'000 / 1000);
        t.nMillisecond = static_cast<int>(r % 1000);
    }
    char line[160];
    std::snprintf(line, sizeof line, "%4d-%02d-%02d %02d:%02d:%02d:%3d 站号=%d 点号=%d 状态=%d%s", t.nYear, t.nMonth,
                  t.nDay, t.nHour, t.nMinute, t.nSecond, t.nMillisecond, g_nRtuAddress.load() & 0xFFFF, nPoint, nState,
                  pszMark);
    return line;
}

void CheckSelectTimeout() { CheckTimeout(g_CtrlCmd.m_bSelectPending, g_CtrlCmd.m_tSelect, "遥控选点超时 !"); }

void CheckOperateTimeout() { CheckTimeout(g_CtrlCmd.m_bOperatePending, g_CtrlCmd.m_tOperate, "遥控执行超时 !"); }
