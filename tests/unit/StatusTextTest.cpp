#include <gtest/gtest.h>

#include <functional>

#include "core/Clock.h"
#include "core/Config.h"
#include "ui/StatusText.h"

namespace {

StatusFacts WorkingEngine()
{
    StatusFacts facts;
    facts.nPort = COM2;
    facts.device = "/dev/ttyUSB0";
    facts.line = {1200, 8, 0, 0};
    facts.nAskMode = ASK_AUTO;
    facts.engine.bEngine = true;
    facts.engine.bPortOpen = true;
    facts.engine.health = LinkHealth::NORMAL;
    facts.engine.counts = {12, 11, 1, 2};
    return facts;
}

}  // namespace

TEST(StatusTextTest, WorkingEngineReadsPortLineModeLinkAndCounts)
{
    const StatusText status = ComposeStatusText(WorkingEngine());
    EXPECT_EQ(status.text,
              "COM2 /dev/ttyUSB0 1200,8,N,1  |  自动问答  |  链路正常  |  请求 12  响应 11  超时 1  CRC错 2");
    EXPECT_FALSE(status.bAlarm);
}

TEST(StatusTextTest, LineSettingsInTheirShortForm)
{
    EXPECT_EQ(LineSettingsText({9600, 7, 2, 2}), "9600,7,E,2");
    EXPECT_EQ(LineSettingsText({19200, 5, 1, 1}), "19200,5,O,1.5");
    EXPECT_EQ(LineSettingsText({1200, 8, 7, -1}), "1200,8,N,1");  // codes out of range
}

TEST(StatusTextTest, WhatNeedsTheOperatorIsRed)
{
    ScopedFakeClock clock;
    clock.SetLocal({2026, 12, 11, 9, 5, 7, 0});
    const std::time_t tAnswer = clock.Now();

    struct Case {
        const char* pszName;
        std::function<void(StatusFacts&)> change;
        std::string part;
        bool bAlarm;
    };
    const Case cases[] = {
        {"port closed", [](StatusFacts& f) { f.engine.bPortOpen = false; }, "COM2 /dev/ttyUSB0 端口未打开  |", true},
        {"no engine", [](StatusFacts& f) { f.engine.bEngine = false; }, "COM2 /dev/ttyUSB0 无规约通道", true},
        {"tcp connected", [](StatusFacts& f) { f.device = "tcp://10.0.0.5:20000"; },
         "COM2 tcp://10.0.0.5:20000 已连接  |  自动问答", false},
        {"tcp not connected",
         [](StatusFacts& f) {
             f.device = "tcp://10.0.0.5:20000";
             f.engine.bPortOpen = false;
         },
         "COM2 tcp://10.0.0.5:20000 未连接  |", true},
        {"not reset", [](StatusFacts& f) { f.engine.health = LinkHealth::NOT_RESET; }, "|  链路未复位  |", false},
        {"failed, never answered", [](StatusFacts& f) { f.engine.health = LinkHealth::FAILED; },
         "|  通讯失败 (无响应)  |", true},
        {"failed after an answer",
         [tAnswer](StatusFacts& f) {
             f.engine.health = LinkHealth::FAILED;
             f.engine.tLastAnswer = tAnswer;
         },
         "|  通讯失败 (最后响应 09:05:07)  |", true},
        {"manual", [](StatusFacts& f) { f.nAskMode = ASK_MANUAL; }, "|  人工询问  |", false},
        {"one paused", [](StatusFacts& f) { f.pauseFlags[PAUSE_SEND] = 1; }, "CRC错 2  |  暂停: 发送", false},
        {"two paused",
         [](StatusFacts& f) {
             f.pauseFlags[PAUSE_RECV] = 1;
             f.pauseFlags[PAUSE_RESULT] = 1;
         },
         "|  暂停: 接收 结果", false},
        {"all paused", [](StatusFacts& f) { f.pauseFlags[0] = f.pauseFlags[1] = f.pauseFlags[2] = f.pauseFlags[3] = 1; },
         "|  输出全部暂停", false},
        // Early, where a narrow screen still shows it; the file at the end.
        {"recording", [](StatusFacts& f) { f.recording = "line.pcapng"; },
         "|  自动问答  |  记录中  |  链路正常  |", false},
        {"recording's file", [](StatusFacts& f) { f.recording = "line.pcapng"; }, "CRC错 2  |  记录文件: line.pcapng",
         false},
    };
    for (const Case& c : cases) {
        StatusFacts facts = WorkingEngine();
        c.change(facts);
        const StatusText status = ComposeStatusText(facts);
        EXPECT_NE(status.text.find(c.part), std::string::npos) << c.pszName << ": " << status.text;
        EXPECT_EQ(status.bAlarm, c.bAlarm) << c.pszName;
    }
}
