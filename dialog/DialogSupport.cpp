#include "dialog/DialogSupport.h"

#include <QDialog>
#include <QGuiApplication>
#include <QScreen>
#include <QHBoxLayout>
#include <QApplication>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>

#include "core/Notify.h"

QLayout* ConfirmCancelButtons(QDialog* pDialog, const QString& confirm, const QString& cancel)
{
    auto* pOk = WithId(new QPushButton(confirm, pDialog), IDOK);
    pOk->setDefault(true);
    QObject::connect(pOk, &QPushButton::clicked, pDialog, &QDialog::accept);
    auto* pRow = new QHBoxLayout;
    pRow->addStretch();
    pRow->addWidget(pOk);
    if (!cancel.isEmpty()) {
        auto* pCancel = WithId(new QPushButton(cancel, pDialog), IDCANCEL);
        QObject::connect(pCancel, &QPushButton::clicked, pDialog, &QDialog::reject);
        pRow->addWidget(pCancel);
    }
    return pRow;
}

int RunDialog(QDialog& dialog)
{
    dialog.setWindowModality(Qt::WindowModal);
    dialog.adjustSize();
    dialog.setFixedSize(dialog.size());
    const QRect desktop = QGuiApplication::primaryScreen()->availableGeometry();
    dialog.move(desktop.center() - dialog.rect().center());
    return dialog.exec();
}

bool ConfirmEndlessControls(QLineEdit* pRunTimes)
{
    QMessageBox box(QMessageBox::Warning, QApplication::applicationName(),
                    QStringLiteral("发送队列中有遥控命令, 确认无限循环执行?"), QMessageBox::NoButton,
                    pRunTimes->window());
    QPushButton* pYes = box.addButton(QStringLiteral("是"), QMessageBox::YesRole);
    QPushButton* pNo = box.addButton(QStringLiteral("否"), QMessageBox::NoRole);
    box.setDefaultButton(pNo);  // Enter must not start a breaker cycling
    box.setEscapeButton(pNo);
    box.exec();
    if (box.clickedButton() == pYes)
        return true;
    pRunTimes->setFocus();
    pRunTimes->selectAll();
    return false;
}

bool ReadIntegerControl(QLineEdit* pEdit, const IntegerField& field, int& nValue)
{
    const IntegerFieldResult result = ReadIntegerField(pEdit->text().toStdString(), field.nMin, field.nMax);
    if (!result.Error.empty()) {
        ShowMessageBox(result.Error);
        pEdit->setFocus();
        pEdit->selectAll();
        return false;
    }
    nValue = result.nValue;
    return true;
}
