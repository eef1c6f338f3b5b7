#pragma once
// The three locks shared by the poll thread and the GUI thread. Lock order: the poll
// thread takes g_csDisplay and g_csResponseList only while it holds g_csChannel; the GUI
// thread takes each one alone. Nothing done under g_csChannel waits for the GUI thread.
#include <mutex>

extern std::recursive_mutex g_csChannel;       // channel table entries 0/1 and every poll step
extern std::recursive_mutex g_csDisplay;       // the two traffic line lists
extern std::recursive_mutex g_csResponseList;  // the response list
