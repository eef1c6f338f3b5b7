#pragma once
// Translation of the configuration's line-setting codes into termios flags. Kept a pure
// function: a pty forces 8 data bits and no parity, so flags cannot be read back there.
#include <termios.h>

struct LineSettings {
    int nBaudRate = 1200;
    int nDataBits = 8;
    int nParity = 0;    // 0 none, 1 odd, 2 even
    int nStopBits = 0;  // 0 one, 1 one and a half, 2 two
    bool operator==(const LineSettings&) const = default;
};

// By configuration code (parity 0 none, 1 odd, 2 even; stop bits 0 one, 1 one and a half,
// 2 two); a code out of range reads as the first: "N", "O", "E"; "1", "1.5", "2".
const char* ParityLetter(int nCode);
const char* StopBitsText(int nCode);

// The settings of the configuration words right now.
LineSettings CurrentLineSettings();

// Sets speed, character size, parity and stop bits on a raw-mode record. Returns false,
// leaving tio untouched, for what a UART cannot do: an unknown speed or code, one and a
// half stop bits with more than 5 data bits, or two stop bits with 5 data bits (a UART
// sends 1.5 stop bits for 5-bit characters when asked for two).
bool TranslateLineSettings(const LineSettings& s, termios& tio);
