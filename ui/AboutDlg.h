#pragma once
// The about box (template 100): the icon, the product and its version, what it is.
#include <QDialog>

class CAboutDlg : public QDialog {
    Q_OBJECT
public:
    static constexpr int IDD = 100;
    explicit CAboutDlg(QWidget* pParent = nullptr);
};

// The application icon (resource 128), shown by every window.
QIcon AppIcon();
