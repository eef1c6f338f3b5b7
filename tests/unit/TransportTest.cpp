#include <gtest/gtest.h>

#include <optional>

#include "monitor/AlarmLog.h"
#include "dnp3/Transport.h"
#include "support/LinkStack.h"
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

// The transport over the link layer, fed link frames from the RTU.
class TransportTest : public LinkStackTest {
protected:
    void SetUp() override
    {
        LinkStackTest::SetUp();
        ResetLink();
    }
    // Delivers one segment and runs the transport's receive step; returns what Take found.
    int Deliver(const std::string& segment)
    {
        Feed(RtuFrame(0x44, segment));
        m_Transport.ReceiveStep();
        return Take();
    }
    // 0 nothing, 1 a fragment (in m_Fragment), 2 a failure (its first octet, if any, in m_Fragment).
    int Take()
    {
        const std::optional<CTransport::Result> result = m_Transport.Take();
        m_Fragment = result ? ToHex(result->Fragment) : "";
        return !result ? 0 : result->bFailed ? 2 : 1;
    }
    CTransport m_Transport{m_Link};
    std::string m_Fragment;
};

TEST_F(TransportTest, SingleSegmentGivesTheFragmentOnce)
{
    EXPECT_EQ(Deliver("C0 C1 81 00 00"), 1);
    EXPECT_EQ(m_Fragment, "C1 81 00 00");
    EXPECT_EQ(Take(), 0);
}

TEST_F(TransportTest, ContinuationOfNothingIsDroppedAndSegmentsJoinEndToEnd)
{
    // Its first segment was lost, which the link layer reports; it is not a second failure.
    EXPECT_EQ(Deliver(Segment(0, 10)), 0);
    EXPECT_EQ(Deliver(Segment(0x40 | 9, 3)), 0);  // a first segment starts afresh
    EXPECT_EQ(Deliver(Segment(0x80 | 10, 2, 3)), 1);
    EXPECT_EQ(m_Fragment, "00 01 02 03 04");  // a short middle leaves no gap
}

TEST_F(TransportTest, FailedFragmentIsNeverCompletedBySegmentsOfAnother)
{
    // A continuation out of order fails the fragment and forgets it: the repeated
    // segment that follows cannot complete it with the old first segment. The failure
    // carries the fragment's first octet, its application control.
    EXPECT_EQ(Deliver(Segment(0x40 | 1, 249, 0xC3)), 0);
    EXPECT_EQ(Deliver(Segment(3, 249, 249)), 2);
    EXPECT_EQ(m_Fragment, "C3");
    EXPECT_EQ(Deliver(Segment(0x80 | 2, 3)), 0);
    EXPECT_EQ(Take(), 0);

    // Fragments completed while the poll cycle is busy wait for it, in order.
    EXPECT_EQ(Deliver(Segment(0xC0 | 4, 2)), 1);
    Feed(RtuFrame(0x44, Segment(0xC0 | 5, 3, 7)));
    m_Transport.ReceiveStep();
    Feed(RtuFrame(0x44, Segment(0xC0 | 6, 1, 9)));
    m_Transport.ReceiveStep();
    EXPECT_EQ(Take(), 1);
    EXPECT_EQ(m_Fragment, "07 08 09");
    EXPECT_EQ(Take(), 1);
    EXPECT_EQ(m_Fragment, "09");
    EXPECT_EQ(Take(), 0);
}

TEST_F(TransportTest, EachSegmentSaysWhichFragmentItJoined)
{
    // The application layer keeps waiting while the awaited answer flows.
    Feed(RtuFrame(0x44, Segment(0x40 | 1, 249, 0xC3)));
    EXPECT_EQ(m_Transport.ReceiveStep(), std::optional<std::uint8_t>(0xC3));
    Feed(RtuFrame(0x44, Segment(2, 10)));
    EXPECT_EQ(m_Transport.ReceiveStep(), std::optional<std::uint8_t>(0xC3));
    Feed(RtuFrame(0x44, Segment(7, 10)));  // a continuation of nothing
    EXPECT_EQ(m_Transport.ReceiveStep(), std::nullopt);
    EXPECT_EQ(m_Transport.ReceiveStep(), std::nullopt) << "nothing more came";
}

TEST_F(TransportTest, ContinuationSequenceWrapsAndWrongOnesFail)
{
    EXPECT_EQ(Deliver(Segment(0x40 | 62, 249)), 0);  // FIR, 62
    EXPECT_EQ(Deliver(Segment(63, 249, 249)), 0);
    EXPECT_EQ(Deliver(Segment(0x80 | 0, 3, 498)), 1);  // FIN, 0
    std::vector<std::uint8_t> expected(249 * 2 + 3);
    for (std::size_t i = 0; i < expected.size(); ++i)
        expected[i] = static_cast<std::uint8_t>(i);
    EXPECT_EQ(m_Fragment, ToHex(expected));

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
    EXPECT_EQ(m_Fragment.size(), 3u * 90 - 1);

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
    ASSERT_TRUE(SendData(false, "C0 C0 01 3C 02 06"));
    AdvanceAndStep(0);
    AdvanceAndStep(4);  // unanswered
    m_Transport.ReceiveStep();
    EXPECT_EQ(Take(), 2);
    EXPECT_EQ(m_Fragment, "") << "nothing says which exchange it was";
    EXPECT_EQ(g_AlarmLog.Texts(), std::vector<std::string>{"链路层通讯失败 ！"});
}

TEST_F(TransportTest, RequestsOfAtMost249OctetsInOneSegmentWithTheirOwnSequence)
{
    std::vector<std::uint8_t> fragment(249, 0x11);
    ASSERT_TRUE(m_Transport.Send(false, fragment.data(), 249, true));
    AdvanceAndStep(0);
    const std::vector<std::uint8_t> frame = FromHex(Sent());
    ASSERT_EQ(frame.size(), 292u);
    EXPECT_EQ(frame[2], 255);
    EXPECT_EQ(frame[10], 0xC0);  // transport header: FIR, FIN, sequence 0
    m_Link.OnAnswerComplete();

    fragment.push_back(0x11);
    EXPECT_TRUE(m_Transport.Send(false, fragment.data(), 250, true));
    AdvanceAndStep(0);
    EXPECT_EQ(Sent(), "");
    EXPECT_EQ(g_AlarmLog.Texts(), std::vector<std::string>{"Application Request Message Len > 249 !"});

    ASSERT_TRUE(m_Transport.Send(false, fragment.data(), 2, true));
    AdvanceAndStep(0);
    EXPECT_EQ(FromHex(Sent()).at(10), 0xC1) << "sequence 1: the refused one took none";
}

TEST_F(TransportTest, FloodOfShortFramesIsBoundedAndSaidOnce)
{
    for (int i = 0; i < 100; ++i)
        Feed(RtuFrame(0x44, Segment(static_cast<std::uint8_t>(0xC0 | (i & 0x3F)), 2)));
    EXPECT_EQ(m_Link.QueuedSegments(), CLinkLayer::kMaxRecvQueue);
    EXPECT_EQ(g_AlarmLog.Texts(), std::vector<std::string>{"接收数据过多, 已丢弃 !"});

    // Confirmed user data finding the queue full is not acknowledged: the RTU repeats it.
    const std::string confirmed = RtuFrame(0x73, Segment(0xC0, 2));  // FCB 1, the first
    Feed(confirmed);
    EXPECT_EQ(Sent(), "");

    for (std::size_t i = 0; i < CLinkLayer::kMaxRecvQueue; ++i)
        m_Transport.ReceiveStep();
    EXPECT_EQ(m_Link.QueuedSegments(), 0u);
    Feed(confirmed);
    EXPECT_EQ(Sent(), "05 64 05 80 36 00 AE 0C 1D 37") << "ACK";
    EXPECT_EQ(m_Link.QueuedSegments(), 1u);
}
