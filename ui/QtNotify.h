#pragma once
// Routes the core's message boxes to Qt message boxes on the GUI thread.
void InstallQtNotify();
