#include <gtest/gtest.h>

#include "monitor/AlarmLog.h"
#include "support/EngineFixture.h"
#include "support/Hex.h"

namespace {

// A segment: transport header, then n octets counting up from nFirst.
std::string Segment(std::uint8_t byTh, int n, int nFirst = 0)
{
    std::vector<std::uint8_t> data{byTh};
    for (int i = 0; i < n; ++i)
        data.push_back(static_cast<std::uint8_t>(nFirst + i));
    return ToHex(data);
}

}  // namespace

class TransportTest : public EngineTest {
protected:
    void SetUp() override
    {
        EngineTest::SetUp();
        m_pEngine->m_nLinkState = CQueltProtocol::LINK_RESET;
    }
    // Delivers one segment and runs the transport receive step; returns TakeFragment's result.
    int Deliver(const std::string& segment)
    {
        Feed(RtuFrame(0x44, segment));
        m_pEngine->TransportReceive(3246, 54);
        return Take();
    }
    int Take()
    {
        m_nLength = -1;
        return m_pEngine->TakeFragment(m_Fragment, m_nLength);
    }
    std::uint8_t m_Fragment[CQueltProtocol::kFragmentMax] = {};
    int m_nLength = -1;
};

TEST_F(TransportTest, SingleSegmentGivesTheFragmentOnce)
{
    EXPECT_EQ(Deliver("C0 C1 81 00 00"), 1);
    EXPECT_EQ(ToHex({m_Fragment, m_Fragment + m_nLength}), "C1 81 00 00");
    EXPECT_EQ(Take(), 0);
}

TEST_F(TransportTest, ContinuationOfNothingIsDroppedAndSegmentsJoinEndToEnd)
{
    // Its first segment was lost, which the link layer reports; it is not a second failure.
    EXPECT_EQ(Deliver(Segment(0, 10)), 0);
    EXPECT_EQ(Deliver(Segment(0x40 | 9, 3)), 0);  // a first segment starts afresh
    EXPECT_EQ(Deliver(Segment(0x80 | 10, 2, 3)), 1);
    EXPECT_EQ(ToHex({m_Fragment, m_Fragment + m_nLength}), "00 01 02 03 04");  // a short middle leaves no gap
}

TEST_F(TransportTest, FailedFragmentIsNeverCompletedBySegmentsOfAnother)
{
    // A continuation out of order fails the fragment and forgets it: the repeated
    // segment that follows cannot complete it with the old first segment. The failure
    // carries the fragment's first octet, its application control.
    EXPECT_EQ(Deliver(Segment(0x40 | 1, 249, 0xC3)), 0);
    EXPECT_EQ(Deliver(Segment(3, 249, 249)), 2);
    EXPECT_EQ(ToHex({m_Fragment, m_Fragment + m_nLength}), "C3");
    EXPECT_EQ(Deliver(Segment(0x80 | 2, 3)), 0);
    EXPECT_EQ(Take(), 0);

    // Fragments completed while the poll cycle is busy wait for it, in order.
    EXPECT_EQ(Deliver(Segment(0xC0 | 4, 2)), 1);
    Feed(RtuFrame(0x44, Segment(0xC0 | 5, 3, 7)));
    m_pEngine->TransportReceive(3246, 54);
    Feed(RtuFrame(0x44, Segment(0xC0 | 6, 1, 9)));
    m_pEngine->TransportReceive(3246, 54);
    EXPECT_EQ(Take(), 1);
    EXPECT_EQ(ToHex({m_Fragment, m_Fragment + m_nLength}), "07 08 09");
    EXPECT_EQ(Take(), 1);
    EXPECT_EQ(ToHex({m_Fragment, m_Fragment + m_nLength}), "09");
    EXPECT_EQ(Take(), 0);
}

TEST_F(TransportTest, ContinuationSequenceWrapsAndWrongOnesFail)
{
    EXPECT_EQ(Deliver(Segment(0x40 | 62, 249)), 0);  // FIR, 62
    EXPECT_EQ(Deliver(Segment(63, 249, 249)), 0);
    EXPECT_EQ(Deliver(Segment(0x80 | 0, 3, 498)), 1);  // FIN, 0
    ASSERT_EQ(m_nLength, 249 * 2 + 3);
    for (int i = 0; i < m_nLength; ++i)
        ASSERT_EQ(m_Fragment[i], static_cast<std::uint8_t>(i)) << i;

    EXPECT_EQ(Deliver(Segment(0x40 | 5, 249)), 0);
    EXPECT_EQ(Deliver(Segment(0x80 | 7, 3)), 2);  // 6 expected
    EXPECT_EQ(Take(), 0);
}

TEST_F(TransportTest, NineSegmentsAtMostAndNeverPastTheBuffer)
{
    // Nine segments are accepted.
    for (int i = 0; i < 8; ++i)
        EXPECT_EQ(Deliver(Segment(static_cast<std::uint8_t>((i == 0 ? 0x40 : 0) | i), 10)), 0) << i;
    EXPECT_EQ(Deliver(Segment(0x80 | 8, 10)), 1);
    EXPECT_EQ(m_nLength, 10 * 9);

    for (int i = 0; i < 9; ++i)
        EXPECT_EQ(Deliver(Segment(static_cast<std::uint8_t>((i == 0 ? 0x40 : 0) | i), 10)), 0) << i;
    EXPECT_EQ(Deliver(Segment(0x80 | 9, 10)), 2);  // a tenth segment

    // Nine full segments carry 2241 octets, more than the 2048 the buffer holds.
    for (int i = 0; i < 8; ++i)
        EXPECT_EQ(Deliver(Segment(static_cast<std::uint8_t>((i == 0 ? 0x40 : 0) | i), 249)), 0) << i;
    EXPECT_EQ(Deliver(Segment(0x80 | 8, 249)), 2);
}

TEST_F(TransportTest, LinkFailureFailsTheFragment)
{
    m_pEngine->m_bLinkFailed = 1;
    m_pEngine->TransportReceive(3246, 54);
    EXPECT_EQ(Take(), 2);
    EXPECT_EQ(m_nLength, 0);  // nothing says which exchange it was
    EXPECT_EQ(g_AlarmLog.Texts(), std::vector<std::string>{"链路层通讯失败 ！"});
}

TEST_F(TransportTest, RequestsOfAtMost249Octets)
{
    std::vector<std::uint8_t> fragment(249, 0x11);
    EXPECT_EQ(m_pEngine->TransportSend(1, 54, 3246, fragment.data(), 249, 0), 0);
    ASSERT_EQ(m_pEngine->m_SendQueue.size(), 1u);
    EXPECT_EQ(m_pEngine->m_SendQueue.front().Frame.size(), 292u);
    EXPECT_EQ(m_pEngine->m_SendQueue.front().Frame[2], 255);
    EXPECT_EQ(m_pEngine->m_SendQueue.front().Frame[10], 0xC0);  // transport header, sequence 0
    EXPECT_EQ(m_pEngine->m_byTpSendSeq, 1);
    m_pEngine->m_SendQueue.clear();

    fragment.push_back(0x11);
    EXPECT_EQ(m_pEngine->TransportSend(1, 54, 3246, fragment.data(), 250, 0), 0);
    EXPECT_TRUE(m_pEngine->m_SendQueue.empty());
    EXPECT_EQ(m_pEngine->m_byTpSendSeq, 1);
    EXPECT_EQ(g_AlarmLog.Texts(), std::vector<std::string>{"Application Request Message Len > 249 !"});
    EXPECT_EQ(m_pEngine->TransportSend(7, 54, 3246, fragment.data(), 2, 0), 3);
}

TEST_F(TransportTest, FloodOfShortFramesIsBoundedAndSaidOnce)
{
    for (int i = 0; i < 100; ++i)
        Feed(RtuFrame(0x44, Segment(static_cast<std::uint8_t>(0xC0 | (i & 0x3F)), 2)));
    EXPECT_EQ(m_pEngine->m_RecvQueue.size(), CQueltProtocol::kMaxRecvQueue);
    EXPECT_EQ(g_AlarmLog.Texts(), std::vector<std::string>{"接收数据过多, 已丢弃 !"});

    // Confirmed user data finding the queue full is not acknowledged: the RTU repeats it.
    const int nFcb = m_pEngine->m_nRecvFcb;
    const std::uint8_t byConfirmed = static_cast<std::uint8_t>(0x53 | (nFcb != 0 ? 0x20 : 0));
    const std::string confirmed = RtuFrame(byConfirmed, Segment(0xC0, 2));
    m_pEngine->Frames.clear();
    Feed(confirmed);
    EXPECT_TRUE(m_pEngine->Frames.empty());
    EXPECT_EQ(m_pEngine->m_nRecvFcb, nFcb);

    for (std::size_t i = 0; i < CQueltProtocol::kMaxRecvQueue; ++i)
        m_pEngine->TransportReceive(3246, 54);
    EXPECT_TRUE(m_pEngine->m_RecvQueue.empty());
    Feed(confirmed);
    ASSERT_EQ(m_pEngine->Frames.size(), 1u);
    EXPECT_EQ(m_pEngine->Frames.front()[3] & 0x0F, 0);  // ACK
    EXPECT_EQ(m_pEngine->m_RecvQueue.size(), 1u);
}
