#include "ui/Placement.h"

#include <QEvent>
#include <QGuiApplication>
#include <QScreen>
#include <QTimer>
#include <QWidget>

#include <algorithm>

namespace {

void Apply(QWidget* pWindow, const WndPos& pos, bool bFixedSize)
{
    // The frame is known once the native window exists; before that outer and inner
    // sizes are the same.
    (void)pWindow->winId();
    const QSize frame = pWindow->frameGeometry().size() - pWindow->geometry().size();
    const QSize minimum = pWindow->minimumSizeHint().expandedTo(QSize(0, 0));
    const QSize client(std::max(pos.cx - frame.width(), 0),
                       std::max(pos.cy - frame.height(), minimum.height()));
    pWindow->move(pos.x, pos.y);
    if (bFixedSize)
        pWindow->setFixedSize(client);
    else
        pWindow->resize(client);
}

// A window manager frames a window only when it first appears, so a placement made while
// the window is hidden is made again once it is shown.
class CPlaceOnShow : public QObject {
public:
    CPlaceOnShow(QWidget* pWindow, const WndPos& pos, bool bFixedSize)
        : QObject(pWindow), m_pos(pos), m_bFixedSize(bFixedSize)
    {
        setObjectName(QStringLiteral("placeOnShow"));
        pWindow->installEventFilter(this);
    }
    void Update(const WndPos& pos, bool bFixedSize)
    {
        m_pos = pos;
        m_bFixedSize = bFixedSize;
    }

protected:
    bool eventFilter(QObject* pWatched, QEvent* pEvent) override
    {
        if (pEvent->type() == QEvent::Show) {
            auto* pWindow = static_cast<QWidget*>(pWatched);
            pWindow->removeEventFilter(this);
            QTimer::singleShot(0, pWindow, [pWindow, pos = m_pos, bFixed = m_bFixedSize] {
                Apply(pWindow, pos, bFixed);
            });
            deleteLater();
        }
        return false;
    }

private:
    WndPos m_pos;
    bool m_bFixedSize;
};

}  // namespace

void PlaceWindow(QWidget* pWindow, const WndPos& pos, bool bFixedSize)
{
    Apply(pWindow, pos, bFixedSize);
    if (pWindow->isVisible())
        return;
    if (auto* pPending = pWindow->findChild<CPlaceOnShow*>(QStringLiteral("placeOnShow"),
                                                           Qt::FindDirectChildrenOnly))
        pPending->Update(pos, bFixedSize);
    else
        new CPlaceOnShow(pWindow, pos, bFixedSize);
}

void DesktopSize(int& W, int& H)
{
    const QRect desktop = QGuiApplication::primaryScreen()->geometry();
    W = desktop.right() + 1;
    H = desktop.bottom() + 1;
}
