#include "ui/RtuSettings.h"

#include "core/Config.h"
#include "response/FrameHandler.h"

const RtuFieldRow kRtuFields[kRtuFieldCount] = {
    {{1038, 1, 60}, "扫描周期"},     {{1029, 1, 65535}, "主机站址"}, {{1030, 1, 65535}, "RTU站址"},
    {{1039, 1, kPointCapacity}, "遥测点数"}, {{1041, 1, kPointCapacity}, "电量点数"},
    {{1040, 1, kPointCapacity}, "遥信点数"},
};

RtuValues CurrentRtuValues()
{
    RtuValues v;
    v.n[RTU_SCAN_PERIOD] = g_nScanPeriod;
    v.n[RTU_MASTER_ADDRESS] = g_nMasterAddress;
    v.n[RTU_RTU_ADDRESS] = g_nRtuAddress;
    v.n[RTU_YC_NUM] = g_nYcPoints;
    v.n[RTU_YM_NUM] = g_nYmPoints;
    v.n[RTU_YX_NUM] = g_nYxPoints;
    v.nTimeFormat = g_nTimeFormat;
    return v;
}

void ApplyRtuValues(const RtuValues& v)
{
    g_nRtuAddress = v.n[RTU_RTU_ADDRESS];
    g_nMasterAddress = v.n[RTU_MASTER_ADDRESS];
    g_nScanPeriod = v.n[RTU_SCAN_PERIOD];
    g_nYxPoints = v.n[RTU_YX_NUM];
    g_nYcPoints = v.n[RTU_YC_NUM];
    g_nYmPoints = v.n[RTU_YM_NUM];
    g_nTimeFormat = v.nTimeFormat == TIME_FORMAT_UTC ? TIME_FORMAT_UTC : TIME_FORMAT_MONTH;
    SetPointCounts();
}
