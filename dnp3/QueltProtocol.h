#pragma once
// The DNP3 master engine on the channel of g_nComPort. Its layers (link, transport,
// application) override the channel hooks; until they are in, it behaves as a bare channel.
#include "channel/Protocol.h"

class CQueltProtocol : public CProtocol {
public:
    using CProtocol::CProtocol;
};
