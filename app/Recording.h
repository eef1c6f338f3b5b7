#pragma once
// The running program's line tap and the pcapng recording on it. The tap starts with the
// run state and stops at exit after the poll thread; a recording starts from the command
// line or the menu and runs until stopped, the disk refuses, or the program ends.
#include <string>

class ITapSink;

struct RecordingRequest {
    std::string Path;
    int nMaxMb = 0;  // > 0: a ring of files this size
    int nFiles = 0;  // > 0: keep only this many of them
};

// Asked for on the command line: started as the run state starts, before the first frame.
void SetStartupRecording(const RecordingRequest& request);
const RecordingRequest& StartupRecording();

void StartLineTap();
// A sink of the running program's tap (the analysis window); removed, it hears no more.
void AddTapSink(ITapSink* pSink);
void RemoveTapSink(ITapSink* pSink);
// Ends any recording, frames what is left and flushes it.
void StopLineTap();

// False with a one-line reason when the file cannot be created.
bool StartRecording(const RecordingRequest& request, std::string& reason);
void StopRecording();
bool IsRecording();
std::string RecordingPath();
