#pragma once
// The link receive parser: finds frames in the octet stream, checks the header CRC and
// every block CRC, strips the CRCs and hands each whole frame to its handler. It knows
// nothing of link procedures; the handler decides what a frame means.
#include <cstdint>

#include "dnp3/LinkFrame.h"

class CLinkParser {
public:
    class IHandler {
    public:
        virtual ~IHandler() = default;
        // A frame's last octet has come (whether or not it was good): its display line ends.
        virtual void OnFrameEnd() = 0;
        // A frame without user data, its header CRC good: the eight octets before the CRC.
        virtual void OnHeaderFrame(const std::uint8_t* pFrame) = 0;
        // A frame with user data, every CRC good: the eight header octets, then the user
        // data without CRCs, nLength octets in all.
        virtual void OnDataFrame(const std::uint8_t* pFrame, int nLength) = 0;
        // A CRC failed, or LEN was below 5.
        virtual void OnBadFrame() = 0;
        // Whether frames with user data are taken now (the link is reset).
        virtual bool TakesUserData() const = 0;
    };

    explicit CLinkParser(IHandler& handler) : m_Handler(handler) {}

    void Receive(std::uint8_t by);
    bool InFrame() const { return m_State != HUNT; }
    // Gives up a frame under way; false when none was.
    bool Abandon();
    // Octets still to come of the frame under way: its rest once LEN came, the rest of a
    // header after a start octet; 0 when none is under way.
    int MissingOctets() const;

private:
    enum State { HUNT, LEN, HEADER, BLOCKS };
    void HuntAgainAfterHeader();

    static constexpr int kFrameBuffer = 400;
    IHandler& m_Handler;
    std::uint8_t m_byPrev = 0;
    std::uint8_t m_byLast = 0;
    int m_nExpected = 0;  // octets of the frame on the line
    int m_nCount = 0;     // of them received
    int m_nIndex = 0;     // where the next octet is stored (CRCs are overwritten)
    int m_nBlock = 0;     // octets of the current block, its CRC included
    std::uint8_t m_Frame[kFrameBuffer] = {};
    State m_State = HUNT;
};
