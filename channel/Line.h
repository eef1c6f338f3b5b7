#pragma once
// The line below a channel: a serial port, a TCP connection, or octets in memory for the
// engine's tests. Every operation on a line that is not open is a harmless no-op.
#include <cstdint>
#include <string>

#include "channel/LineSettings.h"

class ILine {
public:
    virtual ~ILine() = default;

    virtual bool IsOpen() const = 0;
    // Speed and framing; lines without them take any settings.
    virtual bool Apply(const LineSettings& settings) = 0;
    // Octets waiting to be read; 0 when closed or on error.
    virtual int Waiting() const = 0;
    // Reads at most nMax of the octets already waiting; never blocks. Returns the count.
    virtual int Read(std::uint8_t* pBuffer, int nMax) = 0;
    // Writes the octets, waiting at most nTimeoutMs for them to leave. Returns false when
    // the write could not be started; nWritten tells how many octets went out.
    virtual bool Write(const std::uint8_t* pData, int nCount, int nTimeoutMs, int& nWritten) = 0;
    // Discards what waits in either direction.
    virtual void Purge() = 0;
    virtual void Close() = 0;
    // A descriptor that poll(2) reports readable when octets arrive; -1 when there is none.
    virtual int Descriptor() const { return -1; }

    // Lines that come and go (a TCP connection). Each poll step lets them move on
    // (connect, retry, send what waits) without blocking.
    virtual void Maintain() {}
    virtual bool IsNetwork() const { return false; }
    // Counts the connections made: the link starts afresh on each new one.
    virtual int Session() const { return 0; }
    // Gives up the connection (the far end stopped answering); a new one follows.
    virtual void Drop(const std::string& /*reason*/) {}
};
