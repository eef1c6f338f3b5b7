#pragma once
// The RTU dialog's six fields: their controls, bounds and configuration words, in the
// order they are checked on confirm, and what confirming writes; and its time format.
#include "dialog/IntegerField.h"

enum RtuField { RTU_SCAN_PERIOD, RTU_MASTER_ADDRESS, RTU_RTU_ADDRESS, RTU_YC_NUM, RTU_YM_NUM, RTU_YX_NUM };
constexpr int kRtuFieldCount = 6;

struct RtuFieldRow {
    IntegerField field;
    const char* pszLabel;
};

// In checking order, indexed by RtuField.
extern const RtuFieldRow kRtuFields[kRtuFieldCount];

struct RtuValues {
    int n[kRtuFieldCount] = {};  // indexed by RtuField
    int nTimeFormat = 0;         // a TimeFormat
};

// The time format's list (combo 1042 "时间格式"), indexed by TimeFormat.
constexpr int kTimeFormatControl = 1042;
constexpr const char* kTimeFormatNames[] = {"本月毫秒", "IEEE 1815 (UTC)"};

RtuValues CurrentRtuValues();
// Writes the RTU address, master address, scan period, then the YX, YC and YM counts and
// the time format, and gives the point image its new counts (the arrays and their values
// stay).
void ApplyRtuValues(const RtuValues& values);
