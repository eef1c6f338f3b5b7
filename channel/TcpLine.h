#pragma once
// The engine's line as a TCP connection to an RTU (or a terminal server). Everything is
// non-blocking and moves on in Maintain, called by every poll step: a name is resolved on
// a thread of its own, a connect waits at most kConnectTimeoutMs, and a failed or lost
// connection is tried again after 1 s, then 2, 4 ... up to 60 s; a connection that lived a
// minute starts the count again at 1 s. Octets the socket cannot take at once wait in a
// bounded buffer. Each change is one alarm line; repeated failures only the first few.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "channel/Line.h"
#include "channel/TcpEndpoint.h"

class CTcpLine : public ILine {
public:
    static constexpr int kConnectTimeoutMs = 5000;
    static constexpr int kFirstRetryMs = 1000;
    static constexpr int kMaxRetryMs = 60'000;
    static constexpr int kSteadyMs = 60'000;  // lived this long: the next retry after 1 s again
    static constexpr std::size_t kMaxUnsent = 64 * 1024;
    static constexpr int kReportedFailures = 3;  // in a row; then only a new reason is said

    explicit CTcpLine(TcpEndpoint endpoint);
    ~CTcpLine() override;
    CTcpLine(const CTcpLine&) = delete;
    CTcpLine& operator=(const CTcpLine&) = delete;

    bool IsOpen() const override { return m_State == State::CONNECTED; }
    bool Apply(const LineSettings&) override { return true; }  // no speed, no framing
    int Waiting() const override;
    int Read(std::uint8_t* pBuffer, int nMax) override;
    // Takes the octets at once: what the socket cannot take yet waits (at most kMaxUnsent,
    // beyond which the connection is given up). False when not connected.
    bool Write(const std::uint8_t* pData, int nCount, int nTimeoutMs, int& nWritten) override;
    void Purge() override { m_Unsent.clear(); }
    // For good: no more attempts.
    void Close() override;
    int Descriptor() const override { return IsOpen() ? m_fd : -1; }

    void Maintain() override;
    bool IsNetwork() const override { return true; }
    int Session() const override { return m_nSession; }
    void Drop(const std::string& reason) override;

    const TcpEndpoint& Endpoint() const { return m_Endpoint; }
    int Attempts() const { return m_nAttempts; }

private:
    enum class State { WAITING, RESOLVING, CONNECTING, CONNECTED, CLOSED };
    struct Resolution;  // shared with the thread that resolves a name

    void StartAttempt(std::int64_t nNowMs);
    void Connect(std::int64_t nNowMs);
    void CheckConnect(std::int64_t nNowMs);
    void Connected(std::int64_t nNowMs);
    void Failed(const std::string& reason);
    void Lost(const std::string& reason);
    void CloseSocket();
    void RetryLater(std::int64_t nNowMs);
    void Flush();

    TcpEndpoint m_Endpoint;
    State m_State = State::WAITING;
    int m_fd = -1;
    std::int64_t m_nNextTryMs = 0;
    std::int64_t m_nDeadlineMs = 0;
    std::int64_t m_nConnectedMs = 0;
    int m_nRetryMs = kFirstRetryMs;
    int m_nSession = 0;
    int m_nAttempts = 0;
    int m_nFailuresInARow = 0;
    std::string m_LastFailure;
    std::shared_ptr<Resolution> m_pResolution;
    std::size_t m_nNextAddress = 0;  // of the names's addresses, the one to try next
    std::vector<std::uint8_t> m_Unsent;
};
