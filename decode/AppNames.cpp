#include "decode/AppNames.h"

#include <iterator>

namespace qdec {

namespace {

constexpr const char* kFunctionNames[] = {
    "CONFIRM", "READ", "WRITE", "SELECT", "OPERATE", "DIRECT_OPERATE", "DIRECT_OPERATE_NR", "IMMED_FREEZE",
    "IMMED_FREEZE_NR", "FREEZE_CLEAR", "FREEZE_CLEAR_NR", "FREEZE_AT_TIME", "FREEZE_AT_TIME_NR",
    "COLD_RESTART", "WARM_RESTART", "INITIALIZE_DATA", "INITIALIZE_APPL", "START_APPL", "STOP_APPL",
    "SAVE_CONFIG", "ENABLE_UNSOLICITED", "DISABLE_UNSOLICITED", "ASSIGN_CLASS", "DELAY_MEASURE",
    "RECORD_CURRENT_TIME", "OPEN_FILE", "CLOSE_FILE", "DELETE_FILE", "GET_FILE_INFO", "AUTHENTICATE_FILE",
    "ABORT_FILE", "ACTIVATE_CONFIG", "AUTHENTICATE_REQ", "AUTH_REQ_NO_ACK",
};

// IIN1 bits 0..7, then IIN2 bits 0..7.
constexpr const char* kIinNames[16] = {
    "BROADCAST", "CLASS_1_EVENTS", "CLASS_2_EVENTS", "CLASS_3_EVENTS", "NEED_TIME", "LOCAL_CONTROL",
    "DEVICE_TROUBLE", "DEVICE_RESTART", "NO_FUNC_CODE_SUPPORT", "OBJECT_UNKNOWN", "PARAMETER_ERROR",
    "EVENT_BUFFER_OVERFLOW", "ALREADY_EXECUTING", "CONFIG_CORRUPT", "RESERVED_2", "RESERVED_1",
};

constexpr const char* kCrobStatus[] = {
    "SUCCESS", "TIMEOUT", "NO_SELECT", "FORMAT_ERROR", "NOT_SUPPORTED", "ALREADY_ACTIVE",
    "HARDWARE_ERROR", "LOCAL", "TOO_MANY_OBJS", "NOT_AUTHORIZED", "AUTOMATION_INHIBIT",
    "PROCESSING_LIMITED", "OUT_OF_RANGE",
};
constexpr const char* kCrobOperation[] = {"NUL", "PULSE_ON", "PULSE_OFF", "LATCH_ON", "LATCH_OFF"};
constexpr const char* kCrobTrip[] = {"NUL", "CLOSE", "TRIP", "RESERVED"};

// The name at n in the table, "UNDEFINED" outside it.
template <std::size_t N>
const char* Named(const char* const (&names)[N], int n)
{
    return n >= 0 && n < static_cast<int>(N) ? names[n] : "UNDEFINED";
}

}  // namespace

const char* AppFunctionName(int nFunction)
{
    if (nFunction >= 0 && nFunction < static_cast<int>(std::size(kFunctionNames)))
        return kFunctionNames[nFunction];
    switch (nFunction) {
    case 0x81:
        return "RESPONSE";
    case 0x82:
        return "UNSOLICITED_RESPONSE";
    case 0x83:
        return "AUTHENTICATE_RESP";
    default:
        return "UNKNOWN";
    }
}

std::string IinNames(std::uint16_t wIin)
{
    std::string names;
    // IIN1 is the high octet; name its bits first.
    for (int nBit = 0; nBit < 16; ++nBit) {
        if (IinBitSet(wIin, nBit)) {
            if (!names.empty())
                names += ' ';
            names += kIinNames[nBit];
        }
    }
    return names;
}

const char* IinBitName(int nBit) { return Named(kIinNames, nBit); }

const char* CrobOperationName(int nOperation) { return Named(kCrobOperation, nOperation); }

const char* CrobTripName(int nCode) { return Named(kCrobTrip, nCode & 3); }

const char* CrobStatusName(int nStatus) { return Named(kCrobStatus, nStatus); }

}  // namespace qdec
