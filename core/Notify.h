#pragma once
// How the core reaches the operator without knowing about windows: a message box that the
// user interface installs (headless builds print to stderr), and the debug trace.
#include <functional>
#include <string>

using MessageBoxHandler = std::function<void(const std::string& text)>;

// Shows a warning message box with an OK button (the exclamation box of a port that
// cannot be opened). Safe to call from any thread.
void ShowMessageBox(const std::string& text);
void SetMessageBoxHandler(MessageBoxHandler handler);  // empty handler: stderr

// Developer traces (write-path traces, failed window creation); stderr unless replaced.
using TraceHandler = std::function<void(const std::string& text)>;
void DebugTrace(const std::string& text);
void SetTraceHandler(TraceHandler handler);  // empty handler: stderr

// Per-frame debug output (the "N bytes written" trace): dropped unless asked for with
// --verbose or QUELT_VERBOSE=1, since it would drown everything else on stderr.
void VerboseTrace(const std::string& text);
void SetVerboseTraces(bool bOn);
