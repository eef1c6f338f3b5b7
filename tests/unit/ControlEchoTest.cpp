// The judging of control echoes through its own face: the select sent, its echo in, what
// the operate may do out.
#include <gtest/gtest.h>

#include <algorithm>

#include "dnp3/ControlEcho.h"
#include "dnp3/FunctionCodes.h"
#include "dnp3/QueltProtocol.h"
#include "support/Hex.h"

namespace {

// A response fragment with this control octet whose objects are the block sent, its
// index moved by nIndexDelta and its status set.
std::vector<std::uint8_t> Echo(std::uint8_t byCtrl, const std::uint8_t* pBlock, int nIndexDelta, std::uint8_t byStatus)
{
    std::vector<std::uint8_t> fragment(4 + 18, 0x00);
    fragment[0] = byCtrl;
    fragment[1] = fc::RESPONSE;
    std::copy_n(pBlock, 18, fragment.begin() + 4);
    fragment[4 + 5] = static_cast<std::uint8_t>(fragment[4 + 5] + nIndexDelta);
    fragment.back() = byStatus;
    return fragment;
}

}  // namespace

TEST(ControlEchoTest, WhatASelectsEchoAllowsTheOperate)
{
    std::uint8_t block[18];
    CQueltProtocol::BuildControlObjects(block, 5, 0, 1000);
    const struct {
        const char* what;
        bool bEchoed;
        bool bLate;
        int nIndexDelta;
        std::uint8_t byStatus;
        std::optional<std::string> refusal;
    } cases[] = {
        {"status 0", true, false, 0, 0, std::nullopt},
        {"refused", true, false, 0, 4, "遥控选点返校状态 4, 遥控执行已取消 !"},
        {"another point", true, false, 1, 0, "遥控选点返校不符, 遥控执行已取消 !"},
        {"late", true, true, 0, 0, "遥控选点返校超时, 遥控执行已取消 !"},
        {"no echo", false, false, 0, 0, "遥控选点无返校, 遥控执行已取消 !"},
    };
    for (const auto& c : cases) {
        CControlEcho echo;
        echo.OnControlSent(fc::SELECT, 3, block, 18);
        const std::vector<std::uint8_t> fragment = Echo(0xC3, block, c.nIndexDelta, c.byStatus);
        EXPECT_TRUE(echo.IsEcho(fragment)) << c.what;
        if (c.bEchoed)
            echo.TakeEcho(fragment, c.bLate);
        EXPECT_EQ(echo.OperateRefusal(), c.refusal) << c.what;
        EXPECT_FALSE(c.bEchoed && echo.IsEcho(fragment)) << c.what << ": answered once";
    }
}

TEST(ControlEchoTest, ALateEchoIsTheControlsOwnSequenceAndBlockUntilTheCounterComesRound)
{
    std::uint8_t block[18];
    CQueltProtocol::BuildControlObjects(block, 5, 0, 1000);
    CControlEcho echo;
    echo.OnControlSent(fc::OPERATE, 3, block, 18);
    const std::vector<std::uint8_t> late = Echo(0xC3, block, 0, 0);
    EXPECT_FALSE(echo.IsLateEcho(late, 3)) << "the control itself is awaited: it is no late echo";
    EXPECT_TRUE(echo.IsLateEcho(late, 4));
    EXPECT_FALSE(echo.IsLateEcho(Echo(0xC2, block, 0, 0), 4)) << "another sequence";
    EXPECT_FALSE(echo.IsLateEcho({0xC3, fc::RESPONSE, 0x00, 0x00, 0x01, 0x02, 0x00}, 4)) << "no control block";
    for (std::uint8_t bySeq = 4; bySeq < 16; ++bySeq)
        echo.OnRequestSent(bySeq);
    EXPECT_TRUE(echo.IsLateEcho(late, 15));
    echo.OnRequestSent(3);  // round again: the sequence means another request now
    EXPECT_FALSE(echo.IsLateEcho(late, 3));
    EXPECT_FALSE(echo.IsEcho(late));
}
