#pragma once
// The simulated RTU on TCP, as field outstations listen: one master at a time, a new
// connection replacing the old one, and (for rehearsals) each connection closed a set time
// after it was accepted. Nothing blocks: a connection waiting is accepted when the RTU
// next looks at its line.
#include <memory>
#include <string>

#include "sim/SimRunner.h"

class CTcpListenLine : public ISimLine {
public:
    using Log = std::function<void(const std::string& line)>;

    // Listens on "[ADDRESS:]PORT" (all IPv4 addresses when none; an IPv6 one in brackets;
    // port 0: any free one). nullptr, with the reason in error, when it cannot.
    static std::unique_ptr<CTcpListenLine> Listen(const std::string& where, int nDropAfterS, Log log,
                                                  std::string& error);
    ~CTcpListenLine() override;

    int Read(std::uint8_t* pBuffer, int nMax) override;
    void Write(const std::uint8_t* pData, int nCount) override;
    // The connection's descriptor, or the listener's while there is none.
    int Descriptor() const override { return m_fdConnection >= 0 ? m_fdConnection : m_fdListen; }
    int Session() const override { return m_nSession; }
    // The port it listens on (the one chosen, for port 0).
    int Port() const { return m_nPort; }

private:
    CTcpListenLine(int fdListen, int nPort, int nDropAfterS, Log log);
    void AcceptWaiting();
    void CloseConnection(const std::string& why);

    int m_fdListen;
    int m_fdConnection = -1;
    int m_nPort;
    int m_nDropAfterS;
    Log m_Log;
    int m_nSession = 0;
    std::chrono::steady_clock::time_point m_tAccepted{};
};

// "[ADDRESS:]PORT" taken apart; false when malformed.
bool ParseListenAddress(const std::string& where, std::string& address, int& nPort);
