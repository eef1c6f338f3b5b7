#include "core/Config.h"

ConfigWord g_nComPort;
ConfigWord g_nBaudRate;
ConfigWord g_nDataBits;
ConfigWord g_nParity;
ConfigWord g_nStopBits;
ConfigWord g_nAskMode;
ConfigWord g_nCallMode;
ConfigWord g_nScanPeriod;
ConfigWord g_nRtuAddress;
ConfigWord g_nMasterAddress;
ConfigWord g_nYxPoints;
ConfigWord g_nYcPoints;
ConfigWord g_nYmPoints;
ConfigWord g_nTimeFormat;
ConfigWord g_nKeepAliveSeconds;

namespace {

struct ConfigDefault {
    ConfigWord& word;
    int nValue;
};

const ConfigDefault kDefaults[] = {
    {g_nComPort, COM2},           {g_nBaudRate, 1200},       {g_nDataBits, 8},
    {g_nParity, 0},               {g_nStopBits, 0},          {g_nAskMode, ASK_MANUAL},
    {g_nCallMode, CALL_BY_CLASS}, {g_nScanPeriod, 3},        {g_nRtuAddress, 54},
    {g_nMasterAddress, 3246},     {g_nYxPoints, 128},        {g_nYcPoints, 128},
    {g_nYmPoints, 64},            {g_nTimeFormat, TIME_FORMAT_MONTH},
    {g_nKeepAliveSeconds, 60},
};

// The words hold their defaults from the start, so nothing ever reads a zero speed.
[[maybe_unused]] const bool kDefaultsSet = (SetConfigDefaults(), true);

}  // namespace

void SetConfigDefaults()
{
    for (const ConfigDefault& d : kDefaults)
        d.word = d.nValue;
}
