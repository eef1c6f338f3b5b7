#include <gtest/gtest.h>

#include "app/CommandLine.h"
#include "core/Config.h"

TEST(ConfigTest, FreshStartDefaults)
{
    g_nBaudRate = 9600;
    g_nComPort = COM1;
    SetConfigDefaults();
    const struct {
        const char* name;
        const ConfigWord& word;
        int nExpected;
    } cases[] = {
        {"port", g_nComPort, COM2},          {"baud", g_nBaudRate, 1200},
        {"data bits", g_nDataBits, 8},       {"parity", g_nParity, 0},
        {"stop bits", g_nStopBits, 0},       {"ask mode", g_nAskMode, ASK_MANUAL},
        {"call mode", g_nCallMode, CALL_BY_CLASS}, {"scan period", g_nScanPeriod, 3},
        {"rtu", g_nRtuAddress, 54},          {"master", g_nMasterAddress, 3246},
        {"yx", g_nYxPoints, 128},            {"yc", g_nYcPoints, 128},
        {"ym", g_nYmPoints, 64},
    };
    for (const auto& c : cases)
        EXPECT_EQ(c.word.load(), c.nExpected) << c.name;
}

TEST(CommandLineTest, OptionsAndErrors)
{
    const struct {
        std::vector<std::string> args;
        bool bHelp;
        std::string com1, com2;
        bool bError;
    } cases[] = {
        {{}, false, "", "", false},
        {{"--help"}, true, "", "", false},
        {{"-h"}, true, "", "", false},
        {{"--com1", "/dev/pts/3", "--com2", "/dev/pts/4"}, false, "/dev/pts/3", "/dev/pts/4", false},
        {{"--com2", "/dev/ttyUSB0"}, false, "", "/dev/ttyUSB0", false},
        {{"--com1"}, false, "", "", true},
        {{"--com2", ""}, false, "", "", true},
        {{"--baud", "9600"}, false, "", "", true},
        {{"/dev/ttyS0"}, false, "", "", true},
        {{"--demo"}, false, "", "", false},
        {{"--demo", "--com2", "/dev/pts/4"}, false, "", "", true},
        {{"--record"}, false, "", "", true},
        {{"--record", "a.pcapng", "--record-max-mb", "0"}, false, "", "", true},
        {{"--record", "a.pcapng", "--record-max-mb", "12x"}, false, "", "", true},
        {{"--record-max-mb", "10"}, false, "", "", true},
        {{"--record", "a.pcapng", "--record-files", "3"}, false, "", "", true},
        {{"--record", "a.pcapng", "--record-max-mb", "10", "--record-files", "3", "--auto"}, false, "", "", false},
        {{"--com2", "tcp://10.0.0.5"}, false, "", "tcp://10.0.0.5", false},
        {{"--com2", "tcp://[fe80::1]:20001"}, false, "", "tcp://[fe80::1]:20001", false},
        {{"--com2", "tcp://10.0.0.5:99999"}, false, "", "", true},
        {{"--com1", "tcp://10.0.0.5"}, false, "", "", true},  // COM1 stays serial
        {{"--tcp"}, false, "", "", true},                      // only for the demo
        {{"--demo", "--tcp"}, false, "", "", false},
    };
    for (const auto& c : cases) {
        const CommandLine cl = ParseCommandLine(c.args);
        const std::string where = c.args.empty() ? "(none)" : c.args[0];
        EXPECT_EQ(cl.bHelp, c.bHelp) << where;
        EXPECT_EQ(!cl.Error.empty(), c.bError) << where;
        if (!c.bError) {
            EXPECT_EQ(cl.Devices[0], c.com1) << where;
            EXPECT_EQ(cl.Devices[1], c.com2) << where;
        } else {
            EXPECT_EQ(cl.Error.find('\n'), std::string::npos) << "one line: " << cl.Error;
        }
    }
    EXPECT_TRUE(ParseCommandLine({"--demo"}).bDemo);
    EXPECT_TRUE(ParseCommandLine({"--demo", "--verbose"}).bVerbose);
    EXPECT_TRUE(ParseCommandLine({"--version"}).bVersion);
    const CommandLine ring = ParseCommandLine({"--auto", "--record", "a.pcapng", "--record-max-mb", "10", "--record-files", "3"});
    EXPECT_TRUE(ring.bAuto);
    EXPECT_EQ(ring.RecordPath, "a.pcapng");
    EXPECT_EQ(ring.nRecordMaxMb, 10);
    EXPECT_EQ(ring.nRecordFiles, 3);
    EXPECT_FALSE(ParseCommandLine({}).bUtcTime);
    EXPECT_FALSE(ParseCommandLine({"--time", "month"}).bUtcTime);
    EXPECT_TRUE(ParseCommandLine({"--demo", "--time", "utc"}).bUtcTime);
    for (const std::vector<std::string>& bad : std::vector<std::vector<std::string>>{{"--time"}, {"--time", "UTC"}})
        EXPECT_EQ(ParseCommandLine(bad).Error, "option --time needs month or utc");
    EXPECT_EQ(VersionText().rfind(std::string("quelt ") + QUELT_VERSION + "\n", 0), 0u);
}
