#include "ui/Placement.h"

#include <QEvent>
#include <QGuiApplication>
#include <QScreen>
#include <QTimer>
#include <QWidget>
#include <QWindow>

#include <algorithm>

namespace {

QMargins FrameMargins(const QWidget* pWindow)
{
    const QWindow* pHandle = pWindow->windowHandle();
    return pHandle != nullptr ? pHandle->frameMargins() : QMargins();
}

// One window's last placement. It fits the window again when the frame margins that the
// window manager reports change: right after the window is framed, that is, and never
// because the operator moved the window.
class CPlacementKeeper : public QObject {
public:
    static constexpr int kWatchTicks = 30;  // the frame is watched for 3 s after a show
    static constexpr int kTickMs = 100;

    explicit CPlacementKeeper(QWidget* pWindow) : QObject(pWindow), m_pWindow(pWindow)
    {
        setObjectName(QStringLiteral("placementKeeper"));
        pWindow->installEventFilter(this);
        m_Watch.setInterval(kTickMs);
        connect(&m_Watch, &QTimer::timeout, this, [this] {
            FitIfFrameChanged();
            if (++m_nTicks >= kWatchTicks)
                m_Watch.stop();
        });
    }

    void Place(const WndPos& pos, bool bFixedSize)
    {
        m_pos = pos;
        m_bFixedSize = bFixedSize;
        Fit();
    }

protected:
    bool eventFilter(QObject* pWatched, QEvent* pEvent) override
    {
        if (pWatched == m_pWindow) {
            switch (pEvent->type()) {
            case QEvent::Show:
                m_nTicks = 0;
                m_Watch.start();
                FitIfFrameChanged();
                break;
            case QEvent::Move:
            case QEvent::Resize:
            case QEvent::WindowStateChange:
                FitIfFrameChanged();
                break;
            default:
                break;
            }
        }
        return false;
    }

private:
    void FitIfFrameChanged()
    {
        if (FrameMargins(m_pWindow) != m_Applied)
            Fit();
    }

    void Fit()
    {
        (void)m_pWindow->winId();  // the native window, so that its frame can be asked for
        m_Applied = FrameMargins(m_pWindow);
        const int nHeight = m_pos.cy - m_Applied.top() - m_Applied.bottom();
        const int nMinimum = std::max(m_pWindow->minimumSizeHint().height(), 0);
        const QRect client(m_pos.x + m_Applied.left(), m_pos.y + m_Applied.top(),
                           std::max(m_pos.cx - m_Applied.left() - m_Applied.right(), 0),
                           std::max(nHeight, nMinimum));
        if (m_bFixedSize)
            m_pWindow->setFixedSize(client.size());
        m_pWindow->setGeometry(client);
    }

    QWidget* m_pWindow;
    WndPos m_pos;
    bool m_bFixedSize = false;
    QMargins m_Applied;
    QTimer m_Watch;
    int m_nTicks = 0;
};

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
