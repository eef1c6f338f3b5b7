#pragma once
// What the main dialog's initialisation does before its timers start: every configuration
// word to its default, the point counts into the image, the control command record reset,
// the line tap started (and the recording asked for on the command line), and the two
// channels created with the poll thread running.
void InitialiseRunState();

// The demo starts in automatic mode so that a first run shows the master at work, and so
// does --auto (an unattended recording); every other start keeps the defaults.
void SetAutoStart(bool bAuto);
// --time utc: the RTU's clock in IEEE 1815 UTC from the start (a TimeFormat).
void SetStartupTimeFormat(int nFormat);
