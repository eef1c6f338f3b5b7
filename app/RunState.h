#pragma once
// What the main dialog's initialisation does before its timers start: every configuration
// word to its default, the point counts into the image, the control command record reset,
// and the two channels created with the poll thread running.
void InitialiseRunState();
