#include <gtest/gtest.h>

#include <random>

#include "commands/CommandQueue.h"
#include "core/Clock.h"
#include "core/Config.h"
#include "core/ResponseList.h"
#include "monitor/AlarmLog.h"
#include "response/QueltHandler.h"
#include "support/Hex.h"

namespace {

enum Kind { YX, YC, YM };

struct PointValue {
    Kind kind;
    int nPoint;
    long long llValue;
};

long long Value(const PointValue& v)
{
    const RtuPointTable& slot = g_RtuPoints[0];
    switch (v.kind) {
    case YX:
        return slot.pYX[v.nPoint].byState;
    case YC:
        return slot.pYC[v.nPoint].nValue;
    default:
        return slot.pYM[v.nPoint].dwValue;
    }
}

// An element as the poll cycle builds it: length, IIN, then the objects.
ResponseElement Element(const std::string& objects, std::uint8_t byIin2 = 0)
{
    std::vector<std::uint8_t> data = FromHex(objects);
    const std::size_t nLength = data.size() + 4;
    data.insert(data.begin(), {static_cast<std::uint8_t>(nLength & 0xFF), static_cast<std::uint8_t>(nLength >> 8),
                               0x00, byIin2});
    return data;
}

const std::string kDay = "2026-12-10 ";

}  // namespace

class ResponseDecodeTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_Clock.SetLocal({2026, 12, 10, 15, 30, 0, 0});
        SetConfigDefaults();
        ClearImage();
        g_AlarmLog.Clear();
        ClearResponses();
        ResetCtrlCommand();
    }
    void TearDown() override
    {
        ClearImage();
        g_AlarmLog.Clear();
        ResetCtrlCommand();
    }
    static void ClearImage()
    {
        for (int i = 0; i < kPointCapacity; ++i) {
            g_RtuPoints[0].pYX[i].byState = 0;
            g_RtuPoints[0].pYC[i].nValue = 0;
            g_RtuPoints[0].pYM[i].dwValue = 0;
        }
    }
    // Decodes one element as timer 1 does; returns the alarms it raised.
    std::vector<std::string> Decode(const std::string& objects, std::uint8_t byAnswers = 0, std::uint8_t byIin2 = 0)
    {
        g_AlarmLog.Clear();
        PushResponse(Element(objects, byIin2), byAnswers);
        m_Handler.ProcessResponses();
        return g_AlarmLog.Texts();
    }

    ScopedFakeClock m_Clock;
    CQueltHandler m_Handler;
};

TEST_F(ResponseDecodeTest, ObjectsWriteTheImageAndRaiseTheirLines)
{
    const struct {
        const char* what;
        std::string objects;
        std::vector<PointValue> values;  // checked after decoding
        std::vector<std::string> alarms;
    } cases[] = {
        {"1.1 packed", "01 01 01 00 00 09 00 05 02",
         {{YX, 0, 1}, {YX, 1, 0}, {YX, 2, 1}, {YX, 3, 0}, {YX, 8, 0}, {YX, 9, 1}, {YX, 10, 0}}, {}},
        {"1.1 from 16", "01 01 01 10 00 17 00 A5",
         {{YX, 15, 0}, {YX, 16, 1}, {YX, 17, 0}, {YX, 18, 1}, {YX, 21, 1}, {YX, 23, 1}, {YX, 24, 0}}, {}},
        {"1.1 8-bit range", "01 01 00 10 17 A5", {{YX, 16, 1}, {YX, 17, 0}, {YX, 23, 1}, {YX, 24, 0}}, {}},
        {"1.2 clipped at 1023", "01 02 01 FC 03 06 04 81 01 81 81 81 81 81 81 81 81 81",
         {{YX, 1020, 1}, {YX, 1021, 0}, {YX, 1023, 1}}, {}},
        {"1.2 bad qualifier", "01 02 06", {}, {"全遥信修饰码非法 !"}},
        {"1.2 bad range", "01 02 01 05 00 04 00", {}, {"全遥信范围域非法 !"}},
        {"1.3 bad variation", "01 03 01 00 00 00 00 81", {{YX, 0, 0}}, {"全遥信类别非法 !"}},
        {"2.2 event with time", "02 02 28 01 00 03 00 81 FC CE 38 00 12 34",
         {{YX, 3, 1}}, {kDay + "01:02:03:  4 站号=54 点号=3 状态=1"}},
        {"2.1 8-bit index", "02 01 17 01 05 81", {{YX, 5, 1}}, {}},
        {"CTO and relative time wrap", "33 01 07 01 18 58 26 05 00 00 02 03 28 02 00 07 00 01 D0 07 08 00 00 40 9C",
         {{YX, 7, 0}, {YX, 8, 0}},
         {kDay + "00:00:01:  0 站号=54 点号=7 状态=0", kDay + "00:00:39:  0 站号=54 点号=8 状态=0"}},
        {"2.1 count 0", "02 01 28 00 00", {}, {"遥信COS范围域非法 !"}},
        {"2.2 bad qualifier", "02 02 01 00 00 00 00", {}, {"遥信SOE修饰码非法 !"}},
        {"2.4", "02 04 28 01 00", {}, {"遥信事件类别非法 !"}},
        {"51 bad qualifier", "33 01 17 01 00 00 00 00 00 00", {}, {"遥信SOE日期与时间对象修饰码非法 !"}},
        {"event for point 2000 is skipped", "02 02 28 02 00 D0 07 81 00 00 00 00 00 00 04 00 81 00 00 00 00 00 00",
         {{YX, 4, 1}}, {kDay + "00:00:00:  0 站号=54 点号=4 状态=1"}},
        {"20.2 unsigned", "14 02 01 00 00 00 00 01 FF FF", {{YM, 0, 65535}}, {}},
        {"20.1 flags ignored", "14 01 01 00 00 01 00 FF 01 00 00 00 00 00 28 6B EE",
         {{YM, 0, 1}, {YM, 1, 4000000000LL}}, {}},
        {"21.3", "15 03 01 00 00 00 00", {}, {"冻结计数器输入类别非法 !"}},
        {"30.2 minus", "1E 02 01 00 00 01 00 01 00 80 01 FB FF", {{YC, 0, -32768}, {YC, 1, -5}}, {}},
        {"30.1", "1E 01 01 00 00 00 00", {}, {"全遥测类别非法 !"}},
        {"30.2 8-bit range then 1.2", "1E 02 00 02 02 01 34 12 01 02 01 00 00 00 00 81",
         {{YC, 2, 0x1234}, {YX, 0, 1}}, {}},
        {"32.2 skips point 2000", "20 02 28 03 00 05 00 01 0A 00 D0 07 01 0B 00 07 00 01 0C 00",
         {{YC, 5, 10}, {YC, 7, 12}}, {}},
        {"32.2 count 0 then 1.2", "20 02 28 00 00 01 02 01 00 00 00 00 81", {{YX, 0, 1}}, {}},
        {"32.2 8-bit index", "20 02 17 01 05 00 34 12 01 02 01 00 00 00 00 81", {{YC, 5, 0x1234}, {YX, 0, 1}}, {}},
        {"41.2 accepted with 0x17", "29 02 17 01 00 00 00 00", {}, {}},
        {"41.2 bad qualifier", "29 02 06", {}, {"模拟量输出修饰码非法 !"}},
        {"12 nothing awaited", "0C 01 28 01 00 05 00 40 01 E8 03 00 00 00 00 00 00 00", {}, {}},
        {"52.2 then 1.2", "34 02 07 01 10 00 01 02 01 00 00 00 00 81", {{YX, 0, 1}}, {}},
        {"80.1 then 1.2", "50 01 00 07 07 00 01 02 00 00 00 81", {{YX, 0, 1}}, {}},
        {"52 of unknown size ends the element", "34 03 07 01 10 00 01 02 01 00 00 00 00 81", {{YX, 0, 0}}, {}},
        {"12.1 then 1.2", "0C 01 28 01 00 05 00 40 01 E8 03 00 00 00 00 00 00 00 01 02 00 00 00 81",
         {{YX, 0, 1}}, {}},
        {"illegal object", "0A 02 00 00 00 81", {}, {"收到非法对象--10 !"}},
        {"no objects", "", {}, {}},
    };
    for (const auto& c : cases) {
        ClearImage();
        EXPECT_EQ(Decode(c.objects), c.alarms) << c.what;
        for (const PointValue& v : c.values)
            EXPECT_EQ(Value(v), v.llValue) << c.what << " point " << v.nPoint;
    }
}

TEST_F(ResponseDecodeTest, EveryObjectOfAResponseIsDecoded)
{
    // Static data of three kinds in one response, in either order.
    const std::string binaries = "01 02 01 00 00 01 00 81 01";
    const std::string analogs = "1E 02 01 00 00 00 00 01 64 00";
    const std::string counters = "14 01 01 03 00 03 00 01 40 E2 01 00";
    for (const std::string& objects : {binaries + " " + analogs + " " + counters, counters + " " + analogs + " " + binaries}) {
        ClearImage();
        EXPECT_TRUE(Decode(objects).empty());
        EXPECT_EQ(g_RtuPoints[0].pYX[0].byState, 1);
        EXPECT_EQ(g_RtuPoints[0].pYX[1].byState, 0);
        EXPECT_EQ(g_RtuPoints[0].pYC[0].nValue, 100);
        EXPECT_EQ(g_RtuPoints[0].pYM[3].dwValue, 123456u);
    }

    // Events as a class poll carries them, in the order they happened, one header per run.
    const std::string events = "02 02 28 01 00 03 00 81 E8 03 00 00 00 00 "  // 3 on at 00:00:01
                               "20 02 28 01 00 05 00 01 0A 00 "              // analog 5 = 10
                               "02 02 28 01 00 04 00 01 D0 07 00 00 00 00 "  // 4 off at 00:00:02
                               "20 02 28 01 00 05 00 01 0B 00";              // analog 5 = 11
    EXPECT_EQ(Decode(events), (std::vector<std::string>{kDay + "00:00:01:  0 站号=54 点号=3 状态=1",
                                                        kDay + "00:00:02:  0 站号=54 点号=4 状态=0"}));
    EXPECT_EQ(g_RtuPoints[0].pYC[5].nValue, 11);
    EXPECT_EQ(g_RtuPoints[0].pYX[3].byState, 1);
}

TEST_F(ResponseDecodeTest, ControlAnswersClearTheirWatches)
{
    // An echo reports only the request it answers, even while both are awaited.
    const std::string block = "0C 01 28 01 00 05 00 40 01 E8 03 00 00 00 00 00 00 ";
    const struct {
        int bSelect, bOperate;
        std::uint8_t byAnswers;
        std::string status;
        std::vector<std::string> alarms;
        int bSelectAfter, bOperateAfter;
    } cases[] = {
        {1, 0, 3, "00", {"遥控选点成功 !"}, 0, 0},
        {1, 0, 3, "04", {"遥控选点失败 !"}, 0, 0},
        {0, 1, 4, "04", {"遥控执行失败 !"}, 0, 0},
        {0, 1, 4, "00", {"遥控执行成功 !"}, 0, 0},
        {1, 1, 3, "00", {"遥控选点成功 !"}, 0, 1},
        {1, 1, 4, "04", {"遥控执行失败 !"}, 1, 0},
        {1, 1, 1, "00", {}, 1, 1},  // echoed by a read: answers neither
        {0, 0, 3, "00", {}, 0, 0},  // nothing awaited (answered or timed out before)
    };
    for (const auto& c : cases) {
        g_CtrlCmd.m_bSelectPending = c.bSelect;
        g_CtrlCmd.m_bOperatePending = c.bOperate;
        EXPECT_EQ(Decode(block + c.status, c.byAnswers), c.alarms) << c.status << " " << int(c.byAnswers);
        EXPECT_EQ(g_CtrlCmd.m_bSelectPending, c.bSelectAfter);
        EXPECT_EQ(g_CtrlCmd.m_bOperatePending, c.bOperateAfter);
        g_CtrlCmd.m_bSelectPending = 0;
        g_CtrlCmd.m_bOperatePending = 0;
    }

    // Select and operate answered in one tick, one of them refused: each its own line.
    const struct {
        const char* selectStatus;
        const char* operateStatus;
        std::vector<std::string> alarms;
    } bothInOneTick[] = {
        {"00", "04", {"遥控选点成功 !", "遥控执行失败 !"}},
        {"04", "00", {"遥控选点失败 !", "遥控执行成功 !"}},  // an operate the RTU took anyway
    };
    for (const auto& c : bothInOneTick) {
        g_AlarmLog.Clear();
        g_CtrlCmd.m_bSelectPending = 1;
        g_CtrlCmd.m_bOperatePending = 1;
        PushResponse(Element(block + c.selectStatus), 3);
        PushResponse(Element(block + c.operateStatus), 4);
        m_Handler.ProcessResponses();
        EXPECT_EQ(g_AlarmLog.Texts(), c.alarms) << c.selectStatus;
    }

    g_AlarmLog.Clear();
    CheckSelectTimeout();
    m_Clock.AdvanceSeconds(20);
    CheckSelectTimeout();
    CheckOperateTimeout();
    EXPECT_TRUE(g_AlarmLog.Texts().empty()) << "no time-out after an answer";
}

TEST_F(ResponseDecodeTest, ControlRefusedByAnErrorIndicationEndsAtOnce)
{
    // No echo, but IIN2 says why: the control has failed, no need to wait for the time-out.
    const struct {
        std::uint8_t byAnswers;
        std::uint8_t byIin2;
        std::vector<std::string> alarms;
    } cases[] = {
        {3, 0x02, {"遥控选点失败: RTU不支持该对象(IIN2.1) !"}},
        {3, 0x04, {"遥控选点失败: RTU报参数错误(IIN2.2) !"}},
        {3, 0x10, {"遥控选点失败: RTU报操作已在执行(IIN2.4) !"}},
        {4, 0x01, {"遥控执行失败: RTU不支持该功能码(IIN2.0) !"}},
        {3, 0x08, {}},  // an event buffer overflow refuses nothing: the wait goes on
        {1, 0x02, {}},  // a read's answer concerns no control
    };
    for (const auto& c : cases) {
        g_CtrlCmd.m_bSelectPending = 1;
        g_CtrlCmd.m_bOperatePending = 1;
        EXPECT_EQ(Decode("", c.byAnswers, c.byIin2), c.alarms) << int(c.byIin2);
        const bool bEnded = !c.alarms.empty();
        EXPECT_EQ(g_CtrlCmd.m_bSelectPending, bEnded && c.byAnswers == 3 ? 0 : 1);
        EXPECT_EQ(g_CtrlCmd.m_bOperatePending, bEnded && c.byAnswers == 4 ? 0 : 1);
    }
    // With the echo, its status tells, whatever the IIN.
    g_CtrlCmd.m_bSelectPending = 1;
    EXPECT_EQ(Decode("0C 01 28 01 00 05 00 40 01 E8 03 00 00 00 00 00 00 04", 3, 0x04),
              std::vector<std::string>{"遥控选点失败 !"});
}

TEST_F(ResponseDecodeTest, UtcEventTimesCarryTheirOwnDateAndAreMarkedWhenTheClockCannotBeRight)
{
    g_nTimeFormat = TIME_FORMAT_UTC;  // now 2026-12-10 15:30:00 (local time is UTC here)
    const struct {
        std::uint64_t qwMs;
        std::string line;
    } cases[] = {
        {1772323199999, "2026-02-28 23:59:59:999 站号=54 点号=2 状态=1"},  // the last of a month
        {1772323200001, "2026-03-01 00:00:00:  1 站号=54 点号=2 状态=1"},  // and the first of the next
        {631152000000, "1990-01-01 00:00:00:  0 站号=54 点号=2 状态=1"},
        {631151999999, "1989-12-31 23:59:59:999 站号=54 点号=2 状态=1 (RTU时钟未同步?)"},
        {1797002999000, "2026-12-11 15:29:59:  0 站号=54 点号=2 状态=1"},  // a day ahead at most
        {1797003000001, "2026-12-11 15:30:00:  1 站号=54 点号=2 状态=1 (RTU时钟未同步?)"},
        // What a master of the other convention writes: 11 days into January 1970.
        {898363379, "1970-01-11 09:32:43:379 站号=54 点号=2 状态=1 (RTU时钟未同步?)"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(Decode("02 02 28 01 00 02 00 81 " + Time48Hex(c.qwMs)), std::vector<std::string>{c.line});

    // A CTO keeps the RTU's own time; an unsynchronised one marks the events it dates.
    const std::string events = " 02 03 28 02 00 04 00 81 00 00 05 00 01 E8 03";
    EXPECT_EQ(Decode("33 02 07 01 " + Time48Hex(1772323199999) + events),
              (std::vector<std::string>{"2026-02-28 23:59:59:999 站号=54 点号=4 状态=1 (未同步)",
                                        "2026-03-01 00:00:00:999 站号=54 点号=5 状态=0 (未同步)"}));
    EXPECT_EQ(Decode("33 01 07 01 " + Time48Hex(1772323099999) + events),
              (std::vector<std::string>{"2026-02-28 23:58:19:999 站号=54 点号=4 状态=1",
                                        "2026-02-28 23:58:20:999 站号=54 点号=5 状态=0"}));

    // The month-relative convention takes only the time of day, dated today, and puts the
    // computer's time in place of an unsynchronised CTO.
    g_nTimeFormat = TIME_FORMAT_MONTH;
    EXPECT_EQ(Decode("02 02 28 01 00 02 00 81 " + Time48Hex(9 * 86'400'000 + 86'399'999)),
              std::vector<std::string>{kDay + "23:59:59:999 站号=54 点号=2 状态=1"});
    EXPECT_EQ(Decode("33 02 07 01 " + Time48Hex(863'999'999) + events),
              (std::vector<std::string>{kDay + "15:30:00:  0 站号=54 点号=4 状态=1",
                                        kDay + "15:30:01:  0 站号=54 点号=5 状态=0"}));
}

TEST_F(ResponseDecodeTest, TruncatedObjectsEndTheElementWithoutReadingBeyondIt)
{
    const std::string kShort = "响应报文长度不足 !";
    std::string cut30 = "1E 02 01 E8 03 4C 04";  // points 1000 to 1100
    for (int i = 0; i < 25; ++i)
        cut30 += " 01 07 00";  // with data for the first 25 only
    const struct {
        const char* what;
        std::string objects;
        std::vector<PointValue> kept;  // written before the cut
        std::vector<std::string> before = {};  // lines of the events before the cut
    } cases[] = {
        {"1.1", "01 01 01 00 00 1F 00 FF", {{YX, 7, 1}}},
        {"1.2", "01 02 01 00 00 09 00 81 81", {{YX, 1, 1}}},
        {"1.2 header", "01 02 01 00 00", {}},
        {"2.2", "02 02 28 02 00 03 00 81 00 00 00 00 00 00 04 00 81 00", {{YX, 3, 1}},
         {kDay + "00:00:00:  0 站号=54 点号=3 状态=1"}},
        {"2.3", "02 03 17 05 01 81 10 00 02", {{YX, 1, 1}}, {kDay + "15:30:00: 16 站号=54 点号=1 状态=1"}},
        {"12", "0C 01 28 01 00 05 00 40 01 E8", {}},
        {"20.1", "14 01 01 00 00 05 00 01 01 00 00 00 01 02", {{YM, 0, 1}}},
        {"21.2", "15 02 00 00 05 01 07 00 01", {{YM, 0, 7}}},
        {"30.2", "1E 02 01 00 00 09 00 01 05 00 01 06", {{YC, 0, 5}}},
        {"32.2", "20 02 28 05 00 01 00 01 09 00 02 00", {{YC, 1, 9}}},
        {"51", "33 01 07 01 18 58", {}},
        {"30.2 cut among points past 1023", cut30, {{YC, 1000, 7}, {YC, 1023, 7}}},
        {"2.1 event of point 2048 cut short", "02 01 28 02 00 05 00 81 00 08", {{YX, 5, 1}}},
        {"variation", "1E", {}},
        {"qualifier", "1E 02", {}},
    };
    for (const auto& c : cases) {
        ClearImage();
        std::vector<std::string> expected = c.before;
        expected.push_back(kShort);
        EXPECT_EQ(Decode(c.objects), expected) << c.what;
        for (const PointValue& v : c.kept)
            EXPECT_EQ(Value(v), v.llValue) << c.what << " point " << v.nPoint;
    }
    // A length field larger than the element is not believed either.
    ResponseElement element = Element("1E 02 01 00 00 09 00 01 05 00");
    element[0] = 0xFF;
    element[1] = 0x07;
    g_AlarmLog.Clear();
    m_Handler.ProcessElement(element.data(), static_cast<int>(element.size()));
    EXPECT_EQ(g_AlarmLog.Texts(), std::vector<std::string>{kShort});
}

TEST_F(ResponseDecodeTest, ProcessResponsesDrainsEveryElementInOrderAndCarriesTheCto)
{
    PushResponse(Element("1E 02 01 00 00 00 00 01 01 00"));
    PushResponse(Element("33 01 07 01 E8 03 00 00 00 00"));  // CTO 1 s
    PushResponse(Element("02 03 28 01 00 02 00 81 E8 03 1E 02 01 00 00 00 00 01 03 00"));
    m_Handler.ProcessResponses();
    EXPECT_EQ(g_RtuPoints[0].pYC[0].nValue, 3);  // the analogs after the events of the third
    EXPECT_EQ(g_AlarmLog.Texts(), std::vector<std::string>{kDay + "00:00:02:  0 站号=54 点号=2 状态=1"});
    ResponseElement left;
    EXPECT_FALSE(PopResponse(left));
    EXPECT_EQ(m_Handler.m_pFrame, nullptr);

    // The CTO does not outlive the call: the next one starts from the time of day.
    g_AlarmLog.Clear();
    PushResponse(Element("02 03 28 01 00 02 00 81 00 00"));
    m_Handler.ProcessResponses();
    EXPECT_EQ(g_AlarmLog.Texts(), std::vector<std::string>{kDay + "15:30:00:  0 站号=54 点号=2 状态=1"});
}

TEST_F(ResponseDecodeTest, EventsSentAgainAfterALostConfirmAreListedOnce)
{
    // The RTU did not get the confirm of the first response and sends its events again,
    // with a new one; a later change of the same point is a new event.
    const std::string first = "02 02 28 02 00 03 00 81 10 27 00 00 00 00 04 00 01 20 27 00 00 00 00";
    EXPECT_EQ(Decode(first).size(), 2u);
    const std::string again = first + " 02 02 28 01 00 03 00 01 30 27 00 00 00 00";
    EXPECT_EQ(Decode(again), (std::vector<std::string>{kDay + "00:00:10: 32 站号=54 点号=3 状态=0",
                                                      "重复事件已忽略: 2"}));
    // The same point and state at another millisecond, and the same time with the other
    // state, are events of their own.
    EXPECT_EQ(Decode("02 02 28 02 00 03 00 81 11 27 00 00 00 00 03 00 01 10 27 00 00 00 00").size(), 2u);
    // Relative times after a CTO are compared as the times they make.
    EXPECT_EQ(Decode("33 01 07 01 10 27 00 00 00 00 02 03 28 01 00 03 00 81 00 00"),
              std::vector<std::string>{"重复事件已忽略: 1"});
}

TEST_F(ResponseDecodeTest, UnansweredSelectTimesOutOnceAfterFifteenSeconds)
{
    m_Clock.SetLocal({2026, 12, 10, 10, 0, 0, 0});
    g_CtrlCmd.m_tSelect = m_Clock.Now();
    g_CtrlCmd.m_bSelectPending = 1;
    for (int nSecond = 1; nSecond <= 14; ++nSecond) {
        m_Clock.AdvanceSeconds(1);
        CheckSelectTimeout();
        CheckOperateTimeout();
    }
    EXPECT_TRUE(g_AlarmLog.Texts().empty());
    m_Clock.AdvanceSeconds(1);  // 10:00:15
    CheckSelectTimeout();
    m_Clock.AdvanceSeconds(1);
    CheckSelectTimeout();
    EXPECT_EQ(g_AlarmLog.Texts(), std::vector<std::string>{"遥控选点超时 !"});

    g_CtrlCmd.m_tOperate = m_Clock.Now();
    g_CtrlCmd.m_bOperatePending = 1;
    m_Clock.AdvanceSeconds(15);
    CheckOperateTimeout();
    EXPECT_EQ(g_AlarmLog.Texts().back(), "遥控执行超时 !");
}

TEST_F(ResponseDecodeTest, RandomElementsNeverReadOutsideThemselves)
{
    // Elements made of plausible headers with random ranges and truncated data; each is
    // allocated at its exact size, so the sanitizer build catches any read past it.
    std::mt19937 random(1815);
    const std::uint8_t groups[] = {1, 2, 12, 20, 21, 30, 32, 41, 51, 52, 80, 7};
    const std::uint8_t qualifiers[] = {0x00, 0x01, 0x06, 0x07, 0x17, 0x28};
    std::uniform_int_distribution<int> octet(0, 255);
    for (int nRound = 0; nRound < 3000; ++nRound) {
        std::vector<std::uint8_t> objects;
        const int nObjects = 1 + octet(random) % 3;
        for (int i = 0; i < nObjects; ++i) {
            objects.push_back(groups[static_cast<std::size_t>(octet(random)) % std::size(groups)]);
            objects.push_back(static_cast<std::uint8_t>(octet(random) % 4));
            objects.push_back(qualifiers[static_cast<std::size_t>(octet(random)) % std::size(qualifiers)]);
            const int nData = octet(random) % 40;
            for (int k = 0; k < nData; ++k)
                objects.push_back(static_cast<std::uint8_t>(octet(random)));
        }
        objects.resize(static_cast<std::size_t>(octet(random)) % (objects.size() + 1));
        ResponseElement element(objects.size() + 4);
        element[0] = static_cast<std::uint8_t>(element.size());
        element[1] = static_cast<std::uint8_t>(element.size() >> 8);
        std::copy(objects.begin(), objects.end(), element.begin() + 4);
        m_Handler.ProcessElement(element.data(), static_cast<int>(element.size()));
    }
    SUCCEED();
}
