#include "core/Locks.h"

// Constructed before main(), so they exist before any thread or window.
std::recursive_mutex g_csChannel;
std::recursive_mutex g_csDisplay;
std::recursive_mutex g_csResponseList;
