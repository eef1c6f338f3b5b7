#include "support/LinkStack.h"

#include <utility>
#include <vector>

#include "monitor/AlarmLog.h"
#include "support/Frames.h"
#include "support/Hex.h"

void LinkStackTest::SetUp()
{
    SharedStateTest::SetUp();
    g_AlarmLog.Clear();
    m_Link.SetAddresses(3246, 54);
}

void LinkStackTest::TearDown()
{
    g_AlarmLog.Clear();
    SharedStateTest::TearDown();
}

void LinkStackTest::WriteFrame(const std::uint8_t* pFrame, int nSize, const char* pszPrefix, bool bAwaited)
{
    const std::string hex = ToHex(std::vector<std::uint8_t>(pFrame, pFrame + nSize));
    m_Sent += (m_Sent.empty() ? "" : " ") + hex;
    m_Shown += std::string(pszPrefix) + hex + (bAwaited ? " <=\n" : "\n");
}

std::string LinkStackTest::Sent() { return std::exchange(m_Sent, {}); }

std::string LinkStackTest::Shown() { return std::exchange(m_Shown, {}); }

void LinkStackTest::Feed(const std::string& hex)
{
    for (const std::uint8_t by : FromHex(hex))
        m_Parser.Receive(by);
}

std::string LinkStackTest::RtuFrame(std::uint8_t byCtrl, const std::string& userData)
{
    return FrameHex(byCtrl, 3246, 54, userData);
}

void LinkStackTest::AdvanceAndStep(int nSeconds)
{
    m_Clock.AdvanceSeconds(nSeconds);
    m_Link.Step(kPeriod);
}

void LinkStackTest::ResetLink()
{
    AdvanceAndStep(kPeriod);
    ASSERT_EQ(Sent(), "05 64 05 C0 36 00 AE 0C A7 07");
    Feed(RtuFrame(0x00));  // ACK
    ASSERT_TRUE(m_Link.IsReset());
    Shown();
}

std::string LinkStackTest::TakeData()
{
    std::uint8_t buffer[dl::kMaxUserData];
    int nLength = 0;
    switch (m_Link.TakeUserData(buffer, nLength)) {
    case 1:
        return ToHex(std::vector<std::uint8_t>(buffer, buffer + nLength));
    case 2:
        return "failure";
    default:
        return "";
    }
}

bool LinkStackTest::SendData(bool bConfirmed, const std::string& hex, bool bAwaitApp)
{
    const std::vector<std::uint8_t> data = FromHex(hex);
    return m_Link.SendUserData(bConfirmed, data.data(), static_cast<int>(data.size()), true, bAwaitApp);
}
