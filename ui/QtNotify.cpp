#include "ui/QtNotify.h"

#include <QApplication>
#include <QMessageBox>
#include <QMetaObject>
#include <QThread>

#include "core/Notify.h"

namespace {

void ShowWarning(const QString& text)
{
    // Over the dialog whose field it is about, when there is one.
    QWidget* pOwner = QApplication::activeModalWidget();
    QMessageBox::warning(pOwner != nullptr ? pOwner : QApplication::activeWindow(), QApplication::applicationName(),
                         text);
}

}  // namespace

void InstallQtNotify()
{
    SetMessageBoxHandler([](const std::string& text) {
        const QString qtext = QString::fromStdString(text);
        if (QThread::currentThread() == qApp->thread())
            ShowWarning(qtext);
        else  // never make another thread wait for the operator
            QMetaObject::invokeMethod(qApp, [qtext] { ShowWarning(qtext); }, Qt::QueuedConnection);
    });
}
