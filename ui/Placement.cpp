#include "ui/Placement.h"

#include <QAbstractNativeEventFilter>
#include <QCoreApplication>
#include <QEvent>
#include <QGuiApplication>
#include <QHash>
#include <QScreen>
#include <QTimer>
#include <QWidget>
#include <QWindow>

#include <xcb/xproto.h>

#include <algorithm>

namespace {

// The frame the window manager has put round the window, or none while it cannot be told:
// a frame still being built reads for a moment as margins below zero.
QMargins FrameMargins(const QWidget* pWindow)
{
    const QWindow* pHandle = pWindow->windowHandle();
    const QMargins margins = pHandle != nullptr ? pHandle->frameMargins() : QMargins();
    const bool bBuilt = margins.left() >= 0 && margins.top() >= 0 && margins.right() >= 0 && margins.bottom() >= 0;
    return bBuilt ? margins : QMargins();
}

class CPlacementKeeper;

// A window manager frames a window, and tells its frame, in X events of its own (a
// reparent, a configure, a property) that Qt turns into no event of a widget. This filter
// hands them to the keeper of the window they concern, which looks again once Qt has taken
// them in.
class CFrameWatch : public QAbstractNativeEventFilter {
public:
    static CFrameWatch& Instance()
    {
        static CFrameWatch* const pWatch = [] {
            auto* p = new CFrameWatch;
            QCoreApplication::instance()->installNativeEventFilter(p);
            return p;
        }();
        return *pWatch;
    }

    void Watch(WId window, CPlacementKeeper* pKeeper) { m_Keepers.insert(window, pKeeper); }
    void Forget(const CPlacementKeeper* pKeeper)
    {
        for (auto it = m_Keepers.begin(); it != m_Keepers.end();)
            it = it.value() == pKeeper ? m_Keepers.erase(it) : std::next(it);
    }

    bool nativeEventFilter(const QByteArray& eventType, void* pMessage, qintptr*) override;

private:
    static WId WindowOf(const xcb_generic_event_t* pEvent)
    {
        switch (pEvent->response_type & 0x7F) {
        case XCB_PROPERTY_NOTIFY:
            return reinterpret_cast<const xcb_property_notify_event_t*>(pEvent)->window;
        case XCB_CONFIGURE_NOTIFY:
            return reinterpret_cast<const xcb_configure_notify_event_t*>(pEvent)->window;
        case XCB_REPARENT_NOTIFY:
            return reinterpret_cast<const xcb_reparent_notify_event_t*>(pEvent)->window;
        case XCB_MAP_NOTIFY:
            return reinterpret_cast<const xcb_map_notify_event_t*>(pEvent)->window;
        default:
            return 0;
        }
    }

    QHash<WId, CPlacementKeeper*> m_Keepers;
};

// One window's placement until the window manager has framed it and the window stands
// where it was placed: the window is fitted again whenever the frame margins it reports
// change, or a configure the window manager sent before it took the placement moved it
// back. Then the window is the operator's: moved or resized, hidden and shown again, it
// stays where the operator had it.
class CPlacementKeeper : public QObject {
    // What makes the keeper look: the window manager's word on where the window is, or a
    // sign of our own (Qt's events, the backstop, other X events), which may still show
    // the geometry Qt asked for rather than the one the window manager applied.
    enum class Sign { WINDOW_MANAGER, OURS };

public:
    // A window manager that will not have the window there is not fought for ever: at
    // most this many fits within one frame, and this many in all.
    static constexpr int kMaxFits = 12;
    static constexpr int kMaxAllFits = 48;

    // Not every frame a window manager builds comes with an event on the window: until the
    // placement ends it is also looked at after 50 ms, 100 ms, ... 3.2 s, then every 3.2 s,
    // at most this often after a placement or a show.
    static constexpr int kMaxLooks = 16;
    static constexpr int kFirstLookMs = 50;
    static constexpr int kLongestLookMs = 3200;

    explicit CPlacementKeeper(QWidget* pWindow) : QObject(pWindow), m_pWindow(pWindow)
    {
        setObjectName(QStringLiteral("placementKeeper"));
        pWindow->installEventFilter(this);
        m_Look.setSingleShot(true);
        connect(&m_Look, &QTimer::timeout, this, [this] {
            Check(Sign::OURS);
            LookLater();
        });
    }
    ~CPlacementKeeper() override { CFrameWatch::Instance().Forget(this); }

    void Place(const WndPos& pos, bool bFixedSize)
    {
        m_pos = pos;
        m_bFixedSize = bFixedSize;
        m_bPlacing = true;
        m_nFits = 0;
        m_nAllFits = 0;
        Fit();
        StartLooking();
    }

    // After the native event that may have changed the frame has been taken in by Qt. Only
    // a configure notify tells where the window manager has put the window.
    void LookAgainSoon(bool bConfigure)
    {
        if (!m_bPlacing)
            return;
        const Sign sign = bConfigure ? Sign::WINDOW_MANAGER : Sign::OURS;
        QMetaObject::invokeMethod(this, [this, sign] { Check(sign); }, Qt::QueuedConnection);
    }

protected:
    bool eventFilter(QObject* pWatched, QEvent* pEvent) override
    {
        if (pWatched == m_pWindow) {
            switch (pEvent->type()) {
            case QEvent::Show:
                StartLooking();
                Check(Sign::OURS);
                break;
            case QEvent::Move:
            case QEvent::Resize:
            case QEvent::WindowStateChange:
                Check(Sign::OURS);
                break;
            default:
                break;
            }
        }
        return false;
    }

private:
    void Check(Sign sign)
    {
        if (!m_bPlacing || !m_pWindow->isVisible())
            return;
        const QMargins margins = FrameMargins(m_pWindow);
        if (margins == m_Applied && m_pWindow->geometry() == m_Client) {
            // Placed within a known frame, as the window manager says (on platforms without
            // one, as Qt says); on X without a window manager no frame ever comes.
            const bool bSaid = sign == Sign::WINDOW_MANAGER || QGuiApplication::platformName() != QStringLiteral("xcb");
            if (bSaid && !margins.isNull())
                m_bPlacing = false;
            return;
        }
        // A frame still settling is progress; the same frame and the window elsewhere again
        // and again is a window manager that will not have it there.
        if ((margins == m_Applied && ++m_nFits > kMaxFits) || ++m_nAllFits > kMaxAllFits) {
            m_bPlacing = false;
            return;
        }
        Fit();
    }

    void StartLooking()
    {
        m_nLooks = 0;
        m_Look.start(kFirstLookMs);
    }

    void LookLater()
    {
        if (!m_bPlacing || !m_pWindow->isVisible() || ++m_nLooks >= kMaxLooks)
            return;
        m_Look.start(std::min(kFirstLookMs << std::min(m_nLooks, 6), kLongestLookMs));
    }

    void Fit()
    {
        CFrameWatch::Instance().Watch(m_pWindow->winId(), this);  // the native window exists from here
        m_Applied = FrameMargins(m_pWindow);
        const int nHeight = m_pos.cy - m_Applied.top() - m_Applied.bottom();
        const int nMinimum = std::max(m_pWindow->minimumSizeHint().height(), 0);
        m_Client = QRect(m_pos.x + m_Applied.left(), m_pos.y + m_Applied.top(),
                         std::max(m_pos.cx - m_Applied.left() - m_Applied.right(), 0), std::max(nHeight, nMinimum));
        // Never freed on the way (a window manager frames a resizable window otherwise, with
        // a grip that changes its margins); the window manager's notify of the first request
        // may come after the second, which the check after the notify sees and mends.
        if (m_bFixedSize)
            m_pWindow->setFixedSize(m_Client.size());
        m_pWindow->setGeometry(m_Client);
    }

    QWidget* m_pWindow;
    WndPos m_pos;
    bool m_bFixedSize = false;
    bool m_bPlacing = false;  // placed, and not yet seen there within a known frame
    int m_nFits = 0;          // within one frame, since the placement
    int m_nAllFits = 0;       // since the placement
    QMargins m_Applied;
    QRect m_Client;  // as fitted
    QTimer m_Look;
    int m_nLooks = 0;
};

bool CFrameWatch::nativeEventFilter(const QByteArray& eventType, void* pMessage, qintptr*)
{
    if (eventType != "xcb_generic_event_t" || m_Keepers.isEmpty())
        return false;
    const WId window = WindowOf(static_cast<const xcb_generic_event_t*>(pMessage));
    if (window == 0)
        return false;
    if (CPlacementKeeper* pKeeper = m_Keepers.value(window, nullptr))
        pKeeper->LookAgainSoon((static_cast<const xcb_generic_event_t*>(pMessage)->response_type & 0x7F) ==
                               XCB_CONFIGURE_NOTIFY);
    return false;
}

}  // namespace

void PlaceWindow(QWidget* pWindow, const WndPos& pos, bool bFixedSize)
{
    auto* pKeeper = pWindow->findChild<CPlacementKeeper*>(QStringLiteral("placementKeeper"),
                                                          Qt::FindDirectChildrenOnly);
    if (pKeeper == nullptr)
        pKeeper = new CPlacementKeeper(pWindow);
    pKeeper->Place(pos, bFixedSize);
}

void DesktopSize(int& W, int& H)
{
    const QRect desktop = QGuiApplication::primaryScreen()->geometry();
    W = desktop.right() + 1;
    H = desktop.bottom() + 1;
}
