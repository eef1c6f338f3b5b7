#pragma once
// The send-queue dialog (template 150): the queue as readable lines, deleting one command
// or all of them at once, and the run count. Deletions act on the queue immediately.
#include <QDialog>

class QListWidget;
class QLineEdit;
class QPushButton;

class CDispCommand : public QDialog {
    Q_OBJECT
public:
    static constexpr int IDD = 150;
    explicit CDispCommand(QWidget* pParent = nullptr);

    QListWidget* m_listCmd;  // list 1007: line i is queue entry i
    int m_nRunTimes = 0;     // edit 1012, 0 to 1024; 0 runs endlessly

    void accept() override;

protected:
    void showEvent(QShowEvent* pEvent) override;

private:
    void OnDeleteCommand();     // "删除命令", 1009
    void OnDeleteAll();         // "全部删除", 1010
    void EnableDeleteButtons(bool bEnable);

    QLineEdit* m_pRunTimes;
    QPushButton* m_pDelete;
    QPushButton* m_pDeleteAll;
};
