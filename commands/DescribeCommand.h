#pragma once
// The send-queue dialog's line for one queue entry.
#include <string>

struct CommandItem;

std::string DescribeCommand(const CommandItem& item);
