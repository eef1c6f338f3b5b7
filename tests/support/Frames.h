#pragma once
// Link frames in tests: built from hex user data, taken apart again into user data.
#include <cstdint>
#include <string>
#include <vector>

// The whole frame, with its CRCs, as hex.
std::string FrameHex(std::uint8_t byCtrl, int nDest, int nSrc, const std::string& userDataHex = "");
// The user data of a frame, without the header and the block CRCs.
std::vector<std::uint8_t> FrameUserData(const std::vector<std::uint8_t>& frame);
