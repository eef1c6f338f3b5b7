#pragma once
// Lets the event loop run until the condition holds or the time is up; returns the
// condition. The wait is for the kernel and the poll thread, not a timing assertion.
#include <QApplication>
#include <QElapsedTimer>

template <class Condition>
bool ProcessEventsUntil(Condition done, int nMilliseconds = 5000)
{
    QElapsedTimer timer;
    timer.start();
    while (!done() && timer.elapsed() < nMilliseconds)
        QApplication::processEvents(QEventLoop::AllEvents, 20);
    return done();
}
