#pragma once
// The run-mode dialog (template 137): automatic or manual enquiry, by class or by object.
// The call-mode radios matter only in automatic mode and are enabled only then.
#include <QDialog>

class QRadioButton;

class CModeParam : public QDialog {
    Q_OBJECT
public:
    static constexpr int IDD = 137;
    explicit CModeParam(QWidget* pParent = nullptr);

    int m_nAskMode = -1;   // radios 1005 "自动问答" (0), 1004 "人工询问" (1)
    int m_nCallMode = -1;  // radios 1002 "按类别召唤" (0), 1003 "按对象召唤" (1)

    void accept() override;

protected:
    void showEvent(QShowEvent* pEvent) override;

private:
    void EnableCallMode();

    QRadioButton* m_pAuto;
    QRadioButton* m_pManual;
    QRadioButton* m_pByClass;
    QRadioButton* m_pByObject;
};
