#include "support/EngineFixture.h"

#include <mutex>

#include "core/Config.h"
#include "core/Locks.h"
#include "core/TrafficLines.h"
#include "dnp3/LinkFrame.h"
#include "monitor/AlarmLog.h"
#include "support/Frames.h"
#include "support/Hex.h"

void EngineTest::SetUp()
{
    SharedStateTest::SetUp();
    g_AlarmLog.Clear();
    CreateEngine();
}

void EngineTest::CreateEngine()
{
    m_pEngine.reset();
    auto pLine = std::make_unique<CMemoryLine>();
    m_pLine = pLine.get();
    m_pEngine = std::make_unique<CapturingEngine>(COM2, std::move(pLine));
}

int CapturingEngine::Write(const std::uint8_t* pData, int nCount)
{
    Frames.emplace_back(pData, pData + nCount);
    return CQueltProtocol::Write(pData, nCount);
}

void EngineTest::TearDown()
{
    m_pEngine.reset();
    g_AlarmLog.Clear();
    SharedStateTest::TearDown();
}

std::string EngineTest::Sent() { return ToHex(m_pLine->TakeWritten()); }

std::string EngineTest::SendText()
{
    std::lock_guard lock(g_csDisplay);
    return g_SendLines.TakeAll();
}

std::string EngineTest::RecvText()
{
    std::lock_guard lock(g_csDisplay);
    return g_RecvLines.TakeAll();
}

void EngineTest::Feed(const std::string& hex)
{
    const std::vector<std::uint8_t> data = FromHex(hex);
    m_pEngine->OnReceive(data.data(), static_cast<int>(data.size()));
}

std::string EngineTest::RtuFrame(std::uint8_t byCtrl, const std::string& userData, int nDest, int nSrc)
{
    return FrameHex(byCtrl, nDest, nSrc, userData);
}

void EngineTest::AdvanceAndStep(int nSeconds)
{
    m_Clock.AdvanceSeconds(nSeconds);
    m_pEngine->OnCycle();
}

void EngineTest::ResetLink()
{
    AdvanceAndStep(3);
    ASSERT_EQ(Sent(), "05 64 05 C0 36 00 AE 0C A7 07");
    Feed(RtuFrame(0x00));  // ACK
    ASSERT_TRUE(m_pEngine->Link().IsReset());
    SendText();
    RecvText();
}
