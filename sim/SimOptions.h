#pragma once
// How the simulated RTU behaves: its addresses and points, the qualifier style, and the
// faults it can be told to show.
#include <string>
#include <vector>

struct SimOptions {
    int nAddress = 54;
    int nMaster = 3246;
    int nBaudRate = 1200;
    int nYx = 128;
    int nYc = 128;
    int nYm = 64;
    bool bCompact = false;     // 8-bit ranges and indexes (0x00, 0x17) where they fit
    bool bResetFirst = false;  // reset the link towards the master when it starts
    bool bConfirmedData = false;  // responses as confirmed user data, each frame acknowledged
    bool bUnsolicited = false;    // unsolicited responses: a null one at start, events once enabled
    int nChangeMs = 2000;      // how often values change; 0: never
    unsigned uSeed = 1815;
    bool bPace = false;        // send no faster than the line speed allows
    int nFragment = 2048;      // largest response fragment, header included
    int nBinaryClass = 1;      // event class of binary-input changes
    int nAnalogClass = 2;      // event class of analog changes
    int nSelectTimeout = 10;   // seconds within which an operate must follow its select
    // The clock: IEEE 1815 UTC milliseconds since 1970, or (default) milliseconds since
    // 00:00 local time of the 1st of the month, as the master's default writes it.
    bool bUtcTime = false;
    int nClockOffsetS = 0;     // the clock this far from the computer's at start
    bool bNoTimeSync = false;  // synchronised by other means: never asks for the time, ignores writes
    // Faults.
    int nSilentAfter = -1;  // stop answering after this many requests
    int nCorruptEvery = 0;  // flip a CRC octet of every n-th frame sent
    int nLoseMasterEvery = 0;  // every n-th frame from the master is lost, as if spoilt
    int nBusyMs = 0;        // DFC in ACKs and link status this long after each link reset
    bool bCrobFail = false; // every select and operate fails (status 4)
    bool bOperateFail = false;  // selects are accepted, every operate refused (status 4)
    bool bSelectFail = false;   // every select refused (status 4); operates then find none
    int nReplyDelayMs = 0;      // every response this late
    enum Malformed { MALFORMED_NONE, MALFORMED_QUALIFIER, MALFORMED_OVERRUN, MALFORMED_GROUP };
    int nMalformed = MALFORMED_NONE;  // every third response with objects spoilt so
    int nRestartAfter = -1;     // restart (link and application state lost) at this request
    int nBadSegmentEvery = 0;   // skip a transport sequence number in every n-th long response
    int nDropPercent = 0;   // each octet sent is lost with this probability
};

struct SimCommandLine {
    std::string Device;
    std::string TcpListen;   // "[ADDRESS:]PORT" to listen on instead of a device
    int nDropAfterS = 0;     // TCP: each connection closed this long after it was accepted
    std::string RecordPath;  // pcapng of the line, empty: none
    SimOptions Options;
    bool bHelp = false;
    std::string Error;  // one line
};

SimCommandLine ParseSimCommandLine(const std::vector<std::string>& args);
const char* SimUsage();
