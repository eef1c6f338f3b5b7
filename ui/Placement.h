#pragma once
// Places a top-level window so that its outer rectangle, frame and title bar included, is
// the given one, as the platform's window placement does.
#include "app/WindowLayout.h"

class QWidget;

// bFixedSize: the operator cannot resize the window; the program still can. A window
// manager tells a window's frame only once it has framed the window, so the placement is
// kept and the window fitted again whenever the frame it learns of changes.
void PlaceWindow(QWidget* pWindow, const WndPos& pos, bool bFixedSize);
// The desktop in pixels (the primary screen).
void DesktopSize(int& W, int& H);
