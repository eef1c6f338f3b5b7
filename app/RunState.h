#pragma once
// What the main dialog's initialisation does before its timers start: every configuration
// word to its default, the point counts into the image, the control command record reset,
// and the two channels created with the poll thread running.
void InitialiseRunState();

// The demo starts in automatic mode so that a first run shows the master at work; every
// other start keeps the defaults.
void SetDemoStart(bool bDemo);
