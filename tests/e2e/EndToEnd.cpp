#include "e2e/EndToEnd.h"

#include <algorithm>
#include <chrono>
#include <thread>

#include "channel/PortMap.h"
#include "app/Channels.h"
#include "core/Config.h"
#include "core/Locks.h"
#include "core/ResponseList.h"
#include "core/TrafficLines.h"
#include "sim/TcpListenLine.h"

void EndToEndTest::SetUp()
{
    SharedStateTest::SetUp();
    ClearResponses();
    g_AlarmLog.Clear();
    g_AlarmLog.Attach(this, [] {});  // drained by RunUntil, on this thread
    MapPortDevice(COM2, m_RtuLine.Device());
    MapPortDevice(COM1, m_OtherLine.Device());
}

void EndToEndTest::TearDown()
{
    DestroyChannels();
    if (m_pRtu)
        m_pRtu->Stop();
    g_AlarmLog.Detach();
    g_AlarmLog.Clear();
    ClearResponses();
    SharedStateTest::TearDown();
}

void EndToEndTest::Start(const SimOptions& options)
{
    m_pRtu = std::make_unique<CSimRunner>(options, MakeFdLine(m_RtuLine.MasterFd()), RtuLogger());
    m_pRtu->Start();
    m_tStarted = std::time(nullptr);
    CreateChannels();
}

COutstation::Log EndToEndTest::RtuLogger()
{
    return [this](const std::string& line) {
        std::lock_guard lock(m_mxLog);
        m_RtuLog.push_back(line);
    };
}

void EndToEndTest::StartOnTcp(const SimOptions& options, int nDropAfterS)
{
    const COutstation::Log log = RtuLogger();
    std::string error;
    std::unique_ptr<CTcpListenLine> line = CTcpListenLine::Listen("127.0.0.1:0", nDropAfterS, log, error);
    ASSERT_NE(line, nullptr) << error;
    MapPortDevice(COM2, "tcp://127.0.0.1:" + std::to_string(line->Port()));
    m_pRtu = std::make_unique<CSimRunner>(options, std::move(line), log);
    m_pRtu->Start();
    m_tStarted = std::time(nullptr);
    CreateChannels();
}

void EndToEndTest::ExpectOneStartupFreeze(const std::string& why)
{
    // Time zones are whole quarter hours from UTC, so local quarter hours begin with UTC's.
    const auto nQuartersBegun = static_cast<int>(std::time(nullptr) / 900 - m_tStarted / 900);
    const int nFreezes = CountRtuLog("counters frozen");
    EXPECT_GE(nFreezes, 1) << why;
    EXPECT_LE(nFreezes, 1 + nQuartersBegun) << why;
}

bool EndToEndTest::RunUntil(const std::function<bool()>& condition, int nSeconds)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(nSeconds);
    for (;;) {
        m_Handler.ProcessResponses();
        g_AlarmLog.Drain();
        {
            std::lock_guard lock(g_csDisplay);
            m_RecvText += g_RecvLines.TakeAll();
            g_SendLines.Clear();
        }
        if (condition())
            return true;
        if (std::chrono::steady_clock::now() > deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(500));
    }
}

void EndToEndTest::RunFor(int nMilliseconds)
{
    const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(nMilliseconds);
    RunUntil([until] { return std::chrono::steady_clock::now() >= until; }, nMilliseconds / 1000 + 2);
}

std::vector<std::string> EndToEndTest::RtuLog()
{
    std::lock_guard lock(m_mxLog);
    return m_RtuLog;
}

int EndToEndTest::CountRtuLog(const std::string& text)
{
    const std::vector<std::string> log = RtuLog();
    return static_cast<int>(std::count_if(log.begin(), log.end(), [&](const std::string& line) {
        return line.find(text) != std::string::npos;
    }));
}

int EndToEndTest::CountAlarms(const std::string& text) const
{
    return static_cast<int>(std::count(m_Alarms.begin(), m_Alarms.end(), text));
}

std::vector<std::string> EndToEndTest::AlarmsBesidesDelay() const
{
    std::vector<std::string> alarms;
    for (const std::string& alarm : m_Alarms)
        if (alarm.rfind("时延测量: ", 0) != 0)
            alarms.push_back(alarm);
    return alarms;
}

bool EndToEndTest::DeliverAllEvents(int nSeconds)
{
    m_pRtu->With([](COutstation& rtu) {
        rtu.StopFaults();
        rtu.SetChangePeriod(0);
        return 0;
    });
    const bool bDelivered =
        RunUntil([this] { return m_pRtu->With([](COutstation& rtu) { return rtu.Database().EventCount() == 0; }); },
                 nSeconds);
    RunFor(1000);
    return bDelivered;
}

std::vector<std::string> EndToEndTest::ExpectedEventLines()
{
    std::vector<std::string> lines;
    m_pRtu->With([&lines](COutstation& rtu) {
        for (const SimEvent& e : rtu.Database().History())
            if (e.kind == SimEvent::BINARY)
                lines.push_back(SoeLine(e.qwTime, e.nPoint, e.nValue));
        return 0;
    });
    std::sort(lines.begin(), lines.end());
    return lines;
}

std::vector<std::string> EndToEndTest::ReportedEventLines() const
{
    std::vector<std::string> lines;
    for (const std::string& alarm : m_Alarms)
        if (alarm.find("站号=54") != std::string::npos)
            lines.push_back(alarm);
    std::sort(lines.begin(), lines.end());
    return lines;
}

int EndToEndTest::AddLine(const std::string& text)
{
    m_Alarms.push_back(text);
    return static_cast<int>(m_Alarms.size()) - 1;
}
