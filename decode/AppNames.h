#pragma once
// The names the protocol gives its codes: application functions, IIN bits, and the
// operation, trip-close code and status of a control relay output block.
#include <cstdint>
#include <string>

namespace qdec {

const char* AppFunctionName(int nFunction);
// The names of the IIN bits set, e.g. "DEVICE_RESTART NEED_TIME"; empty when none.
std::string IinNames(std::uint16_t wIin);
// Bit n of the IIN as point n of object 80.1 numbers it: IIN1.0 is 0, IIN2.0 is 8.
const char* IinBitName(int nBit);
// Whether bit n (so numbered) is set in the IIN as written, IIN1 in the high octet.
constexpr bool IinBitSet(std::uint16_t wIin, int nBit)
{
    return (wIin & (nBit < 8 ? 0x100 << nBit : 1 << (nBit - 8))) != 0;
}
const char* CrobOperationName(int nOperation);
const char* CrobTripName(int nCode);  // the two top bits of the control code
const char* CrobStatusName(int nStatus);

}  // namespace qdec
