#include <gtest/gtest.h>

#include <string>

#include "core/Config.h"
#include "monitor/AnalysedFrames.h"
#include "support/Frames.h"
#include "support/Hex.h"

using qdec::Direction;
using qdec::LineRecord;

namespace {

LineRecord Rec(Direction dir, const std::string& hex, std::int64_t tStartUs, std::int64_t tEndUs)
{
    LineRecord r;
    r.dir = dir;
    r.Octets = FromHex(hex);
    r.tWallUs = 1'765'432'100'000'000 + tStartUs;
    r.tMonoUs = tStartUs;
    r.tMonoEndUs = tEndUs;
    return r;
}

}  // namespace

TEST(AnalysedFramesTest, AnswersArePairedWithTheRequestsTheyAnswerAndTimedFromItsEnd)
{
    CFrameAnalyser analyser;
    // Link reset and its ACK.
    const AnalysedFrame reset = analyser.Analyse(Rec(Direction::Sent, "05 64 05 C0 36 00 AE 0C A7 07", 1'000'000, 1'083'000));
    const AnalysedFrame ack = analyser.Analyse(Rec(Direction::Received, "05 64 05 00 AE 0C 36 00 FF 2E", 1'100'000, 1'183'000));
    EXPECT_EQ(reset.Summary, "链路 复位 3246→54");
    EXPECT_TRUE(reset.bRequest);
    EXPECT_EQ(ack.Summary, "链路 确认 54→3246");
    EXPECT_EQ(ack.nAnswers, reset.nNumber);
    EXPECT_DOUBLE_EQ(ack.dResponseMs, 17.0);
    EXPECT_DOUBLE_EQ(ack.dIntervalMs, 100.0);

    // A read of the three classes, seq 5, and its answer with events; an answer of another
    // sequence answers nothing.
    const AnalysedFrame read = analyser.Analyse(
        Rec(Direction::Sent, FrameHex(0xC4, 54, 3246, "C0 C5 01 3C 02 06 3C 03 06 3C 04 06"), 2'000'000, 2'150'000));
    EXPECT_EQ(read.Summary, "读 类1 类2 类3  seq 5");
    const AnalysedFrame other =
        analyser.Analyse(Rec(Direction::Received, FrameHex(0x44, 3246, 54, "C0 C4 81 00 00"), 2'200'000, 2'300'000));
    EXPECT_EQ(other.nAnswers, 0u);
    EXPECT_LT(other.dResponseMs, 0);
    const AnalysedFrame answer = analyser.Analyse(Rec(
        Direction::Received,
        FrameHex(0x44, 3246, 54, "C1 E5 81 10 00 02 02 28 01 00 03 00 81 00 00 00 00 00 00 20 02 28 01 00 07 00 01 10 00"),
        2'400'000, 2'600'000));
    EXPECT_EQ(answer.Summary, "响应 seq 5  IIN 需要对时  2.2×1 32.2×1");
    EXPECT_EQ(answer.nAnswers, read.nNumber);
    EXPECT_DOUBLE_EQ(answer.dResponseMs, 250.0);
    // A confirm asks for no answer.
    const AnalysedFrame confirm =
        analyser.Analyse(Rec(Direction::Sent, FrameHex(0xC4, 54, 3246, "C2 C5 00"), 2'700'000, 2'710'000));
    EXPECT_EQ(confirm.Summary, "确认 seq 5");
    EXPECT_FALSE(confirm.bRequest);
}

TEST(AnalysedFramesTest, AnAnswerInSeveralSegmentsIsTimedFromItsFirst)
{
    CFrameAnalyser analyser;
    const AnalysedFrame read =
        analyser.Analyse(Rec(Direction::Sent, FrameHex(0xC4, 54, 3246, "C0 C1 01 1E 02 06"), 1'000'000, 1'100'000));
    const AnalysedFrame first = analyser.Analyse(
        Rec(Direction::Received, FrameHex(0x44, 3246, 54, "40 E1 81 00 00 1E 02 00 00 01 01 10 00"), 1'300'000, 1'400'000));
    EXPECT_EQ(first.Summary, "链路 用户数据 54→3246  分段 seq 0");
    const AnalysedFrame last =
        analyser.Analyse(Rec(Direction::Received, FrameHex(0x44, 3246, 54, "81 01 20 00"), 1'500'000, 1'600'000));
    EXPECT_EQ(last.nAnswers, read.nNumber);
    EXPECT_DOUBLE_EQ(last.dResponseMs, 200.0);
}

TEST(AnalysedFramesTest, FaultsSayWhatTheyAre)
{
    CFrameAnalyser analyser;
    LineRecord noise = Rec(Direction::Received, "FF 00 13", 1, 1);
    noise.kind = qdec::RecordKind::Noise;
    EXPECT_EQ(analyser.Analyse(noise).Summary, "噪声 3 字节");
    const AnalysedFrame spoilt =
        analyser.Analyse(Rec(Direction::Received, "05 64 0A 44 AE 0C 36 00 BF D6 C2 C2 81 96 00 11 71", 2, 2));
    EXPECT_EQ(spoilt.Summary, "链路 用户数据 54→3246  CRC错");
    EXPECT_TRUE(spoilt.d.bFault);
}

TEST(AnalysedFramesTest, TheStoreKeepsTheNewestAndCountsTheRest)
{
    CAnalysedFrames store;
    const LineRecord reset = Rec(Direction::Sent, "05 64 05 C0 36 00 AE 0C A7 07", 1, 1);
    for (std::size_t i = 0; i < CAnalysedFrames::kMaxFrames + 5; ++i)
        store.OnRecord(reset);
    EXPECT_EQ(store.TakeNew(), CAnalysedFrames::kMaxFrames);
    EXPECT_EQ(store.Frames().size(), CAnalysedFrames::kMaxFrames);
    EXPECT_EQ(store.Dropped(), 5u);
    EXPECT_EQ(store.Frames().front().nNumber, 6u);
    store.OnRecord(reset);
    EXPECT_EQ(store.TakeNew(), 1u);
    EXPECT_EQ(store.Dropped(), 6u);
    EXPECT_EQ(store.Frames().back().nNumber, CAnalysedFrames::kMaxFrames + 6);
}

// The store keeps what the list needs; the chosen frame is described again in full, its
// fragment gathered from the frames before it.
TEST(AnalysedFramesTest, TheStoreKeepsLittleAndTheChosenFrameIsDescribedInFull)
{
    CAnalysedFrames store;
    store.OnRecord(Rec(Direction::Received, FrameHex(0x44, 3246, 54, "40 E1 81 00 00 1E 02 00 00 01 01 10 00"), 1, 1));
    store.OnRecord(Rec(Direction::Sent, "05 64 05 C0 36 00 AE 0C A7 07", 2, 2));  // the other way between them
    store.OnRecord(Rec(Direction::Received, FrameHex(0x44, 3246, 54, "81 01 20 00"), 3, 3));
    store.TakeNew();
    const std::deque<AnalysedFrame>& frames = store.Frames();
    ASSERT_EQ(frames.size(), 3u);
    for (const AnalysedFrame& f : frames) {
        EXPECT_TRUE(f.d.Items.empty());
        EXPECT_TRUE(f.d.Link.userData.empty());
    }
    EXPECT_EQ(frames[2].d.App.ObjectSummary, "30.2×2");
    const qdec::FrameDescription d = DescribeInFull(frames, 2);
    ASSERT_TRUE(d.bFragment);
    EXPECT_EQ(d.nSegments, 2);
    std::string items;
    for (const qdec::Item& item : d.Items)
        items += item.Text + "\n";
    EXPECT_NE(items.find("[1] value 32  flags 01 ONLINE"), std::string::npos) << items;
    EXPECT_NE(TextOfFrames(frames, {&frames[2]}).find("[1] value 32  flags 01 ONLINE"), std::string::npos);
}

TEST(AnalysedFramesTest, TimesReadInTheConventionChosenWithTheRawValue)
{
    CAnalysedFrames store;
    // A clock write of 2026-03-10 12:00:00.000 UTC.
    store.OnRecord(Rec(Direction::Sent, FrameHex(0xC4, 54, 3246, "C0 C0 02 32 01 07 01 00 46 9E D7 9C 01"), 1, 1));
    store.TakeNew();
    const auto text = [&store] { return TextOfFrames(store.Frames(), {&store.Frames()[0]}); };
    EXPECT_NE(text().find("(beyond a month: not a time of this convention) (raw 1773144000000)"), std::string::npos)
        << text();
    g_nTimeFormat = TIME_FORMAT_UTC;
    EXPECT_NE(text().find(" 2026-03-1"), std::string::npos) << text();  // local time: the 10th or the 11th
    EXPECT_NE(text().find("(raw 1773144000000)"), std::string::npos);
    SetConfigDefaults();
}
