#pragma once
// The Chinese the operator reads for the protocol's codes: function names, IIN bits, class
// objects, and a request in a few words ("读 30.5", "读 类1 类2 类3").
#include <cstdint>
#include <span>
#include <string>

// A function's Chinese name by its protocol name ("READ" → "读"); unknown ones as they are.
const char* ChineseName(const char* pszProtocol);
// The IIN bits set, by their short Chinese names ("需要对时 设备重启"); IIN1 in the high octet.
std::string ChineseIinText(std::uint16_t wIin);
// An object summary with the class objects named: "60.2 60.3" → "类1 类2".
std::string ChineseObjects(const std::string& summary);
// A request fragment (control, function, objects) as "读 30.5".
std::string ChineseRequestText(std::span<const std::uint8_t> fragment);
