#pragma once
// Lets the event loop run until the condition holds or the time is up; returns the
// condition. The wait is for the kernel, the poll thread or the window manager, never a
// timing assertion: the bound is generous and only says when to give up.
#include <QApplication>
#include <QElapsedTimer>
#include <QWidget>
#include <QWindow>

#include <initializer_list>

template <class Condition>
bool ProcessEventsUntil(Condition done, int nMilliseconds = 5000)
{
    QElapsedTimer timer;
    timer.start();
    while (!done() && timer.elapsed() < nMilliseconds)
        QApplication::processEvents(QEventLoop::AllEvents, 20);
    return done();
}

// run-under-x.sh --wm runs the tests under a window manager and says so.
inline bool UnderWindowManager() { return qEnvironmentVariableIsSet("QUELT_TEST_WM"); }

// Shown and, under a window manager, framed by it: only then is its outer rectangle known.
inline bool IsFramed(const QWidget* pWindow)
{
    const QWindow* pHandle = pWindow->windowHandle();
    if (!pWindow->isVisible() || pHandle == nullptr)
        return false;
    if (!UnderWindowManager())
        return true;
    const QMargins m = pHandle->frameMargins();  // below zero while the frame is being built
    return pHandle->isExposed() && !m.isNull() && m.left() >= 0 && m.top() >= 0 && m.right() >= 0 && m.bottom() >= 0;
}

// Until every one of the windows that is shown is framed.
inline bool WaitUntilFramed(std::initializer_list<const QWidget*> windows, int nMilliseconds = 20000)
{
    return ProcessEventsUntil(
        [&] {
            for (const QWidget* pWindow : windows)
                if (pWindow->isVisible() && !IsFramed(pWindow))
                    return false;
            return true;
        },
        nMilliseconds);
}

// Counts the events of one type an object receives.
class EventCounter : public QObject {
public:
    EventCounter(QObject* pWatched, QEvent::Type type) : m_Type(type) { pWatched->installEventFilter(this); }
    int nCount = 0;

protected:
    bool eventFilter(QObject*, QEvent* pEvent) override
    {
        if (pEvent->type() == m_Type)
            ++nCount;
        return false;
    }

private:
    QEvent::Type m_Type;
};
