#pragma once
// The result window's text: the RTU address, then every shown binary input, analog input
// and counter of slot 0 of the point image.
#include <string>

#include "response/FrameHandler.h"

std::string BuildResultText(int nRtuAddress, const RtuPointTable& slot);
