#include <gtest/gtest.h>

#include <string>

#include "channel/PortMap.h"
#include "core/Config.h"
#include "dialog/IntegerField.h"
#include "ui/ChannelSettings.h"
#include "ui/PauseState.h"

TEST(PauseStateTest, GroupItemsFollowTheFourFlags)
{
    for (int nMask = 0; nMask < 1 << kPauseWindows; ++nMask) {
        int flags[kPauseWindows] = {};
        int nPaused = 0;
        for (int w = 0; w < kPauseWindows; ++w) {
            flags[w] = nMask >> w & 1;
            nPaused += flags[w];
        }
        const PauseGroupState s = ComputePauseGroupState(flags);
        EXPECT_EQ(s.bPauseAllEnabled, nPaused < kPauseWindows) << nMask;
        EXPECT_EQ(s.bContinueAllEnabled, nPaused > 0) << nMask;
    }
}

TEST(PauseStateTest, EachItemNamesWhatItDoesNext)
{
    const struct {
        PauseWindow window;
        int nId, nPosition;
        const char* running;
        const char* paused;
    } cases[] = {
        {PAUSE_RECV, 32781, 0, "接收暂停显示", "接收继续显示"},
        {PAUSE_SEND, 32783, 2, "发送暂停显示", "发送继续显示"},
        {PAUSE_RESULT, 32785, 4, "结果暂停刷新", "结果继续刷新"},
        {PAUSE_ANALYSIS, 32834, 6, "分析暂停显示", "分析继续显示"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(kPauseItems[c.window].nId, c.nId);
        EXPECT_EQ(kPauseItems[c.window].nPosition, c.nPosition);
        EXPECT_STREQ(PauseItemText(c.window, 0), c.running);
        EXPECT_STREQ(PauseItemText(c.window, 1), c.paused);
    }
}

TEST(ChannelSettingsTest, TranslationBothWays)
{
    const std::string kSerial = "/dev/ttyS1";
    // Position -> value for every list, and back.
    const struct {
        ChannelChoice choice;
        ChannelWords words;
    } cases[] = {
        {{0, 0, 0, 0, 0}, {300, 8, 1, 0, COM1, kSerial, 60}},
        {{1, 1, 1, 1, 1}, {600, 7, 2, 1, COM2, kSerial, 60}},
        {{2, 2, 2, 2, 1}, {1200, 6, 0, 2, COM2, kSerial, 60}},
        {{3, 3, 2, 0, 0}, {2400, 5, 0, 0, COM1, kSerial, 60}},
        {{4, 0, 2, 0, 0}, {4800, 8, 0, 0, COM1, kSerial, 60}},
        {{5, 0, 2, 0, 0}, {9600, 8, 0, 0, COM1, kSerial, 60}},
    };
    const ChannelWords unused{-5, -5, -5, -5, -5, kSerial, -5};
    for (const auto& c : cases) {
        EXPECT_EQ(WordsFromChoice(c.choice, unused), c.words) << c.words.nBaudRate;
        EXPECT_EQ(ChoiceFromWords(c.words), c.choice) << c.words.nBaudRate;
    }

    SetConfigDefaults();  // "1200", "8", "NONE", "1", COM2
    ResetPortDevices();
    EXPECT_EQ(ChoiceFromWords(CurrentChannelWords()), (ChannelChoice{2, 0, 2, 0, 1}));
    EXPECT_STREQ(kParityEntries[2], "NONE");
    EXPECT_STREQ(kStopBitsEntries[1], "1.5");

    // A value without an entry is no selection; no selection keeps the current value.
    EXPECT_EQ(ChoiceFromWords({19200, 9, 3, 5, 2, kSerial, 60}), (ChannelChoice{-1, -1, -1, -1, -1}));
    const ChannelWords current{1200, 8, 0, 0, COM2, kSerial, 60};
    EXPECT_EQ(WordsFromChoice({-1, -1, -1, -1, -1}, current), current);
}

TEST(ChannelSettingsTest, ATcpLineIsTheEnginesCom2AndTheSerialDeviceComesBack)
{
    ResetPortDevices();
    MapPortDevice(COM2, "/dev/ttyUSB1");
    const ChannelWords serial{1200, 8, 0, 0, COM1, "/dev/ttyUSB1", 60};
    ChannelChoice tcp = ChoiceFromWords(serial);
    tcp.bTcp = true;
    tcp.Host = "fe80::1";
    tcp.nTcpPort = 20001;
    tcp.nKeepAliveSeconds = 30;
    const ChannelWords words = WordsFromChoice(tcp, serial);
    EXPECT_EQ(words.nComPort, COM2) << "COM1 stays serial";
    EXPECT_EQ(words.Com2Device, "tcp://[fe80::1]:20001");
    EXPECT_EQ(words.nKeepAliveSeconds, 30);
    const ChannelChoice back = ChoiceFromWords(words);
    EXPECT_TRUE(back.bTcp);
    EXPECT_EQ(back.Host, "fe80::1");
    EXPECT_EQ(back.nTcpPort, 20001);

    MapPortDevice(COM2, words.Com2Device);
    ChannelChoice again = back;
    again.bTcp = false;
    EXPECT_EQ(WordsFromChoice(again, words).Com2Device, "/dev/ttyUSB1") << "the serial device it had";
    ResetPortDevices();
}

TEST(IntegerFieldTest, ReadsLikeTheFrameworksDataExchange)
{
    const std::string notInteger = "Please enter an integer.";
    const std::string scan = "Please enter an integer between 1 and 60.";
    const struct {
        const char* text;
        int nValue;
        std::string error;
    } cases[] = {
        {"1", 1, ""},          {"60", 60, ""},          {" 7 ", 7, ""},       {"+5", 5, ""},
        {"0", 0, scan},        {"61", 0, scan},         {"-3", 0, scan},      {"99999999999999", 0, scan},
        {"", 0, notInteger},   {"  ", 0, notInteger},   {"12a", 0, notInteger}, {"-", 0, notInteger},
        {"1 2", 0, notInteger}, {"0x10", 0, notInteger},
    };
    for (const auto& c : cases) {
        const IntegerFieldResult r = ReadIntegerField(c.text, 1, 60);
        EXPECT_EQ(r.Error, c.error) << '"' << c.text << '"';
        if (c.error.empty()) {
            EXPECT_EQ(r.nValue, c.nValue) << c.text;
        }
    }
    EXPECT_EQ(ReadIntegerField("65536", 1, 65535).Error, "Please enter an integer between 1 and 65535.");
}
