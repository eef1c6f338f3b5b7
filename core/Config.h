#pragma once
// Configuration words the operator sets in the parameter dialogs. Written on the GUI
// thread, read by the poll thread without a lock, hence atomic words.
#include <atomic>

using ConfigWord = std::atomic<int>;

extern ConfigWord g_nComPort;        // port of the DNP3 engine: 0 = COM1, 1 = COM2
extern ConfigWord g_nBaudRate;       // bit/s
extern ConfigWord g_nDataBits;       // 5..8
extern ConfigWord g_nParity;         // 0 none, 1 odd, 2 even
extern ConfigWord g_nStopBits;       // 0 one, 1 one and a half, 2 two
extern ConfigWord g_nAskMode;        // 0 automatic question and answer, 1 manual enquiry
extern ConfigWord g_nCallMode;       // 0 by class, 1 by object
extern ConfigWord g_nScanPeriod;     // seconds
extern ConfigWord g_nRtuAddress;     // link address of the RTU (low 16 bits used)
extern ConfigWord g_nMasterAddress;  // link address of this master (low 16 bits used)
extern ConfigWord g_nYxPoints;       // binary inputs shown
extern ConfigWord g_nYcPoints;       // analog inputs shown
extern ConfigWord g_nYmPoints;       // counters shown
extern ConfigWord g_nTimeFormat;     // how the RTU's clock counts (TimeFormat)
extern ConfigWord g_nKeepAliveSeconds;  // TCP: silence after which the RTU's link status is asked

enum ComPort { COM1 = 0, COM2 = 1 };
enum AskMode { ASK_AUTO = 0, ASK_MANUAL = 1 };
enum CallMode { CALL_BY_CLASS = 0, CALL_BY_OBJECT = 1 };
// The RTU's clock: milliseconds since 00:00 local time of the 1st of the month, or IEEE
// 1815's UTC milliseconds since 1970.
enum TimeFormat { TIME_FORMAT_MONTH = 0, TIME_FORMAT_UTC = 1 };

// Every run starts from these; nothing is stored between runs.
void SetConfigDefaults();
