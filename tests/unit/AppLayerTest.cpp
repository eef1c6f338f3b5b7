// The application layer's state machine through its own face: control octets in,
// verdicts and states out.
#include <gtest/gtest.h>

#include "dnp3/AppLayer.h"
#include "dnp3/FunctionCodes.h"

namespace {

using State = CAppLayer::State;
using Try = CAppLayer::Try;
using Verdict = CAppLayer::Verdict;

constexpr std::uint8_t FIR = 0x80, FIN = 0x40, CON = 0x20;

std::uint8_t Ctrl(std::uint8_t byBits, int nSeq) { return static_cast<std::uint8_t>(byBits | (nSeq & 0x0F)); }

}  // namespace

TEST(AppLayerTest, OneFragmentAnswersTheRequestAndOnlyRequestsStepTheSequence)
{
    CAppLayer app;
    for (int nSeq = 0; nSeq < 18; ++nSeq) {  // round the 16 sequences
        ASSERT_EQ(app.NextSeq(), nSeq & 0x0F);
        app.OnRequestSent(fc::READ, Try::NEW, 100);
        EXPECT_EQ(app.GetState(), State::AWAIT_FIRST);
        EXPECT_EQ(app.RequestSeq(), nSeq & 0x0F);
        EXPECT_EQ(app.OnResponse(Ctrl(FIR | FIN | CON, nSeq), 101), Verdict::ANSWER);
        EXPECT_EQ(app.GetState(), State::IDLE);
        EXPECT_EQ(app.ConfirmDue(), std::optional<std::uint8_t>(nSeq & 0x0F));
        app.OnConfirmSent();
        EXPECT_FALSE(app.ConfirmDue());
    }
}

TEST(AppLayerTest, FragmentsOfAResponseInOrderAndWhatBreaksThem)
{
    const struct {
        const char* what;
        std::vector<std::uint8_t> ctrls;  // after the request with sequence 5
        std::vector<Verdict> verdicts;
        State end;
    } cases[] = {
        {"three in order", {Ctrl(FIR, 5), Ctrl(0, 6), Ctrl(FIN, 7)}, {Verdict::ANSWER, Verdict::ANSWER, Verdict::ANSWER},
         State::IDLE},
        {"left over first", {Ctrl(FIR | FIN, 4), Ctrl(FIR | FIN, 5)}, {Verdict::STRAY, Verdict::ANSWER}, State::IDLE},
        {"no FIR first", {Ctrl(FIN, 5)}, {Verdict::STRAY}, State::AWAIT_FIRST},
        {"a sequence skipped", {Ctrl(FIR, 5), Ctrl(FIN, 7)}, {Verdict::ANSWER, Verdict::ENDS}, State::IDLE},
        {"FIR again", {Ctrl(FIR, 5), Ctrl(FIR | FIN, 6)}, {Verdict::ANSWER, Verdict::ENDS}, State::IDLE},
        {"sequence wraps", {Ctrl(FIR, 5), Ctrl(0, 6)}, {Verdict::ANSWER, Verdict::ANSWER}, State::AWAIT_NEXT},
    };
    for (const auto& c : cases) {
        CAppLayer app;
        for (int i = 0; i < 5; ++i) {
            app.OnRequestSent(fc::READ, Try::NEW, 0);
            app.OnResponse(Ctrl(FIR | FIN, i), 0);
        }
        app.OnRequestSent(fc::READ, Try::NEW, 0);
        ASSERT_EQ(app.RequestSeq(), 5);
        std::vector<Verdict> verdicts;
        for (const std::uint8_t byCtrl : c.ctrls)
            verdicts.push_back(app.OnResponse(byCtrl, 0));
        EXPECT_EQ(verdicts, c.verdicts) << c.what;
        EXPECT_EQ(app.GetState(), c.end) << c.what;
    }
}

TEST(AppLayerTest, ALateAnswerToAnEarlierTryCountsUnlessItAsksForAConfirm)
{
    for (const Try how : {Try::REPEAT, Try::PROBE}) {
        CAppLayer app;
        app.OnRequestSent(fc::READ, Try::NEW, 0);  // 0
        app.OnBrokenFragment(std::nullopt);       // the link failed
        ASSERT_EQ(app.GetState(), State::FAILED);
        app.OnRequestSent(fc::READ, how, 10);  // 1
        EXPECT_EQ(app.Tries(), 1);
        EXPECT_EQ(app.IsAwaited(Ctrl(FIR | FIN | CON, 0)), false) << "its events would come again";
        // Only the same request sent again is answered by the earlier try's answer.
        EXPECT_EQ(app.IsAwaited(Ctrl(FIR | FIN, 0)), how == Try::REPEAT);
        EXPECT_EQ(app.IsAwaited(Ctrl(FIR | FIN, 1)), true);
        app.OnResponse(Ctrl(FIR | FIN, 1), 11);
        EXPECT_EQ(app.Tries(), 0) << "an answer came";
    }
}

TEST(AppLayerTest, TheWaitRunsOutUnlessTheAnswerFlows)
{
    CAppLayer app;
    app.OnRequestSent(fc::READ, Try::NEW, 100);
    app.CheckTimeOut(109, 9);
    EXPECT_EQ(app.GetState(), State::AWAIT_FIRST);
    app.OnFlowing(Ctrl(FIR, 3), 108);  // a segment of something else
    app.CheckTimeOut(110, 9);
    EXPECT_EQ(app.GetState(), State::FAILED);

    app.OnRequestSent(fc::READ, Try::REPEAT, 200);  // sequence 1
    for (std::time_t t = 208; t < 240; t += 8) {
        app.OnFlowing(Ctrl(FIR, 1), t);  // the first fragment still arriving
        app.CheckTimeOut(t + 1, 9);
    }
    EXPECT_EQ(app.GetState(), State::AWAIT_FIRST);
    EXPECT_EQ(app.OnResponse(Ctrl(FIR, 1), 240), Verdict::ANSWER);
    app.CheckTimeOut(249, 9);
    EXPECT_EQ(app.GetState(), State::AWAIT_NEXT) << "each fragment gives the next the whole time";
    app.CheckTimeOut(250, 9);
    EXPECT_EQ(app.GetState(), State::FAILED);
}

TEST(AppLayerTest, BrokenFragmentFailsOnlyTheAnswerItWas)
{
    CAppLayer app;
    app.OnBrokenFragment(std::nullopt);
    EXPECT_EQ(app.GetState(), State::IDLE) << "nothing was awaited";
    app.OnRequestSent(fc::READ, Try::NEW, 0);
    app.OnBrokenFragment(Ctrl(FIR, 7));  // of an earlier exchange
    EXPECT_EQ(app.GetState(), State::AWAIT_FIRST);
    app.OnBrokenFragment(Ctrl(FIR, 0));
    EXPECT_EQ(app.GetState(), State::FAILED);

    app.AskConfirm(0);
    app.GiveUp();
    EXPECT_EQ(app.GetState(), State::IDLE);
    EXPECT_FALSE(app.ConfirmDue()) << "nothing owed to an RTU that fell silent";
}
