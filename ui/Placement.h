#pragma once
// Places a top-level window so that its outer rectangle, frame included, is the given
// one, as the platform's window placement does.
#include "app/Quelt.h"

class QWidget;

// bFixedSize: the operator cannot resize the window; the program still can.
void PlaceWindow(QWidget* pWindow, const WndPos& pos, bool bFixedSize);
// The desktop in pixels (the primary screen).
void DesktopSize(int& W, int& H);
