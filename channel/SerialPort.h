#pragma once
// One serial device on termios: raw, non-blocking, opened exclusively. Every operation on
// a port that is not open is a harmless no-op, so a channel whose port failed to open
// reads 0 octets and never touches an invalid descriptor.
#include <cstdint>
#include <string>

#include "channel/Line.h"

class CSerialPort : public ILine {
public:
    CSerialPort() = default;
    ~CSerialPort() override { Close(); }
    CSerialPort(const CSerialPort&) = delete;
    CSerialPort& operator=(const CSerialPort&) = delete;

    // Opens an existing terminal device for reading and writing, not shared with another
    // program. On failure errno tells why and the port stays closed.
    bool Open(const std::string& device);
    bool IsOpen() const override { return m_fd >= 0; }

    // Raw mode with the given line settings, no flow control, DTR and RTS on (a device
    // without modem lines, like a pty, is fine). Purges nothing.
    bool Apply(const LineSettings& settings) override;

    // Octets waiting in the input queue; 0 when closed or on error.
    int Waiting() const override;
    // Reads at most nMax of the octets already waiting; never blocks. Returns the count.
    int Read(std::uint8_t* pBuffer, int nMax) override;
    // Writes the octets and waits until they have left the output queue or the time-out
    // has passed, whichever comes first; never blocks beyond it. Returns false when the
    // write could not be started; nWritten tells how many octets went out.
    bool Write(const std::uint8_t* pData, int nCount, int nTimeoutMs, int& nWritten) override;
    // Discards both queues.
    void Purge() override;
    // Drops DTR, purges and closes.
    void Close() override;
    int Descriptor() const override { return m_fd; }

private:
    int m_fd = -1;
    int m_nOctetUs = 9'166;  // one octet's time on the line at the speed last applied
};
