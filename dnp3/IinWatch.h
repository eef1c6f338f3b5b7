#pragma once
// What the RTU's internal indications tell the operator: why a request failed (IIN2.0 to
// 2.2), that events were lost (2.3), an operation already running (2.4), a corrupt
// configuration (2.5), local control (1.5), device trouble (1.6) and, in manual mode, that
// the RTU asks for the time (1.4). Each becomes one alarm line when it appears; a bit that
// stays set is said again only after a response without it.
#include <cstdint>
#include <string>
#include <vector>

class CIinWatch {
public:
    // The lines for this response's IIN, naming the request it answered ("读 30.5").
    std::vector<std::string> OnResponse(std::uint8_t byIin1, std::uint8_t byIin2, const std::string& request,
                                        bool bManual);

private:
    std::uint16_t m_wSaid = 0;  // the bits said and still set, IIN1 in the high octet
};

// "RTU不支持该对象(IIN2.1)": what a bit (numbered as object 80.1 numbers it: IIN1.0 is 0,
// IIN2.0 is 8) means; empty for the bits not watched.
std::string IinMeaning(int nBit);
// Why the RTU refused a request: the meaning of the first of IIN2.0 to 2.5 set, 2.3 (its
// event buffer) aside; empty when none.
std::string IinRefusal(std::uint8_t byIin2);
