#include <gtest/gtest.h>

#include "channel/LineSettings.h"

TEST(LineSettingsTest, TranslatesCodesIntoTermiosFlags)
{
    const struct {
        LineSettings s;
        speed_t speed;
        tcflag_t size;
        bool bParity, bOdd, bStopb;
    } cases[] = {
        {{1200, 8, 0, 0}, B1200, CS8, false, false, false},
        {{300, 7, 1, 0}, B300, CS7, true, true, false},
        {{9600, 6, 2, 2}, B9600, CS6, true, false, true},
        {{4800, 5, 0, 1}, B4800, CS5, false, false, true},  // 1.5 stop bits of a 5-bit character
        {{600, 8, 0, 2}, B600, CS8, false, false, true},
        {{2400, 8, 2, 0}, B2400, CS8, true, false, false},
    };
    for (const auto& c : cases) {
        termios tio{};
        tio.c_lflag = ICANON | ECHO;
        tio.c_cflag = CRTSCTS;
        tio.c_iflag = IXON;
        ASSERT_TRUE(TranslateLineSettings(c.s, tio)) << c.s.nBaudRate;
        EXPECT_EQ(cfgetospeed(&tio), c.speed);
        EXPECT_EQ(cfgetispeed(&tio), c.speed);
        EXPECT_EQ(tio.c_cflag & CSIZE, c.size);
        EXPECT_EQ((tio.c_cflag & PARENB) != 0, c.bParity);
        EXPECT_EQ((tio.c_cflag & PARODD) != 0, c.bOdd);
        EXPECT_EQ((tio.c_iflag & INPCK) != 0, c.bParity);
        EXPECT_EQ((tio.c_cflag & CSTOPB) != 0, c.bStopb);
        EXPECT_EQ(tio.c_cflag & CRTSCTS, 0u);
        EXPECT_EQ(tio.c_iflag & (IXON | IXOFF), 0u);
        EXPECT_EQ(tio.c_lflag & (ICANON | ECHO), 0u);  // raw
        EXPECT_TRUE(tio.c_cflag & CLOCAL);
        EXPECT_TRUE(tio.c_cflag & CREAD);
        EXPECT_EQ(tio.c_cc[VMIN], 0);
        EXPECT_EQ(tio.c_cc[VTIME], 0);
    }
}

TEST(LineSettingsTest, RefusesWhatTheLineCannotDo)
{
    const LineSettings refused[] = {
        {1200, 6, 0, 1}, {1200, 7, 0, 1}, {1200, 8, 2, 1},  // 1.5 stop bits beyond 5 data bits
        {1200, 5, 0, 2},                                    // 2 stop bits with 5 data bits
        {1200, 4, 0, 0}, {1200, 9, 0, 0},                   // character size
        {1200, 8, 3, 0}, {1200, 8, -1, 0},                  // parity code (mark is not offered)
        {1200, 8, 0, 3},                                    // stop-bit code
        {110, 8, 0, 0},  {0, 8, 0, 0},                      // speed
    };
    for (const LineSettings& s : refused) {
        termios tio{};
        tio.c_cflag = CS7;
        EXPECT_FALSE(TranslateLineSettings(s, tio)) << s.nBaudRate << " " << s.nDataBits << " "
                                                    << s.nParity << " " << s.nStopBits;
        EXPECT_EQ(tio.c_cflag, static_cast<tcflag_t>(CS7)) << "left untouched";
    }
}
